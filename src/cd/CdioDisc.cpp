#include "CdioDisc.h"

#include <cdio/logging.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <utility>

namespace {
thread_local std::string FirstMessage;

void KeepMessage(cdio_log_level_t level, const char message[]) {
  if (level >= CDIO_LOG_WARN && message && FirstMessage.empty())
    FirstMessage = message; // the first one names the cause; "init failed" follows it
}

uint8_t ControlOf(CdIo_t *cdio, track_t track) {
  uint8_t control = 0;
  if (cdio_get_track_format(cdio, track) != TRACK_FORMAT_AUDIO)
    control |= 0x04;
  if (cdio_get_track_copy_permit(cdio, track) == CDIO_TRACK_FLAG_TRUE)
    control |= 0x02;
  if (cdio_get_track_preemphasis(cdio, track) == CDIO_TRACK_FLAG_TRUE)
    control |= 0x01;
  if (cdio_get_track_channels(cdio, track) == 4)
    control |= 0x08;
  return control;
}
} // namespace

void QuietCdioLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The CD ripping library carries a copy of this code: the first copy's handler stays.
    const cdio_log_handler_t old = cdio_log_set_handler(KeepMessage);
    if (old != cdio_default_log_handler)
      cdio_log_set_handler(old);
  });
}

std::string TakeCdioMessage() { return std::exchange(FirstMessage, {}); }

bool ReadDiscLayout(CdIo_t *cdio, TDiscLayout &disc) {
  disc = {};
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 ||
      first + count - 1 > 99)
    return false;
  disc.FirstTrack = first;
  disc.LeadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
  for (track_t t = first; t < first + count; ++t) {
    const lsn_t lsn = cdio_get_track_lsn(cdio, t);
    const bool ascending = disc.Tracks.empty() || lsn > disc.Tracks.back().Lsn;
    if (lsn == CDIO_INVALID_LSN || lsn < 0 || !ascending || lsn >= disc.LeadOut)
      return false;
    disc.Tracks.push_back({lsn, ControlOf(cdio, t)});
  }
  return true;
}

std::vector<std::string> CdioDevicePaths() {
  std::vector<std::string> paths;
  char **devices = cdio_get_devices(DRIVER_DEVICE);
  if (!devices)
    return paths;
  for (char **d = devices; *d; ++d) {
    std::error_code ec;
    const std::string path = std::filesystem::weakly_canonical(*d, ec).string();
    if (!ec && std::find(paths.begin(), paths.end(), path) == paths.end())
      paths.push_back(path);
  }
  cdio_free_device_list(devices);
  return paths;
}
