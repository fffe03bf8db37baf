// Times the secure rip of a disc image of 10 minutes of audio through the CD input (the CD
// ripping library over libcdio-paranoia) next to cd-paranoia reading the same image with the
// same paranoia checks, both writing the raw audio to a file. cd-paranoia is told the image's
// byte order (-c -r): its guess from synthesized audio would swap the bytes.
//   bench_secure [runs]
#include "AuCDROM.h"
#include "BenchSupport.h"
#include "FileContents.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// 45000 sectors: 10 minutes in four tracks.
const std::vector<uint32_t> DiscTracks = {12000, 9000, 15000, 9000};

// Every track through the CD input into one file; true when it holds the whole disc.
bool RipWithCDIn(TCDIn &in, bool paranoid, const std::string &file) {
  in.EnableJitterCorrection = true;
  in.Paranoid = paranoid;
  in.SetStartTrack(1);
  in.SetEndTrack(static_cast<int>(DiscTracks.size()));
  std::FILE *out = std::fopen(file.c_str(), "wb");
  if (!out)
    return false;
  in.Init();
  for (;;) {
    std::uint8_t *data = nullptr;
    std::uint32_t bytes = CDChunkBytes;
    in.GetData(data, bytes);
    if (bytes == 0)
      break;
    std::fwrite(data, 1, bytes, out);
  }
  in.Flush();
  return std::fclose(out) == 0 && fs::file_size(file) == 45000ull * 2352;
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  TTempDir dir;
  const std::string cue = WriteAudioDisc(dir.Path(), "TenMinutes", DiscTracks);
  const std::string out = dir.File("out");
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1); // the program's settings stay here
  TImageDrives drives({cue});
  TCDIn in;

  // Pairs with the same checks: full paranoia (cd-paranoia's default), then overlap checking.
  const std::vector<TBenchStep> steps = {
      {"cd-paranoia (full paranoia)",
       [&] {
         return RunQuietly({"cd-paranoia", "-c", "-r", "-d", cue, "1-4", out + "/disc.raw"}, out);
       }},
      {"CD input, paranoid mode", [&] { return RipWithCDIn(in, true, out + "/disc.raw"); }},
      {"cd-paranoia -Y (overlap checking)",
       [&] {
         return RunQuietly({"cd-paranoia", "-Y", "-c", "-r", "-d", cue, "1-4", out + "/disc.raw"},
                           out);
       }},
      {"CD input, jitter correction", [&] { return RipWithCDIn(in, false, out + "/disc.raw"); }},
  };
  // Both read the disc's bytes exactly, or the timings compare nothing.
  const std::vector<std::uint8_t> bin = ReadFileBytes(BinOf(cue));
  fs::create_directory(out);
  for (std::size_t i : {0, 1})
    if (!steps[i].second() || ReadFileBytes(out + "/disc.raw") != bin) {
      std::fprintf(stderr, "bench_secure: %s does not give the BIN's bytes\n",
                   steps[i].first.c_str());
      return 1;
    }
  const auto times = TimeSteps(steps, runs, out, "bench_secure");
  if (times.empty())
    return 1;

  std::printf("Secure rip of 10 minutes of audio from a disc image, %d runs each:\n", runs);
  double peer = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const TStats t = Spread(times.at(steps[i].first));
    if (i % 2 == 0)
      peer = t.Median;
    std::printf("  %-34s min %7.3f s  median %7.3f s  max %7.3f s  %5.2fx cd-paranoia\n",
                steps[i].first.c_str(), t.Min, t.Median, t.Max, t.Median / peer);
  }
  return 0;
}
