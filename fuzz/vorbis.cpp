// Bytes as an Ogg Vorbis file, decoded over the stream callbacks, comments included.
#include "AuVorbis.h"
#include "FuzzOgg.h"
#include "FuzzStream.h"

// libvorbisfile loses a few bytes of its own when ov_test_open fails on a damaged seekable
// stream (it clears the file itself on that path, so there is nothing left for us to free); our
// clearing of the files it opens is checked by the AddressSanitizer runs of the test suites.
extern "C" const char *__lsan_default_suppressions() { return "leak:libvorbisfile.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::vector<std::uint8_t> bytes = WithOggChecksums(data, size);
  ReadToEnd<TVorbisIn>(bytes.data(), bytes.size(), [](TVorbisIn &in) { in.VorbisTags(); });
  return 0;
}
