// The CD ripping library's ripper: a range of sectors read through libcdio-paranoia, chunk by
// chunk, in the disc's byte order, with paranoia's corrections counted as jitter errors.
//
// The parameter block maps onto paranoia this way:
// - jitter correction off: PARANOIA_MODE_DISABLE, that is no paranoia: the drive's sectors as
//   they come, and a sector that cannot be read is a failure;
// - jitter correction on and paranoid mode on: PARANOIA_MODE_FULL without NEVERSKIP, every
//   check paranoia has;
// - jitter correction on, paranoid mode off: paranoia mode 0 means VERIFY | OVERLAP (overlapped
//   reads compared with each other); any other value is taken as paranoia's own mode bits,
//   NEVERSKIP removed;
// - NEVERSKIP is never set, so a sector that never reads right ends in a skip after the
//   retries: multi-read on with a count > 0 gives that many retries, else paranoia's 20;
// - read sectors: the sectors of one drive read (paranoia's nsectors); overlap sectors:
//   paranoia's overlap; compare sectors: kept in the block only, paranoia sizes its own
//   comparisons; 0 leaves paranoia's own value.
#include "cdrip/CDRip.h"

#include "Drives.h"
#include "OffsetReader.h"
#include "ParanoiaMode.h"

#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int32_t SectorBytes = CDIO_CD_FRAMESIZE_RAW;
constexpr int DefaultRetries = 20;

// A read under way holds its ripper's ReadLock but not the library's lock, so that closing the
// ripper, or asking about the disc, never waits for a read: closing marks the ripper Closed and
// the read ends at its next drive read, the last owner freeing the ripper.
struct TRipper {
  std::mutex ReadLock;
  std::atomic<bool> Closed{false};
  int32_t *Abort = nullptr; // the caller's flag during CR_RipChunk
  CdIo_t *Cdio = nullptr;
  cdrom_drive_t *Drive = nullptr;
  cdrom_paranoia_t *Paranoia = nullptr;
  long (*DriveRead)(cdrom_drive_t *, void *, lsn_t, long) = nullptr;
  int32_t Start = 0, End = 0;
  std::atomic<int32_t> Current{0};
  int32_t LeadOut = 0;
  int32_t ChunkSectors = 0;
  int Retries = DefaultRetries;
  bool TrayLocked = false;
  bool Plain = false;        // no jitter correction: sectors read as they come, no paranoia
  int BinFile = -1;          // an image's BIN, to see it cut short under a read
  int32_t ParanoiaNext = -1; // the sector paranoia delivers next; -1 after a failure
  std::unique_ptr<TOffsetReader> Reader; // the range, corrected by the drive's read offset

  ~TRipper() {
    if (TrayLocked)
      mmc_prevent_allow_medium_removal(Cdio, false, false, 0);
    if (Paranoia)
      cdio_paranoia_free(Paranoia);
    if (Drive)
      cdio_cddap_close_no_free_cdio(Drive);
    if (Cdio)
      cdio_destroy(Cdio);
    if (BinFile >= 0)
      ::close(BinFile);
  }
};

std::shared_ptr<TRipper> Ripper;
// The ripper whose read runs on this thread, for paranoia's callbacks.
thread_local TRipper *Reading = nullptr;

// Written by paranoia's callback during CR_RipChunk, read by the library's callers.
std::atomic<int32_t> JitterErrors{0};
std::atomic<int32_t> LastJitterSector{-1};
std::atomic<int32_t> SkippedSectors{0};
std::atomic<int32_t> Peak{0};

std::mutex FaultLock; // the test fault: set by a caller, served by a read
struct TFault {
  int32_t First = 0, Count = 0, BadReads = 0;
  std::map<int32_t, int32_t> Reads; // reads served so far, by sector
} Fault;

// Serves a faulty sector with different wrong bytes on each bad read.
void Damage(int32_t sector, uint8_t *data) {
  const int32_t read = Fault.Reads[sector]++;
  if (read >= Fault.BadReads)
    return;
  for (int32_t i = 0; i < SectorBytes; ++i)
    data[i] = static_cast<uint8_t>(data[i] ^ (0x5A + 31 * read + i));
}

// The last sector the disc has now plus one: libcdio reads an image's BIN cut short after it
// was opened as if nothing were missing.
long EndOfDisc() {
  struct stat info {};
  if (Reading->BinFile >= 0 && ::fstat(Reading->BinFile, &info) == 0)
    return std::min<long>(Reading->LeadOut, info.st_size / SectorBytes);
  return Reading->LeadOut;
}

// Whether the read under way is to end now: its ripper was closed or its caller set the abort
// flag it handed in (another thread may set it while the read runs).
bool Stopped() {
  return Reading->Closed ||
         (Reading->Abort && std::atomic_ref<int32_t>(*Reading->Abort).load() != 0);
}

// The drive's own read, kept inside the disc: a read across the lead-out can report success
// without filling the buffer. Then the test fault, when one is set.
long CheckedRead(cdrom_drive_t *d, void *buffer, lsn_t begin, long sectors) {
  sectors = std::min<long>(sectors, EndOfDisc() - begin);
  if (begin < 0 || sectors <= 0 || Stopped())
    return -1;
  const std::lock_guard lock(FaultLock);
  if (Fault.BadReads < 0 && begin < Fault.First + Fault.Count && begin + sectors > Fault.First) {
    if (begin >= Fault.First)
      return -1;
    sectors = Fault.First - begin; // as a drive does: what lies before the bad sector
  }
  const long read = Reading->DriveRead(d, buffer, begin, sectors);
  for (long i = 0; buffer && i < read; ++i) // paranoia's first read may be without a buffer
    if (begin + i >= Fault.First && begin + i < Fault.First + Fault.Count)
      Damage(static_cast<int32_t>(begin + i), static_cast<uint8_t *>(buffer) + i * SectorBytes);
  return read;
}

// Counts what paranoia had to repair, re-align or give up on; position is in 16-bit words.
void Progress(long position, paranoia_cb_mode_t mode) {
  if (mode == PARANOIA_CB_SKIP) // the retries ran out: what was read is delivered unverified
    ++SkippedSectors;
  switch (mode) {
  case PARANOIA_CB_FIXUP_EDGE:
  case PARANOIA_CB_FIXUP_ATOM:
  case PARANOIA_CB_SCRATCH:
  case PARANOIA_CB_REPAIR:
  case PARANOIA_CB_SKIP:
  case PARANOIA_CB_DRIFT:
  case PARANOIA_CB_FIXUP_DROPPED:
  case PARANOIA_CB_FIXUP_DUPED:
  case PARANOIA_CB_READERR:
    ++JitterErrors;
    LastJitterSector = static_cast<int32_t>(position / (SectorBytes / 2));
    break;
  default: break;
  }
}

int32_t PeakOf(const int16_t *samples, int32_t count) {
  int32_t peak = 0;
  for (int32_t i = 0; i < count; ++i)
    peak = std::max(peak, std::abs(int32_t{samples[i]}));
  return peak;
}

// The sectors of the disc as the ripper reads them: as they come without jitter correction,
// else through paranoia, which reads on from where it was sought.
int64_t ReadSectors(int32_t first, int32_t count, uint8_t *to) {
  TRipper &ripper = *Reading;
  if (ripper.Plain)
    return Stopped() ? 0 : cdio_cddap_read(ripper.Drive, to, first, count);
  if (first != ripper.ParanoiaNext)
    cdio_paranoia_seek(ripper.Paranoia, first, SEEK_SET);
  ripper.ParanoiaNext = -1;
  for (int32_t i = 0; i < count; ++i) {
    const int16_t *audio =
        Stopped() ? nullptr : cdio_paranoia_read_limited(ripper.Paranoia, Progress, ripper.Retries);
    // A read stopped on its way hands back what paranoia had: not the sector.
    if (!audio || Stopped())
      return i;
    std::memcpy(to + i * SectorBytes, audio, SectorBytes);
  }
  ripper.ParanoiaNext = first + count;
  return count;
}

// Where the audio that begins at sector ends: at the first data track from there on (at sector
// itself when it lies in one), else at leadOut. Paranoia's read of a data track never ends.
int32_t AudioEndFrom(CdIo_t *cdio, int32_t sector, int32_t leadOut) {
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  for (track_t t = first; first != CDIO_INVALID_TRACK && t < first + count; ++t) {
    const lsn_t next = t + 1 < first + count ? cdio_get_track_lsn(cdio, t + 1) : leadOut;
    if (cdio_get_track_format(cdio, t) != TRACK_FORMAT_AUDIO && next > sector)
      return std::max<int32_t>(cdio_get_track_lsn(cdio, t), sector);
  }
  return leadOut;
}

int ParanoiaModeOf(const TCDRipParams &params) {
  return cd::ParanoiaModeOf(params.JitterCorrection, params.Paranoid, params.ParanoiaMode);
}

} // namespace

extern "C" {

int32_t CR_OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector) {
  const std::lock_guard guard(LibraryLock());
  CR_CloseRipper();
  const TCDRipDrive *drive = ActiveDrive();
  if (!drive)
    return CDRipNoDrive;
  if (!bufferSize || *bufferSize < SectorBytes || startSector < 0 || endSector < startSector)
    return CDRipError;
  auto ripper = std::make_shared<TRipper>();
  ripper->Cdio = OpenDrive(*drive);
  if (!ripper->Cdio)
    return CDRipNotReady;
  ripper->LeadOut = cdio_get_track_lsn(ripper->Cdio, CDIO_CDROM_LEADOUT_TRACK);
  if (drive->Image) // libcdio reads the BIN of the .cue's base name
    ripper->BinFile = ::open(std::filesystem::path(drive->Path).replace_extension(".bin").c_str(),
                             O_RDONLY | O_CLOEXEC);
  if (ripper->LeadOut == CDIO_INVALID_LSN || endSector > ripper->LeadOut)
    return CDRipNotReady;
  // A range reaching into a data track is refused; what the read offset reaches beyond the
  // audio is silence, as beyond the disc's edges.
  ripper->LeadOut = AudioEndFrom(ripper->Cdio, startSector, ripper->LeadOut);
  if (endSector > ripper->LeadOut)
    return CDRipError;
  ripper->Drive = cdio_cddap_identify_cdio(ripper->Cdio, CDDA_MESSAGE_FORGETIT, nullptr);
  if (!ripper->Drive)
    return CDRipNotReady;
  ripper->Drive->bigendianp = 0; // no guessing of the byte order from the audio: never swap
  if (cdio_cddap_open(ripper->Drive) != 0)
    return CDRipNotReady;
  ripper->Drive->b_swap_bytes = false;
  ripper->DriveRead = ripper->Drive->read_audio;
  ripper->Drive->read_audio = CheckedRead;
  const TCDRipParams &params = drive->Params;
  if (params.ReadSectors > 0)
    ripper->Drive->nsectors = params.ReadSectors;
  ripper->Paranoia = cdio_paranoia_init(ripper->Drive);
  if (!ripper->Paranoia)
    return CDRipError;
  cdio_paranoia_modeset(ripper->Paranoia, ParanoiaModeOf(params));
  ripper->Plain = ParanoiaModeOf(params) == PARANOIA_MODE_DISABLE;
  if (params.OverlapSectors > 0)
    cdio_paranoia_overlapset(ripper->Paranoia, params.OverlapSectors);
  if (params.EnableMultiRead && params.MultiReadCount > 0)
    ripper->Retries = params.MultiReadCount;
  if (params.LockTray && !drive->Image)
    ripper->TrayLocked =
        mmc_prevent_allow_medium_removal(ripper->Cdio, false, true, 0) == DRIVER_OP_SUCCESS;
  ripper->Start = ripper->Current = startSector;
  ripper->End = endSector;
  ripper->ChunkSectors = *bufferSize / SectorBytes;
  // Plain reads go in blocks the drive can take; paranoia delivers one sector at a time.
  ripper->Reader = std::make_unique<TOffsetReader>(
      startSector, endSector, drive->ReadOffset, ripper->LeadOut,
      ripper->Plain ? static_cast<int32_t>(ripper->Drive->nsectors) : 1, ReadSectors);
  *bufferSize = ripper->ChunkSectors * SectorBytes;
  JitterErrors = 0;
  LastJitterSector = -1;
  SkippedSectors = 0;
  Peak = 0;
  Ripper = std::move(ripper);
  return CDRipOK;
}

int32_t CR_RipChunk(uint8_t *buffer, int32_t *bytes, int32_t *abort) {
  std::shared_ptr<TRipper> ripper;
  {
    const std::lock_guard guard(LibraryLock());
    ripper = Ripper;
  }
  if (!bytes)
    return CDRipError;
  *bytes = 0;
  if (!ripper || !buffer)
    return CDRipError;
  const std::lock_guard reading(ripper->ReadLock);
  ripper->Abort = abort;
  Reading = ripper.get();
  const bool stopped = Stopped();
  // A sector that cannot be read ends the chunk before it; the next call starts there.
  const int64_t read =
      stopped ? 0
              : ripper->Reader->Read(buffer,
                                     std::min<int64_t>(int64_t{ripper->ChunkSectors} * SectorBytes,
                                                       ripper->Reader->Remaining()));
  // A read stopped on the way ends the range where it got to, as its end.
  const bool failed = read == 0 && ripper->Reader->Remaining() > 0 && !Stopped();
  Reading = nullptr;
  ripper->Abort = nullptr;
  if (stopped)
    return CDRipOK;
  if (failed)
    return CDRipError;
  *bytes = static_cast<int32_t>(read);
  const int64_t delivered =
      int64_t{ripper->End - ripper->Start} * SectorBytes - ripper->Reader->Remaining();
  ripper->Current = ripper->Start + static_cast<int32_t>(delivered / SectorBytes);
  Peak = PeakOf(reinterpret_cast<const int16_t *>(buffer), *bytes / 2);
  return CDRipOK;
}

int32_t CR_CloseRipper() {
  const std::lock_guard guard(LibraryLock());
  if (Ripper)
    Ripper->Closed = true; // a read under way ends at its next drive read and frees it
  Ripper.reset();
  return CDRipOK;
}

int32_t CR_GetPercentCompleted() {
  const std::lock_guard guard(LibraryLock());
  if (!Ripper || Ripper->End == Ripper->Start)
    return 0;
  return static_cast<int32_t>(int64_t{Ripper->Current - Ripper->Start} * 100 /
                              (Ripper->End - Ripper->Start));
}

int32_t CR_GetPeakValue() { return Peak; }
int32_t CR_GetNumberOfJitterErrors() { return JitterErrors; }
int32_t CR_GetNumberOfSkippedSectors() { return SkippedSectors; }
int32_t CR_GetJitterPosition() { return CR_GetPercentCompleted(); }
int32_t CR_GetLastJitterErrorPosition() { return LastJitterSector; }
int32_t CR_GetCurrentRipSector() {
  const std::lock_guard guard(LibraryLock());
  return Ripper ? Ripper->Current.load() : 0;
}

void CR_SetReadFault(int32_t firstSector, int32_t count, int32_t badReads) {
  const std::lock_guard guard(FaultLock);
  Fault = {firstSector, std::max(count, 0), badReads, {}};
}

} // extern "C"
