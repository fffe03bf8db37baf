#include "CDWav.h"

#include <algorithm>
#include <filesystem>

namespace {

void PutLE32(std::uint8_t *p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

std::array<std::uint8_t, WavHeaderSize> CDWavHeader(std::uint32_t dataSize) {
  std::array<std::uint8_t, WavHeaderSize> h{};
  std::copy_n("RIFF", 4, h.begin());
  PutLE32(&h[4], dataSize + 36);
  std::copy_n("WAVEfmt ", 8, h.begin() + 8);
  PutLE32(&h[16], 16);
  h[20] = 1; // PCM
  h[22] = 2; // channels
  PutLE32(&h[24], 44100);
  PutLE32(&h[28], 44100 * 4);
  h[32] = 4;  // block align
  h[34] = 16; // bits a sample
  std::copy_n("data", 4, h.begin() + 36);
  PutLE32(&h[40], dataSize);
  return h;
}

bool ReplaceWithCopy(bool copied, const std::string &temp, const std::string &fileName) {
  std::error_code ec;
  if (copied)
    std::filesystem::rename(temp, fileName, ec);
  if (!copied || ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}
