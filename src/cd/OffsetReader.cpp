#include "OffsetReader.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int64_t SectorBytes = 2352;
constexpr int64_t SampleBytes = 4;
} // namespace

TOffsetReader::TOffsetReader(int32_t start, int32_t end, int32_t offset, int32_t leadOut,
                             int32_t batch, TSectorReader read)
    : FNext(start * SectorBytes + offset * SampleBytes),
      FEnd(end * SectorBytes + offset * SampleBytes), FLeadOut(leadOut * SectorBytes),
      FBatch(std::max(batch, 1)), FRead(std::move(read)) {}

int64_t TOffsetReader::Read(uint8_t *data, int64_t bytes) {
  bytes = std::min(bytes, Remaining());
  int64_t done = 0;
  while (done < bytes) {
    int64_t n = bytes - done;
    if (FNext < 0 || FNext >= FLeadOut) {
      // The lead-in or the lead-out: no audio on the disc.
      if (FNext < 0)
        n = std::min(n, -FNext);
      std::memset(data + done, 0, static_cast<size_t>(n));
    } else {
      if ((FNext < FHeldBegin || FNext >= FHeldEnd) && !Fill())
        break;
      n = std::min(n, FHeldEnd - FNext);
      std::memcpy(data + done, FHeld.data() + (FNext - FHeldBegin), static_cast<size_t>(n));
    }
    done += n;
    FNext += n;
  }
  return done;
}

bool TOffsetReader::Fill() {
  const int64_t first = FNext / SectorBytes;
  const int64_t last = std::min((FEnd - 1) / SectorBytes, FLeadOut / SectorBytes - 1);
  const auto count = static_cast<int32_t>(std::min<int64_t>(FBatch, last - first + 1));
  FHeld.resize(static_cast<size_t>(count * SectorBytes));
  const int64_t read =
      std::min<int64_t>(FRead(static_cast<int32_t>(first), count, FHeld.data()), count);
  if (read <= 0)
    return false;
  FHeldBegin = first * SectorBytes;
  FHeldEnd = FHeldBegin + read * SectorBytes;
  return true;
}
