#include "Mci.h"

#include <cdio/cdio.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <sstream>
#include <vector>

namespace plat {

namespace {
std::mutex DeviceLock;
std::string Device;

std::vector<std::string> LowerWords(const std::string &command) {
  std::string lower = command;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::istringstream in(lower);
  std::vector<std::string> words;
  for (std::string word; in >> word;)
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

int mciSendString(const std::string &command) {
  std::vector<std::string> words = LowerWords(command);
  if (!words.empty() && words.back() == "wait") // the tray moves before the call returns anyway
    words.pop_back();
  if (words.size() == 4 && words[0] == "set" && words[1] == "cdaudio" && words[2] == "door") {
    if (words[3] == "open")
      return MoveTray(true);
    if (words[3] == "closed")
      return MoveTray(false);
  }
  return MciErrUnrecognizedCommand;
}

void SetCDAudioDevice(const std::string &device) {
  std::lock_guard lock(DeviceLock);
  Device = device;
}

} // namespace plat
