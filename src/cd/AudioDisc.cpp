#include "AudioDisc.h"

#include "DiscCodes.h"

#include <cdio/cdio.h>

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
TCDDriveList Drives() {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  return list;
}

std::string Trimmed(const char *text, size_t size) {
  std::string s(text, strnlen(text, size));
  s.erase(s.find_last_not_of(' ') + 1);
  s.erase(0, s.find_first_not_of(' '));
  return s;
}
} // namespace

int32_t OpenDriveAt(int index) {
  const TCDDriveList list = Drives();
  if (index < 0 || index >= list.Count)
    return 0;
  const TCDDriveEntry &drive = list.Drives[index];
  TCDOpenRequest request{12, 1, drive.HostAdapter, drive.Target, drive.Lun, {}};
  return GetCDHandle(&request);
}

namespace {
// What read gives for a handle of the drive at index, opened for it alone.
template <class TRead> bool ReadThrough(int index, TRead read) {
  const int32_t handle = OpenDriveAt(index);
  if (!handle)
    return false;
  const bool done = read(handle);
  CloseCDHandle(handle);
  return done;
}
} // namespace

bool ReadDriveToc(int index, TToc &toc) {
  return ReadThrough(index, [&toc](int32_t h) { return ReadHandleToc(h, toc); });
}

bool ReadDriveText(int index, TDiscText &text) {
  return ReadThrough(index, [&text](int32_t h) { return GetCDText(h, text); });
}

bool ReadDriveCodes(int index, TDiscCodes &codes) {
  return ReadThrough(index, [&codes](int32_t h) { return GetCDCodes(h, codes); });
}

namespace {
// A text the drive library gives for an open handle; "" when the drive cannot be opened.
std::string TextThrough(int index, std::string (*text)(int32_t)) {
  std::string result;
  ReadThrough(index, [&](int32_t h) {
    result = text(h);
    return true;
  });
  return result;
}
} // namespace

std::string DevicePathAt(int index) { return TextThrough(index, GetCDDevicePath); }

std::string DriveTextAt(int index) { return TextThrough(index, HandleDriveText); }

bool ReadHandleToc(int32_t handle, TToc &toc) {
  return ModifyCDParms(handle, CDParmMsfAddresses, 1) && ReadTOC(handle, &toc) == 1;
}

std::string HandleDriveText(int32_t handle) {
  const std::string path = GetCDDevicePath(handle);
  if (path.ends_with(".cue"))
    return "Disc image " + path;
  cdio_hwinfo_t info{};
  CdIo_t *cdio = cdio_open(path.c_str(), DRIVER_DEVICE);
  const bool known = cdio && cdio_get_hwinfo(cdio, &info);
  if (cdio)
    cdio_destroy(cdio);
  return known ? std::string(info.psz_vendor) + " " + info.psz_model + " (" + path + ")" : path;
}

accuraterip::TDiscToc VerificationToc(const TToc &toc) {
  accuraterip::TDiscToc disc;
  const int count = TrackCount(toc);
  for (int i = 0; i < count; ++i)
    disc.Tracks.push_back({static_cast<int32_t>(Frames(toc.Entries[i])) - 150,
                           !(toc.Entries[i].AdrControl & TocControlData)});
  if (count > 0)
    disc.LeadOut = static_cast<int32_t>(Frames(toc.Entries[count])) - 150;
  disc.FirstTrack = toc.FirstTrack;
  return disc;
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

std::string DriveKey(int index) {
  const TCDDriveList list = Drives();
  if (index < 0 || index >= list.Count)
    return "";
  const TCDDriveEntry &drive = list.Drives[index];
  if (drive.HostAdapter == ImageHostAdapter) {
    const std::vector<std::string> images = DiscImages();
    return drive.Target < images.size() ? images[drive.Target] : "";
  }
  return Trimmed(drive.Vendor, sizeof drive.Vendor) + " " +
         Trimmed(drive.Product, sizeof drive.Product);
}

} // namespace cd
