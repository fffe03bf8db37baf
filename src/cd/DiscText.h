#pragma once
// The CD-Text of a disc as libcdio reads it from a drive or from a CUE sheet's TITLE and
// PERFORMER lines, each text as TitleText keeps it.
#include "CdioDisc.h"

// The texts of a disc; "" where the disc has none.
struct TDiscText {
  int FirstTrack = 1; // the track of Titles[0]
  std::string Album, Performer;
  std::vector<std::string> Titles, Performers; // of the layout's tracks, in order
};

// Reads the CD-Text of the disc in cdio, from a drive or from a CUE sheet's TITLE and
// PERFORMER lines; all empty when the disc has none.
TDiscText ReadDiscText(CdIo_t *cdio, const TDiscLayout &disc);
