#pragma once
// Asks the AccurateRip database for the answer file of a disc, over HTTP with the time-outs of
// the freedb lookups. Blocks the calling thread; safe to call from several threads at once.
#include "AccurateRip.h"
#include "OffsetDetect.h"

#include <chrono>
#include <string>
#include <vector>

namespace accuraterip {

// Fetches <base>/<request path> of the disc: Found with the answer's responses, NotInDatabase
// for a 404, Failed when the server cannot be reached, times out or sends no readable
// answer for this disc.
TLookupResult LookUp(const std::string &base, const TDiscIds &ids,
                     std::chrono::milliseconds connectTimeout = std::chrono::seconds(10),
                     std::chrono::milliseconds totalTimeout = std::chrono::seconds(30));

} // namespace accuraterip

// DetectReadOffset (OffsetDetect.h) with the disc looked up under base.
TOffsetDetection
DetectReadOffset(int driveIndex, const std::string &base,
                 std::chrono::milliseconds connectTimeout = std::chrono::seconds(10),
                 std::chrono::milliseconds totalTimeout = std::chrono::seconds(30));
