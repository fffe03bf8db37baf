#include "FileContents.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

std::vector<uint8_t> ReadFileBytes(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    throw std::runtime_error("Cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string FileText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FolderListing(const std::string &folder) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> WithoutSilence(const std::vector<uint8_t> &played) {
  std::vector<uint8_t> sound;
  for (size_t i = 0; i < played.size();) {
    size_t run = 0;
    while (i + run < played.size() && played[i + run] == 0)
      ++run;
    if (run >= 16)
      i += run;
    else
      sound.push_back(played[i++]);
  }
  return sound;
}
