#include "Folders.h"
#include "Global.h"
#include "IniFile.h"
#include "Language.h"
#include "TempConfig.h"

#include <vector>

namespace {

class Settings : public TempConfig {
protected:
  std::string OptionsFile() const { return SettingsFolder() + "options.ini"; }
};

TEST_F(Settings, FirstStartGivesTheDefaultsAndCreatesTheFolder) {
  GlobalOptions.BitRate = 999; // a leftover that loading must replace
  LoadSaveOptions(true);
  const TGlobalOptions &o = GlobalOptions;
  EXPECT_TRUE(fs::is_directory(SettingsFolder()));
  EXPECT_EQ(GetSettingsFolder(), SettingsFolder());
  // No music folder in this home: it is made, rather than ripping into the settings folder.
  EXPECT_EQ(o.OutputFolder, (root / "home" / "Music").string() + "/");
  EXPECT_TRUE(fs::is_directory(o.OutputFolder));
  EXPECT_EQ(o.OutputFormat, fmtMP3);
  EXPECT_EQ(GetFormatName(), "MP3");
  EXPECT_EQ(o.BitRate, 128);
  EXPECT_EQ(o.MaxBitRate, 320);
  EXPECT_EQ(o.VBRQuality, 4);
  EXPECT_EQ(o.StereoMode, 1);
  EXPECT_TRUE(o.IsUseCompress);
  EXPECT_EQ(o.CompressPosition, 30);
  EXPECT_EQ(o.NormalizePercent, 95);
  EXPECT_EQ(o.WMABitRate, 8);
  EXPECT_EQ(o.CDIndex, -1);
  EXPECT_EQ(o.Lan, "English");
  EXPECT_EQ(o.Server, "gnudb.gnudb.org");
  EXPECT_EQ(o.Script, "/~cddb/cddb.cgi");
  EXPECT_EQ(o.Port, "80");
  EXPECT_FALSE(o.IsKeepWav || o.EnableRipTime || o.UseProxy || o.UseID3 || o.SaveMp3);
  EXPECT_FALSE(fs::exists(OptionsFile())) << "loading must not write the file";
}

TEST_F(Settings, OutputFolderDefaultsToAnExistingMusicFolder) {
  fs::create_directories(root / "home" / "Music");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.OutputFolder, (root / "home" / "Music").string() + "/");
}

TEST_F(Settings, OutputFolderDefaultsToTheMusicFolderOfTheUserDirectories) {
  const std::string home = (root / "home").string();
  WriteFile(home + "/blocker", "a file where a folder should be");
  const struct {
    std::string Line, Folder;
  } cases[] = {
      {"XDG_MUSIC_DIR=\"$HOME/Songs\"", home + "/Songs/"},
      {"  XDG_MUSIC_DIR = \"$HOME/My \\\"Best\\\" Songs\"  ", home + "/My \"Best\" Songs/"},
      {"XDG_MUSIC_DIR=\"" + root.string() + "/elsewhere/Music\"",
       root.string() + "/elsewhere/Music/"},
      // Switched off, not a folder of these forms, or not about music: ~/Music.
      {"XDG_MUSIC_DIR=\"$HOME/\"", home + "/Music/"},
      {"XDG_MUSIC_DIR=\"Songs\"", home + "/Music/"},
      {"XDG_MUSIC_DIR=$HOME/Songs", home + "/Music/"},
      {"XDG_MUSIC_DIR=\"$HOMESongs\"", home + "/Music/"},
      {"XDG_MUSIC_DIR=\"$HOME/Songs", home + "/Music/"},
      {"# XDG_MUSIC_DIR=\"$HOME/Songs\"", home + "/Music/"},
      {"XDG_MUSICAL_DIR=\"$HOME/Songs\"", home + "/Music/"},
      // A music folder that cannot be made leaves the settings folder.
      {"XDG_MUSIC_DIR=\"$HOME/blocker/Music\"", SettingsFolder()},
  };
  for (const auto &c : cases) {
    WriteFile((root / "config" / "user-dirs.dirs").string(),
              "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n" + c.Line + "\n");
    LoadSaveOptions(true);
    EXPECT_EQ(GlobalOptions.OutputFolder, c.Folder) << c.Line;
    EXPECT_TRUE(fs::is_directory(GlobalOptions.OutputFolder)) << c.Line;
  }
  // A stored output folder needs no default: no music folder is made for it.
  fs::remove_all(home + "/Music");
  WriteFile(OptionsFile(), "[CommonOptions]\nOutputFolder=/srv/rips/\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.OutputFolder, "/srv/rips/");
  EXPECT_FALSE(fs::exists(home + "/Music"));
}

TEST_F(Settings, StoredValuesAreClampedAndNonNumbersReadAsDefaults) {
  WriteFile(OptionsFile(), "[OggOptions]\nCompressPosition=10\nIsUseCompress=yes\n"
                           "[CommonOptions]\nIsKeepWav=yes\nIsNormalize=2\nRipTime=0x1E\n"
                           "[Mp3Options]\nBitRate=fast\n[EncoderOptions]\nStallTime=0\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.StallTime, MinStallTime);
  EXPECT_EQ(GlobalOptions.CompressPosition, 30);
  EXPECT_TRUE(GlobalOptions.IsUseCompress) << "yes is not a number: the default (true) holds";
  EXPECT_FALSE(GlobalOptions.IsKeepWav);
  EXPECT_TRUE(GlobalOptions.IsNormalize);
  EXPECT_EQ(GlobalOptions.RipTime, 30);
  EXPECT_EQ(GlobalOptions.BitRate, 128);

  WriteFile(OptionsFile(),
            "[OggOptions]\nCompressPosition=250\n[EncoderOptions]\nStallTime=7200\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.CompressPosition, 100);
  EXPECT_EQ(GlobalOptions.StallTime, MaxStallTime);
  WriteFile(OptionsFile(), "[OggOptions]\nCompressPosition=64\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.CompressPosition, 64);
}

// A file of a version before FLAC and Opus loads with their defaults; their settings are held
// within their ranges, and a format number no version knows rips to MP3.
TEST_F(Settings, FlacAndOpusSettingsLoadFromOlderAndDamagedFiles) {
  WriteFile(OptionsFile(), "[CommonOptions]\nOutputFormat=2\n[OggOptions]\nCompressPosition=64\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.OutputFormat, fmtOGG);
  EXPECT_EQ(GlobalOptions.FLACCompression, 5);
  EXPECT_EQ(GlobalOptions.OpusBitRate, 160);
  const struct {
    std::string Text;
    TFormat Format;
    int Level, BitRate;
  } cases[] = {
      {"OutputFormat=4\n[FLACOptions]\nCompression=8\n[OpusOptions]\nBitRate=96", fmtFLAC, 8, 96},
      {"OutputFormat=5\n[FLACOptions]\nCompression=-1\n[OpusOptions]\nBitRate=6", fmtOpus, 0, 32},
      {"OutputFormat=" + std::to_string(OutputFormatCount) +
           "\n[FLACOptions]\nCompression=9\n[OpusOptions]\nBitRate=900",
       fmtMP3, 8, 256},
      {"OutputFormat=-1", fmtMP3, 5, 160}};
  for (const auto &c : cases) {
    WriteFile(OptionsFile(), "[CommonOptions]\n" + c.Text + "\n");
    LoadSaveOptions(true);
    EXPECT_EQ(GlobalOptions.OutputFormat, c.Format) << c.Text;
    EXPECT_EQ(GlobalOptions.FLACCompression, c.Level) << c.Text;
    EXPECT_EQ(GlobalOptions.OpusBitRate, c.BitRate) << c.Text;
  }
}

// An MP3 bit rate lame does not take (it would round 6 to 8 kbit/s) loads as the default.
TEST_F(Settings, StoredMp3BitRatesOutsideMpegLayer3sLoadAsTheDefaults) {
  const struct {
    const char *Stored;
    int BitRate, MaxBitRate;
  } cases[] = {{"64", 64, 64},     {"6", 128, 320},   {"0", 128, 320},  {"-5", 128, 320},
               {"1000", 128, 320}, {"144", 128, 320}, {"320", 320, 320}};
  for (const auto &c : cases) {
    WriteFile(OptionsFile(),
              std::string("[Mp3Options]\nBitRate=") + c.Stored + "\nMaxBitRate=" + c.Stored + "\n");
    LoadSaveOptions(true);
    EXPECT_EQ(GlobalOptions.BitRate, c.BitRate) << c.Stored;
    EXPECT_EQ(GlobalOptions.MaxBitRate, c.MaxBitRate) << c.Stored;
  }
}

TEST_F(Settings, SaveWritesEveryFieldUnderItsKeyAndKeepsUnknownKeys) {
  WriteFile(OptionsFile(), "[CommonOptions]\nFutureKey=keep me\n[Elsewhere]\nA=1\n");
  LoadSaveOptions(true);
  TGlobalOptions &o = GlobalOptions;
  o.OutputFolder = "/music/out";
  o.OutputFormat = fmtOGG;
  o.MaxBitRate = 256;
  o.OggMaxBitRate = 5;
  o.OggNomalBitRate = 6;
  o.OggMinBitRate = 7;
  o.BitRate = 192;
  o.WMABitRate = 3;
  o.FLACCompression = 7;
  o.OpusBitRate = 64;
  o.StallTime = 30;
  o.CDIndex = 1;
  o.SecureRip = true;
  o.UseID3 = true;
  o.IsKeepWav = true;
  o.Server = "cddb.example.org";
  o.Port = "8080";
  o.AccurateRipUrl = "http://ar.example.org/db";
  o.Lan = "German";
  LoadSaveOptions(false);

  TIniFile ini(OptionsFile());
  EXPECT_EQ(ini.ReadString("CommonOptions", "FutureKey", ""), "keep me");
  EXPECT_EQ(ini.ReadString("Elsewhere", "A", ""), "1");
  EXPECT_EQ(ini.ReadString("CommonOptions", "OutputFolder", ""), "/music/out");
  EXPECT_EQ(ini.ReadString("CommonOptions", "IsKeepWav", ""), "1");
  EXPECT_EQ(ini.ReadString("CommonOptions", "IsNormalize", ""), "0");
  // Three different sections hold a "BitRate" or "MaxBitRate" of their own.
  EXPECT_EQ(ini.ReadInteger("Mp3Options", "BitRate", 0), 192);
  EXPECT_EQ(ini.ReadInteger("Mp3Options", "MaxBitRate", 0), 256);
  EXPECT_EQ(ini.ReadInteger("OggOptions", "MaxBitRate", 0), 5);
  EXPECT_EQ(ini.ReadInteger("OggOptions", "NomalBitRate", 0), 6);
  EXPECT_EQ(ini.ReadInteger("OggOptions", "MinBitRate", 0), 7);
  EXPECT_EQ(ini.ReadInteger("WMAOptions", "BitRate", 0), 3);
  EXPECT_EQ(ini.ReadInteger("FLACOptions", "Compression", 0), 7);
  EXPECT_EQ(ini.ReadInteger("OpusOptions", "BitRate", 0), 64);
  EXPECT_EQ(ini.ReadInteger("EncoderOptions", "StallTime", 0), 30);
  EXPECT_EQ(ini.ReadInteger("CDOptions", "Index", 0), 1);
  EXPECT_EQ(ini.ReadString("CDOptions", "SecureRip", ""), "1");
  EXPECT_EQ(ini.ReadString("ID3", "Use", ""), "1");
  EXPECT_EQ(ini.ReadString("QueryCDDB", "Server", ""), "cddb.example.org");
  EXPECT_EQ(ini.ReadString("QueryCDDB", "Port", ""), "8080");
  EXPECT_EQ(ini.ReadString("QueryCDDB", "AccurateRipUrl", ""), "http://ar.example.org/db");
  EXPECT_EQ(ini.ReadString("Options", "Lan", ""), "German");
  EXPECT_EQ(ini.ReadSection("QueryCDDB").size(), 6u);

  TGlobalOptions saved = o;
  GlobalOptions = TGlobalOptions();
  LoadSaveOptions(true);
  EXPECT_EQ(o.OutputFolder, saved.OutputFolder);
  EXPECT_EQ(o.OggMaxBitRate, 5);
  EXPECT_EQ(o.MaxBitRate, 256);
  EXPECT_EQ(o.WMABitRate, 3);
  EXPECT_EQ(o.FLACCompression, 7);
  EXPECT_EQ(o.OpusBitRate, 64);
  EXPECT_EQ(o.StallTime, 30);
  EXPECT_TRUE(o.SecureRip);
  EXPECT_EQ(o.AccurateRipUrl, "http://ar.example.org/db");
  EXPECT_EQ(o.Lan, "German");
}

TEST_F(Settings, DamagedOrUnreadableFileGivesDefaults) {
  std::string nul(1, '\0');
  WriteFile(OptionsFile(), "\xEF\xBB\xBF[CommonOptions\nOutputFormat=3\n= \n" + nul +
                               "\x01\xFF garbage\n[Mp3Options]\r\nBitRate\nVBRQuality=7\r\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.OutputFormat, fmtWMA) << "a header without ']' names its section";
  EXPECT_EQ(GlobalOptions.BitRate, 128);
  EXPECT_EQ(GlobalOptions.VBRQuality, 7);

  // A folder in place of the file can be neither read nor replaced.
  fs::remove(OptionsFile());
  fs::create_directory(OptionsFile());
  GlobalOptions = TGlobalOptions();
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.BitRate, 128);
  LoadSaveOptions(false);
  EXPECT_TRUE(fs::is_directory(OptionsFile()));
}

TEST_F(Settings, ReadOffsetsKeepAnyDriveKeyAndDropOffsetsOutOfRange) {
  // Keys no INI key could hold: an image path with '=', ';' and brackets.
  const std::string image = "/discs/a=b; [c].cue";
  GlobalOptions.ReadOffsets = {{"PLEXTOR DVDR   PX-716A", 30}, {image, -1164}};
  LoadSaveOptions(false);
  GlobalOptions = TGlobalOptions();
  LoadSaveOptions(true);
  EXPECT_EQ(StoredReadOffset("PLEXTOR DVDR   PX-716A"), 30);
  EXPECT_EQ(StoredReadOffset(image), -1164);
  EXPECT_EQ(StoredReadOffset("OTHER DRIVE"), 0);

  WriteFile(OptionsFile(), "[ReadOffsets]\nDrive1=A\nOffset1=2001\nDrive2=B\nOffset2=x\n"
                           "Drive3=C\nOffset3=-2000\n");
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.ReadOffsets, (std::map<std::string, int32_t>{{"C", -2000}}));
}

TEST_F(Settings, FileThatCannotBeReadIsNotReplaced) {
  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not bind the superuser";
  WriteFile(OptionsFile(), "[Mp3Options]\nBitRate=256\n");
  fs::permissions(OptionsFile(), fs::perms::none);
  LoadSaveOptions(true);
  EXPECT_EQ(GlobalOptions.BitRate, 128);
  LoadSaveOptions(false);
  fs::permissions(OptionsFile(), fs::perms::owner_all);
  EXPECT_EQ(ReadFile(OptionsFile()), "[Mp3Options]\nBitRate=256\n");
}

TEST_F(Settings, FormatNamesAndTwoDigitNumbers) {
  const struct {
    int Format;
    const char *Name;
  } formats[] = {{fmtMP3, "MP3"},
                 {fmtWAV, "WAV"},
                 {fmtOGG, "OGG"},
                 {fmtWMA, "WMA"},
                 {fmtFLAC, "FLAC"},
                 {fmtOpus, "OPUS"},
                 {int(OutputFormatCount), ""},
                 {-1, ""}};
  for (const auto &[format, name] : formats) {
    GlobalOptions.OutputFormat = format;
    EXPECT_EQ(GetFormatName(), name) << format;
  }
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(9), "09");
  EXPECT_EQ(TwoDigits(10), "10");
  EXPECT_EQ(TwoDigits(100), "100");
}

using MessageLookup = TempLanguage;

TEST_F(MessageLookup, KeysMissingEmptyQuotedAndBroken) {
  WriteLanguage("[ResourceString]\nRES_Select_Track=Bitte einen Titel wählen!\n"
                "this line is broken\nRES_Empty=\nRES_Play=\"Spiele \"\n"
                "RES_Clear_History=\" Einträge gelöscht!\"\nRES_Quote=\"\n"
                "RES_Inner=Er sagt \"hallo\"\n[broken section\nRES_Elsewhere=x\n");
  GlobalOptions.Lan = lan;
  EXPECT_EQ(GetLanString("RES_Select_Track", "Please select a track at least!"),
            "Bitte einen Titel wählen!");
  EXPECT_EQ(GetLanString("res_select_track", "x"), "Bitte einen Titel wählen!");
  EXPECT_EQ(GetLanString("RES_Missing", "The default."), "The default.");
  EXPECT_EQ(GetLanString("RES_Empty", "The default."), "") << "a key with no text gives no text";
  EXPECT_EQ(GetLanString("RES_Play", "Play "), "Spiele ");
  EXPECT_EQ(GetLanString("RES_Clear_History", ""), " Einträge gelöscht!");
  EXPECT_EQ(GetLanString("RES_Quote", ""), "\"") << "a lone quote is text";
  EXPECT_EQ(GetLanString("RES_Inner", ""), "Er sagt \"hallo\"");
  EXPECT_EQ(GetLanString("RES_Elsewhere", "def"), "def") << "a header without ']' starts a section";
}

TEST_F(MessageLookup, FileIsReadAnewOnEveryCall) {
  GlobalOptions.Lan = lan;
  EXPECT_EQ(GetLanString("RES_Play", "Play "), "Play ") << "no file yet: the default";
  WriteLanguage("[ResourceString]\nRES_Play=Spiele\n");
  EXPECT_EQ(GetLanString("RES_Play", "Play "), "Spiele");
  WriteLanguage("[ResourceString]\nRES_Play=Joue\n");
  EXPECT_EQ(GetLanString("RES_Play", "Play "), "Joue");
}

TEST_F(MessageLookup, EnglishInAnyCaseReadsNoFile) {
  // Files for each spelling hold RES_Play; English messages must still come from the caller.
  TIniFile english(LanguageFilePath("English"));
  ASSERT_TRUE(english.ValueExists("ResourceString", "RES_Play"));
  std::vector<std::string> written;
  for (const char *name : {"english", "ENGLISH", "eNGLISH"}) {
    written.push_back(plat::ProgramFolder() + "CLan_" + name + ".ini");
    WriteFile(written.back(), "[ResourceString]\nRES_Play=read from a file\n");
  }
  for (const char *name : {"English", "english", "ENGLISH", "eNGLISH"}) {
    GlobalOptions.Lan = name;
    EXPECT_EQ(GetLanString("RES_Play", "built in"), "built in") << name;
  }
  for (const std::string &path : written)
    fs::remove(path);
}

TEST_F(MessageLookup, ShippedGermanFileTranslatesEveryMessageAndWindowOfTheEnglishOne) {
  const char *keys[] = {"RES_File_Exist",
                        "RES_NoWmaEncoder",
                        "RES_CreateProcess_Error",
                        "RES_Initing",
                        "RES_WAV_TO_MP3",
                        "RES_WAV_RESAMPLE",
                        "RES_MP3_TO_WAV",
                        "RES_WAV_TO_OGG",
                        "RES_WAV_TO_WMA",
                        "RES_ReadCDAudioError",
                        "RES_CreateWavFileError",
                        "RES_WriteWavFileError",
                        "RES_Encoding",
                        "RES_Operate_Fail",
                        "RES_Check_Mp3Options",
                        "RES_Decoding",
                        "RES_Rip_Time_Error",
                        "RES_Directory_Not_Exist",
                        "RES_Encoder_Stalled",
                        "RES_Select_Directory",
                        "RES_RecordingStr",
                        "RES_Save_Error",
                        "RES_Get_CDHandle",
                        "RES_File_Cannot_Create",
                        "RES_MCI_Init_Fail",
                        "RES_TitleStr",
                        "RES_NoNameStr",
                        "RES_Check_FileName",
                        "RES_Wav_File",
                        "RES_Save_Fail",
                        "RES_Discard_Modify",
                        "RES_Have_Modify",
                        "RES_Delete_Fail",
                        "RES_ID3Edit_Caption",
                        "RES_SaveTag_Error",
                        "RES_Ask_RemoveTag",
                        "RES_Run_Again",
                        "RES_Check_CDRom",
                        "RES_Close_CD_Error",
                        "RES_NotFound_CDRom",
                        "RES_Config_Error",
                        "RES_NotRead_Cd",
                        "RES_Select_Track",
                        "RES_Create_Directory",
                        "RES_Select_0",
                        "RES_RealOne_Window_Exist",
                        "RES_Clear_History",
                        "RES_Play",
                        "RES_ReadTocError",
                        "RES_Check_Output"};
  TIniFile english(LanguageFilePath("English"));
  TIniFile german(LanguageFilePath("German"));
  for (const char *key : keys) {
    EXPECT_TRUE(english.ValueExists("ResourceString", key)) << key;
  }
  for (const std::string &key : english.ReadSection("ResourceString")) {
    std::string text = german.ReadString("ResourceString", key, "");
    EXPECT_FALSE(text.empty()) << key << " has no German text";
    EXPECT_NE(text, english.ReadString("ResourceString", key, "")) << key << " is untranslated";
  }
  // The English file is the translators' template: the German one has its sections and keys,
  // and no others.
  EXPECT_EQ(german.ReadSections(), english.ReadSections());
  for (const std::string &section : english.ReadSections())
    EXPECT_EQ(german.ReadSection(section), english.ReadSection(section)) << section;
  GlobalOptions.Lan = "German";
  EXPECT_EQ(GetLanString("RES_Play", "Play "), "Wiedergabe: ");
  EXPECT_EQ(GetLanString("RES_NotFound_CDRom", ""), "Keine CD-Laufwerke gefunden!");
}

} // namespace
