// The MP3 encoder process with the real lame: encoding, decoding, replacing a file, failures
// and stopping.
#include "Dialogs.h"
#include "EncoderTestSupport.h"
#include "Mp3EncodeThread.h"
#include "TempDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

class Mp3Process : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions();
    source = MakeTestAudio(6);
    WriteWav(dir.File("in.wav"), source);
  }
  // Starts a run the way the job window does.
  void Start(const std::string &input, const std::string &output, bool encode = true,
             int overwriteMode = 1) {
    window.Start(mp3, input, output, encode, overwriteMode);
  }

  TTempDir dir;
  TTestAudio source;
  plat::TDialogScript dialogs;
  TReportWindow window;
  TMp3EncodeProcess mp3;
};

TEST_F(Mp3Process, EncodesAndDecodesBackToTheSameAudio) {
  Start(dir.File("in.wav"), dir.File("out.mp3"));
  ASSERT_TRUE(window.WaitForEnds());
  std::vector<TProcessInfo> progress = window.Progress();
  ASSERT_FALSE(progress.empty());
  for (size_t i = 0; i < progress.size(); ++i) {
    EXPECT_GE(progress[i].Code, 1);
    EXPECT_LE(progress[i].Code, 100);
    if (i > 0) {
      EXPECT_GE(progress[i].Code, progress[i - 1].Code);
    }
  }
  EXPECT_EQ(progress.back().Code, 100);
  EXPECT_EQ(window.Reports.back().Code, 2000) << "the end comes after every progress report";
  EXPECT_EQ(window.Reports.back().SubCode, 2);
  ASSERT_EQ(window.Ends().size(), 1u);
  EXPECT_TRUE(mp3.Busy) << "Busy stays set until Stop";
  EXPECT_FALSE(mp3.Running());

  window.Reports.clear();
  Start(dir.File("out.mp3"), dir.File("back.wav"), false, 3);
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  EXPECT_FALSE(window.Progress().empty());
  EXPECT_EQ(window.Progress().back().Code, 100);
  EXPECT_EQ(window.Progress().back().Elapsed.size(), 5u) << "MM:SS";

  TTestAudio decoded = ReadWav(dir.File("back.wav"));
  EXPECT_EQ(decoded.Rate, 44100);
  EXPECT_EQ(decoded.Channels, 2);
  // lame removes its own delay when decoding, so the samples line up with the source.
  size_t n = std::min(source.Samples.size(), decoded.Samples.size());
  EXPECT_GT(n, source.Samples.size() * 99 / 100);
  EXPECT_GT(Correlation(source.Samples, decoded.Samples, n), 0.99);
  EXPECT_EQ(FolderListing(dir.Path()), (std::vector<std::string>{"back.wav", "in.wav", "out.mp3"}));
}

TEST_F(Mp3Process, AnMp3ThatCannotTakeItsNameIsRemoved) {
  std::filesystem::create_directories(dir.File("out.mp3/in the way"));
  Start(dir.File("in.wav"), dir.File("out.mp3"));
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  EXPECT_FALSE(mp3.Complete()) << "a second call finds nothing to complete";
  EXPECT_EQ(FolderListing(dir.Path()), (std::vector<std::string>{"in.wav", "out.mp3"}));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("out.mp3/in the way")));
}

TEST_F(Mp3Process, ReplacesAnExistingFileWithoutAsking) {
  // Whether the file may be replaced is asked by the job before the start.
  std::ofstream(dir.File("out.mp3")) << "old";
  Start(dir.File("in.wav"), dir.File("out.mp3"), true, 2);
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_TRUE(dialogs.Shown.empty());
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
  EXPECT_NE(FileText(dir.File("out.mp3")), "old");
}

TEST_F(Mp3Process, MissingLameIsAnErrorOfStart) {
  TTempDir empty;
  mp3.ProgramFolders = {empty.Path()};
  {
    TScopedPath path(empty.Path());
    try {
      Start(dir.File("in.wav"), dir.File("out.mp3"));
      FAIL() << "Start must fail without lame";
    } catch (const std::runtime_error &e) {
      EXPECT_EQ(std::string(e.what()), "Error while creating mp3 encoding process!2");
    }
    EXPECT_FALSE(mp3.Running());
  }
  plat::ProcessMessages();
  EXPECT_TRUE(window.Reports.empty());
  // The object stays usable.
  Start(dir.File("in.wav"), dir.File("out.mp3"));
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_EQ(window.Ends()[0].SubCode, 2);
}

TEST_F(Mp3Process, AFailedEncodingIsNotReportedAsDone) {
  // lame reads any file as raw audio; one that is missing makes it fail.
  Start(dir.File("missing.wav"), dir.File("bad.mp3"));
  ASSERT_TRUE(window.WaitForEnds());
  EXPECT_TRUE(window.Progress().empty());
  EXPECT_EQ(window.Ends()[0].SubCode, 3);
}

TEST_F(Mp3Process, StopEndsTheRunWithoutANotice) {
  mp3.Stop(0); // not Busy: nothing happens
  EXPECT_FALSE(mp3.Busy);
  plat::ProcessMessages();
  EXPECT_TRUE(window.Reports.empty());

  WriteWav(dir.File("long.wav"), MakeTestAudio(120));
  Start(dir.File("long.wav"), dir.File("long.mp3"));
  ASSERT_TRUE(PumpUntil([&] { return !window.Progress().empty(); }));
  mp3.Stop(0);
  EXPECT_FALSE(mp3.Busy);
  EXPECT_FALSE(mp3.Running());
  // Nothing is left of the half-made MP3, under any name.
  EXPECT_EQ(FolderListing(dir.Path()), (std::vector<std::string>{"in.wav", "long.wav"}));
  plat::WaitMessages(300);
  plat::ProcessMessages();
  EXPECT_TRUE(window.Ends().empty());
}

TEST_F(Mp3Process, DestroyingARunningProcessEndsIt) {
  WriteWav(dir.File("long.wav"), MakeTestAudio(120));
  {
    TMp3EncodeProcess other;
    other.Busy = true;
    other.InputFile = dir.File("long.wav");
    other.OutputFile = dir.File("long.mp3");
    other.NotifyWindow = window.Handle();
    other.Start();
    ASSERT_TRUE(PumpUntil([&] { return !window.Progress().empty(); }));
  }
  EXPECT_EQ(FolderListing(dir.Path()), (std::vector<std::string>{"in.wav", "long.wav"}));
  plat::WaitMessages(300);
  plat::ProcessMessages();
  EXPECT_TRUE(window.Ends().empty());
}

} // namespace
