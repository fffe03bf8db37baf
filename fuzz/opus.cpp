// Bytes as an Ogg Opus file, decoded over the stream callbacks, comments included.
#include "AuOpus.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ReadToEnd<TOpusIn>(data, size, [](TOpusIn &in) { in.VorbisTags(); });
  return 0;
}
