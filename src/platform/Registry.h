#pragma once
// The current user's registry as media players kept their recent-file lists in it: keys named
// by paths ("\Software\...\MostRecentClips1") holding named values. Stored in an INI file of
// the settings folder, one section per key; paths are compared without regard to case and to
// leading and trailing backslashes.
#include "IniFile.h"

#include <string>

namespace plat {

class TRegistry {
public:
  explicit TRegistry(const std::string &fileName) : FIni(fileName) {}

  bool KeyExists(const std::string &key) const;
  // False when there is no such key.
  bool DeleteKey(const std::string &key);
  // False when the key or the value is not there.
  bool DeleteValue(const std::string &key, const std::string &name);
  void WriteString(const std::string &key, const std::string &name, const std::string &value);

private:
  TIniFile FIni;
};

} // namespace plat
