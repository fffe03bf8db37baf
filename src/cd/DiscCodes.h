#pragma once
// What a disc carries beside its audio for an archive: the catalogue number (MCN) of the disc,
// each track's ISRC, and which tracks were recorded with pre-emphasis.
#include "CdioDisc.h"

#include <string>
#include <vector>

struct TDiscCodes {
  std::string Catalog; // 13 digits; "" when the disc carries none
  int FirstTrack = 0;
  std::vector<std::string> Isrc; // by position among the tracks; "" none
  std::vector<bool> PreEmphasis; // by position: the TOC's control bit 0x01

  // By the disc's own track number; "" and false for a track the disc does not have. Track 0,
  // the hidden track before track 1, has no ISRC of its own and track 1's pre-emphasis.
  std::string IsrcOf(int track) const;
  bool PreEmphasisOf(int track) const;
};

// A catalogue number is 13 digits; drives report thirteen zeros for none.
bool ValidCatalog(const std::string &text);
// An ISRC: country (2 letters), owner (3 letters or digits), year and number (7 digits).
bool ValidIsrc(const std::string &text);

// Reads the codes of the disc whose layout is given: a drive answers through MMC commands, a
// disc image from its cue's CATALOG, ISRC and FLAGS lines. A code that is not well formed
// (a drive's noise, a typo in a cue) counts as none.
TDiscCodes ReadDiscCodes(CdIo_t *cdio, const TDiscLayout &disc);
