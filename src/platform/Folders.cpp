#include "Folders.h"

#include "Text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace plat {

namespace {

std::string HomeFolder() {
  const char *home = std::getenv("HOME");
  return home && *home ? IncludeTrailingSlash(home) : "/";
}

// The value of XDG_<name>_DIR in a user-dirs.dirs line, as the user directories file writes
// it: "$HOME/..." or an absolute path in double quotes, a backslash taking the next character
// as it is; "" when the line sets no such folder.
std::string UserDirOfLine(const std::string &line, const std::string &name) {
  const std::string key = "XDG_" + name + "_DIR";
  std::size_t at = line.find_first_not_of(" \t");
  if (at == std::string::npos || line.compare(at, key.size(), key) != 0)
    return {};
  at = line.find_first_not_of(" \t", at + key.size());
  if (at == std::string::npos || line[at] != '=')
    return {};
  at = line.find_first_not_of(" \t", at + 1);
  if (at == std::string::npos || line[at] != '"')
    return {};
  std::string folder;
  ++at;
  if (line.compare(at, 5, "$HOME") == 0) {
    at += 5;
    if (at < line.size() && line[at] != '/' && line[at] != '"')
      return {}; // "$HOMEWORK/..." names no folder below the home folder
    folder = HomeFolder();
    folder.pop_back(); // the value brings its own '/'
  } else if (line.compare(at, 1, "/") != 0) {
    return {};
  }
  for (; at < line.size(); ++at) {
    if (line[at] == '"')
      return folder;
    if (line[at] == '\\' && at + 1 < line.size())
      ++at;
    folder += line[at];
  }
  return {}; // no closing quote
}

// The user's folder of that kind (MUSIC, DOWNLOAD, ...) from the user directories file; ""
// when it names none. Read directly: no shell or helper program is started.
std::string UserDir(const std::string &name) {
  std::ifstream file(ConfigHome() + "user-dirs.dirs");
  std::string folder;
  for (std::string line; std::getline(file, line);)
    if (std::string found = UserDirOfLine(line, name); !found.empty())
      folder = found; // the last setting holds
  return folder;
}

} // namespace

std::string IncludeTrailingSlash(const std::string &folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

std::string ConfigHome() {
  const char *xdg = std::getenv("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative path here.
  if (xdg && xdg[0] == '/')
    return IncludeTrailingSlash(xdg);
  return HomeFolder() + ".config/";
}

std::string ProgramFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return "./";
  return IncludeTrailingSlash(exe.parent_path().string());
}

std::string DataFolder() {
  // An installed program finds its data relative to itself, whatever prefix it went to.
  std::error_code ec;
  fs::path installed = fs::path(ProgramFolder()) / "../share/plindar";
  if (fs::is_directory(installed, ec))
    return IncludeTrailingSlash(fs::weakly_canonical(installed, ec).string());
  return PLINDAR_DATA_DIR;
}

namespace {

// The file of that name in folder, its letter case ignored as the settings that name it were
// written for case-blind file systems ("german" finds CLan_German.ini); "" when none.
std::string FindIgnoringCase(const std::string &folder, const std::string &name) {
  std::error_code ec;
  if (fs::exists(folder + name, ec))
    return folder + name;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (SameText(it->path().filename().string(), name))
      return it->path().string();
  return {};
}

} // namespace

std::string FindDataFile(const std::string &name) {
  for (const std::string &folder : {ProgramFolder(), DataFolder()}) {
    std::string found = FindIgnoringCase(folder, name);
    if (!found.empty())
      return found;
  }
  return ProgramFolder() + name;
}

std::string UserMusicFolder() {
  std::string music = UserDir("MUSIC");
  // A user directory set to the home folder itself is switched off.
  if (music.empty() || IncludeTrailingSlash(music) == HomeFolder())
    music = HomeFolder() + "Music";
  return IncludeTrailingSlash(music);
}

} // namespace plat
