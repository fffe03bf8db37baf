// A part file: one claim at a time, the final name only for a completed file, nothing left of
// one that was not.
#include "FileContents.h"
#include "PartFile.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

void Write(const std::string &path, const std::string &text) { std::ofstream(path) << text; }

TEST(PartFile, ASecondClaimIsRefusedAndLeavesTheFirstAlone) {
  TTempDir dir;
  const std::string final = dir.File("a.wav");
  plat::TPartFile first(final);
  ASSERT_TRUE(first.Claimed());
  Write(first.PartName(), "first");
  {
    plat::TPartFile second(final);
    EXPECT_FALSE(second.Claimed());
    EXPECT_TRUE(second.InUse());
    EXPECT_FALSE(second.Complete());
  }
  EXPECT_EQ(FileText(first.PartName()), "first") << "neither emptied nor removed by the refused";
  EXPECT_TRUE(first.Complete());
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"a.wav"});
  EXPECT_EQ(FileText(final), "first");
}

TEST(PartFile, OnlyCompleteGivesTheFinalName) {
  struct TCase {
    const char *Name;
    const char *Old;   // the file under the final name before, nullptr for none
    bool Complete;     // else the part file is destroyed without
    const char *After; // under the final name afterwards, nullptr for none
  };
  const TCase cases[] = {
      {"completed", nullptr, true, "new"},
      {"completed over an old file", "old", true, "new"},
      {"destroyed", nullptr, false, nullptr},
      {"destroyed beside an old file", "old", false, "old"},
  };
  for (const TCase &c : cases) {
    TTempDir dir;
    const std::string final = dir.File("a.flac");
    if (c.Old) {
      Write(final, c.Old);
      fs::permissions(final, fs::perms::owner_read | fs::perms::owner_write);
    }
    {
      plat::TPartFile part(final);
      ASSERT_TRUE(part.Claimed()) << c.Name;
      EXPECT_EQ(FileText(final), c.Old ? c.Old : "") << c.Name << ": untouched while making";
      Write(part.PartName(), "new");
      if (c.Complete) {
        EXPECT_TRUE(part.Complete()) << c.Name;
        EXPECT_FALSE(part.Complete()) << c.Name << ": only once";
      }
    }
    EXPECT_EQ(FolderListing(dir.Path()),
              c.After ? std::vector<std::string>{"a.flac"} : std::vector<std::string>{})
        << c.Name;
    if (c.After) {
      EXPECT_EQ(FileText(final), c.After) << c.Name;
    }
    if (c.Old && c.Complete) {
      struct stat st {};
      ASSERT_EQ(stat(final.c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, 0600u) << c.Name << ": a private file stays private";
    }
  }
}

TEST(PartFile, ACompleteThatCannotRenameLeavesNothingHalfNamed) {
  TTempDir dir;
  const std::string final = dir.File("a.opus");
  fs::create_directories(final + "/in the way");
  plat::TPartFile part(final);
  Write(part.PartName(), "new");
  EXPECT_FALSE(part.Complete());
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"a.opus"});
  EXPECT_TRUE(fs::is_directory(final + "/in the way"));
}

} // namespace
