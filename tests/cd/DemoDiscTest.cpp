// The demo disc: a readable image of music-like tracks, the same on every run.
#include "DemoDisc.h"
#include "AudioDisc.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

// Root mean square of the 16-bit little-endian samples of `seconds` seconds from `from`.
double Rms(const std::vector<uint8_t> &bin, uint32_t firstSector, double from, double seconds) {
  const size_t begin = firstSector * size_t{2352} + static_cast<size_t>(from * 44100) * 4;
  const size_t end = begin + static_cast<size_t>(seconds * 44100) * 4;
  double sum = 0;
  for (size_t i = begin; i < end; i += 2) {
    const double s = static_cast<int16_t>(bin[i] | bin[i + 1] << 8);
    sum += s * s;
  }
  return std::sqrt(sum / double((end - begin) / 2));
}

TEST(DemoDisc, OpensAndListsItsTracksWithMusicAndSilenceWhereIntended) {
  TTempDir dir;
  const std::string cue = MakeDemoDisc(dir.File("new/folder"));
  EXPECT_EQ(std::filesystem::path(cue).filename(), "PlindarDemo.cue");
  std::string cueText;
  std::getline(std::ifstream(cue), cueText);
  EXPECT_EQ(cueText, "FILE \"PlindarDemo.bin\" BINARY");

  TImageDrives drives({cue});
  TToc toc;
  ASSERT_TRUE(cd::ReadDriveToc(0, toc));
  ASSERT_EQ(toc.LastTrack - toc.FirstTrack + 1, int(DemoTrackSeconds.size()));
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(cue));
  uint32_t start = 0;
  for (size_t i = 0; i < DemoTrackSeconds.size(); ++i) {
    const TTocEntry &e = toc.Entries[i];
    EXPECT_EQ(e.Address[1] * 4500 + e.Address[2] * 75 + e.Address[3], int(start + 150)) << i;
    EXPECT_EQ(e.AdrControl & TocControlData, 0);
    const int seconds = DemoTrackSeconds[i];
    EXPECT_GE(seconds, 20);
    EXPECT_LE(seconds, 60);
    if (i == 1) { // silent for a second at each end, music between
      EXPECT_EQ(Rms(bin, start, 0, 1), 0);
      EXPECT_EQ(Rms(bin, start, seconds - 1, 1), 0);
      EXPECT_GT(Rms(bin, start, 5, seconds - 10), 1000);
    } else {
      EXPECT_GT(Rms(bin, start, 1, seconds - 5), 1000) << i;
    }
    start += seconds * 75;
  }
  EXPECT_EQ(bin.size(), start * size_t{2352});
  EXPECT_EQ(std::set<int>(DemoTrackSeconds.begin(), DemoTrackSeconds.end()).size(),
            DemoTrackSeconds.size()); // every track has its own length

  EXPECT_EQ(ReadFileBytes(BinOf(MakeDemoDisc(dir.File("again")))), bin);
}

} // namespace
