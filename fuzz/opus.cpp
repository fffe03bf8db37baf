// Bytes as an Ogg Opus file, decoded over the stream callbacks, comments included.
#include "AuOpus.h"
#include "FuzzOgg.h"
#include "FuzzStream.h"

// libopusfile loses comment blocks it parsed from a damaged stream: opening the same bytes with
// op_open_memory and freeing them with op_free leaks the same blocks, so there is nothing of
// ours to free; our op_free is checked by the AddressSanitizer runs of the test suites.
extern "C" const char *__lsan_default_suppressions() { return "leak:libopusfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = WithOggChecksums(data, size);
  ReadToEnd<TOpusIn>(bytes.data(), bytes.size(), [](TOpusIn &in) { in.VorbisTags(); });
  return 0;
}
