#pragma once
// INI files as Windows reads and writes them: section and key names without regard to case,
// values stored raw, integers decimal or "0x" hexadecimal, anything else read as the default,
// booleans as integers (non-zero true). A section or key given twice reads as its first; a
// section header missing its ']' names the section by the rest of its line.
//
// A file is edited in place, as the Windows profile functions do: a write changes, adds or
// removes only the lines of the keys it names, and every other line (comments, lines outside
// any section, repeated keys, lines that are no setting) is written back as it was, with its
// line end, in the file's own encoding: 8-bit text (UTF-8 or not) with or without a UTF-8
// byte-order mark, or UTF-16 in either byte order after its byte-order mark. Sections and keys
// are found through hash tables, so reading and writing take time in proportion to the file.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIniFile {
public:
  // Reads the file now; a missing file reads as empty.
  explicit TIniFile(std::string fileName);
  // Writes pending changes (UpdateFile), ignoring failure.
  ~TIniFile();
  TIniFile(const TIniFile &) = delete;
  TIniFile &operator=(const TIniFile &) = delete;

  const std::string &FileName() const { return FFileName; }
  // The file exists but could not be read, or holds no settings text at all (bytes that are
  // not text, UTF-16 that does not decode): it reads as empty and is never written.
  bool Unreadable() const { return FUnreadable; }

  std::string ReadString(const std::string &section, const std::string &key,
                         const std::string &def) const;
  int ReadInteger(const std::string &section, const std::string &key, int def) const;
  bool ReadBool(const std::string &section, const std::string &key, bool def) const;
  bool SectionExists(const std::string &section) const;
  bool ValueExists(const std::string &section, const std::string &key) const;
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(const std::string &section) const; // key names

  void WriteString(const std::string &section, const std::string &key, const std::string &value);
  void WriteInteger(const std::string &section, const std::string &key, int value);
  void WriteBool(const std::string &section, const std::string &key, bool value);
  // Removes every line of the key.
  void DeleteKey(const std::string &section, const std::string &key);
  // Removes every line of the section, from each of its headers up to the next header.
  void EraseSection(const std::string &section);

  // Writes the file if its text differs from what it holds, through a temporary file renamed
  // over it so a failed write never leaves half a file; the file keeps its permissions. False
  // when it could not be written. An unreadable file, or one that may not be written, is
  // never replaced: the rename would bypass its permissions or drop what could not be read.
  bool UpdateFile();

private:
  static constexpr std::uint32_t None = UINT32_MAX;
  enum class TEncoding : std::uint8_t { Bytes, Utf8Bom, Utf16LE, Utf16BE };
  enum class TKind : std::uint8_t { Other, Header, Entry };
  enum class TEnd : std::uint8_t { Missing, Lf, CrLf };

  struct TLine {
    std::string_view Text;     // without its line end; into FText or FAdded
    std::uint32_t Next = None; // the next line of the file
    TKind Kind = TKind::Other;
    TEnd End = TEnd::Lf;
    bool Erased = false;
  };
  // Names compared as Windows does: ASCII letters without regard to case.
  struct TNoCaseHash {
    std::size_t operator()(std::string_view s) const;
  };
  struct TNoCaseEqual {
    bool operator()(std::string_view a, std::string_view b) const;
  };
  using TNameIndex = std::unordered_map<std::string_view, std::uint32_t, TNoCaseHash, TNoCaseEqual>;
  struct TSection {
    std::string_view Name;
    std::vector<std::uint32_t> Headers;
    std::vector<std::uint32_t> Entries; // its key lines, as read and then as added
    std::uint32_t Tail; // new keys go after this line: the last key of the first block
    bool Erased = false;
    // The first line of each key, made when a section too long to search key by key is
    // searched: most sections hold a few keys, and are searched faster without.
    mutable std::unique_ptr<TNameIndex> Keys;
  };

  void Parse();
  std::uint32_t Append(std::string_view text, std::uint32_t after);
  std::uint32_t FindSection(std::string_view section) const;
  std::uint32_t AddSection(const std::string &section);
  // The first line of the key, or None.
  std::uint32_t FindKey(std::uint32_t section, std::string_view key) const;
  std::string Text() const;

  std::string FFileName;
  TEncoding FEncoding = TEncoding::Bytes;
  TEnd FNewLine = TEnd::Lf;       // the end of new lines: that of the file's first line
  std::string FText;              // the file's text as read, UTF-16 decoded to UTF-8; never changed
  std::deque<std::string> FAdded; // the text of lines written since: a deque keeps it in place
  std::vector<TLine> FLines;      // in the order read and added; Next gives the file's order
  std::uint32_t FFirst = None, FLast = None;
  std::vector<TSection> FSections; // in the order of their first header
  TNameIndex FSectionIndex;
  // Whether anything was written since the file was read or saved, and what it held then:
  // only a difference from it is written, so an unchanged file is never rewritten, nor a
  // failure where it cannot be.
  bool FWritten = false;
  bool FSaved = false;
  std::string FSavedText;
  bool FUnreadable = false;
};
