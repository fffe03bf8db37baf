// Bytes as an Ogg Vorbis file, decoded over the stream callbacks, comments included.
#include "AuVorbis.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  auto stream = StreamOf(data, size);
  TVorbisIn in;
  in.SetStream(stream.get());
  try {
    in.VorbisTags();
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
