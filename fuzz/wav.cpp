// Bytes as a WAV file: the chunk walk, and every decoder behind it (PCM, extensible, float,
// IMA and Microsoft ADPCM, MP3 data through the compression manager) read to the end.
#include "AuWaveIn.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ReadToEnd<TWaveIn>(data, size);
  return 0;
}
