#pragma once
// The CD ripping library: a shared library with C entry points over libcdio and
// libcdio-paranoia, loaded by the CD input component at run time (dlopen, by name).
//
// One active drive for the whole process. The drives are the CD devices libcdio finds, then
// the disc images handed in with CR_SetDiscImages, in that order (the CD drive library lists
// them the same way). Sectors are logical sector numbers without the 150-sector lead-in.
// Results are 0 on success unless a line says otherwise; truth values are non-zero for true.
// The entry points may be called from several threads: each runs alone. The parameter block
// accessors touch only the block they are given.
#include <cstdint>

#pragma pack(push, 1)

// One entry of the table of contents; the entry after the last track is the lead-out.
struct TCDRipTocEntry {
  uint32_t StartSector;
  uint8_t Flags; // control nibble: bit CDRipDataTrack set = data track
  uint8_t TrackNumber;
  uint8_t Reserved[2];
};

// The drive parameter block: what the active drive is and how it is read.
struct TCDRipParams {
  char DriveID[256]; // NUL-ended: vendor, model and revision, or "IMAGE <file name>"
  int32_t ReadSectors;
  int32_t OverlapSectors;
  int32_t CompareSectors;
  int32_t JitterCorrection; // truth value
  int32_t EnableMultiRead;  // truth value
  int32_t MultiReadCount;
  int32_t Paranoid; // truth value
  int32_t ParanoiaMode;
  uint8_t LockTray; // 1 = lock the tray while ripping
  uint8_t Reserved[3];
};

#pragma pack(pop)

static_assert(sizeof(TCDRipTocEntry) == 8);

// The control bit of a data track. The other bits may be set beside it (6: a data track whose
// copying is permitted), so a data track is any entry with this bit, never just the value 4.
constexpr uint8_t CDRipDataTrack = 0x04;

// CR_GetCDRipVersion's value.
constexpr int32_t CDRipVersion = 122;
// Results of the entry points that can fail.
enum : int32_t {
  CDRipOK = 0,
  CDRipError = 1,
  CDRipNotReady = 2,     // no disc, or its table of contents cannot be read
  CDRipNoDrive = 3,      // no such drive
  CDRipNotSupported = 4, // the operation means nothing for this drive (an image's tray)
};

extern "C" {
#pragma GCC visibility push(default)

int32_t CR_Init(int32_t options); // counted: as many CR_DeInit calls end the library
int32_t CR_DeInit();
int32_t CR_GetCDRipVersion();
int32_t CR_GetNumCDROM();
void CR_SetActiveCDROM(int32_t drive); // an index out of range is ignored
int32_t CR_GetActiveCDROM();
int32_t CR_SelectCDROMType(int32_t type); // one transport only: CDRipNotSupported
int32_t CR_GetCDROMType();
TCDRipParams *CR_GetStructPointer();
int32_t CR_GetCDROMParameters(TCDRipParams *params);       // fills the block from the active drive
int32_t CR_SetCDROMParameters(const TCDRipParams *params); // makes it the active drive's
// Reading the sectors start ... end - 1 through paranoia; *bufferSize in: room of the caller's
// buffer, out: the chunk size (a whole number of sectors). A range reaching into a data track
// is refused (CDRipError): its sectors are no audio.
int32_t CR_OpenRipper(int32_t *bufferSize, int32_t startSector, int32_t endSector);
// The next chunk in the disc's byte order; *bytes 0 at the end of the range. *abort non-zero
// on entry stops at once; set to non-zero by another thread during the call (through
// std::atomic_ref), it ends the chunk at the next drive read with what was read. A sector paranoia
// could not verify within its retries is delivered as read and counted
// (CR_GetNumberOfSkippedSectors); a sector that cannot be read at all ends the chunk before it, and
// the next call fails with CDRipError and no bytes.
int32_t CR_RipChunk(uint8_t *buffer, int32_t *bytes, int32_t *abort);
int32_t CR_CloseRipper();
int32_t CR_GetPercentCompleted();
int32_t CR_GetPeakValue(); // the largest sample magnitude of the last chunk
// Jitter errors of the current or last read: the sectors paranoia had to re-read, skip or
// repair.
int32_t CR_GetNumberOfJitterErrors();
int32_t CR_GetJitterPosition();
int32_t CR_GetLastJitterErrorPosition(); // sector of the last one; -1 when none
int32_t CR_GetCurrentRipSector();
void CR_LoadSettings();    // the active drive from cdr.ini ("CD-ROM", "nActive")
int32_t CR_SaveSettings(); // the active drive into cdr.ini, other keys kept
void CR_NormalizeChunk(int16_t *samples, int32_t count, double scale);
int32_t CR_ReadToc();
int32_t CR_GetNumTocEntries(); // tracks of the last table read; the lead-out has this index
TCDRipTocEntry CR_GetTocEntry(int32_t index); // all zero out of range
int32_t CR_ReadCDText(uint8_t *buffer, int32_t size, int32_t *textSize);
int32_t CR_IsUnitReady();                  // truth value
int32_t CR_IsMediaLoaded(int32_t *status); // *status 0 when a disc is present
int32_t CR_EjectCD(int32_t eject);
int32_t CR_IsAudioPlaying();
int32_t CR_PlayTrack(int32_t track);
int32_t CR_StopPlayTrack();
int32_t CR_PauseCD(int32_t pause);
int32_t CR_GetCDStatusInfo();
int32_t CR_LockCD(int32_t lock);
int32_t CR_GetSubChannelTrackInfo(int32_t *track, int32_t *index, int32_t *relative,
                                  int32_t *absolute);
int32_t CR_GetPlayPosition(int32_t *sector);
int32_t CR_SetPlayPosition(int32_t sector);
int32_t CR_PlaySection(int32_t startSector, int32_t endSector);
void CR_SetTransportLayer(int32_t layer);
int32_t CR_GetTransportLayer();
int32_t CR_ScanForC2Errors(int32_t startSector, int32_t count, int32_t *errors);
const char *CR_GetDriveID(const TCDRipParams *params);
int32_t CR_GetJitterCorrection(const TCDRipParams *params);
void CR_SetJitterCorrection(TCDRipParams *params, int32_t value);
void CR_SetEnableMultiRead(TCDRipParams *params, int32_t value);
void CR_SetParanoidMode(TCDRipParams *params, int32_t value);
void CR_SetReadSectors(TCDRipParams *params, int32_t value);
void CR_SetOverlapSectors(TCDRipParams *params, int32_t value);
void CR_SetCompareSectors(TCDRipParams *params, int32_t value);
void CR_SetMultiReadCount(TCDRipParams *params, int32_t value);
void CR_SetParanoiaMode(TCDRipParams *params, int32_t value);
void CR_LockCDTrayWhileRipping(TCDRipParams *params, uint8_t value);
int32_t CR_GetReadSectors(const TCDRipParams *params);
int32_t CR_GetOverlapSectors(const TCDRipParams *params);
int32_t CR_GetCompareSectors(const TCDRipParams *params);
int32_t CR_GetEnableMultiRead(const TCDRipParams *params);
int32_t CR_GetMultiReadCount(const TCDRipParams *params);
int32_t CR_IsParanoidMode(const TCDRipParams *params);
int32_t CR_GetParanoiaMode(const TCDRipParams *params);

// This program's own entry points.
// The disc images to list after the system's CD devices (cuePaths may be null when count is
// 0); scanSystemDrives 0 lists the images only. Takes effect at the next CR_Init or at once.
void CR_SetDiscImages(const char *const *cuePaths, int32_t count, int32_t scanSystemDrives);
// The times paranoia gave up on a sector of the current or last read within its retries: what
// it read there is delivered unverified.
int32_t CR_GetNumberOfSkippedSectors();
// The read offset of the active drive in samples (ReadOffset.h), by which every later rip is
// corrected: CDRipError unless -2000 ... 2000, CDRipNoDrive without a drive.
int32_t CR_SetReadOffset(int32_t samples);
// The folder of cdr.ini, ending in '/'.
void CR_SetSettingsFolder(const char *folder);
// Tests: the sectors first ... first + count - 1 read wrong on their first badReads reads
// (count 0 ends it), as a scratched disc or a drive's jitter would; with badReads -1 they cannot
// be read at all: a read ends before them.
void CR_SetReadFault(int32_t firstSector, int32_t count, int32_t badReads);

#pragma GCC visibility pop
}
