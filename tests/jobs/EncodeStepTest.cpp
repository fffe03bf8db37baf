// The encode step both rip windows share: what it asks before an encoder replaces a file, what
// it says when the encoder is missing, and a pipeline encoding refused while another job makes
// its file.
#include "EncodeStep.h"
#include "AuWaveIn.h"
#include "Dialogs.h"
#include "EncoderTestSupport.h"
#include "FileContents.h"
#include "Mp3EncodeThread.h"
#include "PartFile.h"
#include "TempDir.h"
#include "WMAEncodeThread.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class EncodeStep : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions{};
    WriteWav(Dir.File("in.wav"), MakeTestAudio(1));
  }
  void TearDown() override { GlobalOptions = TGlobalOptions{}; }

  TTempDir Dir;
  plat::TDialogScript Script;
  TReportWindow Window;
  TMp3EncodeProcess Mp3;
  TWMAEncodeProcess Wma;
  TWaveIn Input;
  TEncodeStep Step{Window.Handle(), Input, Mp3, Wma, [] {}, [] {}};
};

TEST_F(EncodeStep, AsksBeforeAnEncoderReplacesAFile) {
  struct TCase {
    const char *Name;
    bool Wma;
    int Mode;
    int Answer; // to the question, when it comes
    bool Held;  // another program has the old file open
    bool Asked;
    TEncodeEnd End;
  };
  const TCase cases[] = {
      {"mp3 kept", false, 2, plat::idNo, false, true, encodeDeclined},
      {"mp3 in use", false, 2, plat::idYes, true, true, encodeInUse},
      {"mp3 replaced", false, 2, plat::idYes, false, true, encodeMade},
      {"mp3 of a rip", false, 1, plat::idNo, false, false, encodeMade},
      {"mp3 of a recording", false, 4, plat::idNo, false, false, encodeMade},
      {"wma kept", true, 6, plat::idNo, false, true, encodeDeclined},
      {"wma of the recorder's mode", true, 4, plat::idNo, false, true, encodeDeclined},
      {"wma of a rip", true, 1, plat::idNo, false, false, encodeMade},
  };
  for (const TCase &c : cases) {
    TEncodeProcess &encoder = c.Wma ? static_cast<TEncodeProcess &>(Wma) : Mp3;
    const std::string out = Dir.File(c.Wma ? "out.wma" : "out.mp3");
    std::ofstream(out) << "old";
    const int holder = c.Held ? open(out.c_str(), O_RDONLY) : -1;
    if (c.Held) {
      ASSERT_EQ(flock(holder, LOCK_SH), 0);
    }
    Script.Shown.clear();
    Script.Answers.clear();
    Script.Answer(c.Answer);
    Window.Reports.clear();
    Window.OnEnd = [&](const TProcessInfo &end) {
      if (end.SubCode == encodeMade)
        encoder.Complete();
    };
    Step.StartProcess(encoder, Dir.File("in.wav"), out, true, c.Mode);
    ASSERT_TRUE(Window.WaitForEnds()) << c.Name;
    if (holder >= 0)
      close(holder);
    ASSERT_EQ(Script.Shown.size(), c.Asked ? 1u : 0u) << c.Name;
    if (c.Asked) {
      EXPECT_EQ(Script.Shown[0].Text, out + " has existed,overite it?");
      EXPECT_EQ(Script.Shown[0].Caption, "Plindar");
      EXPECT_EQ(Script.Shown[0].Buttons, plat::TMsgButtons::YesNo);
      EXPECT_EQ(Script.Shown[0].Icon, plat::TMsgIcon::Information);
    }
    EXPECT_EQ(Window.Ends()[0].Code, c.Wma ? JobWmaEnded : JobMp3Ended) << c.Name;
    EXPECT_EQ(Window.Ends()[0].SubCode, c.End) << c.Name;
    EXPECT_EQ(FileText(out) == "old", c.End != encodeMade) << c.Name;
    EXPECT_EQ(FolderListing(Dir.Path()).size(), 2u) << c.Name << ": no part file is left";
    std::filesystem::remove(out);
  }
}

TEST_F(EncodeStep, AMissingWmaEncoderIsNamed) {
  TTempDir empty;
  Wma.ProgramFolders = {empty.Path()};
  TScopedPath path(empty.Path());
  Step.StartProcess(Wma, Dir.File("in.wav"), Dir.File("out.wma"), true, 6);
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text, "Can not find WMA encoder,please contact with "
                                  "support@plindar.org!");
  EXPECT_EQ(Script.Shown[0].Icon, plat::TMsgIcon::Information);
  ASSERT_EQ(Window.Ends().size(), 1u) << "sent before the start returns";
  EXPECT_EQ(Window.Ends()[0].SubCode, encodeDeclined);
  EXPECT_FALSE(Wma.Running());

  // A profile outside the list is the default one, and the setting keeps it.
  GlobalOptions.WMABitRate = 40;
  EXPECT_EQ(EncoderRunSettings().WMABitRate, 8);
  EXPECT_EQ(GlobalOptions.WMABitRate, 8);
}

TEST_F(EncodeStep, APipelineEncodingOfAFileAnotherJobMakesIsRefused) {
  const std::string out = Dir.File("out.flac");
  plat::TPartFile other(out);
  ASSERT_TRUE(other.Claimed());
  std::ofstream(other.PartName()) << "theirs";
  EXPECT_EQ(Step.StartPipeline(fmtFLAC, {}, out, JobPipelineEnded), nullptr);
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text, out + "maybe be used,operate fail!");
  ASSERT_TRUE(Window.WaitForEnds());
  EXPECT_EQ(Window.Ends()[0].Code, JobPipelineEnded);
  EXPECT_EQ(Window.Ends()[0].SubCode, encodeSkipped);
  EXPECT_EQ(FileText(other.PartName()), "theirs");
}

} // namespace
