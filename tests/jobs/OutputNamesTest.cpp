// The names of a job's files: what titles become, and the part files they are written under.
#include "OutputNames.h"
#include "PartFile.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

bool ValidUtf8(const std::string &text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80       ? 1
                               : c >> 5 == 6  ? 2
                               : c >> 4 == 14 ? 3
                               : c >> 3 == 30 ? 4
                                              : 0;
    if (length == 0 || i + length > text.size())
      return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
        return false;
    i += length;
  }
  return true;
}

} // namespace

// Titles longer than a name may be (1000 characters of two and three bytes) are cut at a
// character so that each file fits with its suffix and extension, and can be made.
TEST(OutputNames, TitlesTooLongForTheFileSystemAreCutToFit) {
  TTempDir dir;
  const std::string folder = dir.Path() + "/";
  std::string title;
  for (int i = 0; i < 500; ++i)
    title += i % 2 ? "é" : "東";
  TJobOutputNames names;
  const std::vector<std::string> extensions = {".wav", ".opus"};
  const std::string first = names.Take(folder, title, extensions);
  const std::string second = names.Take(folder, title, extensions);
  for (const std::string &name : {first, second}) {
    EXPECT_TRUE(ValidUtf8(name));
    EXPECT_LE(name.size() + 5, plat::LongestNameIn(folder));
    EXPECT_GT(name.size() + 5, plat::LongestNameIn(folder) - 3); // cut no further than needed
    EXPECT_TRUE(std::ofstream(folder + name + ".opus").good());
    // Its part file can be made too, and becomes the file.
    plat::TPartFile part(folder + name + ".wav");
    ASSERT_TRUE(part.Claimed()) << part.Error();
    EXPECT_TRUE(part.Complete());
  }
  EXPECT_EQ(second.substr(second.size() - 4), " (2)");
  EXPECT_EQ(title.compare(0, first.size(), first), 0);
  // A short title stays as it is.
  EXPECT_EQ(names.Take(folder, "Song", extensions), "Song");
}

// Two final names at the limit that differ only at their end get part files of their own.
TEST(OutputNames, PartFilesOfNamesAtTheLimitNeedNoMoreRoom) {
  TTempDir dir;
  const std::size_t longest = plat::LongestNameIn(dir.Path());
  const std::string a = dir.File(std::string(longest - 5, 'a') + "1.wav");
  const std::string b = dir.File(std::string(longest - 5, 'a') + "2.wav");
  const std::string partA = plat::PartFileName(a), partB = plat::PartFileName(b);
  EXPECT_NE(partA, partB);
  EXPECT_LE(partA.size(), a.size());
  EXPECT_EQ(partA.substr(partA.size() - 5), ".part");
  plat::TPartFile first(a), second(b);
  ASSERT_TRUE(first.Claimed()) << first.Error();
  ASSERT_TRUE(second.Claimed()) << second.Error();
  EXPECT_TRUE(first.Complete());
  EXPECT_TRUE(std::filesystem::exists(a));
}

// A file that replaces another keeps who may read it: a private file stays private.
TEST(OutputNames, AReplacedFileKeepsItsPermissions) {
  TTempDir dir;
  const std::string name = dir.File("private.wav");
  std::ofstream(name) << "old";
  ASSERT_EQ(chmod(name.c_str(), 0600), 0);
  plat::TPartFile part(name);
  ASSERT_TRUE(part.Claimed());
  std::ofstream(part.PartName()) << "new";
  ASSERT_TRUE(part.Complete());
  struct stat made {};
  ASSERT_EQ(stat(name.c_str(), &made), 0);
  EXPECT_EQ(made.st_mode & 07777, 0600u);
}
