#pragma once
// A disc as libcdio shows it: the track layout behind the CD drive library's table of contents.
#include <cdio/cdio.h>

#include <cstdint>
#include <string>
#include <vector>

struct TDiscTrack {
  int32_t Lsn = 0;     // first sector; 0 is the address 00:02:00
  uint8_t Control = 0; // control nibble of the TOC entry
};

struct TDiscLayout {
  int FirstTrack = 0;
  std::vector<TDiscTrack> Tracks;
  int32_t LeadOut = 0; // first sector after the last track
};

// Reads the layout of the disc in cdio; false when there is no disc or its table of contents
// is inconsistent (a track starting past the lead-out, as a BIN cut short gives).
bool ReadDiscLayout(CdIo_t *cdio, TDiscLayout &disc);

// The CD devices libcdio finds, each listed once (/dev/cdrom and /dev/sr0 are often one drive),
// in libcdio's order. libcdio's device scan is not thread-safe: callers serialise it.
std::vector<std::string> CdioDevicePaths();

// Keeps libcdio's messages for TakeCdioMessage() instead of printing them (once per process).
void QuietCdioLog();
// The first warning or error libcdio gave on this thread since the last call.
std::string TakeCdioMessage();
