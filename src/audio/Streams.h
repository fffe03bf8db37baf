#pragma once
// A minimal byte stream over file descriptors and memory, with the 16-bit open modes of the
// pipeline's files.
//
// Open mode: fmCreate creates (replacing) with read and write access and no sharing; any
// other value opens an existing file, the low two bits selecting the access and bits 4-7 the
// sharing. Linux has no mandatory sharing, so sharing maps onto flock() advisory locks:
// sharing nothing takes an exclusive lock, sharing reading or writing a shared one, sharing
// both none. A lock that cannot be taken fails the open at once.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using TFileMode = std::uint16_t;

constexpr TFileMode fmCreate = 0xFFFF;
constexpr TFileMode fmOpenRead = 0x0000;
constexpr TFileMode fmOpenWrite = 0x0001;
constexpr TFileMode fmOpenReadWrite = 0x0002;
constexpr TFileMode fmShareCompat = 0x0000;
constexpr TFileMode fmShareExclusive = 0x0010;
constexpr TFileMode fmShareDenyWrite = 0x0020; // others may read
constexpr TFileMode fmShareDenyRead = 0x0030;  // others may write
constexpr TFileMode fmShareDenyNone = 0x0040;  // others may read and write

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// The origin of a C library's SEEK_SET, SEEK_CUR or SEEK_END, as decoders' callbacks pass them.
inline TSeekOrigin SeekOriginOf(int whence) {
  return whence == SEEK_CUR   ? TSeekOrigin::soCurrent
         : whence == SEEK_END ? TSeekOrigin::soEnd
                              : TSeekOrigin::soBeginning;
}

class TStream {
public:
  virtual ~TStream() = default;

  // Both return the number of bytes moved; fewer than asked at the end or on failure.
  virtual std::int64_t Read(void *buffer, std::int64_t count) = 0;
  virtual std::int64_t Write(const void *buffer, std::int64_t count) = 0;
  // Writes at offset and leaves the position where it was; returns the bytes written.
  virtual std::int64_t WriteAt(std::int64_t offset, const void *buffer, std::int64_t count);
  // Returns the new position; -1 when the stream cannot move there.
  virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
  virtual std::int64_t Size();
  // Raises EAuException when the size cannot be changed.
  virtual void SetSize(std::int64_t size) = 0;

  std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // Raise EAuException "Stream read error" / "Stream write error" when short.
  void ReadBuffer(void *buffer, std::int64_t count);
  void WriteBuffer(const void *buffer, std::int64_t count);
  // Copies count bytes from source's position (the whole source from its start when count
  // is 0); returns the count copied.
  std::int64_t CopyFrom(TStream &source, std::int64_t count);
};

// A stream over an open file descriptor it does not own.
class THandleStream : public TStream {
public:
  explicit THandleStream(int handle) : FHandle(handle) {}

  int Handle() const { return FHandle; }
  std::int64_t Read(void *buffer, std::int64_t count) override;
  std::int64_t Write(const void *buffer, std::int64_t count) override;
  std::int64_t WriteAt(std::int64_t offset, const void *buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;

protected:
  int FHandle;
};

// A file opened (or created) by name with an open mode; closed with the stream. Failures
// raise EAuException with the system's text for the error.
class TFileStream : public THandleStream {
public:
  TFileStream(const std::string &fileName, TFileMode mode);
  ~TFileStream() override;

  const std::string &FileName() const { return FFileName; }

private:
  std::string FFileName;
};

// The pipeline's file stream. Names are the system's bytes, passed on unchanged: a name that
// is not valid UTF-8 still opens.
class TAuFileStream : public TFileStream {
public:
  TAuFileStream(const std::string &fileName, TFileMode mode);
};

class TMemoryStream : public TStream {
public:
  std::int64_t Read(void *buffer, std::int64_t count) override;
  std::int64_t Write(const void *buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
  void SetSize(std::int64_t size) override;

  std::uint8_t *Memory() { return FData.data(); }
  const std::vector<std::uint8_t> &Data() const { return FData; }
  void Clear();

private:
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};
