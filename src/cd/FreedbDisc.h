#pragma once
// A disc as the freedb rule sees it, and the disc id and query data the rule makes of it. The
// drive library reads it, the lookups send it and the AccurateRip ids are made from it.
#include <cstdint>
#include <string>
#include <vector>

namespace cddb {

// Every track of the table of contents (audio and data) in order, and the lead-out. Sectors
// count from the address 00:02:00, as libcdio does.
struct TDiscToc {
  std::vector<int32_t> Starts;
  int32_t LeadOut = 0;
};

// The eight lower-case hexadecimal digits of the disc id; "" for a disc without tracks.
std::string DiscId(const TDiscToc &toc);
// "n off1 ... offn seconds": frame offsets with the lead-in's 150 frames counted, and the
// lead-out's position in whole seconds; "" for a disc without tracks.
std::string QueryData(const TDiscToc &toc);

} // namespace cddb
