// Bytes as a FLAC file, decoded over the stream callbacks, comments included.
#include "AuFLAC.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  ReadToEnd<TFLACIn>(data, size, [](TFLACIn &in) { in.VorbisTags(); });
  return 0;
}
