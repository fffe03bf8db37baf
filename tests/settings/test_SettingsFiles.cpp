// Damaged and foreign settings files: what can be read is read, and a save keeps every line it
// does not change; a file that cannot be read at all, or a settings folder that cannot be made,
// is told once and nothing is written.
#include "DiscInfo.h"
#include "Folders.h"
#include "Global.h"
#include "TempConfig.h"
#include "Text.h"

#include <functional>
#include <vector>

namespace {

// The text as UTF-16 in that byte order, after its byte-order mark.
std::string Utf16(const std::string &text, bool bigEndian) {
  std::string bytes;
  for (char16_t u : u"\uFEFF" + plat::Utf8ToUtf16(text)) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
  }
  return bytes;
}

// A file's text, UTF-16 decoded; its lines with their line ends.
std::vector<std::string> Lines(const std::string &bytes) {
  std::string text = bytes;
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto a = static_cast<unsigned char>(bytes[i]);
      const auto b = static_cast<unsigned char>(bytes[i + 1]);
      units += static_cast<char16_t>(bytes[0] == '\xFE' ? a << 8 | b : b << 8 | a);
    }
    text = plat::Utf16ToUtf8(units);
  }
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size() - 1);
    lines.push_back(text.substr(at, end + 1 - at));
    at = end + 1;
  }
  return lines;
}

// Whether every line of `before` but the one changed is in `after`, in its order.
bool KeepsLines(const std::string &before, const std::string &after, const std::string &changed) {
  const std::vector<std::string> kept = Lines(after);
  size_t at = 0;
  for (std::string line : Lines(before)) {
    if (line.starts_with(changed))
      continue;
    if (!line.ends_with('\n'))
      line += '\n'; // the last line gets a line end when a line follows it
    while (at < kept.size() && kept[at] != line && kept[at] != line.substr(0, line.size() - 1))
      ++at;
    if (at == kept.size())
      return false;
    ++at;
  }
  return true;
}

class SettingsFiles : public TempConfig {
protected:
  void SetUp() override {
    TempConfig::SetUp();
    DiscInfo = TDiscInfo();
    SetSettingsProblemHandler([this](const std::string &text) { told.push_back(text); });
  }
  void TearDown() override {
    SetSettingsProblemHandler(nullptr);
    TempConfig::TearDown();
  }
  std::string OptionsFile() const { return SettingsFolder() + "options.ini"; }
  std::string CacheFile() const { return SettingsFolder() + "cdinfo.dat"; }
  std::vector<std::string> told;
};

// The window is started and closed: the options are loaded and saved with one changed, and the
// disc "42" is loaded and saved with its first title changed.
TEST_F(SettingsFiles, SaveKeepsEveryLineItDoesNotChange) {
  const std::string nul(1, '\0');
  const std::string offsets = "[ReadOffsets]\nDrive1=PLEXTOR\nOffset1=30\n; gap\nDrive3=/a.cue\n"
                              "Offset3=-2000\nDrive4=broken\nOffset4=9999\n";
  const struct {
    const char *What;
    bool Cache; // cdinfo.dat, else options.ini
    std::string Bytes;
    std::function<void()> Check; // of what was read
  } cases[] = {
      {"options: comments, lines outside any section, repeated keys and sections", false,
       "; mine\nstray line\n\n[Mp3Options]\n; my rate\nBitRate=256\nBitRate=64\n[Mine]\nX=1\n"
       "[mp3options]\nVBRQuality=7\n[QueryCDDB]\nServer=old.example.org\n",
       [] {
         EXPECT_EQ(GlobalOptions.BitRate, 256);
         EXPECT_EQ(GlobalOptions.VBRQuality, 7);
       }},
      {"options: damaged lines, CRLF, a header missing its ']', no last line end", false,
       "[Mp3Options\r\nnoequals\r\n=novalue\r\n" + nul +
           "\x01\xFF\r\nBitRate=256\r\n"
           "[QueryCDDB]\r\nServer=old.example.org",
       [] { EXPECT_EQ(GlobalOptions.BitRate, 256); }},
      {"options: UTF-16", false,
       Utf16("[CommonOptions]\r\nOutputFolder=/home/j\u00F6rg/\u266B/\r\n[Mp3Options]\r\n"
             "BitRate=256\r\n" +
                 offsets,
             false),
       [] {
         EXPECT_EQ(GlobalOptions.OutputFolder, "/home/j\u00F6rg/\u266B/");
         EXPECT_EQ(GlobalOptions.BitRate, 256);
         EXPECT_EQ(StoredReadOffset("PLEXTOR"), 30);
       }},
      {"options: read offsets with a gap in their numbers", false, Utf16(offsets, true),
       [] {
         EXPECT_EQ(GlobalOptions.ReadOffsets,
                   (std::map<std::string, int32_t>{{"PLEXTOR", 30}, {"/a.cue", -2000}}));
       }},
      {"options: 8-bit text after a UTF-8 byte-order mark", false,
       "\xEF\xBB\xBF[CommonOptions]\nOutputFolder=/home/j\xF6rg/\n",
       [] { EXPECT_EQ(GlobalOptions.OutputFolder, "/home/j\xF6rg/"); }},
      {"cache: UTF-16 holding two discs", true,
       Utf16("[41]\r\nArtist=Other\r\nTrackNumber=1\r\n1=Theirs\r\n\r\n[42]\r\nArtist=B\u00E4nd\r\n"
             "TrackNumber=2\r\n1=One\r\n2=Two\r\n",
             false),
       [] {
         EXPECT_EQ(DiscInfo.Artist, "B\u00E4nd");
         EXPECT_EQ(DiscInfo.Titles[2], "Two");
       }},
      {"cache: the disc's header missing its ']'", true,
       "[41]\nTrackNumber=1\n1=Theirs\n[42\nTrackNumber=2\n1=One\n2=Two\n",
       [] { EXPECT_EQ(DiscInfo.Titles[2], "Two"); }},
      {"cache: comments, repeated keys, lines outside any section", true,
       "; titles\n[42]\nTrackNumber=2\n1=One\n2=Two\n2=Repeated\n; end\n",
       [] { EXPECT_EQ(DiscInfo.Titles[2], "Two"); }},
  };
  for (const auto &c : cases) {
    const std::string file = c.Cache ? CacheFile() : OptionsFile();
    fs::remove_all(SettingsFolder());
    WriteFile(file, c.Bytes);
    GlobalOptions = TGlobalOptions();
    LoadSaveOptions(true);
    LoadDiscInfo("42");
    c.Check();
    GlobalOptions.Server = "changed.example.org";
    DiscInfo.Titles[1] = "Changed";
    EXPECT_TRUE(SaveDiscInfo("42")) << c.What;
    EXPECT_TRUE(LoadSaveOptions(false)) << c.What;

    const std::string saved = ReadFile(file);
    EXPECT_TRUE(KeepsLines(c.Bytes, saved, c.Cache ? "1=One" : "Server=")) << c.What << "\n"
                                                                           << saved;
    EXPECT_EQ(saved.substr(0, 2), c.Bytes.substr(0, 2)) << c.What << ": the encoding is kept";
    GlobalOptions = TGlobalOptions();
    LoadSaveOptions(true);
    LoadDiscInfo("42");
    c.Check();
    EXPECT_EQ(GlobalOptions.Server, "changed.example.org") << c.What;
    EXPECT_EQ(DiscInfo.Titles[1], "Changed") << c.What;
    EXPECT_TRUE(told.empty()) << c.What;
  }
}

TEST_F(SettingsFiles, FileThatCannotBeReadAtAllIsToldOnceAndNeverWritten) {
  const std::string options = Utf16("[Mp3Options]\nBitRate=256\n", false) + "x"; // odd length
  const std::string cache = Utf16("[42]\n1=One\n", true).substr(2); // no byte-order mark
  WriteFile(OptionsFile(), options);
  WriteFile(CacheFile(), cache);
  for (int run = 0; run < 2; ++run) {
    LoadSaveOptions(true);
    LoadDiscInfo("42");
    EXPECT_EQ(GlobalOptions.BitRate, 128);
    EXPECT_EQ(DiscInfo.Titles[1], "Track01");
    GlobalOptions.BitRate = 320;
    DiscInfo.Titles[1] = "Mine";
    EXPECT_FALSE(SaveDiscInfo("42"));
    EXPECT_FALSE(LoadSaveOptions(false));
  }
  EXPECT_EQ(ReadFile(OptionsFile()), options);
  EXPECT_EQ(ReadFile(CacheFile()), cache);
  const std::string unreadable =
      " cannot be read as a settings file. It is left as it is, and nothing is saved into it.";
  EXPECT_EQ(told, (std::vector<std::string>{OptionsFile() + unreadable, CacheFile() + unreadable}));
  EXPECT_TRUE(SettingsProblemTold());

  // Once the file can be read again, a new damage is told again.
  fs::remove(OptionsFile());
  LoadSaveOptions(true);
  WriteFile(OptionsFile(), options);
  LoadSaveOptions(true);
  EXPECT_EQ(told.size(), 3u);
}

TEST_F(SettingsFiles, FolderThatCannotBeMadeIsToldAndNothingGoesBesideTheProgram) {
  WriteFile((root / "blocker").string(), "a file where a folder should be");
  ::setenv("XDG_CONFIG_HOME", (root / "blocker").c_str(), 1);
  const std::string folder = (root / "blocker" / "Varnex" / "Plindar").string() + "/";
  LoadSaveOptions(true);
  LoadDiscInfo("42");
  EXPECT_EQ(GetSettingsFolder(), folder);
  EXPECT_FALSE(LoadSaveOptions(false));
  EXPECT_FALSE(SaveDiscInfo("42"));
  EXPECT_EQ(told, std::vector<std::string>{"The settings folder " + folder +
                                           " cannot be made (Not a directory). Settings and "
                                           "disc titles are not saved."});
  for (const char *name : {"options.ini", "cdinfo.dat"})
    EXPECT_FALSE(fs::exists(plat::ProgramFolder() + name)) << name;
  EXPECT_EQ(ReadFile((root / "blocker").string()), "a file where a folder should be");
}

} // namespace
