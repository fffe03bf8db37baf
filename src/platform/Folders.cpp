#include "Folders.h"

#include "Text.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace plat {

namespace {

std::string HomeFolder() {
  const char *home = std::getenv("HOME");
  return home && *home ? IncludeTrailingSlash(home) : "/";
}

// Runs a command without a shell-visible argument from the user and returns its first line.
std::string FirstLineOf(const char *command) {
  std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command, "r"), pclose);
  if (!pipe)
    return {};
  char line[4096];
  if (!std::fgets(line, sizeof line, pipe.get()))
    return {};
  std::string text = line;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
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
  std::error_code ec;
  std::string music = FirstLineOf("xdg-user-dir MUSIC 2>/dev/null");
  // xdg-user-dir answers the home folder itself when no music folder is configured.
  if (music.empty() || IncludeTrailingSlash(music) == HomeFolder())
    music = HomeFolder() + "Music";
  return fs::is_directory(music, ec) ? IncludeTrailingSlash(music) : std::string();
}

} // namespace plat
