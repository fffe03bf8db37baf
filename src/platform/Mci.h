#pragma once
// Media control command strings ("Set cdaudio door open wait", "play cdaudio from 00:02:00
// notify") over our own devices.
#include "Messages.h"

#include <string>

namespace plat {

// Results of mciSendString: 0 on success, else one of these.
constexpr int MciErrUnrecognizedCommand = 261;
constexpr int MciErrHardware = 262;
constexpr int MciErrNoDevice = 263;
constexpr int MciErrDeviceOpen = 265;
constexpr int MciErrFileNotFound = 275;
constexpr int MciErrOutOfRange = 282;
constexpr int MciErrInvalidFile = 296;
// A record finds no input device that can record (the machine has none).
constexpr int MciErrWaveInputsUnsuitable = 328;
constexpr int MciErrNotAudio = 325; // a CD track that holds data, not audio

// The notification a play with "notify" posts to its window when it ends by itself; wParam
// says how.
constexpr unsigned MM_MCINOTIFY = 0x3B9;
constexpr unsigned MCI_NOTIFY_SUCCESSFUL = 1;
constexpr unsigned MCI_NOTIFY_FAILURE = 8;

// Carries out one command string (words in any case, a trailing "wait" accepted). The CD
// audio device understands: "set cdaudio door open|closed" (the tray), "open cdaudio",
// "close cdaudio", "status cdaudio position track N" and "status cdaudio length" (times as
// "mm:ss:ff" into result), "status cdaudio type track N" ("audio" or "other"),
// "status cdaudio mode", "play cdaudio from P [to Q] [notify]"
// (notifying notifyWindow), "pause cdaudio", "resume cdaudio" and "stop cdaudio". Any other
// "open" opens a WAV file on the waveaudio device (MciWaveAudio.h); a file name with blanks
// goes in double quotes.
int mciSendString(const std::string &command, std::string *result = nullptr,
                  TWindowHandle notifyWindow = 0);

// The CD audio device: a device path, or "" (the default) for the system's first CD drive.
void SetCDAudioDevice(const std::string &device);
// The device the cdaudio commands act on now; "" when there is none.
std::string CDAudioDevice();

} // namespace plat
