#include "Mci.h"

#include "MciCDAudio.h"
#include "MciWaveAudio.h"

#include <cdio/cdio.h>

#include <algorithm>
#include <cctype>
#include <iomanip>
#include <mutex>
#include <sstream>
#include <vector>

namespace plat {

namespace {
std::mutex DeviceLock;
std::string Device;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The words as given; a file name in double quotes is one word, its blanks kept.
std::vector<std::string> Words(const std::string &command) {
  std::istringstream in(command);
  std::vector<std::string> words;
  for (std::string word; in >> std::quoted(word);)
    words.push_back(word);
  return words;
}
} // namespace

std::string CDAudioDevice() {
  std::lock_guard lock(DeviceLock);
  if (!Device.empty())
    return Device;
  std::string first;
  if (char **devices = cdio_get_devices(DRIVER_DEVICE)) {
    if (*devices)
      first = *devices;
    cdio_free_device_list(devices);
  }
  return first;
}

namespace {
int MoveTray(bool open) {
  const std::string device = CDAudioDevice();
  if (device.empty())
    return MciErrNoDevice;
  driver_id_t driver = DRIVER_DEVICE;
  const driver_return_code_t result =
      open ? cdio_eject_media_drive(device.c_str()) : cdio_close_tray(device.c_str(), &driver);
  return result == DRIVER_OP_SUCCESS ? 0 : MciErrHardware;
}
} // namespace

namespace {
int CDAudioCommand(const std::vector<std::string> &words, std::string *result,
                   TWindowHandle notifyWindow) {
  const std::string &verb = words[0];
  const auto n = words.size();
  auto answer = [result](int code, const std::string &text) {
    if (code == 0 && result)
      *result = text;
    return code;
  };
  if (verb == "set" && n == 4 && words[2] == "door" && (words[3] == "open" || words[3] == "closed"))
    return MoveTray(words[3] == "open");
  if (n == 2 && verb == "open")
    return cdaudio::Open();
  if (n == 2 && verb == "close")
    return cdaudio::Close();
  if (n == 2 && verb == "pause")
    return cdaudio::Pause();
  if (n == 2 && verb == "resume")
    return cdaudio::Resume();
  if (n == 2 && verb == "stop")
    return cdaudio::Stop();
  if (verb == "status" && n == 3 && words[2] == "mode")
    return answer(0, cdaudio::Mode());
  if (verb == "status" && n == 3 && words[2] == "length") {
    std::string length;
    return answer(cdaudio::DiscLength(length), length);
  }
  if (verb == "status" && n == 5 && (words[2] == "position" || words[2] == "type") &&
      words[3] == "track") {
    std::string text;
    int track = 0;
    try {
      track = std::stoi(words[4]);
    } catch (...) {
      return MciErrOutOfRange;
    }
    return answer(words[2] == "type" ? cdaudio::TrackType(track, text)
                                     : cdaudio::TrackPosition(track, text),
                  text);
  }
  if (verb == "play") {
    std::string from, to;
    bool notify = false;
    for (std::size_t i = 2; i < n; ++i) {
      if (words[i] == "from" && i + 1 < n)
        from = words[++i];
      else if (words[i] == "to" && i + 1 < n)
        to = words[++i];
      else if (words[i] == "notify")
        notify = true;
      else
        return MciErrUnrecognizedCommand;
    }
    return cdaudio::Play(from, to, notify ? notifyWindow : 0);
  }
  return MciErrUnrecognizedCommand;
}
} // namespace

int mciSendString(const std::string &command, std::string *result, TWindowHandle notifyWindow) {
  std::vector<std::string> words = Words(command);
  // The tray moves and the sound file is read or written before the call returns anyway.
  if (!words.empty() && Lower(words.back()) == "wait")
    words.pop_back();
  if (words.size() < 2)
    return MciErrUnrecognizedCommand;
  if (Lower(words[1]) == "cdaudio") {
    std::transform(words.begin(), words.end(), words.begin(), Lower);
    return CDAudioCommand(words, result, notifyWindow);
  }
  if (Lower(words[0]) == "open")
    return waveaudio::Open(words);
  if (waveaudio::Owns(words[1]))
    return waveaudio::Command(words, result);
  return MciErrUnrecognizedCommand;
}

void SetCDAudioDevice(const std::string &device) {
  std::lock_guard lock(DeviceLock);
  Device = device;
}

} // namespace plat
