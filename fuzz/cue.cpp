// Bytes as the CUE sheet of a disc image: libcdio's reading of it, then our own checks of the
// table of contents it gives, as a drive of the CD drive library.
#include "AudioDisc.h"
#include "FuzzInput.h"
#include "akrip32.h"

#include <vector>

namespace {
std::string gBin;
}

// libcdio's CUE parser drops a copied file name on some malformed FILE lines; that is its leak,
// not ours, and the target would stop at it instead of looking further.
extern "C" const char *__lsan_default_suppressions() { return "leak:libcdio.so\n"; }

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  SetScanSystemDrives(false);
  // libcdio opens the BIN named after the sheet, whatever its FILE line says: 20 sectors.
  const std::vector<std::uint8_t> sectors(20 * 2352, 0x55);
  gBin = FileOf(sectors.data(), sectors.size(), ".bin");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string cue = FileOf(data, size, ".cue");
  if (AddDiscImage(cue)) {
    TToc toc;
    if (cd::ReadDriveToc(0, toc)) {
      cd::HasAudioTrack(toc);
      cd::DiscID(toc);
    }
  }
  ClearDiscImages();
  return 0;
}
