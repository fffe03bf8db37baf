#include "TestSound.h"

#include <fstream>

namespace {

void Put(std::vector<uint8_t> &out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<uint8_t> Pattern(std::size_t size, int seed) {
  std::vector<uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>((i * 37 + seed) % 251 + 1);
  return bytes;
}

std::vector<uint8_t> Wav(uint16_t channels, uint32_t rate, uint16_t bits,
                         const std::vector<uint8_t> &audio) {
  std::vector<uint8_t> wav{'R', 'I', 'F', 'F'};
  Put(wav, 36 + uint32_t(audio.size()), 4);
  wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0});
  Put(wav, channels, 2);
  Put(wav, rate, 4);
  Put(wav, rate * channels * bits / 8, 4);
  Put(wav, channels * bits / 8, 2);
  Put(wav, bits, 2);
  wav.insert(wav.end(), {'d', 'a', 't', 'a'});
  Put(wav, uint32_t(audio.size()), 4);
  wav.insert(wav.end(), audio.begin(), audio.end());
  return wav;
}

void WriteFileBytes(const std::string &path, const std::vector<uint8_t> &bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}
