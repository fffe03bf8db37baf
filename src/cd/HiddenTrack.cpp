#include "HiddenTrack.h"

#include "akrip32.h"

#include <algorithm>
#include <vector>

int32_t HiddenTrackSectors(const TDiscLayout &disc, const TRawRead &read) {
  if (disc.FirstTrack != 1 || disc.Tracks.empty() || (disc.Tracks[0].Control & TocControlData))
    return 0;
  const int32_t pregap = disc.Tracks[0].Lsn;
  constexpr int32_t Chunk = 25;
  std::vector<uint8_t> block(size_t{Chunk} * CDSectorSize);
  for (int32_t first = 0; first < pregap; first += Chunk) {
    const int32_t n = std::min(Chunk, pregap - first);
    if (read(first, n, block.data()) != n)
      return 0;
    const auto end = block.begin() + int64_t{n} * CDSectorSize;
    if (std::any_of(block.begin(), end, [](uint8_t b) { return b != 0; }))
      return pregap;
  }
  return 0;
}
