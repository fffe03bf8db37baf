#pragma once
// Answer files (dBAR) for finding a drive's read offset: per track a confidence and the checksum
// of the track's sector 450, here of an image's audio as a drive with a known offset reads it.
#include "AccurateRip.h"

#include <string>
#include <utility>
#include <vector>

// One response: per track its confidence and sector-450 checksum.
std::string Frame450Response(const accuraterip::TDiscIds &ids,
                             const std::vector<std::pair<int, uint32_t>> &tracks);

// The checksum of sector 450 of the track starting at trackStart of the image at cue, read
// with a read offset of offset samples.
uint32_t ShiftedFrame450(const std::string &cue, uint32_t trackStart, int32_t offset);
