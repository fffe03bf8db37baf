// Bytes as an Ogg Vorbis file, decoded over the stream callbacks, comments included.
#include "AuVorbis.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ReadToEnd<TVorbisIn>(data, size, [](TVorbisIn &in) { in.VorbisTags(); });
  return 0;
}
