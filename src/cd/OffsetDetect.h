#pragma once
// Finding a drive's read offset with a disc that is in the AccurateRip database: the answer
// holds, per track, the checksum of the track's sector 450 as read with the right offset. The
// sectors around sector 450 of each audio track are read once, as the drive gives them, and
// every offset from -2000 to 2000 is tried on them; the offset at which the most tracks match
// is the drive's.
//
// Plain C++; DetectReadOffset blocks its caller for the reads and the lookup (bounded by the
// lookup's time-outs).
#include "AccurateRip.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TOffsetDetection {
  bool Found = false;
  int32_t Offset = 0;    // samples, when found
  int Tracks = 0;        // tracks whose sector 450 matched at Offset
  int TracksChecked = 0; // audio tracks with a sector 450 that is not silence
  int Confidence = 0;    // the highest confidence among the matching entries
  std::string Why;       // when not found: why, in words
};

// Samples read on each side of sector 450: the widest offset.
constexpr int32_t OffsetSearchMargin = 2000;

// The audio the drive gives around sector 450 of a track: the sectors 446 ... 454 of the track
// (9 * 2352 bytes), which hold sector 450 shifted by any offset the search tries; empty for a
// track too short to have them.
using TFrameWindow = std::vector<uint8_t>;

// The search over the windows of the disc's audio tracks (in order) against the answer's
// responses filed under ids. Not found when no offset matches a track.
TOffsetDetection FindReadOffset(const std::vector<TFrameWindow> &windows,
                                const std::vector<accuraterip::TResponse> &responses,
                                const accuraterip::TDiscIds &ids);

// What the AccurateRip database holds for the disc of ids; the lookups hand it in
// (AccurateRipLookup.h).
using TAnswerOfDisc = std::function<accuraterip::TLookupResult(const accuraterip::TDiscIds &ids)>;

// Reads the windows of the disc in the drive at position driveIndex of the drive library's
// list (through a handle of its own, so with no offset), looks the disc up with lookUp and
// searches.
TOffsetDetection DetectReadOffset(int driveIndex, const TAnswerOfDisc &lookUp);

// "Read offset +6 found: sector 450 of 3 of 3 tracks matched (confidence 5)", or "No read
// offset found: " and why.
std::string DetectionText(const TOffsetDetection &detection);
