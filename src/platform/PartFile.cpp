#include "PartFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::size_t LongestNameIn(const std::string &folder) {
  const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  return longest > 0 ? static_cast<std::size_t>(longest) : 255;
}

std::size_t Utf8Boundary(const std::string &text, std::size_t at) {
  at = std::min(at, text.size());
  while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
    --at;
  return at;
}

std::string PartFileName(const std::string &finalName) {
  const std::filesystem::path path(finalName);
  const std::string name = path.filename().string();
  std::string part = "." + name + ".part";
  // A name near the file system's limit would have no room for the part's dot and ending:
  // its start, cut to make room for a check number of the whole name, keeps the part file as
  // long as the final name and still its own.
  if (part.size() > LongestNameIn(path.parent_path().string()) && name.size() > 14) {
    char check[9];
    std::snprintf(check, sizeof check, "%08x",
                  static_cast<unsigned>(std::hash<std::string>{}(name)&0xFFFFFFFFu));
    part = "." + name.substr(0, Utf8Boundary(name, name.size() - 14)) + check + ".part";
  }
  return (path.parent_path() / part).string();
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
  // A file replaced keeps who may read it: a private file stays private.
  if (struct stat old{}; stat(FFinalName.c_str(), &old) == 0 && S_ISREG(old.st_mode))
    fchmod(FFd, old.st_mode & 07777);
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
