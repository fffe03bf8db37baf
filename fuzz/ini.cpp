// Bytes as an INI file (settings, language files): every key read as a language text and a
// setting read as a number; then one value changed and a section added, and the file saved:
// read again, every other key must read as before.
#include "FuzzInput.h"
#include "IniFile.h"
#include "Language.h"
#include "Text.h"

#include <cstdlib>
#include <tuple>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string name = FileOf(data, size, ".ini");
  std::vector<std::tuple<std::string, std::string, std::string>> before;
  {
    TIniFile ini(name);
    for (const std::string &section : ini.ReadSections())
      for (const std::string &key : ini.ReadSection(section)) {
        ReadLanguageString(ini, section, key, "");
        before.emplace_back(section, key, ini.ReadString(section, key, ""));
      }
    ini.ReadInteger("Options", "OutputFormat", 0);
    if (before.empty())
      return 0;
    ini.WriteString(std::get<0>(before[0]), std::get<1>(before[0]), "changed");
    ini.WriteString("Fuzz", "Added", "new");
    if (!ini.UpdateFile())
      return 0;
  }
  TIniFile again(name);
  for (size_t i = 0; i < before.size(); ++i) {
    const auto &[section, key, value] = before[i];
    const bool added = plat::SameText(section, "Fuzz") && plat::SameText(key, "Added");
    const std::string expected = added ? "new" : i == 0 ? "changed" : value;
    if (again.ReadString(section, key, "\x01missing") != expected)
      std::abort();
  }
  if (again.ReadString("Fuzz", "Added", "") != "new")
    std::abort();
  return 0;
}
