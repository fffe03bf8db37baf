// Bytes as the MusicBrainz service's answer to a discid request, read for the disc id the
// seeds use.
#include "MusicBrainz.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string answer(reinterpret_cast<const char *>(data), size);
  std::vector<mb::TRelease> releases;
  std::string why;
  mb::ParseReleases(answer, "49HHV7Eb8UKF3aQiNmu1GR8vKTY-", releases, why);
  return 0;
}
