#pragma once
// INI files as Windows reads and writes them: section and key names without regard to case,
// values stored raw, integers decimal or "0x" hexadecimal, anything else read as the default,
// booleans as integers (non-zero true), unknown sections and keys kept on write. Files are
// UTF-8; a byte-order mark and CRLF line ends are accepted.
#include <string>
#include <vector>

class TIniFile {
public:
  // Reads the file now; a missing or unreadable file reads as empty.
  explicit TIniFile(std::string fileName);
  // Writes pending changes (UpdateFile), ignoring failure.
  ~TIniFile();
  TIniFile(const TIniFile &) = delete;
  TIniFile &operator=(const TIniFile &) = delete;

  const std::string &FileName() const { return FFileName; }

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
  void DeleteKey(const std::string &section, const std::string &key);
  void EraseSection(const std::string &section);

  // Writes the file if anything differs from what it holds, through a temporary file renamed over
  // it so a failed write never leaves half a file. False when it could not be written. An existing
  // file that could not be read, or may not be written, is never replaced: the rename would
  // bypass its permissions or drop what could not be read.
  bool UpdateFile();

private:
  struct TEntry {
    std::string Key, Value;
    bool operator==(const TEntry &) const = default;
  };
  struct TSection {
    std::string Name;
    std::vector<TEntry> Entries;
    bool operator==(const TSection &) const = default;
  };
  const TSection *Find(const std::string &section) const;
  TSection &FindOrAdd(const std::string &section);

  std::string FFileName;
  std::vector<TSection> FSections;
  // What the file holds: only a difference from it is written, so an unchanged file is never
  // rewritten, nor a failure where it cannot be.
  std::vector<TSection> FStored;
  bool FUnreadable = false; // exists but could not be read
};
