#include "IniFile.h"

#include "Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view Blanks = " \t\r\n";

std::string_view Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(Blanks);
  if (b == std::string_view::npos)
    return {};
  return s.substr(b, s.find_last_not_of(Blanks) - b + 1);
}

unsigned char Lower(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
}

// Decimal, or hexadecimal after "0x"; false for anything else or a value out of range.
bool ParseInteger(std::string_view text, int &value) {
  std::string t(Trim(text));
  if (t.empty())
    return false;
  bool negative = t[0] == '-';
  size_t pos = (t[0] == '-' || t[0] == '+') ? 1 : 0;
  int base = 10;
  if (t.size() > pos + 2 && t[pos] == '0' && (t[pos + 1] == 'x' || t[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= t.size())
    return false;
  errno = 0;
  char *end = nullptr;
  long long v = std::strtoll(t.c_str() + pos, &end, base);
  if (*end != '\0' || errno == ERANGE || !std::isxdigit(static_cast<unsigned char>(t[pos])))
    return false;
  if (negative)
    v = -v;
  // Hexadecimal values name a 32-bit pattern, so 0xFFFFFFFF reads as -1.
  if (base == 16 && !negative && v <= 0xFFFFFFFFLL)
    v = static_cast<int>(static_cast<unsigned>(v));
  if (v < INT32_MIN || v > INT32_MAX)
    return false;
  value = static_cast<int>(v);
  return true;
}

// The whole file; false when it cannot be opened or read.
bool ReadWhole(const std::string &fileName, std::string &bytes) {
  FILE *f = std::fopen(fileName.c_str(), "rb");
  if (!f)
    return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
    bytes.append(buffer, n);
  const bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

// UTF-16 text after its byte-order mark as UTF-8; false when it is not UTF-16 text: an odd
// number of bytes, a surrogate without its partner, or a NUL character (as UTF-32 would give).
bool DecodeUtf16(std::string_view bytes, bool bigEndian, std::string &text) {
  if (bytes.size() % 2 != 0)
    return false;
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i) {
    const auto a = static_cast<unsigned char>(bytes[2 * i]);
    const auto b = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? a << 8 | b : b << 8 | a);
  }
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t u = units[i];
    if (u == 0 || (u >= 0xDC00 && u < 0xE000))
      return false;
    if (u >= 0xD800 && u < 0xDC00) {
      if (i + 1 == units.size() || units[i + 1] < 0xDC00 || units[i + 1] >= 0xE000)
        return false;
      ++i;
    }
  }
  text = plat::Utf16ToUtf8(units);
  return true;
}

std::string EncodeUtf16(const std::string &text, bool bigEndian) {
  const std::u16string units = plat::Utf8ToUtf16(text);
  std::string bytes;
  bytes.reserve(2 * units.size() + 2);
  for (char16_t u : u"\uFEFF" + units) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? hi : lo;
    bytes += bigEndian ? lo : hi;
  }
  return bytes;
}

// Writes bytes to a temporary file beside fileName, with the permissions of the file it
// replaces, and renames it over fileName.
bool WriteReplacing(const std::string &fileName, const std::string &bytes) {
  struct stat old {};
  const bool exists = stat(fileName.c_str(), &old) == 0;
  const std::string temp = fileName + ".tmp";
  FILE *f = std::fopen(temp.c_str(), "wb");
  if (!f)
    return false;
  bool ok = !exists || fchmod(fileno(f), old.st_mode & 07777) == 0;
  ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && ok;
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), fileName.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

} // namespace

std::size_t TIniFile::TNoCaseHash::operator()(std::string_view s) const {
  std::size_t h = 14695981039346656037ull; // FNV-1a
  for (char c : s)
    h = (h ^ Lower(c)) * 1099511628211ull;
  return h;
}

bool TIniFile::TNoCaseEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
  std::string bytes;
  if (!ReadWhole(FFileName, bytes)) {
    FUnreadable = access(FFileName.c_str(), F_OK) == 0;
    return;
  }
  const std::string_view view(bytes);
  if (view.starts_with("\xFF\xFE") || view.starts_with("\xFE\xFF")) {
    const bool bigEndian = view[0] == '\xFE';
    FEncoding = bigEndian ? TEncoding::Utf16BE : TEncoding::Utf16LE;
    if (!DecodeUtf16(view.substr(2), bigEndian, FText)) {
      FUnreadable = true;
      return;
    }
  } else if (view.starts_with("\xEF\xBB\xBF")) {
    FEncoding = TEncoding::Utf8Bom;
    FText = bytes.substr(3);
  } else {
    FText = std::move(bytes);
  }
  Parse();
  // NUL bytes and not one section: not text, or wide text without its byte-order mark.
  if (FSections.empty() && FText.find('\0') != std::string::npos) {
    FUnreadable = true;
    FLines.clear();
    FText.clear();
    FFirst = FLast = None;
  }
}

TIniFile::~TIniFile() { UpdateFile(); }

void TIniFile::Parse() {
  const auto lines = static_cast<size_t>(std::count(FText.begin(), FText.end(), '\n')) + 1;
  FLines.reserve(lines);
  std::uint32_t section = None;
  for (size_t at = 0; at < FText.size();) {
    size_t end = FText.find('\n', at);
    const bool last = end == std::string::npos;
    if (last)
      end = FText.size();
    std::string_view text(FText.data() + at, end - at);
    TEnd lineEnd = last ? TEnd::Missing : TEnd::Lf;
    if (!last && text.ends_with('\r')) {
      text.remove_suffix(1);
      lineEnd = TEnd::CrLf;
    }
    at = end + 1;
    const std::uint32_t n = Append(text, FLast);
    TLine &line = FLines[n];
    line.End = lineEnd;
    if (n == 0)
      FNewLine = lineEnd == TEnd::CrLf ? TEnd::CrLf : TEnd::Lf;
    const std::string_view t = Trim(text);
    // A line with a NUL byte is damage, never a setting.
    if (t.empty() || t[0] == ';' || t.find('\0') != std::string_view::npos)
      continue;
    if (t[0] == '[') {
      const std::string_view name = Trim(t.substr(1, t.find(']') - 1));
      section = FindSection(name);
      if (section == None) {
        section = static_cast<std::uint32_t>(FSections.size());
        TSection &created = FSections.emplace_back();
        created.Name = name;
        created.Tail = n;
        FSectionIndex.emplace(name, section);
      }
      FSections[section].Headers.push_back(n);
      line.Kind = TKind::Header;
      continue;
    }
    const size_t eq = t.find('=');
    if (section == None || eq == std::string_view::npos || Trim(t.substr(0, eq)).empty())
      continue;
    line.Kind = TKind::Entry;
    FSections[section].Entries.push_back(n);
    if (FSections[section].Headers.size() == 1)
      FSections[section].Tail = n;
  }
}

// A new line after line `after` (at the start when None).
std::uint32_t TIniFile::Append(std::string_view text, std::uint32_t after) {
  const auto n = static_cast<std::uint32_t>(FLines.size());
  TLine &line = FLines.emplace_back();
  line.Text = text;
  line.End = FNewLine;
  if (after == None) {
    line.Next = FFirst;
    FFirst = n;
  } else {
    line.Next = FLines[after].Next;
    FLines[after].Next = n;
  }
  if (line.Next == None)
    FLast = n;
  return n;
}

namespace {
// The key of an Entry line, and its value.
std::string_view KeyOf(std::string_view line) { return Trim(line.substr(0, line.find('='))); }
std::string_view ValueOf(std::string_view line) { return Trim(line.substr(line.find('=') + 1)); }
} // namespace

std::uint32_t TIniFile::FindSection(std::string_view section) const {
  const auto found = FSectionIndex.find(section);
  return found == FSectionIndex.end() ? None : found->second;
}

std::uint32_t TIniFile::FindKey(std::uint32_t section, std::string_view key) const {
  if (section == None)
    return None;
  const TSection &s = FSections[section];
  constexpr size_t Searched = 32; // keys of a section searched one by one
  if (s.Entries.size() <= Searched) {
    for (std::uint32_t n : s.Entries)
      if (TNoCaseEqual()(KeyOf(FLines[n].Text), key))
        return n;
    return None;
  }
  if (!s.Keys) {
    s.Keys = std::make_unique<TNameIndex>(s.Entries.size());
    for (std::uint32_t n : s.Entries)
      s.Keys->try_emplace(KeyOf(FLines[n].Text), n); // a key given twice reads as its first
  }
  const auto found = s.Keys->find(key);
  return found == s.Keys->end() ? None : found->second;
}

std::uint32_t TIniFile::AddSection(const std::string &section) {
  // A blank line before the new section, as the file's own sections are set apart.
  if (FLast != None && !Trim(FLines[FLast].Text).empty())
    Append({}, FLast);
  const std::string_view text = FAdded.emplace_back("[" + section + "]");
  const std::uint32_t header = Append(text, FLast);
  const auto n = static_cast<std::uint32_t>(FSections.size());
  const std::string_view name = text.substr(1, section.size());
  TSection &added = FSections.emplace_back();
  added.Name = name;
  added.Headers = {header};
  added.Tail = header;
  FSectionIndex.emplace(name, n);
  FLines[header].Kind = TKind::Header;
  return n;
}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &def) const {
  const std::uint32_t line = FindKey(FindSection(section), key);
  return line != None ? std::string(ValueOf(FLines[line].Text)) : def;
}

int TIniFile::ReadInteger(const std::string &section, const std::string &key, int def) const {
  const std::uint32_t line = FindKey(FindSection(section), key);
  int value;
  return line != None && ParseInteger(ValueOf(FLines[line].Text), value) ? value : def;
}

bool TIniFile::ReadBool(const std::string &section, const std::string &key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string &section) const {
  return FindSection(section) != None;
}

bool TIniFile::ValueExists(const std::string &section, const std::string &key) const {
  return FindKey(FindSection(section), key) != None;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const TSection &s : FSections)
    if (!s.Erased)
      names.emplace_back(s.Name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string &section) const {
  std::vector<std::string> keys;
  const std::uint32_t s = FindSection(section);
  if (s != None)
    for (std::uint32_t n : FSections[s].Entries)
      // A key given twice is listed once, where it first stands.
      if (const std::string_view key = KeyOf(FLines[n].Text); FindKey(s, key) == n)
        keys.emplace_back(key);
  return keys;
}

void TIniFile::WriteString(const std::string &section, const std::string &key,
                           const std::string &value) {
  // A line break inside a value would start a new line of the file.
  std::string v = value;
  for (char &c : v)
    if (c == '\r' || c == '\n')
      c = ' ';
  std::uint32_t s = FindSection(section);
  if (s == None)
    s = AddSection(section);
  if (const std::uint32_t found = FindKey(s, key); found != None) {
    TLine &line = FLines[found];
    if (ValueOf(line.Text) == v)
      return;
    // The line keeps its key as the file spells it, and the blanks around its '='.
    const size_t value = line.Text.find_first_not_of(" \t", line.Text.find('=') + 1);
    line.Text = FAdded.emplace_back(std::string(line.Text.substr(0, value)) + v);
  } else {
    const std::string_view text = FAdded.emplace_back(key + "=" + v);
    TSection &added = FSections[s];
    const std::uint32_t n = Append(text, added.Tail);
    FLines[n].Kind = TKind::Entry;
    added.Tail = n;
    added.Entries.push_back(n);
    if (added.Keys)
      added.Keys->try_emplace(KeyOf(text), n);
  }
  FWritten = true;
}

void TIniFile::WriteInteger(const std::string &section, const std::string &key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(const std::string &section, const std::string &key) {
  const std::uint32_t s = FindSection(section);
  if (FindKey(s, key) == None)
    return;
  TSection &deleted = FSections[s];
  std::erase_if(deleted.Entries, [&](std::uint32_t n) {
    const bool same = TNoCaseEqual()(KeyOf(FLines[n].Text), key);
    FLines[n].Erased = same;
    return same;
  });
  if (deleted.Keys)
    deleted.Keys->erase(key);
  FWritten = true;
}

void TIniFile::EraseSection(const std::string &section) {
  const std::uint32_t s = FindSection(section);
  if (s == None)
    return;
  for (std::uint32_t header : FSections[s].Headers) {
    FLines[header].Erased = true;
    for (std::uint32_t n = FLines[header].Next; n != None && FLines[n].Kind != TKind::Header;
         n = FLines[n].Next)
      FLines[n].Erased = true;
  }
  FSections[s].Erased = true;
  FSectionIndex.erase(section);
  FWritten = true;
}

std::string TIniFile::Text() const {
  std::string text;
  text.reserve(FText.size());
  auto endOf = [](TEnd end) { return end == TEnd::CrLf ? "\r\n" : end == TEnd::Lf ? "\n" : ""; };
  const TLine *previous = nullptr;
  for (std::uint32_t n = FFirst; n != None; n = FLines[n].Next) {
    const TLine &line = FLines[n];
    if (line.Erased)
      continue;
    // A line that ended the file without a line end gets one when another follows it.
    if (previous)
      text += endOf(previous->End == TEnd::Missing ? FNewLine : previous->End);
    text += line.Text;
    previous = &line;
  }
  if (previous)
    text += endOf(previous->End);
  return text;
}

bool TIniFile::UpdateFile() {
  if (!FWritten)
    return true;
  if (FUnreadable || (access(FFileName.c_str(), F_OK) == 0 && access(FFileName.c_str(), W_OK) != 0))
    return false;
  std::string text = Text();
  if (text == (FSaved ? FSavedText : FText)) {
    FWritten = false;
    return true;
  }
  std::string bytes;
  switch (FEncoding) {
  case TEncoding::Bytes: bytes = text; break;
  case TEncoding::Utf8Bom: bytes = "\xEF\xBB\xBF" + text; break;
  case TEncoding::Utf16LE: bytes = EncodeUtf16(text, false); break;
  case TEncoding::Utf16BE: bytes = EncodeUtf16(text, true); break;
  }
  if (!WriteReplacing(FFileName, bytes))
    return false;
  FSavedText = std::move(text);
  FSaved = true;
  FWritten = false;
  return true;
}
