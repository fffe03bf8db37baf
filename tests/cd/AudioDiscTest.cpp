// The main window's questions about discs: audio present, disc identifier.
#include "AudioDisc.h"
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

namespace {

class AudioDisc : public ::testing::Test {
protected:
  TTempDir Dir;
  std::string DataOnly = WriteTestDisc(Dir.Path(), "Data", {{300, true}});
  // Track 1 at 00:02:00, track 2 at 150 + 1000 = 1150 frames = 00:15:25, lead-out at 150 + 1600
  // = 1750 frames = 00:23:25.
  std::string TwoTracks = WriteAudioDisc(Dir.Path(), "Two", {1000, 600});
};

TEST_F(AudioDisc, VolumeSerialAddsStartAddressesAndTheLengthOfShortDiscs) {
  struct Case {
    std::vector<TTestTrack> tracks;
    int32_t serial;
  } cases[] = {
      // One track of 1000 sectors: 00:02:00 -> 0x000200, plus the length of 1000 frames.
      {{{1000}}, 0x000200 + 1000},
      // 00:02:00 and 00:15:25, plus the length 1750 - 150 frames.
      {{{1000}, {600}}, 0x000200 + 0x000F19 + 1600},
      // Three tracks: the start addresses alone, 00:02:00, 00:15:25, 00:23:25 (a data track
      // counts too).
      {{{1000}, {600}, {4500, true}}, 0x000200 + 0x000F19 + 0x001719},
      // Five tracks of a minute: starts at 00:02:00, 01:02:00, 02:02:00, 03:02:00, 04:02:00.
      {{{4500}, {4500}, {4500}, {4500}, {4500}}, 5 * 0x000200 + (1 + 2 + 3 + 4) * 0x010000},
  };
  int n = 0;
  for (const Case &c : cases) {
    TImageDrives drives({WriteTestDisc(Dir.Path(), "Disc" + std::to_string(++n), c.tracks)});
    TToc toc;
    ASSERT_TRUE(cd::ReadDriveToc(0, toc));
    EXPECT_EQ(cd::AudioVolumeSerial(toc), c.serial) << c.tracks.size() << " tracks";
    EXPECT_EQ(cd::DiscID(toc), std::to_string(c.serial));
  }
}

TEST_F(AudioDisc, PresenceAndIdentifierAreThoseOfTheOpenDrive) {
  TImageDrives drives({DataOnly, TwoTracks});
  TToc toc;
  ASSERT_TRUE(cd::ReadDriveToc(0, toc));
  EXPECT_EQ(cd::DiscID(toc), "") << "a data disc has no identifier";
  // The second drive is opened: its own disc answers, not the first one's.
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  ASSERT_EQ(GetCDList(&list), 1);
  TCDOpenRequest second{12, 1, list.Drives[1].HostAdapter, list.Drives[1].Target, 0, {}};
  const int32_t handle = GetCDHandle(&second);
  ASSERT_NE(handle, 0);
  EXPECT_TRUE(cd::IsAudioCDPresent(handle));
  ASSERT_TRUE(cd::ReadHandleToc(handle, toc));
  EXPECT_EQ(cd::DiscID(toc), std::to_string(0x000200 + 0x000F19 + 1600));
  const int32_t first = OpenFirstDrive();
  EXPECT_FALSE(cd::IsAudioCDPresent(first));
  CloseCDHandle(first);
  CloseCDHandle(handle);
  // A handle that is not open holds no disc.
  EXPECT_FALSE(cd::IsAudioCDPresent(handle));
  EXPECT_FALSE(cd::ReadHandleToc(handle, toc));
  TImageDrives none;
  EXPECT_FALSE(cd::ReadDriveToc(0, toc));
}

TEST_F(AudioDisc, AMixedDiscHasAudioAndADataOnlyDiscHasNone) {
  TImageDrives drives({DataOnly, WriteTestDisc(Dir.Path(), "Enhanced", {{100}, {100, true}})});
  TToc toc;
  ASSERT_TRUE(cd::ReadDriveToc(0, toc));
  EXPECT_FALSE(cd::HasAudioTrack(toc));
  ASSERT_TRUE(cd::ReadDriveToc(1, toc));
  EXPECT_TRUE(cd::HasAudioTrack(toc));
}

} // namespace
