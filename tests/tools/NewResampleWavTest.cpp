// The wave file converter window offscreen, its dialogs answered by a script: files made by sox
// are converted through the real pipeline and read back with sox.
#include "NewResampleWav.h"
#include "AuTypes.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "MessagePump.h"
#include "RunProgram.h"
#include "SoxCheck.h"
#include "TempDir.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

class NewResampleWav : public ::testing::Test {
protected:
  // One second of a 1000 Hz tone, the same on both channels: 44100 Hz, 16-bit stereo.
  void SetUp() override {
    ASSERT_EQ(RunProgram({"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", In, "synth", "1",
                          "sine", "1000", "gain", "-3"})
                  .ExitStatus,
              0);
  }

  void ChooseInput(const std::string &file) {
    Script.AnswerFiles({file});
    Form.Button1Click();
  }
  void ChooseOutput(const std::string &file) {
    Script.AnswerFiles({file});
    Form.Button2Click();
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto &shown : Script.Shown)
      if (shown.Kind == "message")
        texts.push_back(shown.Text);
    return texts;
  }
  // The converted file, and nothing half-made, is all that is beside the input.
  std::vector<std::string> Listing() const { return FolderListing(Dir.Path()); }

  TTempDir Dir;
  const std::string In = Dir.File("in.wav");
  const std::string Out = Dir.File("out.wav");
  plat::TDialogScript Script;
  TfrmResample Form;
};

} // namespace

TEST_F(NewResampleWav, ConvertsToTheChosenFormatThatSoxReadsBack) {
  struct TCase {
    int Encoding; // ComboBox1
    int Bits;     // SpinEdit3
    const char *SoxEncoding;
    const char *SoxBits;
    long MaxExtraFrames; // an ADPCM file ends on a whole block
  } cases[] = {{0, 8, "Unsigned Integer PCM", "8", 0}, {1, 16, "IMA ADPCM", "4", 1017}};
  ChooseInput(In);
  EXPECT_EQ(Form.Label5->text(), "in.wav");
  EXPECT_EQ(Form.Label6->text(), "2");
  EXPECT_EQ(Form.Label7->text(), "44100");
  EXPECT_EQ(Form.Label8->text(), "16");
  EXPECT_EQ(Form.Label15->text(), "Raw PCM");
  ChooseOutput(Out);
  EXPECT_EQ(Form.Label10->text(), "out.wav");
  const auto source = FirstChannel(In, Dir.File("decoded.raw"));
  const TTone input = Measure(source, 4410, 39690, 44100);
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.SoxEncoding);
    Form.ComboBox1->setCurrentIndex(c.Encoding);
    Form.SpinEdit3->setValue(c.Bits); // channels and rate keep their defaults: 1 and 22050
    Form.Button3->click();
    EXPECT_FALSE(Form.Button3->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !Form.Converting(); }));
    EXPECT_EQ(Form.StatusText(), "Success!");
    EXPECT_TRUE(Form.Button3->isEnabled());
    EXPECT_EQ(Listing(), (std::vector<std::string>{"in.wav", "out.wav"}));
    EXPECT_EQ(Soxi("-r", Out), "22050");
    EXPECT_EQ(Soxi("-c", Out), "1");
    EXPECT_EQ(Soxi("-b", Out), c.SoxBits);
    EXPECT_EQ(Soxi("-e", Out), c.SoxEncoding);
    const auto samples = FirstChannel(Out, Dir.File("decoded.raw"));
    EXPECT_GE(long(samples.size()), 22050);
    EXPECT_LE(long(samples.size()), 22050 + c.MaxExtraFrames);
    // The same tone at the same level: the rate, the mix to mono and the width are right.
    const TTone output = Measure(samples, 2205, 19845, 22050);
    EXPECT_NEAR(output.Crossings, input.Crossings, 10);
    EXPECT_NEAR(output.Rms / input.Rms, 1.0, 0.05);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(NewResampleWav, ConvertRefusesWhatItCannotRunInAnErrorBox) {
  struct TCase {
    const char *Output; // none chosen when empty
    const char *Rate;
    const char *Box;
  } cases[] = {{"", "22050", "The output file name is not set!"},
               {"out.wma", "22050", "The output file name is not set!"},
               {"OUT.WAV", "22k", "'22k' is not a valid integer value"}};
  ChooseInput(In);
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Box);
    Script.Shown.clear();
    if (*c.Output)
      ChooseOutput(Dir.File(c.Output));
    Form.Edit1->setText(c.Rate);
    Form.Button3->click();
    EXPECT_EQ(Boxes(), std::vector<std::string>{c.Box});
    EXPECT_FALSE(Form.Converting());
    EXPECT_TRUE(Form.Button3->isEnabled());
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.wav"});
  }
  // A name in capitals is a WAV name too.
  EXPECT_EQ(Form.Label10->text(), "OUT.WAV");

  // The converter mixes mono and stereo only: three channels would be written whatever was
  // chosen.
  ASSERT_TRUE(RunQuietly({"sox", "-n", "-r", "44100", "-c", "3", "-b", "16", Dir.File("three.wav"),
                          "synth", "0.1", "sine", "1000"}));
  ChooseInput(Dir.File("three.wav"));
  Form.Edit1->setText("22050");
  Script.Shown.clear();
  Form.Button3->click();
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "three.wav: the channel count of a file of 3 channels cannot be changed"});
  EXPECT_EQ(Listing(), (std::vector<std::string>{"in.wav", "three.wav"}));
}

// The output thread's failure stays in the status panel, and what the run wrote is removed.
TEST_F(NewResampleWav, AFailedRunShowsItsTextAndLeavesNoFile) {
  struct TCase {
    const char *Rate;
    int Encoding;
    const char *Status;
  } cases[] = {{"3", 0, "Unsupported sample rate"},
               {"22050", 1, "Cannot encode 8 bit sound into ADPCM."}};
  ChooseInput(In);
  ChooseOutput(Out);
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.Status);
    Form.Edit1->setText(c.Rate);
    Form.ComboBox1->setCurrentIndex(c.Encoding);
    Form.Button3->click();
    ASSERT_TRUE(PumpUntil([&] { return !Form.Converting(); }));
    EXPECT_EQ(Form.StatusText(), c.Status);
    EXPECT_TRUE(Form.Button3->isEnabled());
    EXPECT_EQ(Listing(), std::vector<std::string>{"in.wav"});
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(NewResampleWav, AnInputItCannotReadClearsTheLabelsAndIsNamed) {
  ChooseInput(In);
  const std::string text = Dir.File("notes.wav");
  std::ofstream(text) << "not a wave file";
  ChooseInput(text);
  for (QLabel *label : {Form.Label5, Form.Label6, Form.Label7, Form.Label8, Form.Label15})
    EXPECT_EQ(label->text(), "") << label->objectName().toStdString();
  EXPECT_EQ(Form.StatusText(), "notes.wav is not a WAV file that can be read.");
  ChooseOutput(Out);
  Form.Button3->click();
  EXPECT_FALSE(Form.Converting());
  EXPECT_EQ(Form.StatusText(), "Choose a WAV file that can be read as the input first.");
  EXPECT_EQ(Listing(), (std::vector<std::string>{"in.wav", "notes.wav"}));
}

// A stopped run leaves no file under the chosen name, nor its part file: a short file there
// would pass for the whole conversion.
TEST_F(NewResampleWav, AbortAndClosingLeaveNoFile) {
  ChooseInput(In);
  ChooseOutput(Out);
  Form.Button3Click();
  Form.Button4->click();
  ASSERT_TRUE(PumpUntil([&] { return !Form.Converting(); }));
  EXPECT_EQ(Form.StatusText(), "Aborted: no file was written.");
  EXPECT_EQ(Form.ProgressBar1->value(), 100);
  EXPECT_TRUE(Form.Button3->isEnabled());
  EXPECT_EQ(Listing(), std::vector<std::string>{"in.wav"});

  Form.show();
  Form.Button3Click();
  Form.Button5->click(); // Close: the run is stopped and waited for
  EXPECT_FALSE(Form.isVisible());
  EXPECT_FALSE(Form.Converting());
  EXPECT_EQ(Listing(), std::vector<std::string>{"in.wav"});
  PumpFor(100); // the end of the stopped run is not reported
  EXPECT_EQ(Form.StatusText(), "Converting...");
}
