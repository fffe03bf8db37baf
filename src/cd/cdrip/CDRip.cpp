// The CD ripping library's entry points other than ripping: drives, parameters, table of
// contents, media status, tray, cdr.ini, and honest answers for what a file-based drive or
// libcdio cannot do.
#include "cdrip/CDRip.h"

#include "CdioDisc.h"
#include "Drives.h"
#include "IniFile.h"
#include "ReadOffset.h"

#include <cdio/mmc_ll_cmds.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

struct TState {
  int InitCount = 0;
  std::vector<std::string> Images;
  bool ScanSystem = true;
  std::string SettingsFolder;
  std::vector<TCDRipDrive> Drives;
  int Active = 0;
  int TransportLayer = 1;
  TCDRipParams Block{};            // the block CR_GetStructPointer hands out
  std::vector<TCDRipTocEntry> Toc; // the tracks and the lead-out of the last table read
};

TState State;

// Copies text into the NUL-ended identification field.
void SetDriveID(TCDRipParams &params, const std::string &text) {
  std::memset(params.DriveID, 0, sizeof params.DriveID);
  std::memcpy(params.DriveID, text.data(), std::min(text.size(), sizeof params.DriveID - 1));
}

std::string DriveIDOf(const TCDRipDrive &drive) {
  if (drive.Image)
    return "IMAGE " + std::filesystem::path(drive.Path).stem().string();
  cdio_hwinfo_t info{};
  CdIo_t *cdio = OpenDrive(drive);
  const bool known = cdio && cdio_get_hwinfo(cdio, &info);
  if (cdio)
    cdio_destroy(cdio);
  return known ? std::string(info.psz_vendor) + " " + info.psz_model + " " + info.psz_revision
               : drive.Path;
}

// The drives as CR_SetDiscImages describes them, each read securely by default.
void ListDrives() {
  QuietCdioLog();
  std::vector<std::string> devices;
  if (State.ScanSystem)
    devices = CdioDevicePaths();
  State.Drives.clear();
  for (const std::string &path : devices)
    State.Drives.push_back({path, false, {}});
  for (const std::string &path : State.Images)
    State.Drives.push_back({path, true, {}});
  for (TCDRipDrive &drive : State.Drives) {
    SetDriveID(drive.Params, DriveIDOf(drive));
    drive.Params.JitterCorrection = 1;
  }
  if (State.Active >= static_cast<int>(State.Drives.size()))
    State.Active = 0;
}

std::string IniPath() { return State.SettingsFolder + "cdr.ini"; }

// Whether the drive holds a disc whose table of contents can be read; fills disc.
bool ReadDisc(const TCDRipDrive &drive, TDiscLayout &disc) {
  CdIo_t *cdio = OpenDrive(drive);
  const bool ok = cdio && ReadDiscLayout(cdio, disc);
  if (cdio)
    cdio_destroy(cdio);
  return ok;
}

} // namespace

std::recursive_mutex &LibraryLock() {
  static std::recursive_mutex lock;
  return lock;
}

TCDRipDrive *ActiveDrive() {
  return State.Active < static_cast<int>(State.Drives.size()) ? &State.Drives[State.Active]
                                                              : nullptr;
}

CdIo_t *OpenDrive(const TCDRipDrive &drive) {
  return drive.Image ? cdio_open_cue(drive.Path.c_str())
                     : cdio_open(drive.Path.c_str(), DRIVER_DEVICE);
}

extern "C" {

int32_t CR_Init(int32_t) {
  const std::lock_guard guard(LibraryLock());
  if (State.InitCount++ == 0) {
    ListDrives();
    CR_LoadSettings();
  }
  return CDRipOK;
}

int32_t CR_DeInit() {
  const std::lock_guard guard(LibraryLock());
  if (State.InitCount > 0 && --State.InitCount == 0) {
    CR_CloseRipper();
    State.Drives.clear();
    State.Toc.clear();
  }
  return CDRipOK;
}

int32_t CR_GetCDRipVersion() { return CDRipVersion; }
int32_t CR_GetNumCDROM() {
  const std::lock_guard guard(LibraryLock());
  return static_cast<int32_t>(State.Drives.size());
}

void CR_SetActiveCDROM(int32_t drive) {
  const std::lock_guard guard(LibraryLock());
  if (drive >= 0 && drive < CR_GetNumCDROM())
    State.Active = drive;
}

int32_t CR_GetActiveCDROM() {
  const std::lock_guard guard(LibraryLock());
  return State.Active;
}
int32_t CR_SelectCDROMType(int32_t) { return CDRipNotSupported; }
int32_t CR_GetCDROMType() { return 0; }
TCDRipParams *CR_GetStructPointer() { return &State.Block; }

int32_t CR_GetCDROMParameters(TCDRipParams *params) {
  const std::lock_guard guard(LibraryLock());
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive || !params)
    return CDRipNoDrive;
  *params = drive->Params;
  return CDRipOK;
}

int32_t CR_SetCDROMParameters(const TCDRipParams *params) {
  const std::lock_guard guard(LibraryLock());
  TCDRipDrive *drive = ActiveDrive();
  if (!drive || !params)
    return CDRipNoDrive;
  const TCDRipParams old = drive->Params;
  drive->Params = *params;
  std::memcpy(drive->Params.DriveID, old.DriveID, sizeof old.DriveID); // what the drive is
  return CDRipOK;
}

int32_t CR_SetReadOffset(int32_t samples) {
  const std::lock_guard guard(LibraryLock());
  TCDRipDrive *drive = ActiveDrive();
  if (!drive)
    return CDRipNoDrive;
  if (!ValidReadOffset(samples))
    return CDRipError;
  drive->ReadOffset = samples;
  return CDRipOK;
}

void CR_LoadSettings() {
  const std::lock_guard guard(LibraryLock());
  if (State.SettingsFolder.empty())
    return;
  TIniFile ini(IniPath());
  CR_SetActiveCDROM(ini.ReadInteger("CD-ROM", "nActive", State.Active));
  State.TransportLayer = ini.ReadInteger("CD-ROM", "nTransportLayer", State.TransportLayer);
}

int32_t CR_SaveSettings() {
  const std::lock_guard guard(LibraryLock());
  if (State.SettingsFolder.empty())
    return CDRipError;
  TIniFile ini(IniPath());
  ini.WriteInteger("CD-ROM", "nActive", State.Active);
  ini.WriteInteger("CD-ROM", "nTransportLayer", State.TransportLayer);
  return ini.UpdateFile() ? CDRipOK : CDRipError;
}

void CR_NormalizeChunk(int16_t *samples, int32_t count, double scale) {
  for (int32_t i = 0; samples && i < count; ++i)
    samples[i] = static_cast<int16_t>(std::clamp(samples[i] * scale, -32768.0, 32767.0));
}

int32_t CR_ReadToc() {
  const std::lock_guard guard(LibraryLock());
  State.Toc.clear();
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive)
    return CDRipNoDrive;
  TDiscLayout disc;
  if (!ReadDisc(*drive, disc))
    return CDRipNotReady;
  for (std::size_t i = 0; i < disc.Tracks.size(); ++i)
    State.Toc.push_back({static_cast<uint32_t>(disc.Tracks[i].Lsn),
                         disc.Tracks[i].Control,
                         static_cast<uint8_t>(disc.FirstTrack + i),
                         {}});
  State.Toc.push_back({static_cast<uint32_t>(disc.LeadOut), 0, 0xAA, {}});
  return CDRipOK;
}

int32_t CR_GetNumTocEntries() {
  const std::lock_guard guard(LibraryLock());
  return State.Toc.empty() ? 0 : static_cast<int32_t>(State.Toc.size()) - 1;
}

TCDRipTocEntry CR_GetTocEntry(int32_t index) {
  const std::lock_guard guard(LibraryLock());
  return index >= 0 && index < static_cast<int32_t>(State.Toc.size()) ? State.Toc[index]
                                                                      : TCDRipTocEntry{};
}

int32_t CR_ReadCDText(uint8_t *, int32_t, int32_t *textSize) {
  if (textSize)
    *textSize = 0;
  return CDRipNotSupported;
}

int32_t CR_IsUnitReady() {
  int32_t status = 1;
  return CR_IsMediaLoaded(&status) == CDRipOK && status == 0;
}

int32_t CR_IsMediaLoaded(int32_t *status) {
  const std::lock_guard guard(LibraryLock());
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive || !status)
    return CDRipNoDrive;
  TDiscLayout disc;
  *status = ReadDisc(*drive, disc) ? 0 : 1;
  return CDRipOK;
}

int32_t CR_EjectCD(int32_t eject) {
  const std::lock_guard guard(LibraryLock());
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive)
    return CDRipNoDrive;
  if (drive->Image)
    return CDRipNotSupported;
  const driver_return_code_t result = eject ? cdio_eject_media_drive(drive->Path.c_str())
                                            : cdio_close_tray(drive->Path.c_str(), nullptr);
  return result == DRIVER_OP_SUCCESS ? CDRipOK : CDRipError;
}

// CD playback is the MCI device's work, not this library's.
int32_t CR_IsAudioPlaying() { return 0; }
int32_t CR_PlayTrack(int32_t) { return CDRipNotSupported; }
int32_t CR_StopPlayTrack() { return CDRipNotSupported; }
int32_t CR_PauseCD(int32_t) { return CDRipNotSupported; }
int32_t CR_GetCDStatusInfo() { return CDRipNotSupported; }
int32_t CR_GetSubChannelTrackInfo(int32_t *, int32_t *, int32_t *, int32_t *) {
  return CDRipNotSupported;
}
int32_t CR_GetPlayPosition(int32_t *) { return CDRipNotSupported; }
int32_t CR_SetPlayPosition(int32_t) { return CDRipNotSupported; }
int32_t CR_PlaySection(int32_t, int32_t) { return CDRipNotSupported; }
int32_t CR_ScanForC2Errors(int32_t, int32_t, int32_t *) { return CDRipNotSupported; }

// libcdio has no tray lock for an image: there is nothing to lock.
int32_t CR_LockCD(int32_t lock) {
  const std::lock_guard guard(LibraryLock());
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive)
    return CDRipNoDrive;
  if (drive->Image)
    return CDRipOK;
  CdIo_t *cdio = OpenDrive(*drive);
  if (!cdio)
    return CDRipError;
  const driver_return_code_t result = mmc_prevent_allow_medium_removal(cdio, false, lock != 0, 0);
  cdio_destroy(cdio);
  return result == DRIVER_OP_SUCCESS ? CDRipOK : CDRipError;
}

void CR_SetTransportLayer(int32_t layer) {
  const std::lock_guard guard(LibraryLock());
  State.TransportLayer = layer;
}
int32_t CR_GetTransportLayer() {
  const std::lock_guard guard(LibraryLock());
  return State.TransportLayer;
}

const char *CR_GetDriveID(const TCDRipParams *params) { return params ? params->DriveID : ""; }
int32_t CR_GetJitterCorrection(const TCDRipParams *p) { return p->JitterCorrection; }
void CR_SetJitterCorrection(TCDRipParams *p, int32_t value) { p->JitterCorrection = value; }
void CR_SetEnableMultiRead(TCDRipParams *p, int32_t value) { p->EnableMultiRead = value; }
void CR_SetParanoidMode(TCDRipParams *p, int32_t value) { p->Paranoid = value; }
void CR_SetReadSectors(TCDRipParams *p, int32_t value) { p->ReadSectors = value; }
void CR_SetOverlapSectors(TCDRipParams *p, int32_t value) { p->OverlapSectors = value; }
void CR_SetCompareSectors(TCDRipParams *p, int32_t value) { p->CompareSectors = value; }
void CR_SetMultiReadCount(TCDRipParams *p, int32_t value) { p->MultiReadCount = value; }
void CR_SetParanoiaMode(TCDRipParams *p, int32_t value) { p->ParanoiaMode = value; }
void CR_LockCDTrayWhileRipping(TCDRipParams *p, uint8_t value) { p->LockTray = value; }
int32_t CR_GetReadSectors(const TCDRipParams *p) { return p->ReadSectors; }
int32_t CR_GetOverlapSectors(const TCDRipParams *p) { return p->OverlapSectors; }
int32_t CR_GetCompareSectors(const TCDRipParams *p) { return p->CompareSectors; }
int32_t CR_GetEnableMultiRead(const TCDRipParams *p) { return p->EnableMultiRead; }
int32_t CR_GetMultiReadCount(const TCDRipParams *p) { return p->MultiReadCount; }
int32_t CR_IsParanoidMode(const TCDRipParams *p) { return p->Paranoid; }
int32_t CR_GetParanoiaMode(const TCDRipParams *p) { return p->ParanoiaMode; }

void CR_SetDiscImages(const char *const *cuePaths, int32_t count, int32_t scanSystemDrives) {
  const std::lock_guard guard(LibraryLock());
  State.Images.assign(cuePaths, cuePaths + std::max(count, 0));
  State.ScanSystem = scanSystemDrives != 0;
  if (State.InitCount > 0)
    ListDrives();
}

void CR_SetSettingsFolder(const char *folder) {
  const std::lock_guard guard(LibraryLock());
  State.SettingsFolder = folder ? folder : "";
}

} // extern "C"
