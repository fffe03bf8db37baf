// Finding a drive's read offset: an image whose true audio lies some samples away from where
// its BIN puts it, and the answer of a local server that holds the true audio's checksums.
#include "AccurateRip.h"
#include "AccurateRipLookup.h"
#include "CddbServer.h"
#include "Frame450Answer.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

using namespace accuraterip;

TEST(OffsetDetect, FindsTheOffsetAtWhichTheTracksSector450MatchesTheDatabase) {
  TTempDir dir;
  // The last track is too short to have a sector 450 with room for the search around it.
  const std::vector<uint32_t> lengths = {520, 470, 300};
  const std::string cue = WriteAudioDisc(dir.Path(), "Disc", lengths);
  TImageDrives drives({cue});
  const TDiscToc toc{{{0}, {520}, {990}}, 1290};
  const TDiscIds ids = DiscIds(toc);
  const auto frame450 = [&](uint32_t start, int32_t offset) {
    return ShiftedFrame450(cue, start, offset);
  };
  TCddbServer server;
  const struct {
    const char *Name;
    std::string Answer;
    TOffsetDetection Expected;
  } cases[] = {
      {"+6",
       Frame450Response(ids, {{5, frame450(0, 6)}, {9, frame450(520, 6)}, {2, 77}}),
       {true, 6, 2, 2, 9, ""}},
      {"-1000, one track",
       Frame450Response(ids, {{3, frame450(0, -1000)}, {3, 0x5555}, {2, 0}}),
       {true, -1000, 1, 2, 3, ""}},
      {"+2000",
       Frame450Response(ids, {{4, frame450(0, 2000)}, {4, frame450(520, 2000)}, {4, 1}}),
       {true, 2000, 2, 2, 4, ""}},
      {"no match",
       Frame450Response(ids, {{4, 0x5555}, {4, 0x6666}, {4, 1}}),
       {false, 0, 0, 2, 0,
        "no offset from -2000 to 2000 samples gives a track's sector 450 as the AccurateRip "
        "database holds it"}},
      {"404", "", {false, 0, 0, 0, 0, "the disc is not in the AccurateRip database"}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string folder = std::string("ar") + std::to_string(&c - cases);
    if (!c.Answer.empty())
      server.AddFile(folder + "/" + RequestPath(ids), c.Answer);
    const TOffsetDetection found = DetectReadOffset(0, "http://" + server.Address() + "/" + folder);
    EXPECT_EQ(found.Found, c.Expected.Found);
    EXPECT_EQ(found.Offset, c.Expected.Offset);
    EXPECT_EQ(found.Tracks, c.Expected.Tracks);
    EXPECT_EQ(found.TracksChecked, c.Expected.TracksChecked);
    EXPECT_EQ(found.Confidence, c.Expected.Confidence);
    EXPECT_EQ(found.Why, c.Expected.Why);
  }
}
