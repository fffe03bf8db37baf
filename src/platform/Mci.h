#pragma once
// Media control command strings ("Set cdaudio door open wait") over our own devices.
#include <string>

namespace plat {

// Results of mciSendString: 0 on success, else one of these.
constexpr int MciErrUnrecognizedCommand = 261;
constexpr int MciErrHardware = 262;
constexpr int MciErrNoDevice = 263;

// Carries out one command string. Understood so far: "set cdaudio door open [wait]" and
// "set cdaudio door closed [wait]" (words in any case), which open and close the tray of the
// CD audio device.
int mciSendString(const std::string &command);

// The CD audio device: a device path, or "" (the default) for the system's first CD drive.
void SetCDAudioDevice(const std::string &device);
// The device the cdaudio commands act on now; "" when there is none.
std::string CDAudioDevice();

} // namespace plat
