// Bytes as an INI file (settings, language files): every section and key read as a language
// text, and a setting read as a number.
#include "FuzzInput.h"
#include "IniFile.h"
#include "Language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string name = FileOf(data, size, ".ini");
  TIniFile ini(name);
  // Every lookup walks the file's keys: one of each kind per key keeps a run short.
  for (const std::string &section : ini.ReadSections())
    for (const std::string &key : ini.ReadSection(section))
      ReadLanguageString(ini, section, key, "");
  ini.ReadInteger("Options", "OutputFormat", 0);
  return 0;
}
