// Times what verifying a rip costs: a disc image of 10 minutes of audio read the way the rip
// thread reads it (blocks of 10 sectors gathered into writes of 4 MB) with and without
// handing each write to the track's CRC-32 and AccurateRip checksums on their own thread, and
// Plindar's rip thread itself, which always computes them.
//   bench_accuraterip [runs]
#include "AccurateRip.h"
#include "AudioDisc.h"
#include "BenchSupport.h"
#include "ChecksumThread.h"
#include "FirstDrive.h"
#include "Global.h"
#include "RipThreadDisc.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Every track read into a file of its own as the rip thread reads: blocks gathered into one
// buffer while the checksums, when fed, run on their thread over the other one.
bool ReadTracks(int32_t handle, const std::string &out, bool checksums) {
  TToc toc{};
  if (!cd::ReadHandleToc(handle, toc))
    return false;
  const accuraterip::TDiscToc disc = cd::VerificationToc(toc);
  std::vector<uint8_t> pending[2] = {
      std::vector<uint8_t>(RipWriteBytes + RipBlockSectors * CDSectorSize),
      std::vector<uint8_t>(RipWriteBytes + RipBlockSectors * CDSectorSize)};
  uint32_t sums = 0; // keeps the checksums from being optimised away
  for (int track = 1; track <= static_cast<int>(DiscTracks.size()); ++track) {
    uint32_t start = 0, length = 0;
    std::FILE *file = std::fopen((out + "/" + std::to_string(track) + ".raw").c_str(), "wb");
    if (!file || !TrackSectors(toc, track, start, length))
      return false;
    std::optional<accuraterip::TChecksumThread> checksum;
    if (checksums)
      checksum.emplace(accuraterip::TrackChecksum(disc, track));
    std::size_t gathered = 0;
    int filling = 0;
    for (uint32_t done = 0; done < length;) {
      const uint32_t n = std::min(RipBlockSectors, length - done);
      if (ReadCDAudioSectors(handle, start + done, n, pending[filling].data() + gathered) != 1)
        return false;
      gathered += size_t{n} * CDSectorSize;
      done += n;
      if (gathered >= RipWriteBytes || done == length) {
        if (checksum)
          checksum->Add(pending[filling].data(), gathered);
        std::fwrite(pending[filling].data(), 1, gathered, file);
        gathered = 0;
        filling ^= 1;
      }
    }
    if (checksum)
      sums += checksum->Sums().V2;
    if (std::fclose(file) != 0)
      return false;
  }
  return sums != 1;
}

} // namespace

int main(int argc, char **argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  TTempDir dir;
  const std::string cue = WriteAudioDisc(dir.Path(), "TenMinutes", DiscTracks);
  const std::string out = dir.File("out");
  TImageDrives drives({cue});
  const int32_t handle = OpenFirstDrive();
  GlobalOptions.OutputFolder = out;

  const std::vector<TBenchStep> steps = {
      {"read without checksums", [&] { return ReadTracks(handle, out, false); }},
      {"read with checksums", [&] { return ReadTracks(handle, out, true); }},
      {"Plindar rip thread (with them)", [&] { return RipWithThread(handle); }},
  };
  const auto times = TimeSteps(steps, runs, out, "bench_accuraterip");
  if (times.empty())
    return 1;

  const double mb = 45000.0 * CDSectorSize / 1e6;
  std::printf("Ripping 10 minutes of audio (%.1f MB) from a disc image, %d runs each:\n", mb, runs);
  const double without = Spread(times.at(steps[0].first)).Median;
  for (const auto &[name, step] : steps) {
    const TStats t = Spread(times.at(name));
    std::printf("  %-32s min %7.3f s  median %7.3f s  max %7.3f s  %+6.1f %%\n", name.c_str(),
                t.Min, t.Median, t.Max, (t.Median / without - 1) * 100);
  }
  CloseCDHandle(handle);
  return 0;
}
