#pragma once
// Reading a range of sectors corrected by a drive's read offset (ReadOffset.h): byte i of the
// range is the byte at start * 2352 + 4 * offset + i of the drive's audio. Where that lies
// before the disc's first sector (the lead-in) or from its lead-out on, where a drive has no
// audio to give, the range holds silence, so a range keeps its length whatever the offset.
//
// Both CD access modes read through TOffsetReader, each handing it its own sector reader: the
// drive library (raw sector reads) and the CD ripping library (paranoia). A reader is used by
// one thread at a time.
#include "ReadOffset.h"

#include <cstdint>
#include <functional>
#include <vector>

// Reads count whole sectors from the sector first on into data: the sectors read, fewer (down
// to 0 or a negative number) when one cannot be read.
using TSectorReader = std::function<int64_t(int32_t first, int32_t count, uint8_t *data)>;

class TOffsetReader {
public:
  // The sectors start ... end - 1 corrected by offset samples, on a disc whose lead-out (first
  // sector after the last track) is leadOut; read at most batch sectors at a time.
  TOffsetReader(int32_t start, int32_t end, int32_t offset, int32_t leadOut, int32_t batch,
                TSectorReader read);

  // Delivers the next bytes of the range into data, at most bytes of them, and returns how
  // many: fewer only at the end of the range or before a sector that cannot be read, which the
  // next call tries again.
  int64_t Read(uint8_t *data, int64_t bytes);
  // Bytes of the range not yet delivered.
  int64_t Remaining() const { return FEnd - FNext; }

private:
  // Reads the sectors from the one holding FNext on into FHeld; false when none can be read.
  bool Fill();

  int64_t FNext;          // byte of the drive's audio delivered next
  const int64_t FEnd;     // byte after the range
  const int64_t FLeadOut; // first byte past the disc's audio
  const int32_t FBatch;   // sectors read at most at once
  const TSectorReader FRead;
  std::vector<uint8_t> FHeld; // sectors read and not yet delivered in full
  int64_t FHeldBegin = 0;     // the drive's byte FHeld starts at
  int64_t FHeldEnd = 0;       // and the byte after its end
};
