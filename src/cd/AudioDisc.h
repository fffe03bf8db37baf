#pragma once
// Questions the main window asks about the disc in a drive of the CD drive library. Each
// answer comes from one table of contents, so the disc that is listed and the disc whose
// titles are cached are the same; a caller that reads the table its own way asks
// HasAudioTrack and DiscID.
#include "AccurateRip.h"
#include "DiscCodes.h"
#include "DiscText.h"
#include "akrip32.h"

#include <string>

namespace cd {

// Whether the table of contents lists at least one audio track.
bool HasAudioTrack(const TToc &toc);

// Reads the table of contents of the drive at position index of the drive list, with MSF
// addresses; false when there is no such drive or no readable disc in it.
bool ReadDriveToc(int index, TToc &toc);

// Reads the CD-Text of the disc in the drive at position index of the drive list; false when
// there is no such drive or no readable disc in it.
bool ReadDriveText(int index, TDiscText &text);

// Reads the catalogue number, ISRCs and pre-emphasis flags of the disc in the drive at position
// index of the drive list; false when there is no such drive or no readable disc in it.
bool ReadDriveCodes(int index, TDiscCodes &codes);

// Reads the table of contents of the open drive, switching the handle to MSF addresses; false
// when the handle is not open or holds no readable disc.
bool ReadHandleToc(int32_t handle, TToc &toc);

// The audio-CD volume serial number of the disc whose table of contents (MSF addresses) is
// given, as a signed 32-bit number.
int32_t AudioVolumeSerial(const TToc &toc);

// The disc identifier: the volume serial number in decimal when the disc has an audio track,
// else "".
std::string DiscID(const TToc &toc);

// The drive of an open handle as a rip log names it: vendor, product and device, or the disc
// image's file.
std::string HandleDriveText(int32_t handle);

// HandleDriveText of the drive at position index of the drive list; "" when it cannot be opened.
std::string DriveTextAt(int index);

// The table of contents (MSF addresses) as the rip verification reads it.
accuraterip::TDiscToc VerificationToc(const TToc &toc);

// Whether the open drive holds a disc with an audio track.
bool IsAudioCDPresent(int32_t handle);

// How a drive of the drive list is named: its vendor text directly followed by its product
// text, each up to its NUL.
std::string DriveText(const TCDDriveEntry &drive);

// What the read offset of the drive at position index of the drive list is stored under:
// "vendor product" of a CD drive, the .cue's path of a disc image; "" for no such drive.
std::string DriveKey(int index);

// Opens the drive at position index of the drive list: its handle, 0 when it cannot be opened.
int32_t OpenDriveAt(int index);
// The device of the drive at position index of the drive list (for an image, its .cue); ""
// when it cannot be opened.
std::string DevicePathAt(int index);

} // namespace cd
