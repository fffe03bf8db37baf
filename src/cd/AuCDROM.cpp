#include "AuCDROM.h"

#include "Dialogs.h"
#include "Folders.h"
#include "Global.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr std::int32_t SectorBytes = 2352;

std::int32_t FramesOf(const TCDPosition &position) {
  return position.Minute * 4500 + position.Second * 75 + position.Frame;
}

} // namespace

TCDIn::TCDIn(TComponent *owner) : TAuInput(owner), FBuffer(CDChunkBytes) {
  if (!LoadCDRipLibrary(plat::IncludeTrailingSlash(GetSettingsFolder()))) {
    const std::string text = CDRipLibraryName + " could not be loaded.";
    plat::MessageBox(text, "Error", plat::TMsgButtons::OK, plat::TMsgIcon::Error);
    // Without the library there is no CD-input mode: end now, and not as a success. A batch
    // run has no one to read the box.
    std::fprintf(stderr, "plindar: %s\n", text.c_str());
    std::fflush(nullptr);
    std::_Exit(1);
  }
}

TCDIn::~TCDIn() {
  if (FBusy)
    Reset();
  if (CDRipLoaded)
    CDRip().CR_DeInit();
}

void TCDIn::LockDrive() {
  if (FDriveLock == 0)
    CDRip().CR_SetActiveCDROM(FCurrentDrive);
  ++FDriveLock;
}

void TCDIn::UnlockDrive() {
  if (FDriveLock > 0)
    --FDriveLock;
}

std::int32_t TCDIn::DrivesCount() {
  RefreshCDRipDrives();
  return CDRip().CR_GetNumCDROM();
}

void TCDIn::SetCurrentDrive(std::int32_t n) {
  if (n >= 0 && n < DrivesCount())
    FCurrentDrive = n;
}

std::string TCDIn::DriveName() {
  LockDrive();
  TCDRipParams params{};
  CDRip().CR_GetCDROMParameters(&params);
  const std::string name = CDRip().CR_GetDriveID(&params);
  if (!EnableJitterCorrection)
    EnableJitterCorrection = CDRip().CR_GetJitterCorrection(&params) != 0;
  UnlockDrive();
  return name;
}

bool TCDIn::MediaPresent() {
  LockDrive();
  std::int32_t status = 0;
  CDRip().CR_IsMediaLoaded(&status);
  UnlockDrive();
  return status == 0;
}

std::int32_t TCDIn::TracksCount() {
  LockDrive();
  const std::int32_t count = CDRip().CR_ReadToc() == 0 ? CDRip().CR_GetNumTocEntries() : -1;
  UnlockDrive();
  return count;
}

std::int32_t TCDIn::FirstTrack() {
  LockDrive();
  const std::int32_t first = CDRip().CR_ReadToc() == 0 ? CDRip().CR_GetTocEntry(0).TrackNumber : 0;
  UnlockDrive();
  return first;
}

TCDTrackInfo TCDIn::GetTrackInfo(std::int32_t n) {
  if (n < 1 || n > TracksCount())
    throw EAuException("Track out of range.");
  LockDrive();
  const TCDRipTocEntry a = CDRip().CR_GetTocEntry(n - 1);
  const TCDRipTocEntry b = CDRip().CR_GetTocEntry(n);
  UnlockDrive();
  const std::int32_t frames = static_cast<std::int32_t>(b.StartSector - a.StartSector);
  TCDTrackInfo info;
  info.TrackType = a.Flags & CDRipDataTrack ? 1 : 0;
  info.Minute = static_cast<std::uint8_t>(frames / 4500);
  info.Second = static_cast<std::uint8_t>(frames / 75 % 60);
  info.Frame = static_cast<std::uint8_t>(frames % 75);
  return info;
}

void TCDIn::SetStartTrack(std::int32_t n) {
  if (FBusy)
    throw EAuException("The component is busy");
  FStartTrack = n;
  FStartPos = {n, 0, 0, 0};
}

void TCDIn::SetEndTrack(std::int32_t n) {
  if (FBusy)
    throw EAuException("The component is busy");
  FEndTrack = n;
  FEndPos = {n + 1, 0, 0, 0};
}

std::int32_t TCDIn::SectorOf(const TCDPosition &position) {
  return static_cast<std::int32_t>(CDRip().CR_GetTocEntry(position.Track - 1).StartSector) +
         FramesOf(position);
}

std::int32_t TCDIn::SizeBytes() {
  if (FBusy)
    return FRipBytes;
  LockDrive();
  std::int32_t size = 0;
  if (CDRip().CR_ReadToc() == 0) {
    const std::int32_t start = SectorOf(FStartPos);
    const std::int32_t end = SectorOf(FEndPos);
    size = end >= start ? (end - start + 1) * SectorBytes : 0;
  }
  UnlockDrive();
  return size;
}

std::uint32_t TCDIn::GetTotalTime() {
  return static_cast<std::uint32_t>(std::nearbyint(GetTotalSamples() / 44100.0));
}

std::int64_t TCDIn::GetTotalSamples() { return SizeBytes() / 4; }

void TCDIn::InitInternal() {
  if (FBusy)
    throw EAuException("The component is busy");
  // A block of our own: the library's shared one is also filled by the queries of the
  // user-interface thread.
  TCDRipParams params{};
  CDRip().CR_GetCDROMParameters(&params);
  CDRip().CR_SetJitterCorrection(&params, EnableJitterCorrection ? -1 : 0);
  if (ReadSectors != 0)
    CDRip().CR_SetReadSectors(&params, ReadSectors);
  if (OverlapSectors != 0)
    CDRip().CR_SetOverlapSectors(&params, OverlapSectors);
  if (CompareSectors != 0)
    CDRip().CR_SetCompareSectors(&params, CompareSectors);
  CDRip().CR_SetEnableMultiRead(&params, MultiReadCount > 0 ? -1 : 0);
  CDRip().CR_SetMultiReadCount(&params, MultiReadCount);
  CDRip().CR_SetParanoidMode(&params, Paranoid ? -1 : 0);
  CDRip().CR_SetParanoiaMode(&params, ParanoiaMode);
  CDRip().CR_LockCDTrayWhileRipping(&params, LockTray ? 1 : 0);
  CDRip().CR_SetCDROMParameters(&params);
  if (CDRip().CR_SetReadOffset(ReadOffset) == CDRipError)
    throw EAuException("The read offset is out of range");
  if (!MediaPresent())
    throw EAuException("The drive is not ready");
  const std::int32_t tracks = TracksCount();
  if (FStartPos.Track < 1 || FStartPos.Track > tracks)
    throw EAuException("The start track out of range");
  if (GetTrackInfo(FStartPos.Track).TrackType == 1)
    throw EAuException("Trying to rip a data track");
  if (FEndPos.Track < 1 || FEndPos.Track > tracks + 1)
    throw EAuException("The end track out of range");
  FSize = SizeBytes();
  std::atomic_ref<std::int32_t>{FAbort}.store(0);
  StartChecksum();
  FBusy = true;
  FBufStart = 1;
  FBufEnd = 0;
  FPosition = 0;
  LockDrive();
  const std::int32_t start = SectorOf(FStartPos);
  const std::int32_t end = SectorOf(FEndPos);
  FRipBytes = (end - start) * SectorBytes;
  FBufferSize = CDChunkBytes;
  CDRip().CR_OpenRipper(&FBufferSize, start, end);
}

void TCDIn::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart > FBufEnd) {
    FBufStart = 1;
    std::int32_t delivered = 0;
    // A sector that cannot be read at all would otherwise end the rip early, as a success.
    if (CDRip().CR_RipChunk(FBuffer.data(), &delivered, &FAbort) != 0)
      throw EAuException("Cannot read the CD at sector " +
                         std::to_string(CDRip().CR_GetCurrentRipSector()));
    FBufEnd = delivered;
    const std::lock_guard lock(FSumsLock);
    FChecksum->Add(FBuffer.data(), static_cast<std::size_t>(std::max(delivered, 0)));
  }
  const std::uint32_t n = static_cast<std::uint32_t>(FBufEnd - FBufStart + 1);
  if (bytes > n)
    bytes = n;
  buffer = BufferAt(FBuffer.data(), FBufStart);
  FBufStart += static_cast<std::int32_t>(bytes);
  FPosition += bytes;
}

void TCDIn::Abort() { std::atomic_ref<std::int32_t>{FAbort}.store(1); }

accuraterip::TDiscToc TCDIn::VerificationToc() {
  accuraterip::TDiscToc toc;
  LockDrive();
  const std::int32_t n = CDRip().CR_ReadToc() == 0 ? CDRip().CR_GetNumTocEntries() : 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const TCDRipTocEntry entry = CDRip().CR_GetTocEntry(i);
    toc.Tracks.push_back(
        {static_cast<std::int32_t>(entry.StartSector), !(entry.Flags & CDRipDataTrack)});
  }
  if (n > 0)
    toc.FirstTrack = CDRip().CR_GetTocEntry(0).TrackNumber;
  if (n > 0)
    toc.LeadOut = static_cast<std::int32_t>(CDRip().CR_GetTocEntry(n).StartSector);
  UnlockDrive();
  return toc;
}

void TCDIn::StartChecksum() {
  const accuraterip::TDiscToc toc = VerificationToc();
  const std::lock_guard lock(FSumsLock);
  FChecksum.emplace(accuraterip::TrackChecksum(toc, FStartPos.Track));
}

accuraterip::TTrackSums TCDIn::TrackSums() const {
  const std::lock_guard lock(FSumsLock);
  return FChecksum ? FChecksum->Sums() : accuraterip::TTrackSums{};
}

void TCDIn::FlushInternal() {
  FJitterErrors = CDRip().CR_GetNumberOfJitterErrors();
  FUncorrectedSectors = CDRip().CR_GetNumberOfSkippedSectors();
  CDRip().CR_CloseRipper();
  UnlockDrive();
  FBusy = false;
  FSize = 0;
}
