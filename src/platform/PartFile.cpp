#include "PartFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace plat {

std::string PartFileName(const std::string &finalName) {
  const std::filesystem::path name(finalName);
  return (name.parent_path() / ("." + name.filename().string() + ".part")).string();
}

TPartFile::TPartFile(const std::string &finalName)
    : FFinalName(finalName), FPartName(PartFileName(finalName)) {
  FFd = open(FPartName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (FFd < 0) {
    FError = errno;
    return;
  }
  // An open-file-description lock: held until this descriptor closes, whatever other
  // descriptors of the file this process opens and closes meanwhile.
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  if (fcntl(FFd, F_OFD_SETLK, &lock) != 0) {
    FError = errno;
    FInUse = FError == EAGAIN || FError == EACCES;
    Release();
    return;
  }
  // A part file left by a job that ended without cleaning up starts afresh.
  if (ftruncate(FFd, 0) != 0) {
    FError = errno;
    Release();
  }
}

TPartFile::~TPartFile() { Discard(); }

void TPartFile::Release() {
  if (FFd >= 0)
    close(FFd);
  FFd = -1;
}

bool TPartFile::Complete() {
  if (FDone || !Claimed())
    return false;
  if (std::rename(FPartName.c_str(), FFinalName.c_str()) != 0) {
    Discard();
    return false;
  }
  FDone = true;
  Release();
  return true;
}

void TPartFile::Discard() {
  if (FDone)
    return;
  FDone = true;
  if (Claimed())
    std::remove(FPartName.c_str());
  Release();
}

} // namespace plat
