#include "FileShare.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

bool FileInUse(const std::string &path) {
  int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0)
    return errno != ENOENT;
  bool locked = flock(fd, LOCK_EX | LOCK_NB) == 0;
  close(fd); // closing releases the lock
  return !locked;
}

} // namespace plat
