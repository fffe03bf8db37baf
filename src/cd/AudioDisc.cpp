#include "AudioDisc.h"

#include <cstring>

namespace cd {

namespace {
const uint8_t *Msf(const TTocEntry &entry) { return entry.Address + 1; }

uint32_t Frames(const TTocEntry &entry) {
  return Msf(entry)[0] * 4500u + Msf(entry)[1] * 75u + Msf(entry)[2];
}

int TrackCount(const TToc &toc) {
  const int count = toc.LastTrack - toc.FirstTrack + 1;
  return count >= 1 && count < MaxTocEntries ? count : 0;
}
} // namespace

bool HasAudioTrack(const TToc &toc) {
  for (int i = 0; i < TrackCount(toc); ++i)
    if (!(toc.Entries[i].AdrControl & TocControlData))
      return true;
  return false;
}

namespace {
// What read gives for a handle of the drive, opened for it alone.
template <class TRead> bool ReadThrough(const TCDDriveEntry &drive, TRead read) {
  TCDOpenRequest request{12, 1, drive.HostAdapter, drive.Target, drive.Lun, {}};
  const int32_t handle = GetCDHandle(&request);
  if (!handle)
    return false;
  const bool done = read(handle);
  CloseCDHandle(handle);
  return done;
}

TCDDriveList Drives() {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  return list;
}
} // namespace

bool ReadDriveToc(int index, TToc &toc) {
  const TCDDriveList list = Drives();
  return index >= 0 && index < list.Count &&
         ReadThrough(list.Drives[index], [&toc](int32_t h) { return ReadHandleToc(h, toc); });
}

bool ReadDriveText(int index, TDiscText &text) {
  const TCDDriveList list = Drives();
  return index >= 0 && index < list.Count &&
         ReadThrough(list.Drives[index], [&text](int32_t h) { return GetCDText(h, text); });
}

bool ReadHandleToc(int32_t handle, TToc &toc) {
  return ModifyCDParms(handle, CDParmMsfAddresses, 1) && ReadTOC(handle, &toc) == 1;
}

bool IsAudioCDPresent(int32_t handle) {
  TToc toc;
  return ReadHandleToc(handle, toc) && HasAudioTrack(toc);
}

int32_t AudioVolumeSerial(const TToc &toc) {
  const int count = TrackCount(toc);
  uint32_t sum = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t *msf = Msf(toc.Entries[i]);
    sum += (uint32_t{msf[0]} << 16) + (uint32_t{msf[1]} << 8) + msf[2];
  }
  // Short discs would share too few different sums: their length is added.
  if (count > 0 && count < 3)
    sum += Frames(toc.Entries[count]) - Frames(toc.Entries[0]);
  return static_cast<int32_t>(sum);
}

std::string DiscID(const TToc &toc) {
  return HasAudioTrack(toc) ? std::to_string(AudioVolumeSerial(toc)) : "";
}

std::string DriveText(const TCDDriveEntry &drive) {
  return std::string(drive.Vendor, strnlen(drive.Vendor, sizeof drive.Vendor)) +
         std::string(drive.Product, strnlen(drive.Product, sizeof drive.Product));
}

} // namespace cd
