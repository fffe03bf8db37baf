#pragma once
// The input as a file, for the parsers that read files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

// A path of this process's own, in memory where the system offers a memory file system: the
// targets run many times faster there.
inline std::string FuzzPath(const char *suffix) {
  static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  return folder + "/plindar-fuzz-" + std::to_string(getpid()) + suffix;
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
