// Times ripping a disc image of 10 minutes of audio to WAV files: Plindar's rip thread, track
// after track as a job runs it, and the whole `plindar --extract --format wav`, next to
// cd-paranoia's burst read of the same image and plain copies of the BIN into a file.
//   bench_rip PLINDAR [runs]
#include "Global.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"
#include "ripthread.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <map>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// 45000 sectors: 10 minutes in four tracks.
const std::vector<uint32_t> DiscTracks = {12000, 9000, 15000, 9000};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs a program in folder with its standard output into stdoutFile (or thrown away); false
// when it could not be run or failed.
bool Run(const std::vector<std::string> &args, const std::string &folder,
         const std::string &stdoutFile = "/dev/null") {
  std::vector<char *> argv;
  for (const std::string &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  int status = 0;
  const bool ran = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                   waitpid(pid, &status, 0) == pid;
  posix_spawn_file_actions_destroy(&actions);
  return ran && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Every track of the drive's disc through the rip thread, one after another.
bool RipWithThread(int32_t handle) {
  for (size_t track = 1; track <= DiscTracks.size(); ++track) {
    TCDRipThread thread(static_cast<int>(track), "Track" + TwoDigits(static_cast<int>(track)));
    thread.CDHandle = handle;
    thread.Resume();
  }
  return fs::file_size(GlobalOptions.OutputFolder + "/Track04.wav") ==
         44 + uint64_t{DiscTracks.back()} * CDSectorSize;
}

int32_t OpenFirstDrive() {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  const TCDDriveEntry &d = list.Drives[0];
  TCDOpenRequest request{12, 1, d.HostAdapter, d.Target, d.Lun, {}};
  return GetCDHandle(&request);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_rip PLINDAR [runs]\n");
    return 2;
  }
  const std::string plindar = fs::absolute(argv[1]).string();
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  TTempDir dir;
  const std::string cue = WriteAudioDisc(dir.Path(), "TenMinutes", DiscTracks);
  const std::string bin = BinOf(cue);
  const std::string out = dir.File("out");
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1); // the program's settings stay here
  setenv("QT_QPA_PLATFORM", "offscreen", 1);

  TImageDrives drives({cue});
  const int32_t handle = OpenFirstDrive();
  GlobalOptions.OutputFolder = out;

  using TStep = std::function<bool()>;
  const std::vector<std::pair<std::string, TStep>> steps = {
      // cat copies inside the kernel (copy_file_range); dd moves the bytes through a buffer
      // of its own in blocks of 10 sectors, as a rip does.
      {"cat BIN > file",
       [&] {
         return Run({"cat", bin}, out, out + "/disc.raw");
       }},
      {"dd bs=23520 (10-sector blocks)",
       [&] {
         return Run({"dd", "if=" + bin, "of=" + out + "/disc.raw", "bs=23520", "status=none"}, out);
       }},
      {"cd-paranoia -Z -B (burst read)",
       [&] {
         return Run({"cd-paranoia", "-Z", "-B", "-d", cue}, out);
       }},
      {"Plindar rip thread", [&] { return handle != 0 && RipWithThread(handle); }},
      {"plindar --extract --format wav",
       [&] {
         return Run({plindar, "--cd-image", cue, "--extract", "--format", "wav", "--output", out},
                    out);
       }},
  };
  std::map<std::string, std::vector<double>> times;
  for (int run = 0; run < runs; ++run)
    for (const auto &[name, step] : steps) {
      fs::remove_all(out);
      fs::create_directory(out);
      const auto start = Clock::now();
      if (!step()) {
        std::fprintf(stderr, "bench_rip: %s failed\n", name.c_str());
        return 1;
      }
      times[name].push_back(Seconds(Clock::now() - start));
    }

  const double mb = 45000.0 * CDSectorSize / 1e6;
  std::printf("Ripping 10 minutes of audio (%.1f MB) to WAV, %d runs each:\n", mb, runs);
  double raw = 0;
  for (const auto &[name, step] : steps) {
    std::vector<double> &t = times[name];
    std::sort(t.begin(), t.end());
    const double median = t[t.size() / 2];
    if (raw == 0)
      raw = median;
    std::printf("  %-34s min %7.3f s  median %7.3f s  max %7.3f s  %7.0f MB/s  %5.2fx cat\n",
                name.c_str(), t.front(), median, t.back(), mb / median, median / raw);
  }
  CloseCDHandle(handle);
  return 0;
}
