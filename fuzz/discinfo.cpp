// Bytes as the per-disc cache of titles: every disc section in it loaded into the disc
// information, as the main window does when it lists a disc.
#include "DiscInfo.h"
#include "FuzzInput.h"
#include "IniFile.h"

#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  const std::string home = FuzzPath("-config");
  setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  std::filesystem::create_directories(std::filesystem::path(DiscInfoFileName()).parent_path());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string cache = DiscInfoFileName();
  WriteFile(cache, data, size);
  for (const std::string &disc : TIniFile(cache).ReadSections())
    LoadDiscInfo(disc);
  return 0;
}
