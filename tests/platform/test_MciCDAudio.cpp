// The media device "cdaudio" on a disc image, played through SDL's disk driver: the range asked
// for reaches the sound card byte for byte, its end is notified once, and a play that is
// stopped or replaced is not.
#include "FileContents.h"
#include "Mci.h"
#include "MessagePump.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

class TNotified : public TMessageWindow {
public:
  std::vector<std::uintptr_t> How;
  void WndProc(TMessage &message) override {
    if (message.Msg == plat::MM_MCINOTIFY)
      How.push_back(message.WParam);
  }
};

std::string Send(const std::string &command, TWindowHandle notify = 0) {
  std::string result;
  EXPECT_EQ(plat::mciSendString(command, &result, notify), 0) << command;
  return result;
}

// Opens the device on the disc image cue, its sound going to dir's played.raw.
void OpenCDAudio(const TTempDir &dir, const std::string &cue) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", dir.File("played.raw").c_str(), 1);
  plat::SetCDAudioDevice(cue);
  Send("open cdaudio");
}

TEST(MciCDAudio, PlaysTheRangeAskedForAndNotifiesItsEndOnce) {
  TTempDir dir;
  TNotified window;
  OpenCDAudio(dir, WriteAudioDisc(dir.Path(), "Short", {30, 40, 20}));
  EXPECT_EQ(Send("status cdaudio position track 2"), "00:02:30");
  EXPECT_EQ(Send("status cdaudio length"), "00:03:15");
  EXPECT_EQ(plat::mciSendString("status cdaudio position track 4"), plat::MciErrOutOfRange);

  // A play replaced at once, then a stopped one: neither is heard to its end nor notified.
  Send("play cdaudio from 00:02:00 to 00:02:30 notify", window.Handle());
  Send("play cdaudio from 00:02:30 to 00:02:70 notify", window.Handle());
  Send("pause cdaudio");
  EXPECT_EQ(Send("status cdaudio mode"), "paused");
  Send("stop cdaudio");
  EXPECT_EQ(Send("status cdaudio mode"), "stopped");
  PumpFor(200);
  EXPECT_TRUE(window.How.empty());

  std::filesystem::remove(dir.File("played.raw"));
  Send("play cdaudio from 00:02:30 to 00:02:70 notify", window.Handle());
  ASSERT_TRUE(PumpUntil([&] { return !window.How.empty(); }));
  EXPECT_EQ(window.How, std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  EXPECT_EQ(Send("status cdaudio mode"), "stopped");
  Send("close cdaudio");
  EXPECT_EQ(WithoutSilence(ReadFileBytes(dir.File("played.raw"))), TestAudio(2, 40));
  plat::SetCDAudioDevice("");
}

// A data track is no audio: a play that starts in one is refused, and one that would run into
// one (to the end of the disc) ends before it.
TEST(MciCDAudio, DataTracksAreNeverPlayed) {
  TTempDir dir;
  TNotified window;
  OpenCDAudio(dir, WriteTestDisc(dir.Path(), "Extra", {{30}, {20}, {40, true, true}}));
  EXPECT_EQ(Send("status cdaudio type track 2"), "audio");
  EXPECT_EQ(Send("status cdaudio type track 3"), "other");
  EXPECT_EQ(plat::mciSendString("play cdaudio from 00:02:50"), plat::MciErrNotAudio);
  Send("play cdaudio from 00:02:30 notify", window.Handle());
  ASSERT_TRUE(PumpUntil([&] { return !window.How.empty(); }));
  EXPECT_EQ(window.How, std::vector<std::uintptr_t>{plat::MCI_NOTIFY_SUCCESSFUL});
  Send("close cdaudio");
  EXPECT_EQ(WithoutSilence(ReadFileBytes(dir.File("played.raw"))), TestAudio(2, 20));
  plat::SetCDAudioDevice("");
}

} // namespace
