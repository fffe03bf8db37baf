// What a disc carries beside its audio: catalogue number, ISRCs, pre-emphasis, and music hidden
// in the pregap before track 1, read from disc images through the drive library.
#include "DiscCodes.h"
#include "AudioDisc.h"
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// A BIN of `sectors` sectors, silent or the test audio, under the given cue sheet text.
std::string WriteSheet(const TTempDir &dir, const std::string &name, uint32_t sectors, bool silent,
                       const std::string &sheet) {
  const std::vector<uint8_t> audio =
      silent ? std::vector<uint8_t>(size_t{sectors} * CDSectorSize) : TestAudio(1, sectors);
  std::ofstream(dir.File(name + ".bin"), std::ios::binary)
      .write(reinterpret_cast<const char *>(audio.data()), std::streamsize(audio.size()));
  std::ofstream(dir.File(name + ".cue")) << "FILE \"" << name << ".bin\" BINARY\n" << sheet;
  return dir.File(name + ".cue");
}

} // namespace

// Each code lands on its own track; a malformed one (lower case, too short, a drive's
// thirteen zeros) and a data track's flags count as none.
TEST(DiscCodes, ACueSheetsCatalogIsrcsAndPreEmphasisReachTheirTracks) {
  TTempDir dir;
  const struct {
    const char *Sheet;
    std::string Catalog;
    std::vector<std::string> Isrcs;
    std::vector<bool> PreEmphasis;
  } cases[] = {
      {"CATALOG 0724384260523\n"
       "  TRACK 01 AUDIO\n    ISRC USABC9900001\n    FLAGS PRE\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    INDEX 01 00:00:20\n"
       "  TRACK 03 AUDIO\n    ISRC GB1AB0012345\n    FLAGS DCP PRE\n    INDEX 01 00:00:40\n",
       "0724384260523",
       {"USABC9900001", "", "GB1AB0012345"},
       {true, false, true}},
      {"CATALOG 0000000000000\n"
       "  TRACK 01 AUDIO\n    ISRC usabc9900001\n    INDEX 01 00:00:00\n"
       "  TRACK 02 AUDIO\n    ISRC USABC99001\n    INDEX 01 00:00:20\n"
       "  TRACK 03 MODE1/2352\n    FLAGS PRE\n    INDEX 01 00:00:40\n",
       "",
       {"", "", ""},
       {false, false, false}},
  };
  int n = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Sheet);
    TImageDrives drives({WriteSheet(dir, "Codes" + std::to_string(++n), 60, false, c.Sheet)});
    const int32_t handle = OpenFirstDrive();
    TDiscCodes codes;
    ASSERT_TRUE(GetCDCodes(handle, codes));
    CloseCDHandle(handle);
    EXPECT_EQ(codes.Catalog, c.Catalog);
    for (int track = 1; track <= 3; ++track) {
      EXPECT_EQ(codes.IsrcOf(track), c.Isrcs[track - 1]) << track;
      EXPECT_EQ(codes.PreEmphasisOf(track), c.PreEmphasis[track - 1]) << track;
    }
    EXPECT_EQ(codes.IsrcOf(0), "");
    EXPECT_EQ(codes.PreEmphasisOf(0), c.PreEmphasis[0]); // the hidden track is track 1's pregap
    EXPECT_FALSE(codes.PreEmphasisOf(4));
    // The secure rip's way in, by the drive's place in the list, reads the same.
    TDiscCodes again;
    ASSERT_TRUE(cd::ReadDriveCodes(0, again));
    EXPECT_EQ(again.Isrc, codes.Isrc);
  }
}

// Only music between the lead-in and track 1's INDEX 01 is a hidden track: not silence, not
// the usual two seconds alone, not a data track, not a disc starting at another number.
TEST(HiddenTrack, MusicInThePregapBeforeTrack1IsFoundAndNothingElse) {
  TTempDir dir;
  const struct {
    const char *Sheet;
    bool Silent;
    int32_t Sectors;
  } cases[] = {
      {"  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:01:05\n", false, 80},
      {"  TRACK 01 AUDIO\n    INDEX 01 00:00:30\n", false, 30},
      {"  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n    INDEX 01 00:01:05\n", true, 0},
      {"  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n", false, 0},
      {"  TRACK 01 MODE1/2352\n    INDEX 01 00:01:05\n", false, 0},
      {"  TRACK 02 AUDIO\n    INDEX 01 00:01:05\n", false, 0},
  };
  int n = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Sheet);
    TImageDrives drives({WriteSheet(dir, "Gap" + std::to_string(++n), 150, c.Silent, c.Sheet)});
    const int32_t handle = OpenFirstDrive();
    EXPECT_EQ(GetCDHiddenTrack(handle), c.Sectors);
    CloseCDHandle(handle);
  }
}
