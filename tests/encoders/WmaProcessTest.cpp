// The WMA encoder process with the project's WM8EUTIL.
#include "Dialogs.h"
#include "EncoderTestSupport.h"
#include "TempDir.h"
#include "WMAEncodeThread.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class WmaProcess : public ::testing::Test {
protected:
  void SetUp() override { WriteWav(dir.File("in.wav"), MakeTestAudio(3)); }
  void Start(const std::string &input, const std::string &output, int overwriteMode = 6) {
    window.Start(wma, input, output, true, overwriteMode);
  }
  // Writes an executable stand-in for the encoder into a folder searched first.
  void UseScriptEncoder(const std::string &script) {
    std::ofstream(scripts.File("WM8EUTIL")) << "#!/bin/sh\n" << script;
    std::filesystem::permissions(scripts.File("WM8EUTIL"), std::filesystem::perms::owner_all);
    wma.ProgramFolders = {scripts.Path()};
  }

  TTempDir dir, scripts;
  plat::TDialogScript dialogs;
  TReportWindow window;
  TWMAEncodeProcess wma;
};

TEST_F(WmaProcess, WritesAWmaFileWithTheProfileAndTags) {
  wma.Settings.UseID3 = true;
  wma.Settings.Artist = "Pink Floyd";
  wma.Settings.Comment = "Live at Pompeii";
  Start(dir.File("in.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds());
  ASSERT_EQ(window.Ends().size(), 1u);
  EXPECT_EQ(window.Ends()[0].Code, 5000);
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  // The encoder's own percents are not read: one report at 100 %, with the time used.
  ASSERT_EQ(window.Progress().size(), 1u);
  EXPECT_EQ(window.Progress()[0].Code, 100);
  EXPECT_GE(window.Progress()[0].Elapsed, "00:01");
  EXPECT_EQ(window.Progress()[0].Elapsed, window.Progress()[0].Estimated);
  EXPECT_EQ(wma.EncoderPath, wma.ProgramFolders[0] + "WM8EUTIL") << "found beside the program";

  auto probe = Probe(dir.File("out.wma"));
  EXPECT_EQ(probe["codec_name"], "wmav2");
  EXPECT_EQ(probe["sample_rate"], "44100");
  EXPECT_EQ(probe["channels"], "2");
  EXPECT_EQ(probe["bit_rate"], "64000");
  EXPECT_EQ(probe["TAG:artist"], "Pink Floyd"); // ffprobe's name for the ASF author
  EXPECT_EQ(probe["TAG:comment"], "Live at Pompeii");
}

TEST_F(WmaProcess, AnEncoderErrorEndsTheItemOnce) {
  wma.Settings.WMABitRate = 16; // 20 kbit/s: below what wmav2 can make
  Start(dir.File("in.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds());
  ASSERT_TRUE(PumpUntil([&] { return !wma.Running(); }));
  plat::ProcessMessages();
  ASSERT_EQ(window.Ends().size(), 1u) << "the child's end after its error line sends nothing";
  EXPECT_EQ(window.Ends()[0].SubCode, 8);
  const std::string line = window.Ends()[0].Elapsed;
  EXPECT_EQ(line.rfind("ERROR", 0), 0u) << line;
  EXPECT_NE(line.find("24 kbit/s"), std::string::npos) << line;
  EXPECT_TRUE(window.Progress().empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.wma")));

  window.Reports.clear();
  wma.Settings.WMABitRate = 8;
  Start(dir.File("missing.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_EQ(window.Ends()[0].SubCode, 8);
  EXPECT_NE(window.Ends()[0].Elapsed.find("missing.wav"), std::string::npos);
}

TEST_F(WmaProcess, AnErrorLineCutBetweenTwoReadsIsStillSeen) {
  UseScriptEncoder("printf 'ERR'; sleep 0.3; printf 'OR: disk full\\n'; exit 1\n");
  Start(dir.File("in.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds());
  ASSERT_TRUE(PumpUntil([&] { return !wma.Running(); }));
  ASSERT_EQ(window.Ends().size(), 1u);
  EXPECT_EQ(window.Ends()[0].SubCode, 8);
  EXPECT_EQ(window.Ends()[0].Elapsed, "ERROR: disk full");
}

TEST_F(WmaProcess, AnEncoderThatFailsSilentlyIsAnErrorAndLeavesNoFile) {
  // Arguments: -input IN -output OUT ...
  UseScriptEncoder("printf 'half a file' > \"$4\"; printf 'Encoding: 50%%\\n'; exit 3\n");
  Start(dir.File("in.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_EQ(window.Ends()[0].SubCode, 8);
  EXPECT_EQ(window.Ends()[0].Elapsed, "ERROR: WM8EUTIL ended with exit status 3");
  EXPECT_EQ(FolderListing(dir.Path()), std::vector<std::string>{"in.wav"});
}

TEST_F(WmaProcess, MissingEncoder) {
  TTempDir empty;
  wma.ProgramFolders = {empty.Path()};
  TScopedPath path(empty.Path());
  EXPECT_EQ(wma.MissingEncoderText(), "Can not find WMA encoder,please contact with "
                                      "support@plindar.org!");
  Start(dir.File("in.wav"), dir.File("out.wma"));
  // Sent, not posted: the window has it before Start returns.
  ASSERT_EQ(window.Ends().size(), 1u);
  EXPECT_EQ(window.Ends()[0].Code, 5000);
  EXPECT_EQ(window.Ends()[0].SubCode, 0);
  EXPECT_TRUE(dialogs.Shown.empty()) << "the job tells the user";
  EXPECT_FALSE(wma.Running());
}

TEST_F(WmaProcess, ReplacesAnExistingFileWithoutAsking) {
  // Whether the file may be replaced is asked by the job before the start.
  std::ofstream(dir.File("out.wma")) << "old";
  EXPECT_EQ(wma.MissingEncoderText(), "");
  Start(dir.File("in.wav"), dir.File("out.wma"), 6);
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_TRUE(dialogs.Shown.empty());
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  EXPECT_EQ(Probe(dir.File("out.wma"))["codec_name"], "wmav2");
}

TEST_F(WmaProcess, StartingWithoutEncodingFails) {
  wma.Busy = true;
  wma.InputFile = dir.File("in.wav");
  wma.OutputFile = dir.File("out.wma");
  wma.IsEncode = false;
  EXPECT_THROW(wma.Start(), std::runtime_error);
  EXPECT_FALSE(wma.Running());
}

TEST_F(WmaProcess, TheReceiverMayStartTheNextFileFromTheEndNotice) {
  // The job window starts the next item while it handles the sent notice, inside the run's
  // own end handling.
  WriteWav(dir.File("in2.wav"), MakeTestAudio(2));
  window.OnEnd = [&](const TProcessInfo &) {
    if (window.Ends().size() == 1)
      Start(dir.File("in2.wav"), dir.File("out2.wma"));
  };
  Start(dir.File("in.wav"), dir.File("out.wma"));
  ASSERT_TRUE(window.WaitForEnds(2));
  ASSERT_TRUE(PumpUntil([&] { return !wma.Running(); }));
  plat::ProcessMessages();
  ASSERT_EQ(window.Ends().size(), 2u);
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  EXPECT_EQ(window.Ends()[1].SubCode, 2);
  EXPECT_EQ(Probe(dir.File("out.wma"))["codec_name"], "wmav2");
  EXPECT_EQ(Probe(dir.File("out2.wma"))["codec_name"], "wmav2");
}

} // namespace
