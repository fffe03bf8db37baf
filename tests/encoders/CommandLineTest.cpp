// Command lines of the encoder processes, the program search and lame's progress lines.
#include "EncoderTestSupport.h"
#include "Mp3EncodeThread.h"
#include "TempDir.h"
#include "WMAEncodeThread.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

class CommandLine : public ::testing::Test {
protected:
  void SetUp() override {
    mp3.InputFile = "/music/01 Time.wav";
    mp3.OutputFile = "/music/01 Time.mp3";
    wma.InputFile = "/music/01 Time.wav";
    wma.OutputFile = "/music/01 Time.wma";
    wma.EncoderPath = "/usr/lib/plindar/WM8EUTIL";
  }
  std::vector<std::string> Arguments(const TCommandLine &c) {
    std::vector<std::string> texts;
    for (auto &a : c.Arguments)
      texts.push_back(a.Text);
    return texts;
  }
  TMp3EncodeProcess mp3;
  TWMAEncodeProcess wma;
};

TEST_F(CommandLine, Mp3EncodingFollowsTheSettings) {
  TCommandLine c = mp3.BuildCommandLine();
  EXPECT_EQ(c.Text(), "lame -b 128 -m j \"/music/01 Time.wav\" \"/music/01 Time.mp3\"");
  // File names with blanks stay single arguments, without the display quotes.
  EXPECT_EQ(Arguments(c), (std::vector<std::string>{"-b", "128", "-m", "j", "/music/01 Time.wav",
                                                    "/music/01 Time.mp3"}));

  mp3.Settings.StereoMode = 4;
  mp3.Settings.MpegQuality = 0;
  mp3.Settings.IsSelectVBR = true;
  mp3.Settings.VBRQuality = 2;
  mp3.Settings.MaxBitRate = 256;
  mp3.Settings.IsVBRHead = true;
  EXPECT_EQ(mp3.BuildCommandLine().Text(),
            "lame -b 128 -m m -V 2 -B 256 -t \"/music/01 Time.wav\" \"/music/01 Time.mp3\"");

  mp3.Settings.IsVBRHead = false;
  mp3.Settings.MpegQuality = 2;
  mp3.Settings.StereoMode = 0;
  EXPECT_EQ(mp3.BuildCommandLine().Text(),
            "lame -b 128 -m s -h -V 2 -B 256 \"/music/01 Time.wav\" \"/music/01 Time.mp3\"");

  mp3.Settings.IsSelectVBR = false;
  mp3.Settings.MpegQuality = 1;
  mp3.Settings.StereoMode = 7; // not a mode: no -m at all
  mp3.Settings.BitRate = 320;
  EXPECT_EQ(mp3.BuildCommandLine().Text(),
            "lame -b 320 -f \"/music/01 Time.wav\" \"/music/01 Time.mp3\"");
}

TEST_F(CommandLine, Mp3DecodingIgnoresTheEncoderSettings) {
  mp3.Settings.IsSelectVBR = true;
  mp3.Settings.MpegQuality = 2;
  mp3.IsEncode = false;
  mp3.InputFile = "/music/a.mp3";
  mp3.OutputFile = "/out/a.wav";
  EXPECT_EQ(mp3.BuildCommandLine().Text(), "lame --decode \"/music/a.mp3\" \"/out/a.wav\"");
}

TEST_F(CommandLine, WmaProfileAndTags) {
  EXPECT_EQ(wma.BuildCommandLine().Text(),
            "/usr/lib/plindar/WM8EUTIL -input \"/music/01 Time.wav\" -output "
            "\"/music/01 Time.wma\" -a_setting 64_44_2");

  wma.Settings.WMABitRate = 40; // outside the table: 8
  EXPECT_EQ(Arguments(wma.BuildCommandLine())[5], "64_44_2");
  wma.Settings.WMABitRate = -1;
  EXPECT_EQ(Arguments(wma.BuildCommandLine())[5], "64_44_2");
  wma.Settings.WMABitRate = 32;
  EXPECT_EQ(Arguments(wma.BuildCommandLine())[5], "5_8_1");

  wma.Settings.Artist = "Pink Floyd";
  wma.Settings.Comment = "Live at Pompeii";
  wma.Settings.WMABitRate = 0;
  EXPECT_EQ(wma.BuildCommandLine().Text().find("-author"), std::string::npos)
      << "tags only with UseID3";

  wma.Settings.UseID3 = true;
  wma.Settings.Artist = "";
  TCommandLine c = wma.BuildCommandLine();
  EXPECT_EQ(c.Text(),
            "/usr/lib/plindar/WM8EUTIL -input \"/music/01 Time.wav\" -output "
            "\"/music/01 Time.wma\" -a_setting 192_48_2 -description \"Live at Pompeii\"");

  wma.Settings.Artist = "Pink Floyd";
  std::vector<std::string> args = Arguments(wma.BuildCommandLine());
  ASSERT_EQ(args.size(), 10u);
  // Each value is one argument, blanks and all.
  EXPECT_EQ(args[6], "-author");
  EXPECT_EQ(args[7], "Pink Floyd");
  EXPECT_EQ(args[8], "-description");
  EXPECT_EQ(args[9], "Live at Pompeii");

  wma.IsEncode = false;
  EXPECT_TRUE(wma.BuildCommandLine().Program.empty());
}

TEST_F(CommandLine, EveryWmaProfileSettingMatchesItsText) {
  // "44.100 kHz, 64 kbit/s, Stereo" must select "64_44_2".
  for (const TWmaProfile &p : WmaProfiles) {
    std::istringstream shown(p.ShownAs);
    double khz = 0;
    int kbits = 0;
    std::string unit, unit2, channels;
    shown >> khz >> unit >> kbits >> unit2 >> channels;
    std::string expected = std::to_string(kbits) + "_" + std::to_string(int(khz)) + "_" +
                           (channels == "Stereo" ? "2" : "1");
    EXPECT_EQ(p.Setting, expected) << p.ShownAs;
  }
}

TEST(FindProgram, ProgramFolderFirstThenPath) {
  TTempDir own, onPath, later;
  auto makeProgram = [](const std::string &path, bool executable) {
    std::ofstream(path) << "#!/bin/sh\n";
    std::filesystem::permissions(path, executable ? std::filesystem::perms::owner_all
                                                  : std::filesystem::perms::owner_read);
  };
  makeProgram(onPath.File("enc"), true);
  makeProgram(later.File("enc"), true);
  TScopedPath path(onPath.Path() + ":" + later.Path());
  EXPECT_EQ(FindProgram("enc", {own.Path()}), onPath.File("enc"));
  makeProgram(own.File("enc"), true);
  EXPECT_EQ(FindProgram("enc", {own.Path()}), own.File("enc"));
  // A file that cannot be run, or a folder of that name, is passed over.
  makeProgram(onPath.File("tool"), false);
  std::filesystem::create_directory(own.File("tool"));
  makeProgram(later.File("tool"), true);
  EXPECT_EQ(FindProgram("tool", {own.Path()}), later.File("tool"));
  EXPECT_EQ(FindProgram("missing", {own.Path()}), "");
}

// lame's progress lines.

TEST(LameEncodeProgress, ExampleLine) {
  int column = 0;
  auto p = ParseLameEncodeLine(
      "   180/9031   ( 2%)|    0:00/    0:05|    0:00/    0:05|   40.914x|    0:05 ", column);
  EXPECT_EQ(column, 15); // the "(" that opens the three-character percent field
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Percent, 2);
  EXPECT_EQ(p->Elapsed, "0:00");
  EXPECT_EQ(p->Estimated, "0:05");

  p = ParseLameEncodeLine("  9031/9031  (100%)|    0:04/    0:04|    0:05/    0:05|   41.123x|    "
                          "0:00 ",
                          column);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Percent, 100);
  EXPECT_EQ(p->Elapsed, "0:04");
}

TEST(LameEncodeProgress, OnlyProgressLinesCount) {
  int column = 0;
  // A file name holding "%" comes before the first progress line and must not set the column.
  EXPECT_FALSE(ParseLameEncodeLine("Encoding /m/100% Pure.wav to /m/100% Pure.mp3", column));
  EXPECT_EQ(column, 0);
  // The first progress line, at 0 %, sets the column and reports nothing.
  EXPECT_FALSE(
      ParseLameEncodeLine("     0/       ( 0%)|    0:00/     :  |    0:00/     :  |", column));
  EXPECT_EQ(column, 15);
  EXPECT_FALSE(ParseLameEncodeLine("   kbps        MS  %     long switch short %", column));
  auto p = ParseLameEncodeLine("  4500/9031   (49%)|    0:02/    0:05|    0:02/    0:05|", column);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Percent, 49);
}

TEST(LameEncodeProgress, RealLameOutput) {
  TTempDir dir;
  WriteWav(dir.File("in.wav"), MakeTestAudio(20));
  TRunResult run = RunProgram({"lame", "-b", "128", dir.File("in.wav"), dir.File("out.mp3")});
  ASSERT_EQ(run.ExitStatus, 0) << run.Output;
  int column = 0;
  std::vector<int> percents;
  std::string line;
  for (char ch : run.Output + "\n") {
    if (ch != '\r' && ch != '\n') {
      line += ch;
      continue;
    }
    if (auto p = ParseLameEncodeLine(line, column)) {
      percents.push_back(p->Percent);
      EXPECT_NE(p->Elapsed.find(':'), std::string::npos) << line;
      EXPECT_NE(p->Estimated.find(':'), std::string::npos) << line;
    }
    line.clear();
  }
  ASSERT_GE(percents.size(), 5u);
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_EQ(percents.back(), 100);
}

TEST(LameDecodeProgress, FramesGiveThePercentAndTimes) {
  int column = 0;
  EXPECT_FALSE(ParseLameDecodeLine("input:  /m/Track #1.mp3  (44.1 kHz, 2 channels)", column, 0));
  EXPECT_EQ(column, 0) << "a '#' in a file name must not set the column";
  EXPECT_FALSE(ParseLameDecodeLine("Frame#     0/1150   128 kbps  LMSR", column, 0));
  EXPECT_EQ(column, 7); // the first character of the frame number's field
  auto p = ParseLameDecodeLine("Frame#   575/1150   128 kbps   MS", column, 10);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Percent, 50);
  EXPECT_EQ(p->Elapsed, "00:10");
  EXPECT_EQ(p->Estimated, "00:20");
  p = ParseLameDecodeLine("Frame#  1150/1150   128 kbps   MS", column, 75);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Percent, 100);
  EXPECT_EQ(p->Elapsed, "01:15");
  EXPECT_FALSE(ParseLameDecodeLine("Frame#     3/0      128 kbps   MS", column, 1));
  EXPECT_FALSE(ParseLameDecodeLine("Frame#     x/1150   128 kbps   MS", column, 1));
}

} // namespace
