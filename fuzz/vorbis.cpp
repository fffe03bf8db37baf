// Bytes as an Ogg Vorbis file, decoded over the stream callbacks, comments included.
#include "AuVorbis.h"
#include "FuzzOgg.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = WithOggChecksums(data, size);
  ReadToEnd<TVorbisIn>(bytes.data(), bytes.size(), [](TVorbisIn &in) { in.VorbisTags(); });
  return 0;
}
