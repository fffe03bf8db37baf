#pragma once
// The input as a file, for the parsers that read files.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

// A path of this process's own, in memory where the system offers a memory file system (the
// targets run many times faster there), removed when the process ends.
inline std::string FuzzPath(const char *suffix) {
  static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  static std::vector<std::string> made;
  static const bool cleanup = std::atexit([] {
                                for (const std::string &path : made) {
                                  std::error_code ignored;
                                  std::filesystem::remove_all(path, ignored);
                                }
                              }) == 0;
  (void)cleanup;
  const std::string path = folder + "/plindar-fuzz-" + std::to_string(getpid()) + suffix;
  if (std::find(made.begin(), made.end(), path) == made.end())
    made.push_back(path);
  return path;
}

inline void WriteFile(const std::string &name, const std::uint8_t *data, std::size_t size) {
  std::ofstream(name, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

// A file holding the input, rewritten for every run.
inline std::string FileOf(const std::uint8_t *data, std::size_t size, const char *suffix) {
  const std::string name = FuzzPath(suffix);
  WriteFile(name, data, size);
  return name;
}
