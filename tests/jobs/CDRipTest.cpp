// The pipeline rip window of CD-input mode on disc images read through the CD input, offscreen,
// with the real lame and WM8EUTIL, and the Ogg settings it applies to each encoding.
#include "AuTags.h"
#include "AuVorbis.h"
#include "DiscInfo.h"
#include "Global.h"
#include "OggOptions.h"
#include "Text.h"

#include <gtest/gtest.h>

// The quality or the managed bit rates of the settings, and the disc's comments with "Use ID3
// tag" (the genre as its ID3v1 number, 255 when there is none).
TEST(CDRipOggOptions, FollowTheSettings) {
  struct {
    bool UseCompress;
    int Position, Nominal, Maximum, Minimum;
    float Quality;
    TVorbisBitRate ExpectNominal, ExpectMaximum, ExpectMinimum;
  } cases[] = {
      {true, 30, 8, 0, 0, 0.2f, brAutoSelect, brAutoSelect, brAutoSelect},
      {true, 100, 8, 0, 0, 0.9f, brAutoSelect, brAutoSelect, brAutoSelect},
      {false, 100, 8, 11, 1, 0.2f, bitrate128, bitrate192, bitrate45},
      {false, 30, 14, 0, 0, 0.2f, bitrate320, brAutoSelect, brAutoSelect},
      {false, 30, 99, 0, 0, 0.2f, brAutoSelect, brAutoSelect, brAutoSelect}, // a damaged file
  };
  TVorbisOut out;
  for (const auto &c : cases) {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.IsUseCompress = c.UseCompress;
    GlobalOptions.CompressPosition = c.Position;
    GlobalOptions.OggNomalBitRate = c.Nominal;
    GlobalOptions.OggMaxBitRate = c.Maximum;
    GlobalOptions.OggMinBitRate = c.Minimum;
    SetOggOptions(out, "Song", 3);
    EXPECT_FLOAT_EQ(out.Compression(), c.Quality) << c.Position;
    EXPECT_EQ(out.DesiredNominalBitrate(), c.ExpectNominal) << c.Nominal;
    EXPECT_EQ(out.DesiredMaximumBitrate(), c.ExpectMaximum) << c.Maximum;
    EXPECT_EQ(out.MinimumBitrate(), c.ExpectMinimum) << c.Minimum;
  }

  for (int genre : {1, -1}) { // "Acid" (after "A Cappella"), then none
    GlobalOptions.UseID3 = true;
    DiscInfo = TDiscInfo{};
    DiscInfo.Artist = "Ärtist";
    DiscInfo.Genre = genre;
    SetOggOptions(out, "Song", 3);
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Genre()), genre == 1 ? "34" : "255");
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Artist()), "Ärtist");
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Title()), "Song");
  }
  GlobalOptions.UseID3 = false;
  SetOggOptions(out, "Song", 3);
  EXPECT_TRUE(out.Comments().Artist().empty());
  GlobalOptions = TGlobalOptions{};
  DiscInfo = TDiscInfo{};
}
