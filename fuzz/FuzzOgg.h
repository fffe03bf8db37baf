#pragma once
// Ogg pages carry a checksum, so nearly every mutated page would be refused before the decoder
// sees it. The targets stamp a correct checksum on every page they find, as a writer would.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

inline std::uint32_t OggChecksum(const std::uint8_t *data, std::size_t size) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= std::uint32_t(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
  }
  return crc;
}

// The bytes with the checksum of every complete page recomputed.
inline std::vector<std::uint8_t> WithOggChecksums(const std::uint8_t *data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  constexpr std::size_t HeaderSize = 27, ChecksumAt = 22;
  for (std::size_t at = 0; at + HeaderSize <= bytes.size();) {
    if (std::memcmp(&bytes[at], "OggS", 4) != 0) {
      ++at;
      continue;
    }
    const std::size_t segments = bytes[at + 26];
    if (at + HeaderSize + segments > bytes.size())
      break;
    std::size_t length = HeaderSize + segments;
    for (std::size_t i = 0; i < segments; ++i)
      length += bytes[at + HeaderSize + i];
    if (at + length > bytes.size())
      break;
    std::memset(&bytes[at + ChecksumAt], 0, 4);
    const std::uint32_t crc = OggChecksum(&bytes[at], length);
    for (int i = 0; i < 4; ++i)
      bytes[at + ChecksumAt + i] = std::uint8_t(crc >> (8 * i));
    at += length;
  }
  return bytes;
}
