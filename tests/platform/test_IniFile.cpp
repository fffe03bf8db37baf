#include "FileContents.h"
#include "IniFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("plindar-ini-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    path = (dir / "options.ini").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  void Write(const std::string &text) { std::ofstream(path, std::ios::binary) << text; }
  fs::path dir;
  std::string path;
};

TEST_F(IniFileTest, NamesAreCaseInsensitiveAndValuesRaw) {
  Write("[CommonOptions]\nOutputFolder = /home/u/Music \nIsKeepWav=1\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("commonoptions", "OUTPUTFOLDER", "x"), "/home/u/Music");
  EXPECT_TRUE(ini.ReadBool("COMMONOPTIONS", "iskeepwav", false));
  EXPECT_EQ(ini.ReadString("CommonOptions", "Missing", "def"), "def");
  EXPECT_EQ(ini.ReadString("Nowhere", "OutputFolder", "def"), "def");
}

TEST_F(IniFileTest, IntegersReadDecimalOrHexAndAnythingElseAsDefault) {
  Write(
      "[S]\nDec=-42\nHex=0x1F\nAllOnes=0xFFFFFFFF\nWord=yes\nTail=12abc\nEmpty=\nHuge=99999999999\n"
      "Two=2\nZero=0\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("S", "Dec", 7), -42);
  EXPECT_EQ(ini.ReadInteger("S", "Hex", 7), 31);
  EXPECT_EQ(ini.ReadInteger("S", "AllOnes", 7), -1);
  EXPECT_EQ(ini.ReadInteger("S", "Word", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Tail", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Empty", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Huge", 7), 7);
  // Booleans are integers: non-zero is true, a word is the default.
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));
  EXPECT_FALSE(ini.ReadBool("S", "Zero", true));
  EXPECT_FALSE(ini.ReadBool("S", "Word", false));
  EXPECT_TRUE(ini.ReadBool("S", "Word", true));
}

TEST_F(IniFileTest, ByteOrderMarkAndCrLfAreRead) {
  Write("\xEF\xBB\xBF[MainForm]\r\nMainForm=Plindar \xC3\xBC\r\n\r\n[Other]\r\nK=v\r\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("MainForm", "MainForm", ""), "Plindar \xC3\xBC");
  EXPECT_EQ(ini.ReadString("Other", "K", ""), "v");
}

TEST_F(IniFileTest, WritingKeepsUnknownSectionsAndKeys) {
  Write("; a comment\n[Mine]\nKnown=1\nForeign=keep me\n[Alien]\nX=y\n");
  {
    TIniFile ini(path);
    ini.WriteInteger("mine", "KNOWN", 5);
    ini.WriteBool("New", "Flag", true);
    ASSERT_TRUE(ini.UpdateFile());
  }
  TIniFile again(path);
  EXPECT_EQ(again.ReadInteger("Mine", "Known", 0), 5);
  EXPECT_EQ(again.ReadString("Mine", "Foreign", ""), "keep me");
  EXPECT_EQ(again.ReadString("Alien", "X", ""), "y");
  EXPECT_EQ(again.ReadString("New", "Flag", ""), "1");
  // The key keeps the spelling the file gave it.
  EXPECT_NE(FileText(path).find("Known=5"), std::string::npos);
}

TEST_F(IniFileTest, BrokenLinesAreSkippedNotFatal) {
  Write("garbage before any section\n[Broken\n[Good]\nnoequals\n=novalue\nK=v=w\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadString("Good", "K", ""), "v=w");
  EXPECT_EQ(ini.ReadSection("Good").size(), 1u);
}

TEST_F(IniFileTest, ValuesWithLineBreaksCannotStartNewLines) {
  {
    TIniFile ini(path);
    ini.WriteString("S", "Title", "one\r\n[Injected]\nK=v");
  }
  TIniFile again(path);
  EXPECT_FALSE(again.SectionExists("Injected"));
  EXPECT_EQ(again.ReadSections().size(), 1u);
}

TEST_F(IniFileTest, UnwritableFileReportsFailureAndLeavesNoTemporary) {
  fs::path folder = dir / "missing-folder" / "x.ini";
  TIniFile ini(folder.string());
  ini.WriteString("S", "K", "v");
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_FALSE(fs::exists(folder.string() + ".tmp"));
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey) {
  Write("[A]\nK=1\nL=2\n[B]\nK=3\n");
  {
    TIniFile ini(path);
    ini.DeleteKey("a", "k");
    ini.EraseSection("b");
  }
  TIniFile again(path);
  EXPECT_FALSE(again.ValueExists("A", "K"));
  EXPECT_TRUE(again.ValueExists("A", "L"));
  EXPECT_FALSE(again.SectionExists("B"));
}

} // namespace
