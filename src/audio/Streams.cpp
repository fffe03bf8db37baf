#include "Streams.h"

#include "AuTypes.h"
#include "Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseSystemError(int error) { throw EAuException(plat::SysErrorMessage(error)); }

// The advisory lock that stands for a sharing mode: none when others may read and write.
int LockFor(TFileMode mode) {
  if (mode == fmCreate)
    return LOCK_EX;
  switch ((mode >> 4) & 0x0F) {
  case 0:
  case 1: return LOCK_EX;
  case 2:
  case 3: return LOCK_SH;
  default: return 0;
  }
}

int OpenFile(const std::string &name, TFileMode mode) {
  int flags = O_CLOEXEC;
  if (mode == fmCreate)
    flags |= O_RDWR | O_CREAT; // truncated only once the lock is ours
  else
    switch (mode & 3) {
    case 0: flags |= O_RDONLY; break;
    case 1: flags |= O_WRONLY; break;
    default: flags |= O_RDWR; break;
    }
  int fd = ::open(name.c_str(), flags, 0666);
  if (fd < 0)
    RaiseSystemError(errno);
  if (int lock = LockFor(mode); lock != 0 && ::flock(fd, lock | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) // the system's "Resource temporarily unavailable" says nothing
      throw EAuException("the file is in use: another program or job is reading or writing it");
    RaiseSystemError(error);
  }
  if (mode == fmCreate && ::ftruncate(fd, 0) != 0) {
    int error = errno;
    ::close(fd);
    RaiseSystemError(error);
  }
  return fd;
}

} // namespace

std::int64_t TStream::Size() {
  std::int64_t position = Position();
  std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(position);
  return size;
}

std::int64_t TStream::WriteAt(std::int64_t offset, const void *buffer, std::int64_t count) {
  const std::int64_t position = Position();
  const std::int64_t written =
      Seek(offset, TSeekOrigin::soBeginning) == offset ? Write(buffer, count) : 0;
  SetPosition(position);
  return written;
}

void TStream::ReadBuffer(void *buffer, std::int64_t count) {
  if (count != 0 && Read(buffer, count) != count)
    throw EAuException("Stream read error");
}

void TStream::WriteBuffer(const void *buffer, std::int64_t count) {
  if (count != 0 && Write(buffer, count) != count)
    throw EAuException("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream &source, std::int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::vector<std::uint8_t> block(std::min<std::int64_t>(count, 65536));
  std::int64_t left = count;
  while (left > 0) {
    std::int64_t n = std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size()));
    source.ReadBuffer(block.data(), n);
    WriteBuffer(block.data(), n);
    left -= n;
  }
  return count;
}

// Repeats a read or write until count bytes have moved, the end is met or the call fails.
template <class TCall> std::int64_t Transfer(std::int64_t count, TCall call) {
  std::int64_t done = 0;
  while (done < count) {
    ssize_t n = call(done, static_cast<std::size_t>(count - done));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += n;
  }
  return done;
}

std::int64_t THandleStream::Read(void *buffer, std::int64_t count) {
  auto *p = static_cast<std::uint8_t *>(buffer);
  return Transfer(
      count, [&](std::int64_t done, std::size_t left) { return ::read(FHandle, p + done, left); });
}

std::int64_t THandleStream::Write(const void *buffer, std::int64_t count) {
  auto *p = static_cast<const std::uint8_t *>(buffer);
  return Transfer(
      count, [&](std::int64_t done, std::size_t left) { return ::write(FHandle, p + done, left); });
}

std::int64_t THandleStream::WriteAt(std::int64_t offset, const void *buffer, std::int64_t count) {
  auto *p = static_cast<const std::uint8_t *>(buffer);
  return Transfer(count, [&](std::int64_t done, std::size_t left) {
    return ::pwrite(FHandle, p + done, left, offset + done);
  });
}

std::int64_t THandleStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
               : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                  : SEEK_END;
  return ::lseek(FHandle, offset, whence);
}

void THandleStream::SetSize(std::int64_t size) {
  if (::ftruncate(FHandle, size) != 0)
    RaiseSystemError(errno);
}

TFileStream::TFileStream(const std::string &fileName, TFileMode mode)
    : THandleStream(OpenFile(fileName, mode)), FFileName(fileName) {}

TFileStream::~TFileStream() { ::close(FHandle); }

TAuFileStream::TAuFileStream(const std::string &fileName, TFileMode mode)
    : TFileStream(fileName, mode) {}

std::int64_t TMemoryStream::Read(void *buffer, std::int64_t count) {
  std::int64_t n =
      std::clamp<std::int64_t>(Size() - FPosition, 0, std::max<std::int64_t>(count, 0));
  if (n > 0)
    std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

std::int64_t TMemoryStream::Write(const void *buffer, std::int64_t count) {
  if (count <= 0)
    return 0;
  if (FPosition + count > Size())
    FData.resize(static_cast<std::size_t>(FPosition + count));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                      : origin == TSeekOrigin::soCurrent ? FPosition
                                                         : Size();
  if (base + offset < 0)
    return -1;
  FPosition = base + offset;
  return FPosition;
}

void TMemoryStream::SetSize(std::int64_t size) {
  FData.resize(static_cast<std::size_t>(size));
  FPosition = std::min(FPosition, size);
}

void TMemoryStream::Clear() {
  FData.clear();
  FPosition = 0;
}
