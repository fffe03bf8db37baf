#include "PartFile.h"

#include <cstdio>
#include <filesystem>

namespace plat {

std::string PartFileName(const std::string &finalName) {
  const std::filesystem::path name(finalName);
  return (name.parent_path() / ("." + name.filename().string() + ".part")).string();
}

TPartFile::TPartFile(const std::string &finalName)
    : FFinalName(finalName), FPartName(PartFileName(finalName)) {}

TPartFile::~TPartFile() { Discard(); }

bool TPartFile::Complete() {
  if (FDone)
    return false;
  if (std::rename(FPartName.c_str(), FFinalName.c_str()) != 0) {
    Discard();
    return false;
  }
  FDone = true;
  return true;
}

void TPartFile::Discard() {
  if (FDone)
    return;
  FDone = true;
  std::remove(FPartName.c_str());
}

} // namespace plat
