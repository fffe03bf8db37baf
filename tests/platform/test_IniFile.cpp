#include "FileContents.h"
#include "IniFile.h"
#include "Text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

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
  // The text as UTF-16 in that byte order, after its byte-order mark.
  static std::string Utf16(const std::string &text, bool bigEndian) {
    std::string bytes;
    for (char16_t u : u"\uFEFF" + plat::Utf8ToUtf16(text)) {
      const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
      bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
  }
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

// Each edit touches only its own lines: the rest of the file, comments, damage, repeated keys
// and line ends included, is written back byte for byte.
TEST_F(IniFileTest, EditsChangeOnlyTheirOwnLines) {
  const std::string nul(1, '\0');
  const struct {
    const char *What;
    std::string Before;
    std::function<void(TIniFile &)> Edit;
    std::string After;
  } cases[] = {
      {"a changed value keeps its key's spelling and spacing",
       "; top\nstray\n[A]\n  Key = old ; not a comment\nkey=second\n",
       [](TIniFile &ini) { ini.WriteString("a", "KEY", "new"); },
       "; top\nstray\n[A]\n  Key = new\nkey=second\n"},
      {"a new key goes after the section's last key, in its first block",
       "[A]\nK=1\n; about B\n\n[B]\nX=1\n[a]\nL=2\n",
       [](TIniFile &ini) { ini.WriteInteger("A", "New", 7); },
       "[A]\nK=1\nNew=7\n; about B\n\n[B]\nX=1\n[a]\nL=2\n"},
      {"a new section goes to the end, set apart, with the file's line ends",
       "[A]\r\nK=1\r\n=novalue\r\nnoequals" + nul + "\r\n\xFF\xFE bytes",
       [](TIniFile &ini) { ini.WriteBool("B", "Flag", true); },
       "[A]\r\nK=1\r\n=novalue\r\nnoequals" + nul + "\r\n\xFF\xFE bytes\r\n\r\n[B]\r\nFlag=1\r\n"},
      {"a header missing its ']' names its section", "[A]\nK=1\n[B\nK=2\n",
       [](TIniFile &ini) { ini.WriteString("B", "K", "3"); }, "[A]\nK=1\n[B\nK=3\n"},
      {"a deleted key goes with every repetition, the other lines stay",
       "[A]\nK=1\n;c\nk=2\nL=3\n[A]\nK=4\n", [](TIniFile &ini) { ini.DeleteKey("A", "K"); },
       "[A]\n;c\nL=3\n[A]\n"},
      {"an erased section goes from each header to the next",
       "x\n[A]\nK=1\n;c\n[B]\nX=1\n[a]\nL=2\n", [](TIniFile &ini) { ini.EraseSection("A"); },
       "x\n[B]\nX=1\n"},
      {"a UTF-8 byte-order mark and other 8-bit text stay",
       "\xEF\xBB\xBF[A]\nFolder=/home/j\xF6rg\n",
       [](TIniFile &ini) {
         ini.WriteString("A", "Title",
                         "Gr\xC3\xBC\xC3\x9F"
                         "e");
       },
       "\xEF\xBB\xBF[A]\nFolder=/home/j\xF6rg\nTitle=Gr\xC3\xBC\xC3\x9F"
       "e\n"},
      {"UTF-16, little-endian", Utf16("[A]\r\nK=\u00FC\U0001F3B5\r\n", false),
       [](TIniFile &ini) { ini.WriteString("A", "New", "\u00E9"); },
       Utf16("[A]\r\nK=\u00FC\U0001F3B5\r\nNew=\u00E9\r\n", false)},
      {"UTF-16, big-endian", Utf16(";c\n[A]\nK=1\n", true),
       [](TIniFile &ini) { ini.WriteString("A", "K", "\u00FC"); },
       Utf16(";c\n[A]\nK=\u00FC\n", true)},
  };
  for (const auto &c : cases) {
    Write(c.Before);
    {
      TIniFile ini(path);
      c.Edit(ini);
      EXPECT_TRUE(ini.UpdateFile()) << c.What;
    }
    EXPECT_EQ(FileText(path), c.After) << c.What;
  }
}

TEST_F(IniFileTest, RepeatedNamesReadAsTheirFirst) {
  Write("[A]\nK=1\nk=2\n[B]\nX=1\n[a]\nK=3\nL=4\n");
  TIniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("A", "K", 0), 1);
  EXPECT_EQ(ini.ReadInteger("A", "L", 0), 4) << "a section given twice reads as one";
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(ini.ReadSection("a"), (std::vector<std::string>{"K", "L"}));
}

// A file that holds no settings text at all reads as empty and is never written: what it holds
// could not be kept.
TEST_F(IniFileTest, FileThatIsNoTextIsNeverWritten) {
  const std::string nul(1, '\0');
  const struct {
    const char *What;
    std::string Bytes;
  } cases[] = {
      {"UTF-16 with an odd number of bytes", Utf16("[A]\nK=1\n", false) + "x"},
      {"UTF-16 with half a surrogate pair", Utf16("[A]\nK=", false) + "\x3D\xD8" + "\n\0"},
      {"UTF-32", "\xFF\xFE" + nul + nul + "[" + nul + nul + nul + "A" + nul + nul + nul},
      {"UTF-16 without its byte-order mark", Utf16("[A]\nK=1\n", false).substr(2)},
      {"binary", "PK\x03\x04" + nul + nul + "\x14\n\xFF\xD8" + nul + "]\n"},
  };
  for (const auto &c : cases) {
    Write(c.Bytes);
    TIniFile ini(path);
    EXPECT_TRUE(ini.Unreadable()) << c.What;
    EXPECT_TRUE(ini.ReadSections().empty()) << c.What;
    ini.WriteString("A", "K", "2");
    EXPECT_FALSE(ini.UpdateFile()) << c.What;
    EXPECT_EQ(FileText(path), c.Bytes) << c.What;
  }
  // A damaged line among settings is only damage.
  Write("[A]\nK=1\n" + nul + "junk\n");
  EXPECT_FALSE(TIniFile(path).Unreadable());
}

TEST_F(IniFileTest, ReplacedFileKeepsItsPermissions) {
  Write("[A]\nK=1\n");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
  TIniFile(path).WriteString("A", "K", "2");
  EXPECT_EQ(FileText(path), "[A]\nK=2\n");
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
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
