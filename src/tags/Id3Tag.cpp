#include "Id3Tag.h"

#include "Text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr off_t TagSize = 128;
constexpr size_t TextSize = 30;
constexpr size_t YearSize = 4;
constexpr size_t ShortCommentSize = 28; // the comment when a track number follows it

// Layout of the record.
constexpr size_t TitleAt = 3, ArtistAt = 33, AlbumAt = 63, YearAt = 93, CommentAt = 97,
                 TrackMarkAt = 125, TrackAt = 126, GenreAt = 127;

class TFileHandle {
public:
  explicit TFileHandle(int fd) : Fd(fd) {}
  ~TFileHandle() {
    if (Fd >= 0)
      ::close(Fd);
  }
  TFileHandle(const TFileHandle &) = delete;
  TFileHandle &operator=(const TFileHandle &) = delete;
  // Closes now and reports whether the system accepted every write.
  bool Close() {
    int fd = Fd;
    Fd = -1;
    return ::close(fd) == 0;
  }
  int Fd;
};

// Moves size bytes through pread or pwrite, resuming after interruptions and short transfers.
template <typename Byte, typename Io>
bool Transfer(Io io, int fd, Byte *bytes, size_t size, off_t at) {
  while (size > 0) {
    ssize_t n = io(fd, bytes, size, at);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    bytes += n, at += n, size -= n;
  }
  return true;
}

bool ReadAt(int fd, void *buffer, size_t size, off_t at) {
  return Transfer(::pread, fd, static_cast<char *>(buffer), size, at);
}

bool WriteAt(int fd, const void *buffer, size_t size, off_t at) {
  return Transfer(::pwrite, fd, static_cast<const char *>(buffer), size, at);
}

// Only plain files count as existing: opening a pipe or a device could block or harm it.
bool PlainFile(const std::string &name, struct stat &st) {
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// No write permission bit at all (what a read-only attribute becomes), or none for us.
bool ReadOnlyFile(const std::string &name, const struct stat &st) {
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(name.c_str(), W_OK) != 0;
}

// Opens a writable plain file for update, locked against other writers.
uint16_t OpenForUpdate(const std::string &name, TFileHandle &file) {
  struct stat st;
  if (!PlainFile(name, st))
    return id3OpenError;
  if (ReadOnlyFile(name, st))
    return id3ReadOnlyFile;
  file.Fd = ::open(name.c_str(), O_RDWR | O_CLOEXEC);
  if (file.Fd < 0 || ::flock(file.Fd, LOCK_EX | LOCK_NB) != 0)
    return id3OpenError;
  return id3Done;
}

// Where the file's tag starts, or -1 when its last 128 bytes do not start with "TAG".
uint16_t FindTag(int fd, off_t size, off_t &at) {
  at = -1;
  if (size < TagSize)
    return id3Done;
  char head[3];
  if (!ReadAt(fd, head, sizeof head, size - TagSize))
    return id3ReadError;
  if (std::memcmp(head, "TAG", 3) == 0)
    at = size - TagSize;
  return id3Done;
}

// A text field: cut after the last byte that is not 0, a blank or 255.
std::string FieldText(const unsigned char *bytes, size_t size) {
  while (size > 0 && (bytes[size - 1] == 0 || bytes[size - 1] == ' ' || bytes[size - 1] == 255))
    --size;
  return plat::Latin1ToUtf8(std::string(reinterpret_cast<const char *>(bytes), size));
}

// The text in ISO-8859-1, cut to size and filled with 0 bytes.
void PutField(unsigned char *dest, const std::string &text, size_t size) {
  std::string bytes = plat::Utf8ToLatin1(text);
  std::memset(dest, 0, size);
  std::memcpy(dest, bytes.data(), std::min(size, bytes.size()));
}

// The text as it can be stored: ISO-8859-1 characters only, at most count of them. One byte
// per character there, so a cut never splits a character.
std::string Fit(const std::string &text, size_t count) {
  return plat::Latin1ToUtf8(plat::Utf8ToLatin1(text).substr(0, count));
}

} // namespace

uint16_t Tid3tag::ReadTag(const std::string &AFileName) {
  // Remembered even when the read fails, so that a later write with "=" goes to the file the
  // user chose and not to one read before.
  FFileName = AFileName;
  struct stat st;
  if (!PlainFile(AFileName, st))
    return id3OpenError;
  FReadOnly = ReadOnlyFile(AFileName, st);
  TFileHandle file(::open(AFileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.Fd < 0)
    return id3OpenError;
  struct stat opened;
  if (::fstat(file.Fd, &opened) != 0)
    return id3IoError;
  if (opened.st_size < TagSize)
    return id3NoTag;
  unsigned char tag[TagSize];
  if (!ReadAt(file.Fd, tag, TagSize, opened.st_size - TagSize))
    return id3ReadError;
  if (std::memcmp(tag, "TAG", 3) != 0)
    return id3NoTag;

  FTitle = FieldText(tag + TitleAt, TextSize);
  FArtist = FieldText(tag + ArtistAt, TextSize);
  FAlbum = FieldText(tag + AlbumAt, TextSize);
  FYear = FieldText(tag + YearAt, YearSize);
  size_t commentSize = TextSize;
  FTrack = 0;
  FHasTrack = false;
  if (tag[TrackMarkAt] == 0 && tag[TrackAt] != 0) {
    FTrack = tag[TrackAt];
    FHasTrack = true;
    commentSize = ShortCommentSize;
  }
  FComment = FieldText(tag + CommentAt, commentSize);
  Genre = tag[GenreAt];
  return Genre > 147 && Genre != 255 ? id3GenreWarning : id3Done;
}

uint16_t Tid3tag::WriteTag(const std::string &AFileName) {
  const std::string name = AFileName == "=" ? FFileName : AFileName;
  TFileHandle file(-1);
  if (uint16_t result = OpenForUpdate(name, file))
    return result;
  struct stat st;
  if (::fstat(file.Fd, &st) != 0)
    return id3IoError;
  off_t at;
  if (uint16_t result = FindTag(file.Fd, st.st_size, at))
    return result;
  const bool append = at < 0;
  if (append)
    at = st.st_size;

  unsigned char tag[TagSize];
  std::memcpy(tag, "TAG", 3);
  PutField(tag + TitleAt, FTitle, TextSize);
  PutField(tag + ArtistAt, FArtist, TextSize);
  PutField(tag + AlbumAt, FAlbum, TextSize);
  PutField(tag + YearAt, FYear, YearSize);
  if (FHasTrack && FTrack != 0) {
    PutField(tag + CommentAt, FComment, ShortCommentSize);
    tag[TrackMarkAt] = 0;
    tag[TrackAt] = FTrack;
  } else {
    PutField(tag + CommentAt, FComment, TextSize);
  }
  tag[GenreAt] = Genre;

  if (!WriteAt(file.Fd, tag, TagSize, at)) {
    if (append) // leave no piece of a tag behind the audio
      (void)::ftruncate(file.Fd, st.st_size);
    return id3WriteError;
  }
  if (!file.Close())
    return id3WriteError;
  FFileName = name;
  return id3Done;
}

void Tid3tag::RemoveTag() {
  TFileHandle file(-1);
  struct stat st;
  off_t at;
  if (OpenForUpdate(FFileName, file) == id3Done && ::fstat(file.Fd, &st) == 0 &&
      FindTag(file.Fd, st.st_size, at) == id3Done && at >= 0)
    (void)::ftruncate(file.Fd, at);
}

void Tid3tag::SetTitle(const std::string &Value) { FTitle = Fit(Value, TextSize); }
void Tid3tag::SetArtist(const std::string &Value) { FArtist = Fit(Value, TextSize); }
void Tid3tag::SetAlbum(const std::string &Value) { FAlbum = Fit(Value, TextSize); }
void Tid3tag::SetYear(const std::string &Value) { FYear = Fit(Value, YearSize); }
void Tid3tag::SetComment(const std::string &Value) { FComment = Fit(Value, TextSize); }

void Tid3tag::SetTrack(uint8_t Value) {
  FTrack = Value;
  FHasTrack = Value != 0;
}
