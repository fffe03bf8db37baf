// The tray commands of the media control stand-in, on a device without a tray.
#include "Mci.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

namespace {

TEST(MciDoor, DoorCommandsReachTheDeviceAndOthersAreRefused) {
  TTempDir dir;
  // An image stands in for the drive, so no real tray moves during the tests.
  plat::SetCDAudioDevice(WriteAudioDisc(dir.Path(), "Tray", {75}));
  for (const char *command : {"Set cdaudio door open wait", "Set cdaudio door closed wait",
                              "SET CDAUDIO  DOOR OPEN", "set cdaudio door closed"}) {
    // An image has no tray: the command is understood and the device fails it.
    EXPECT_EQ(plat::mciSendString(command), plat::MciErrHardware) << command;
  }
  for (const char *command :
       {"", "wait", "Set cdaudio door ajar wait", "Set cdaudio door", "Play cdaudio sideways",
        "Set waveaudio door open wait", "Set cdaudio door open wait now"})
    EXPECT_EQ(plat::mciSendString(command), plat::MciErrUnrecognizedCommand) << command;
  plat::SetCDAudioDevice("");
}

} // namespace
