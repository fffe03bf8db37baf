// Bytes as a WAV file: the chunk walk, and every decoder behind it (PCM, extensible, float,
// IMA and Microsoft ADPCM, MP3 data through the compression manager) read to the end.
#include "AuWaveIn.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto stream = StreamOf(data, size);
  TWaveIn in;
  in.SetStream(stream.get());
  try {
    if (!in.Valid())
      return 0;
    in.Init();
    for (;;) {
      std::uint8_t *buffer = nullptr;
      std::uint32_t bytes = 16384;
      in.GetData(buffer, bytes);
      if (bytes == 0)
        break;
    }
    in.Flush();
  } catch (const EAuException &) {
  }
  return 0;
}
