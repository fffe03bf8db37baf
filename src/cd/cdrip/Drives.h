#pragma once
// Inside the CD ripping library: the drive list and the active drive, shared by the entry
// points of CDRip.cpp and the ripper of Ripper.cpp. One thread at a time, as the entry points.
#include "CDRip.h"

#include <cdio/cdio.h>

#include <string>
#include <vector>

struct TCDRipDrive {
  std::string Path; // a device, or an image's .cue
  bool Image = false;
  TCDRipParams Params{}; // how it is read, as CR_SetCDROMParameters left it
};

// The active drive; null when there is none.
TCDRipDrive *ActiveDrive();
// A new libcdio handle on the drive (the caller destroys it); null when it cannot be opened.
CdIo_t *OpenDrive(const TCDRipDrive &drive);
