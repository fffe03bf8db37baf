#pragma once
// The RIFF/WAVE layout shared by the WAV reader and writer: format kinds, chunk identifiers,
// header lengths, the extensible sub-formats and the IMA ADPCM tables.
#include <array>
#include <cstdint>
#include <cstring>

enum TWavType : std::uint8_t {
  wtUnsupported = 0,
  wtPCM = 1,
  wtDVIADPCM = 2,
  wtMSADPCM = 3,
  wtACM = 4,
  wtIEEEFloat = 5,
  wtExtPCM = 6,
  wtExtIEEEFloat = 7
};

namespace wav {

// Format tags of the "fmt " chunk.
constexpr std::uint16_t TagPCM = 1;
constexpr std::uint16_t TagMSADPCM = 2;
constexpr std::uint16_t TagIEEEFloat = 3;
constexpr std::uint16_t TagIMAADPCM = 17;
constexpr std::uint16_t TagMPEGLayer3 = 85;
constexpr std::uint16_t TagExtensible = 0xFFFE;

// Header lengths the writer produces; the audio follows at once.
constexpr std::uint32_t PCMHeaderSize = 44;
constexpr std::uint32_t ExtPCMHeaderSize = 68;
constexpr std::uint32_t IMAHeaderSize = 60;

using TGuid = std::array<std::uint8_t, 16>;
// 00000001-0000-0010-8000-00AA00389B71 and 00000003-..., as stored in the file.
constexpr TGuid SubFormatPCM = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr TGuid SubFormatIEEEFloat = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                      0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr std::array<std::int16_t, 89> ImaStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,   21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,   73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,  253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,  876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749, 3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493, 10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

constexpr std::array<std::int8_t, 16> ImaIndexTable = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                       -1, -1, -1, -1, 2, 4, 6, 8};

// Samples per block and channel of an IMA ADPCM block of blockSize bytes.
constexpr std::uint32_t ImaSamplesPerBlock(std::uint32_t channels, std::uint32_t blockSize) {
  return (2 / channels) * (blockSize - 4 * channels) + 1;
}

// Case-insensitive comparison of a four-byte chunk identifier.
inline bool SameId(const std::uint8_t *bytes, const char *id) {
  for (int i = 0; i < 4; ++i) {
    std::uint8_t a = bytes[i], b = static_cast<std::uint8_t>(id[i]);
    if (a >= 'a' && a <= 'z')
      a -= 32;
    if (b >= 'a' && b <= 'z')
      b -= 32;
    if (a != b)
      return false;
  }
  return true;
}

// Chunk identifiers are printable ASCII.
inline bool PlausibleId(const std::uint8_t *bytes) {
  for (int i = 0; i < 4; ++i)
    if (bytes[i] < 0x20 || bytes[i] > 0x7E)
      return false;
  return true;
}

// A chunk of odd length is followed by a pad byte, but some writers leave it out. Given the
// bytes after such a chunk's body (at least 5), tells whether the next chunk starts right there:
// when the padded offset holds no plausible identifier and the unpadded one does.
inline bool PadByteOmitted(const std::uint8_t *after) {
  return !PlausibleId(after + 1) && PlausibleId(after);
}

// Little-endian fields.
inline std::uint16_t GetU16(const std::uint8_t *p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t GetU32(const std::uint8_t *p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU16(std::uint8_t *p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t *p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutId(std::uint8_t *p, const char *id) { std::memcpy(p, id, 4); }

} // namespace wav
