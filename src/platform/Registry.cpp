#include "Registry.h"

namespace plat {

namespace {
std::string Section(const std::string &key) {
  const auto first = key.find_first_not_of('\\');
  if (first == std::string::npos)
    return "";
  return key.substr(first, key.find_last_not_of('\\') - first + 1);
}
} // namespace

bool TRegistry::KeyExists(const std::string &key) const { return FIni.SectionExists(Section(key)); }

bool TRegistry::DeleteKey(const std::string &key) {
  if (!KeyExists(key))
    return false;
  FIni.EraseSection(Section(key));
  return FIni.UpdateFile();
}

bool TRegistry::DeleteValue(const std::string &key, const std::string &name) {
  if (!FIni.ValueExists(Section(key), name))
    return false;
  FIni.DeleteKey(Section(key), name);
  return FIni.UpdateFile();
}

void TRegistry::WriteString(const std::string &key, const std::string &name,
                            const std::string &value) {
  FIni.WriteString(Section(key), name, value);
  FIni.UpdateFile();
}

} // namespace plat
