#include "akrip32.h"

#include "CdioDisc.h"
#include "DiscCodes.h"
#include "DiscText.h"
#include "HiddenTrack.h"
#include "OffsetReader.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A drive of the list: a system device (host adapter 0) or a registered image (1), each
// numbered from 0 as the target.
struct TDriveRef {
  bool Image = false;
  std::string Path;
  uint8_t HostAdapter = 0;
  uint8_t Target = 0;
};

// An open handle. Lock serialises every use of Cdio, so a rip thread can read while the
// user-interface thread reads the table of contents.
struct TOpenDrive {
  std::mutex Lock;
  TDriveRef Ref;
  CdIo_t *Cdio = nullptr;
  TDiscLayout Disc;
  bool DiscValid = false;
  bool Msf = false;
  int32_t ReadOffset = 0; // in samples
  int BinFile = -1;       // an image's BIN, opened on the first read to learn its size

  ~TOpenDrive() {
    if (Cdio)
      cdio_destroy(Cdio);
    if (BinFile >= 0)
      ::close(BinFile);
  }
};

std::atomic<int32_t> LastError{CDErrNone};

// Whole sectors in an image's BIN file now; libcdio opens the BIN of the .cue's base name.
// Asked before every read, so through a descriptor kept open rather than by name.
uint64_t ImageSectors(TOpenDrive &drive) {
  if (drive.BinFile < 0)
    drive.BinFile = ::open(std::filesystem::path(drive.Ref.Path).replace_extension(".bin").c_str(),
                           O_RDONLY | O_CLOEXEC);
  struct stat info {};
  return drive.BinFile >= 0 && ::fstat(drive.BinFile, &info) == 0
             ? static_cast<uint64_t>(info.st_size) / CDSectorSize
             : 0;
}
std::atomic<bool> ScanSystem{true};

// libcdio's driver set-up and device scans share global state: one at a time.
std::mutex CdioOpenLock;

std::mutex ImagesLock;
std::vector<std::string> Images;

std::mutex HandlesLock;
std::map<int32_t, std::shared_ptr<TOpenDrive>> Handles;

int32_t Fail(int32_t code) {
  LastError = code;
  return 0;
}

CdIo_t *OpenCdio(const TDriveRef &ref) {
  QuietCdioLog();
  std::lock_guard lock(CdioOpenLock);
  return ref.Image ? cdio_open_cue(ref.Path.c_str()) : cdio_open(ref.Path.c_str(), DRIVER_DEVICE);
}

std::vector<TDriveRef> ListDrives() {
  QuietCdioLog();
  std::vector<TDriveRef> drives;
  if (ScanSystem) {
    std::lock_guard lock(CdioOpenLock);
    for (const std::string &path : CdioDevicePaths())
      drives.push_back({false, path, 0, static_cast<uint8_t>(drives.size())});
  }
  std::lock_guard lock(ImagesLock);
  for (size_t i = 0; i < Images.size(); ++i)
    drives.push_back({true, Images[i], ImageHostAdapter, static_cast<uint8_t>(i)});
  return drives;
}

// Copies text into a NUL-ended field, never splitting a UTF-8 character.
template <size_t N> void SetField(char (&field)[N], const std::string &text) {
  size_t n = std::min(text.size(), N - 1);
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
    --n;
  std::memset(field, 0, N);
  std::memcpy(field, text.data(), n);
}

void Describe(const TDriveRef &ref, TCDDriveEntry &entry) {
  entry.HostAdapter = ref.HostAdapter;
  entry.Target = ref.Target;
  if (ref.Image) {
    SetField(entry.Vendor, "IMAGE   ");
    SetField(entry.Product, std::filesystem::path(ref.Path).stem().string());
    return;
  }
  cdio_hwinfo_t info{};
  CdIo_t *cdio = OpenCdio(ref);
  const bool known = cdio && cdio_get_hwinfo(cdio, &info);
  if (cdio)
    cdio_destroy(cdio);
  SetField(entry.Vendor, known ? info.psz_vendor : "");
  SetField(entry.Product,
           known ? info.psz_model : std::filesystem::path(ref.Path).filename().string());
}

std::shared_ptr<TOpenDrive> Find(int32_t handle) {
  std::lock_guard lock(HandlesLock);
  auto it = Handles.find(handle);
  return it == Handles.end() ? nullptr : it->second;
}

// Reads the disc's layout afresh. A device is reopened, because libcdio keeps the table of
// contents of the disc it first saw; an image stays open, it cannot change.
bool LoadDisc(TOpenDrive &drive) {
  if (drive.Cdio && !drive.Ref.Image) {
    cdio_destroy(drive.Cdio);
    drive.Cdio = nullptr;
  }
  if (!drive.Cdio)
    drive.Cdio = OpenCdio(drive.Ref);
  drive.DiscValid = drive.Cdio && ReadDiscLayout(drive.Cdio, drive.Disc);
  return drive.DiscValid;
}

constexpr int32_t ReadChunk = 25; // sectors: small enough for any drive's transfer limit

// Reads sectors of the disc as they are: n, or -1 when they cannot be read. libcdio may report
// success for sectors past the end of an image's BIN file that was cut short after it was
// opened (and past the lead-out, which the offset reader never asks for).
int64_t ReadRawSectors(TOpenDrive &drive, int32_t first, int32_t n, uint8_t *to) {
  if (drive.Ref.Image && uint64_t(first) + n > ImageSectors(drive))
    return -1;
  return cdio_read_audio_sectors(drive.Cdio, to, first, n) == DRIVER_OP_SUCCESS ? n : -1;
}

void PutAddress(uint8_t (&address)[4], int32_t lsn, bool msf) {
  if (msf) {
    const int32_t frames = lsn + 150; // absolute: the lead-in's two seconds counted
    address[0] = 0;
    address[1] = static_cast<uint8_t>(frames / 4500);
    address[2] = static_cast<uint8_t>(frames / 75 % 60);
    address[3] = static_cast<uint8_t>(frames % 75);
  } else {
    for (int i = 0; i < 4; ++i)
      address[i] = static_cast<uint8_t>(static_cast<uint32_t>(lsn) >> (24 - 8 * i));
  }
}

void FillToc(const TDiscLayout &disc, bool msf, TToc &toc) {
  std::memset(&toc, 0, sizeof toc);
  const size_t count = disc.Tracks.size();
  const size_t length = 2 + sizeof(TTocEntry) * (count + 1);
  toc.Length[0] = static_cast<uint8_t>(length >> 8);
  toc.Length[1] = static_cast<uint8_t>(length);
  toc.FirstTrack = static_cast<uint8_t>(disc.FirstTrack);
  toc.LastTrack = static_cast<uint8_t>(disc.FirstTrack + count - 1);
  for (size_t i = 0; i <= count; ++i) {
    TTocEntry &entry = toc.Entries[i];
    const bool leadOut = i == count;
    const TDiscTrack &track = disc.Tracks[leadOut ? count - 1 : i];
    entry.AdrControl = 0x10 | track.Control;
    entry.TrackNumber = leadOut ? TocLeadOut : static_cast<uint8_t>(disc.FirstTrack + i);
    PutAddress(entry.Address, leadOut ? disc.LeadOut : track.Lsn, msf);
  }
}

// Runs use on the drive's disc, loaded, under the drive's lock: 1, or 0 with the library's
// error for a bad handle or no disc.
template <class TUse> int32_t WithDisc(int32_t handle, TUse use) {
  auto drive = Find(handle);
  if (!drive)
    return Fail(CDErrBadHandle);
  std::lock_guard lock(drive->Lock);
  if (!LoadDisc(*drive))
    return Fail(CDErrNoDisc);
  use(*drive);
  return 1;
}

} // namespace

TReadBuffer::TReadBuffer(uint32_t startSector, uint32_t sectorCount)
    : Block(sizeof(TReadRequest) + size_t{sectorCount} * CDSectorSize),
      Header(new (Block.data()) TReadRequest{}) {
  Header->StartSector = startSector;
  Header->SectorCount = sectorCount;
  Header->BufferSize = sectorCount * CDSectorSize;
}

int32_t GetCDList(TCDDriveList *list) {
  if (!list)
    return Fail(CDErrBadArgument);
  const int capacity = std::min<int>(list->Capacity, MaxCDDrives);
  const std::vector<TDriveRef> drives = ListDrives();
  std::memset(list->Drives, 0, sizeof list->Drives);
  const int count = std::min<int>(capacity, static_cast<int>(drives.size()));
  for (int i = 0; i < count; ++i)
    Describe(drives[i], list->Drives[i]);
  list->Count = static_cast<uint8_t>(count);
  return 1;
}

int32_t GetCDHandle(const TCDOpenRequest *request) {
  if (!request)
    return Fail(CDErrBadArgument);
  const std::vector<TDriveRef> drives = ListDrives();
  auto ref = std::find_if(drives.begin(), drives.end(), [&](const TDriveRef &d) {
    return d.HostAdapter == request->HostAdapter && d.Target == request->Target &&
           request->Lun == 0;
  });
  if (ref == drives.end())
    return Fail(CDErrNoSuchDrive);
  auto drive = std::make_shared<TOpenDrive>();
  drive->Ref = *ref;
  // A device that cannot be opened is unusable; an image whose files are unreadable is a
  // drive holding an unreadable disc, reported when its table of contents is read.
  drive->Cdio = OpenCdio(drive->Ref);
  if (!drive->Cdio && !drive->Ref.Image)
    return Fail(CDErrCannotOpen);
  std::lock_guard lock(HandlesLock);
  int32_t handle = 1;
  while (Handles.count(handle))
    ++handle;
  Handles[handle] = std::move(drive);
  return handle;
}

int32_t CloseCDHandle(int32_t handle) {
  std::lock_guard lock(HandlesLock);
  if (Handles.erase(handle) == 0)
    return Fail(CDErrBadHandle);
  return 1;
}

int32_t ModifyCDParms(int32_t handle, int32_t parm, int32_t value) {
  auto drive = Find(handle);
  if (!drive)
    return Fail(CDErrBadHandle);
  if (parm == CDParmReadOffset && ValidReadOffset(value)) {
    std::lock_guard lock(drive->Lock);
    drive->ReadOffset = value;
    return 1;
  }
  if (parm != CDParmMsfAddresses)
    return Fail(CDErrBadArgument);
  std::lock_guard lock(drive->Lock);
  drive->Msf = value != 0;
  return 1;
}

int32_t GetCDReadOffset(int32_t handle) {
  auto drive = Find(handle);
  if (!drive)
    return Fail(CDErrBadHandle);
  std::lock_guard lock(drive->Lock);
  return drive->ReadOffset;
}

int32_t ReadTOC(int32_t handle, TToc *toc) {
  if (!toc)
    return Fail(Find(handle) ? CDErrBadArgument : CDErrBadHandle);
  return WithDisc(handle, [toc](const TOpenDrive &drive) { FillToc(drive.Disc, drive.Msf, *toc); });
}

int32_t ReadCDAudioLBA(int32_t handle, TReadRequest *request) {
  if (!request)
    return Fail(CDErrBadArgument);
  request->BytesReturned = 0;
  request->Offset = 0;
  request->Status = ReadStatusError;
  const uint64_t bytes = uint64_t{request->SectorCount} * CDSectorSize;
  if (request->BufferSize < bytes)
    return Fail(CDErrBadArgument);
  if (ReadCDAudioSectors(handle, request->StartSector, request->SectorCount,
                         reinterpret_cast<uint8_t *>(request + 1)) != 1)
    return 0;
  request->BytesReturned = static_cast<uint32_t>(bytes);
  request->Status = ReadStatusDone;
  return 1;
}

int32_t ReadCDAudioSectors(int32_t handle, uint32_t start, uint32_t count, uint8_t *data) {
  auto drive = Find(handle);
  if (!drive)
    return Fail(CDErrBadHandle);
  if (!data)
    return Fail(CDErrBadArgument);
  std::lock_guard lock(drive->Lock);
  if (!drive->DiscValid && !LoadDisc(*drive))
    return Fail(CDErrNoDisc);
  const uint64_t end = uint64_t{start} + count;
  if (end > uint64_t(drive->Disc.LeadOut))
    return Fail(CDErrReadFailed);
  TOffsetReader reader(static_cast<int32_t>(start), static_cast<int32_t>(end), drive->ReadOffset,
                       drive->Disc.LeadOut, ReadChunk,
                       [&drive](int32_t first, int32_t n, uint8_t *to) {
                         return ReadRawSectors(*drive, first, n, to);
                       });
  const int64_t bytes = int64_t{count} * CDSectorSize;
  return reader.Read(data, bytes) == bytes ? 1 : Fail(CDErrReadFailed);
}

int32_t GetAspiLibError() { return LastError; }

int32_t FailWith(int32_t code) { return Fail(code); }

int32_t ReadFreedbToc(int32_t handle, cddb::TDiscToc &toc) {
  return WithDisc(handle, [&toc](const TOpenDrive &drive) {
    for (const TDiscTrack &track : drive.Disc.Tracks)
      toc.Starts.push_back(track.Lsn);
    toc.LeadOut = drive.Disc.LeadOut;
  });
}

int32_t GetCDMediaChanged(int32_t handle) {
  auto drive = Find(handle);
  if (!drive) {
    Fail(CDErrBadHandle);
    return -1;
  }
  if (drive->Ref.Image)
    return 0;
  std::lock_guard lock(drive->Lock);
  const int changed = drive->Cdio ? cdio_get_media_changed(drive->Cdio) : -1;
  return changed < 0 ? -1 : changed > 0 ? 1 : 0;
}

std::string GetCDDevicePath(int32_t handle) {
  auto drive = Find(handle);
  if (!drive) {
    Fail(CDErrBadHandle);
    return "";
  }
  return drive->Ref.Path;
}

bool GetCDText(int32_t handle, TDiscText &text) {
  return WithDisc(
      handle, [&text](const TOpenDrive &drive) { text = ReadDiscText(drive.Cdio, drive.Disc); });
}

bool GetCDCodes(int32_t handle, TDiscCodes &codes) {
  return WithDisc(
      handle, [&codes](const TOpenDrive &drive) { codes = ReadDiscCodes(drive.Cdio, drive.Disc); });
}

int32_t GetCDHiddenTrack(int32_t handle) {
  int32_t sectors = 0;
  WithDisc(handle, [&sectors](TOpenDrive &drive) {
    sectors = HiddenTrackSectors(drive.Disc, [&drive](int32_t first, int32_t n, uint8_t *to) {
      return ReadRawSectors(drive, first, n, to);
    });
  });
  return sectors;
}

namespace {

// libcdio's CUE reader reads outside its track table (and crashes) when a sheet's first track
// number is 74 or more; no pressed disc starts that high, so such a sheet is refused before it.
constexpr int HighestFirstTrack = 73;

int FirstTrackNumber(const std::string &cuePath) {
  std::ifstream sheet(cuePath);
  std::string word;
  while (sheet >> word)
    if (strcasecmp(word.c_str(), "TRACK") == 0) {
      int number = 0;
      return sheet >> number ? number : 0;
    }
  return 0;
}

} // namespace

bool AddDiscImage(const std::string &cuePath, std::string *error) {
  const auto report = [&](const std::string &why) {
    if (error)
      *error = "Cannot use the disc image " + cuePath + ": " + why;
    return false;
  };
  std::error_code ec;
  const std::string path = std::filesystem::absolute(cuePath, ec).string();
  if (ec || !std::filesystem::is_regular_file(path, ec))
    return report("no such file");
  if (FirstTrackNumber(path) > HighestFirstTrack)
    return report("its first track number is above " + std::to_string(HighestFirstTrack));
  TOpenDrive probe;
  probe.Ref = {true, path};
  TakeCdioMessage();
  probe.Cdio = OpenCdio(probe.Ref);
  if (!probe.Cdio) {
    const std::string detail = TakeCdioMessage();
    return report(detail.empty() ? "not a readable CUE sheet with its BIN file" : detail);
  }
  if (!ReadDiscLayout(probe.Cdio, probe.Disc))
    return report("its tracks do not fit in its BIN file (cut short?)");
  std::lock_guard lock(ImagesLock);
  Images.push_back(path);
  return true;
}

void ClearDiscImages() {
  std::lock_guard lock(ImagesLock);
  Images.clear();
}

void SetScanSystemDrives(bool scan) { ScanSystem = scan; }

std::vector<std::string> DiscImages() {
  std::lock_guard lock(ImagesLock);
  return Images;
}

bool ScanSystemDrives() { return ScanSystem; }
