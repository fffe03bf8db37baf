#pragma once
// Windows' sharing modes on Linux, where nothing is mandatory: a program that opens a file
// "without sharing" takes an exclusive advisory lock on it, one that shares reading a shared lock.
#include <string>

namespace plat {

// True when the existing file is open elsewhere: it cannot be opened for reading and writing,
// or its exclusive lock cannot be taken. False for a file that does not exist.
bool FileInUse(const std::string &path);

} // namespace plat
