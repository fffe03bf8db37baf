#pragma once
// The ID3v1 tag: the fixed 128-byte record at the very end of an MP3 file that starts with
// "TAG". Text is ISO-8859-1 in the file and UTF-8 here; characters outside ISO-8859-1 become
// '?'. Reading and writing return a result word instead of raising: the high byte is the
// status, the low byte holds warnings; below 0x100 is success.
#include <cstdint>
#include <string>

constexpr uint16_t id3Done = 0x0000;
constexpr uint16_t id3GenreWarning = 0x0080; // read: the genre byte is above 147 and not 255
constexpr uint16_t id3OpenError = 0x0100;    // the file is missing or cannot be opened
constexpr uint16_t id3ReadOnlyFile = 0x0200; // write: the file is read-only
constexpr uint16_t id3ReadError = 0x0300;
constexpr uint16_t id3WriteError = 0x0400;
constexpr uint16_t id3IoError = 0x0500;
constexpr uint16_t id3NoTag = 0x1000; // read: shorter than 128 bytes or no "TAG" at its place

class Tid3tag {
public:
  // Fills the fields from the tag of AFileName.
  uint16_t ReadTag(const std::string &AFileName);
  // Writes the fields as the tag of AFileName ("=" means FileName), replacing a tag there.
  uint16_t WriteTag(const std::string &AFileName);
  // Cuts the tag off FileName; every failure is silent.
  void RemoveTag();

  // Store the text cut to 30 characters (the year to 4).
  void SetTitle(const std::string &Value);
  void SetArtist(const std::string &Value);
  void SetAlbum(const std::string &Value);
  void SetYear(const std::string &Value);
  void SetComment(const std::string &Value);
  // HasTrack becomes Value != 0.
  void SetTrack(uint8_t Value);

  bool HasTrack() const { return FHasTrack; }
  // The file last read was read-only: no write permission bit set, or not writable by us.
  bool ReadOnly() const { return FReadOnly; }
  // The file last asked to read, or last written successfully.
  const std::string &FileName() const { return FFileName; }
  const std::string &Title() const { return FTitle; }
  const std::string &Artist() const { return FArtist; }
  const std::string &Album() const { return FAlbum; }
  const std::string &Year() const { return FYear; }
  const std::string &Comment() const { return FComment; }
  uint8_t Track() const { return FTrack; }

  uint8_t Genre = 255; // ID3v1 genre number; 255 none

private:
  bool FHasTrack = false;
  bool FReadOnly = false;
  std::string FFileName;
  std::string FTitle, FArtist, FAlbum, FYear, FComment;
  uint8_t FTrack = 0;
};
