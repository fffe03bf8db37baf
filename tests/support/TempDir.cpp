#include "TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TTempDir::TTempDir() : TTempDir(std::filesystem::temp_directory_path().string()) {}

TTempDir::TTempDir(const std::string &parent) {
  std::string pattern = (std::filesystem::path(parent) / "plindar-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("Cannot create a temporary folder");
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(FPath, ignored);
}
