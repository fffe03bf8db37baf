#pragma once
// Where the program finds its data and keeps the user's files. Every folder ends in '/'.
#include <string>

namespace plat {

// $XDG_CONFIG_HOME, else ~/.config: the per-user application-data folder.
std::string ConfigHome();
// The folder of the running executable.
std::string ProgramFolder();
// <prefix>/share/plindar/ of the installation: beside the program's bin folder, else where it
// was configured to go.
std::string DataFolder();
// A read-only data file, its letter case ignored: the program's folder first, then the data
// folder; the path in the program's folder when neither has it.
std::string FindDataFile(const std::string &name);
// The user's music folder, whether it exists or not: XDG_MUSIC_DIR of the user directories
// file ($XDG_CONFIG_HOME/user-dirs.dirs), else ~/Music.
std::string UserMusicFolder();
// Appends '/' unless the text already ends in one.
std::string IncludeTrailingSlash(const std::string &folder);

} // namespace plat
