#include "IniFile.h"

#include "Text.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace {

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos)
    return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Decimal, or hexadecimal after "0x"; false for anything else or a value out of range.
bool ParseInteger(const std::string &text, int &value) {
  std::string t = Trim(text);
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

} // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
  std::ifstream in(FFileName, std::ios::binary);
  if (!in) {
    FUnreadable = access(FFileName.c_str(), F_OK) == 0;
    return;
  }
  std::stringstream ss;
  ss << in.rdbuf();
  std::string text = ss.str();
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
    text.erase(0, 3);
  std::istringstream lines(text);
  std::string line;
  TSection *current = nullptr;
  while (std::getline(lines, line)) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';')
      continue;
    if (t[0] == '[') {
      size_t close = t.find(']');
      if (close == std::string::npos)
        continue; // a broken header line is skipped, as Windows does
      current = &FindOrAdd(Trim(t.substr(1, close - 1)));
      continue;
    }
    size_t eq = t.find('=');
    if (!current || eq == std::string::npos)
      continue;
    std::string key = Trim(t.substr(0, eq));
    if (key.empty())
      continue;
    bool known = false;
    for (auto &e : current->Entries)
      if (plat::SameText(e.Key, key)) {
        known = true; // the first occurrence of a key wins
        break;
      }
    if (!known)
      current->Entries.push_back({key, Trim(t.substr(eq + 1))});
  }
  FStored = FSections;
}

TIniFile::~TIniFile() { UpdateFile(); }

const TIniFile::TSection *TIniFile::Find(const std::string &section) const {
  for (auto &s : FSections)
    if (plat::SameText(s.Name, section))
      return &s;
  return nullptr;
}

TIniFile::TSection &TIniFile::FindOrAdd(const std::string &section) {
  if (const TSection *s = Find(section))
    return const_cast<TSection &>(*s);
  FSections.push_back({section, {}});
  return FSections.back();
}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &def) const {
  if (const TSection *s = Find(section))
    for (auto &e : s->Entries)
      if (plat::SameText(e.Key, key))
        return e.Value;
  return def;
}

int TIniFile::ReadInteger(const std::string &section, const std::string &key, int def) const {
  int value;
  return ParseInteger(ReadString(section, key, ""), value) ? value : def;
}

bool TIniFile::ReadBool(const std::string &section, const std::string &key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(const std::string &section) const { return Find(section) != nullptr; }

bool TIniFile::ValueExists(const std::string &section, const std::string &key) const {
  if (const TSection *s = Find(section))
    for (auto &e : s->Entries)
      if (plat::SameText(e.Key, key))
        return true;
  return false;
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (auto &s : FSections)
    names.push_back(s.Name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(const std::string &section) const {
  std::vector<std::string> keys;
  if (const TSection *s = Find(section))
    for (auto &e : s->Entries)
      keys.push_back(e.Key);
  return keys;
}

void TIniFile::WriteString(const std::string &section, const std::string &key,
                           const std::string &value) {
  // A line break inside a value would start a new line of the file.
  std::string v = value;
  for (char &c : v)
    if (c == '\r' || c == '\n')
      c = ' ';
  TSection &s = FindOrAdd(section);
  for (auto &e : s.Entries)
    if (plat::SameText(e.Key, key)) {
      e.Value = v;
      return;
    }
  s.Entries.push_back({key, v});
}

void TIniFile::WriteInteger(const std::string &section, const std::string &key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string &section, const std::string &key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(const std::string &section, const std::string &key) {
  if (const TSection *found = Find(section)) {
    auto &entries = const_cast<TSection *>(found)->Entries;
    std::erase_if(entries, [&](const TEntry &e) { return plat::SameText(e.Key, key); });
  }
}

void TIniFile::EraseSection(const std::string &section) {
  std::erase_if(FSections, [&](const TSection &s) { return plat::SameText(s.Name, section); });
}

bool TIniFile::UpdateFile() {
  if (FSections == FStored)
    return true;
  if (FUnreadable || (access(FFileName.c_str(), F_OK) == 0 && access(FFileName.c_str(), W_OK) != 0))
    return false;
  std::string text;
  for (auto &s : FSections) {
    text += "[" + s.Name + "]\n";
    for (auto &e : s.Entries)
      text += e.Key + "=" + e.Value + "\n";
    text += "\n";
  }
  std::string temp = FFileName + ".tmp";
  FILE *f = std::fopen(temp.c_str(), "wb");
  if (!f)
    return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fflush(f) == 0 && ok;
  ok = fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), FFileName.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  FStored = FSections;
  return true;
}
