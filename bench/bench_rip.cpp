// Times ripping a disc image of 10 minutes of audio to WAV files: Plindar's rip thread, track
// after track as a job runs it, and the whole `plindar --extract --format wav`, next to
// cd-paranoia's burst read of the same image and plain copies of the BIN into a file.
//   bench_rip PLINDAR [runs]
#include "BenchSupport.h"
#include "FirstDrive.h"
#include "Global.h"
#include "RipThreadDisc.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

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

  const std::vector<TBenchStep> steps = {
      // cat copies inside the kernel (copy_file_range); dd moves the bytes through a buffer
      // of its own in blocks of 10 sectors, as a rip does.
      {"cat BIN > file",
       [&] {
         return RunQuietly({"cat", bin}, out, out + "/disc.raw");
       }},
      {"dd bs=23520 (10-sector blocks)",
       [&] {
         return RunQuietly(
             {"dd", "if=" + bin, "of=" + out + "/disc.raw", "bs=23520", "status=none"}, out);
       }},
      {"cd-paranoia -Z -B (burst read)",
       [&] {
         return RunQuietly({"cd-paranoia", "-Z", "-B", "-d", cue}, out);
       }},
      {"Plindar rip thread", [&] { return handle != 0 && RipWithThread(handle); }},
      {"plindar --extract --format wav",
       [&] {
         return RunQuietly({plindar, "--cd-image", cue, "--extract", "--format", "wav", "--output",
                            out, "--accuraterip-url",
                            "http://127.0.0.1:1"}, // the lookup is no part of the rip
                           out);
       }},
  };
  const auto times = TimeSteps(steps, runs, out, "bench_rip");
  if (times.empty())
    return 1;

  const double mb = 45000.0 * CDSectorSize / 1e6;
  std::printf("Ripping 10 minutes of audio (%.1f MB) to WAV, %d runs each:\n", mb, runs);
  double raw = 0;
  for (const auto &[name, step] : steps) {
    const TStats t = Spread(times.at(name));
    if (raw == 0)
      raw = t.Median;
    std::printf("  %-34s min %7.3f s  median %7.3f s  max %7.3f s  %7.0f MB/s  %5.2fx cat\n",
                name.c_str(), t.Min, t.Median, t.Max, mb / t.Median, t.Median / raw);
  }
  CloseCDHandle(handle);
  return 0;
}
