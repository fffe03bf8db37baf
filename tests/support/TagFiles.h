#pragma once
// A fresh folder per test and the byte helpers the ID3v1 tests share.
#include "FileContents.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

class TagFiles : public ::testing::Test {
protected:
  std::string Path(const std::string &name) const { return dir.File(name); }

  static void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }
  // Stands for audio: bytes that never spell "TAG".
  static std::string Audio(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
      bytes[i] = static_cast<char>('a' + i % 7);
    return bytes;
  }
  // A 128-byte tag with the given fields, each filled with 0 bytes.
  static std::string RawTag(const std::string &title, const std::string &artist,
                            const std::string &album, const std::string &year,
                            const std::string &comment30, unsigned char genre) {
    std::string tag(128, '\0');
    std::memcpy(&tag[0], "TAG", 3);
    tag.replace(3, title.size(), title);
    tag.replace(33, artist.size(), artist);
    tag.replace(63, album.size(), album);
    tag.replace(93, year.size(), year);
    tag.replace(97, comment30.size(), comment30);
    tag[127] = static_cast<char>(genre);
    return tag;
  }
  static std::string LastTag(const std::string &path) {
    std::string bytes = FileText(path);
    return bytes.size() >= 128 ? bytes.substr(bytes.size() - 128) : std::string();
  }

  TTempDir dir;
};
