#pragma once
// CD drive library: drive list, drive handles, table of contents and raw audio sector reads.
// Its CDDB lookup of the disc in a drive sits with the other lookups (akrip32Cddb.h).
//
// The drives are the CD devices of the system followed by the disc images registered with
// AddDiscImage. The records below keep the byte layouts the callers fill and read; multi-byte
// numbers of the read request are in host order. Every operation may be called from any thread;
// reads on one handle are serialised.
#include "FreedbDisc.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TDiscText;
struct TDiscCodes;

#pragma pack(push, 1)

// One drive of the list, as its inquiry data gives it.
struct TCDDriveEntry {
  uint8_t HostAdapter;
  uint8_t Target;
  uint8_t Lun;
  uint8_t Reserved1[66];
  char Vendor[9];   // NUL-ended
  char Product[17]; // NUL-ended
  uint8_t Reserved2[26];
};

constexpr int MaxCDDrives = 8;
// The host adapter of the disc images in the list; an image's target is its position among
// DiscImages(). The system's drives have host adapter 0.
constexpr uint8_t ImageHostAdapter = 1;

struct TCDDriveList {
  uint8_t Capacity; // in: entries the caller has room for (at most 8)
  uint8_t Count;    // out: entries filled
  TCDDriveEntry Drives[MaxCDDrives];
};

struct TCDOpenRequest {
  uint8_t Size;    // 12
  uint8_t Version; // 1
  uint8_t HostAdapter;
  uint8_t Target;
  uint8_t Lun;
  uint8_t Reserved[7];
};

// One entry of the table of contents, as a drive reports it.
struct TTocEntry {
  uint8_t Reserved1;
  uint8_t AdrControl;  // high nibble ADR (1), low nibble control (TocControlData = data track)
  uint8_t TrackNumber; // TocLeadOut for the entry after the last track
  uint8_t Reserved2;
  uint8_t Address[4]; // MSF mode: 0, minutes, seconds, frames (absolute); else big-endian LBA
};

constexpr int MaxTocEntries = 100;

struct TToc {
  uint8_t Length[2]; // big-endian byte count of what follows the length field
  uint8_t FirstTrack;
  uint8_t LastTrack;
  TTocEntry Entries[MaxTocEntries];
};

// Header of a read request; the data area of BufferSize bytes follows it in memory.
struct TReadRequest {
  uint32_t StartSector; // LBA
  uint32_t SectorCount;
  uint32_t BufferSize;    // bytes of the data area, at least SectorCount * CDSectorSize
  uint32_t BytesReturned; // out
  uint32_t Status;        // out: ReadStatusDone or ReadStatusError
  int32_t Offset;         // out: where the audio begins inside the data area
};

#pragma pack(pop)

static_assert(sizeof(TCDDriveEntry) == 121);
static_assert(offsetof(TCDDriveEntry, Vendor) == 69 && offsetof(TCDDriveEntry, Product) == 78);
static_assert(sizeof(TCDDriveList) == 970);
static_assert(sizeof(TCDOpenRequest) == 12);
static_assert(sizeof(TTocEntry) == 8);
static_assert(sizeof(TToc) == 804);
static_assert(sizeof(TReadRequest) == 24);

constexpr uint32_t CDSectorSize = 2352;
constexpr uint8_t TocControlData = 0x04;
constexpr uint8_t TocControlPreEmphasis = 0x01; // an audio track recorded with pre-emphasis
constexpr uint8_t TocLeadOut = 0xAA;
constexpr int32_t CDParmMsfAddresses = 36; // ModifyCDParms: 1 = TOC addresses in MSF
// ModifyCDParms: the drive's read offset in samples (ReadOffset.h), -2000 ... 2000, by which
// every later audio read of the handle is corrected; 0 when the handle is opened.
constexpr int32_t CDParmReadOffset = 37;
constexpr uint32_t ReadStatusDone = 1;
constexpr uint32_t ReadStatusError = 4;

// Codes of GetAspiLibError.
enum : int32_t {
  CDErrNone = 0,
  CDErrBadArgument = 1,
  CDErrNoSuchDrive = 2,
  CDErrBadHandle = 3,
  CDErrNoDisc = 4,          // no disc, or the disc or its image cannot be read
  CDErrReadFailed = 5,      // a read failed or reached past the disc's last sector
  CDErrCannotOpen = 6,      // the device cannot be opened (permissions)
  CDErrCddbNoMatch = 7,     // the server knows no such disc
  CDErrCddbUnreachable = 8, // no connection to the server or the proxy
  CDErrCddbTimedOut = 9,    // the server did not answer within the time-outs
  CDErrCddbBadAnswer = 10,  // an answer that is no CDDB answer
  CDErrCddbServer = 11,     // the server refused (403, 500 ...)
};

// Fills list->Count and the entries (at most list->Capacity and 8); 1 on success.
int32_t GetCDList(TCDDriveList *list);
// Opens the drive named by the request's host adapter, target and LUN; the handle, 0 on failure.
int32_t GetCDHandle(const TCDOpenRequest *request);
// Nonzero on success.
int32_t CloseCDHandle(int32_t handle);
// CDParmMsfAddresses with 1 switches ReadTOC to MSF addresses, with 0 back to LBA;
// CDParmReadOffset sets the read offset. 0 on failure (an unknown parameter, an offset out of
// range).
int32_t ModifyCDParms(int32_t handle, int32_t parm, int32_t value);
// The handle's read offset in samples (CDParmReadOffset); 0 for a handle that is not open.
int32_t GetCDReadOffset(int32_t handle);
// Reads the disc's table of contents; 1 on success.
int32_t ReadTOC(int32_t handle, TToc *toc);
// Reads raw 2352-byte sectors into the data area that follows the request, corrected by the
// handle's read offset; 1 on success.
int32_t ReadCDAudioLBA(int32_t handle, TReadRequest *request);
// Reads count raw sectors from start straight into data (count * CDSectorSize bytes), so a
// caller gathering many blocks needs no copy, corrected by the handle's read offset; 1 on
// success. The sectors must lie before the lead-out; what the offset reaches beyond the disc
// is silence.
int32_t ReadCDAudioSectors(int32_t handle, uint32_t start, uint32_t count, uint8_t *data);
// The code of the last failure (CDErr...).
int32_t GetAspiLibError();
// Makes code the last failure and returns 0: the drive library's CDDB lookups
// (akrip32Cddb.h) report theirs through GetAspiLibError too.
int32_t FailWith(int32_t code);
// The disc in the drive as the freedb rule sees it: every track, audio and data. 1, or 0 with
// the library's error for a bad handle or no disc.
int32_t ReadFreedbToc(int32_t handle, cddb::TDiscToc &toc);

// Whether the disc in the drive changed since the last query: 1 changed, 0 not, -1 unknown.
// An image never changes.
int32_t GetCDMediaChanged(int32_t handle);
// The device of an open drive (for an image, its .cue), for the tray commands; "" for a
// handle that is not open.
std::string GetCDDevicePath(int32_t handle);

// The CD-Text of the disc in an open drive (for an image, its CUE sheet's); false when the
// handle is not open or holds no readable disc.
bool GetCDText(int32_t handle, TDiscText &text);

// The catalogue number, ISRCs and pre-emphasis flags of the disc in an open drive; false when
// the handle is not open or holds no readable disc.
bool GetCDCodes(int32_t handle, TDiscCodes &codes);

// The sectors of the hidden track before track 1 of the disc in an open drive (HiddenTrack.h),
// read as pressed, without the read offset; 0 when there is none or no readable disc.
int32_t GetCDHiddenTrack(int32_t handle);

// Registers a BIN/CUE disc image as a drive after the system's drives; the image is listed
// with vendor "IMAGE" (blank-padded to 8 characters, as inquiry data is) and the file's base
// name without extension as product (cut to 16 bytes). False with a reason in *error
// when it cannot be opened as a disc.
bool AddDiscImage(const std::string &cuePath, std::string *error = nullptr);
// Forgets every registered image (tests).
void ClearDiscImages();
// Whether the system's CD devices are listed (default true); off gives a list of images only.
void SetScanSystemDrives(bool scan);
// The registered images, in order, and whether the system's devices are listed: what the CD
// ripping library is handed so that both CD access modes list the same drives.
std::vector<std::string> DiscImages();
bool ScanSystemDrives();

// A read request with its data area, in one block as ReadCDAudioLBA expects.
class TReadBuffer {
public:
  TReadBuffer(uint32_t startSector, uint32_t sectorCount);
  TReadRequest *Request() { return Header; }
  // The data area; the audio read begins at Request()->Offset.
  uint8_t *Data() { return Block.data() + sizeof(TReadRequest); }

private:
  std::vector<uint8_t> Block;
  TReadRequest *Header;
};
