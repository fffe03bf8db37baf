#pragma once
// The loops a verified rip runs over every byte it reads, written for the vector units of the
// processor: with plain loops they cost a rip from a disc image as much as the reading does.
#include <cstddef>
#include <cstdint>

namespace accuraterip {

// The CRC-32 of zlib and of rip logs, continued from crc over size bytes.
uint32_t Crc32(uint32_t crc, const uint8_t *data, std::size_t size);

// What SumSamples gathers over 32-bit stereo samples.
struct TSampleSums {
  uint32_t Low = 0, High = 0;        // the halves of each sample times its weight, summed
  int32_t Largest = 0, Smallest = 0; // of the 16-bit values
  uint32_t Peak() const { return static_cast<uint32_t>(Largest > -Smallest ? Largest : -Smallest); }
};

// Adds count little-endian samples to sums, the first weighted by weight, each next one by one
// more (modulo 2^32).
void SumSamples(const uint8_t *data, std::size_t count, uint32_t weight, TSampleSums &sums);

} // namespace accuraterip
