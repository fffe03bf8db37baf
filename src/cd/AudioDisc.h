#pragma once
// Questions the main window asks about the discs in the drives of the CD drive library.
#include "akrip32.h"

#include <string>

namespace cd {

// Whether the table of contents lists at least one audio track.
bool HasAudioTrack(const TToc &toc);

// Reads the table of contents of the drive at position index of the drive list, with MSF
// addresses; false when there is no such drive or no readable disc in it.
bool ReadDriveToc(int index, TToc &toc);

// Whether the first drive of the list holds a disc with an audio track; only that drive is
// looked at.
bool IsAudioCDPresent();

// The audio-CD volume serial number of the disc whose table of contents (MSF addresses) is
// given, as a signed 32-bit number.
int32_t AudioVolumeSerial(const TToc &toc);

// The disc identifier: the volume serial number of the disc in the first drive of the list
// that holds an audio track, in decimal; "" when no drive holds one.
std::string GetDiscID();

} // namespace cd
