#pragma once
// Inside the CD ripping library: the drive list and the active drive, shared by the entry
// points of CDRip.cpp and the ripper of Ripper.cpp. Every entry point that touches them holds
// LibraryLock: the user-interface thread asks about the disc while a pipeline thread rips.
#include "cdrip/CDRip.h"

#include <cdio/cdio.h>

#include <mutex>
#include <string>
#include <vector>

struct TCDRipDrive {
  std::string Path; // a device, or an image's .cue
  bool Image = false;
  TCDRipParams Params{};  // how it is read, as CR_SetCDROMParameters left it
  int32_t ReadOffset = 0; // in samples, as CR_SetReadOffset left it
};

std::recursive_mutex &LibraryLock();

// The active drive; null when there is none.
TCDRipDrive *ActiveDrive();
// A new libcdio handle on the drive (the caller destroys it); null when it cannot be opened.
CdIo_t *OpenDrive(const TCDRipDrive &drive);
