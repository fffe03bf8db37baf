#include "Language.h"

#include "Folders.h"
#include "Global.h"
#include "IniFile.h"

std::string LanguageFilePath(const std::string &lan) {
  return plat::FindDataFile("CLan_" + lan + ".ini");
}

std::string GetLanText(const std::string &key, const std::string &english,
                       std::initializer_list<std::string> values) {
  std::string text = GetLanString(key, english);
  std::size_t from = 0;
  for (const std::string &value : values) {
    const std::size_t at = text.find("%s", from);
    if (at == std::string::npos)
      break;
    text.replace(at, 2, value);
    from = at + value.size();
  }
  return text;
}

std::string ReadLanguageString(const TIniFile &ini, const std::string &section,
                               const std::string &key, const std::string &def) {
  if (!ini.ValueExists(section, key))
    return def;
  std::string value = ini.ReadString(section, key, def);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return value;
}
