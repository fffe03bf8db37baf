// Bytes as an Ogg Opus file, decoded over the stream callbacks, comments included.
#include "AuOpus.h"
#include "FuzzOgg.h"
#include "FuzzStream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = WithOggChecksums(data, size);
  ReadToEnd<TOpusIn>(bytes.data(), bytes.size(), [](TOpusIn &in) { in.VorbisTags(); });
  return 0;
}
