// The recorder window offscreen on SDL's disk driver, which captures from a raw file: a new
// recording reaches the saved WAV file sample by sample in the chosen format, a recording over
// from the slider's middle replaces from there, Undo brings the saved sound back, and saving
// with "MP3 format" ticked hands the saved file to the MP3 job.
#include "RecordForm.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "Global.h"
#include "Mci.h"
#include "MessagePump.h"
#include "NewRecordFileForm.h"
#include "TempDir.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

using Bytes = std::vector<uint8_t>;

// Sound with no byte of silence in it, different for each seed.
Bytes Pattern(std::size_t size, int seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<uint8_t>((i * 37 + seed) % 251 + 1);
  return bytes;
}

Bytes Audio(const std::string &wav) {
  const Bytes bytes = ReadFileBytes(wav);
  return Bytes(bytes.begin() + 44, bytes.end());
}

Bytes Head(const Bytes &bytes, std::size_t size) {
  return Bytes(bytes.begin(), bytes.begin() + std::min(size, bytes.size()));
}

TEST(RecordTimes, StopWaitsForTheWholeSecondAndLengthsReadAsSeconds) {
  const struct { int lastMs, wait; } waits[] = {{370, 630}, {50, 0}, {100, 0}, {101, 899}};
  for (const auto &w : waits)
    EXPECT_EQ(RecordEndWait(w.lastMs), w.wait) << w.lastMs;
  const struct {
    std::int64_t ms;
    const char *text;
  } lengths[] = {{2500, "2.5 Sec"},
                 {59999, "60 Sec"},
                 {65000, "1 Min5 Sec"},
                 {3723000, "1Hour2 Min3 Sec"},
                 {3600000, "1Hour"}};
  for (const auto &l : lengths)
    EXPECT_EQ(FormatMs(l.ms), l.text) << l.ms;
}

class RecordForm : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Dir.File("played.raw").c_str(), 1);
    setenv("SDL_DISKAUDIOFILEIN", Dir.File("captured.raw").c_str(), 1);
    Form =
        std::make_unique<TfrmRecord>([this](const std::string &wav) { Converted.push_back(wav); });
  }
  void TearDown() override {
    Script.Answers.clear();
    Script.Answer(plat::idNo); // nothing more to save
    Form.reset();
  }

  // Records from a capture file of that sound until at least ms are recorded, then stops.
  void Record(const Bytes &captured, std::int64_t ms) {
    std::ofstream(Dir.File("captured.raw"), std::ios::binary)
        .write(reinterpret_cast<const char *>(captured.data()), std::streamsize(captured.size()));
    Form->RecordClick();
    EXPECT_EQ(Form->lbState->text(), "Recording...");
    ASSERT_TRUE(PumpUntil([&] {
      std::string length;
      plat::mciSendString("status recorder length", &length);
      return std::stoll(length) >= ms;
    }));
    Form->StopClick();
    EXPECT_EQ(Form->lbState->text(), "Record over!");
  }

  TTempDir Dir;
  plat::TDialogScript Script;
  std::vector<std::string> Converted;
  std::unique_ptr<TfrmRecord> Form;
};

TEST_F(RecordForm, RecordsSavesRecordsOverAndUndoes) {
  Script.ModalHandler = [](QDialog &dialog) {
    auto &format = dynamic_cast<TfrmNewRecordFile &>(dialog);
    format.cbBitSamples->setCurrentIndex(0);
    EXPECT_EQ(format.cbBitSamples->currentText(), "  8000");
    format.rb8Bit->setChecked(true);
    format.rbMono->setChecked(true);
    return int(QDialog::Accepted);
  };
  Form->miNewClick();
  EXPECT_EQ(Form->CurrentFile, GetSettingsFolder() + "MyNoName.wav");
  ASSERT_TRUE(Form->btRecord->isEnabled());
  const Bytes first = Pattern(8000 * 5, 1);
  Record(first, 3000);

  const std::string saved = Dir.File("take.wav");
  Script.AnswerFiles({saved});
  ASSERT_TRUE(Form->SaveFile(false));
  const Bytes header = Head(ReadFileBytes(saved), 36);
  const Bytes fmt = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0};
  EXPECT_EQ(Bytes(header.begin() + 20, header.end()), fmt); // PCM mono 8000 Hz, 8-bit
  const Bytes taken = Audio(saved);
  ASSERT_GE(taken.size(), 24000u);
  EXPECT_EQ(taken, Head(first, taken.size()));
  EXPECT_FALSE(std::filesystem::exists(GetSettingsFolder() + "MyNoName.wav"));
  EXPECT_EQ(Form->CurrentFile, saved);
  EXPECT_TRUE(Converted.empty()); // "MP3 format" is not ticked

  // Over again from the middle of the slider: the first half stays, the new sound follows.
  Form->TrackBar1->setValue(200);
  const std::size_t half = taken.size() / 2;
  const Bytes second = Pattern(8000 * 5, 7);
  Record(second, static_cast<std::int64_t>(half / 8) + 1000);
  const Bytes over = Audio(Form->WorkFile);
  ASSERT_GT(over.size(), half);
  EXPECT_EQ(Head(over, half), Head(taken, half));
  EXPECT_EQ(Bytes(over.begin() + half, over.end()), Head(second, over.size() - half));
  Form->UpdateMenu();
  EXPECT_TRUE(Form->actUndo->isEnabled());

  Script.Answer(plat::idYes);
  Form->actUndoExecute();
  EXPECT_EQ(Audio(Form->WorkFile), taken);

  // Saved with "MP3 format" ticked, the file goes to the MP3 job, with no CD drive anywhere.
  Form->miMp3Format->setChecked(true);
  Form->TrackBar1->setValue(400);
  Record(second, static_cast<std::int64_t>(taken.size() / 8) + 500);
  ASSERT_TRUE(Form->SaveFile(false));
  EXPECT_EQ(Converted, std::vector<std::string>{saved});
  EXPECT_EQ(Head(Audio(saved), taken.size()), taken);
}

TEST_F(RecordForm, UndoWaitsForTheRecordingToEndInEveryLanguage) {
  Script.ModalHandler = [](QDialog &) { return int(QDialog::Accepted); };
  Form->miNewClick();
  Record(Pattern(44100 * 4 * 5, 5), 500);
  Script.AnswerFiles({Dir.File("take.wav")});
  ASSERT_TRUE(Form->SaveFile(false));
  const struct {
    const char *Lan, *Over, *Playing;
  } languages[] = {{"English", "Record over!", "Playing..."},
                   {"German", "Aufnahme beendet!", "Wiedergabe..."}};
  for (const auto &l : languages) {
    GlobalOptions.Lan = l.Lan; // the state line reads "Recording..." in the chosen language
    Form->RecordClick();
    Form->UpdateMenu();
    EXPECT_FALSE(Form->actUndo->isEnabled()) << l.Lan;
    Form->StopClick();
    EXPECT_EQ(Form->lbState->text(), l.Over);
    Form->UpdateMenu();
    EXPECT_TRUE(Form->actUndo->isEnabled()) << l.Lan;
    Form->PlayClick();
    EXPECT_EQ(Form->lbState->text(), l.Playing);
    Form->StopClick();
  }
  GlobalOptions.Lan = "English";
}

TEST_F(RecordForm, NoInputToRecordFromIsReportedAndNothingChanges) {
  Script.ModalHandler = [](QDialog &) { return int(QDialog::Accepted); };
  Form->miNewClick();
  ASSERT_TRUE(Form->btRecord->isEnabled());
  Form->RecordClick(); // the capture file SDL reads from does not exist
  ASSERT_EQ(Script.Shown.size(), 2u);
  EXPECT_EQ(Script.Shown[1].Text, "Error while initializing MCI device!");
  EXPECT_TRUE(Form->btRecord->isEnabled());
  EXPECT_FALSE(Form->Modified);
}

// SDL's disk driver cannot be unplugged; closing its device behind the recorder's back is what
// the recorder sees of a lost input: SDL reports the device stopped.
void PullEverySoundDevice() {
  for (SDL_AudioDeviceID id = 1; id < 64; ++id)
    if (SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED)
      SDL_CloseAudioDevice(id);
}

TEST_F(RecordForm, ALostInputEndsTheRecordingAndKeepsWhatWasRecorded) {
  Script.ModalHandler = [](QDialog &) { return int(QDialog::Accepted); };
  Form->miNewClick();
  const Bytes sound = Pattern(44100 * 4 * 5, 3);
  std::ofstream(Dir.File("captured.raw"), std::ios::binary)
      .write(reinterpret_cast<const char *>(sound.data()), std::streamsize(sound.size()));
  Form->RecordClick();
  ASSERT_TRUE(PumpUntil([&] {
    std::string length;
    plat::mciSendString("status recorder length", &length);
    return std::stoll(length) >= 1000;
  }));
  PullEverySoundDevice();
  Form->TimerRecordTimer(); // the recording clock's next tick
  EXPECT_EQ(Form->lbState->text(), "Record over!");
  ASSERT_EQ(Script.Shown.size(), 2u); // the format window, then the message
  EXPECT_EQ(Script.Shown[1].Text,
            "The sound input is gone. The recording ends here; what was recorded is kept.");
  const Bytes kept = Audio(Form->CurrentFile); // a new recording is made in place
  EXPECT_GE(kept.size(), 44100u * 4);
  EXPECT_EQ(kept, Head(sound, kept.size()));
  EXPECT_TRUE(Form->Modified);
  EXPECT_TRUE(Form->btRecord->isEnabled());
}

TEST_F(RecordForm, AMissingFileIsNamedWithTheFullWidthExclamationMark) {
  Script.AnswerFiles({Dir.File("gone.wav")});
  Form->miOpenClick();
  ASSERT_EQ(Script.Shown.size(), 3u); // the dialog, the warning, the dialog again (cancelled)
  EXPECT_EQ(Script.Shown[1].Text, "Please check the filename correct or not\nCould not be found"
                                  "\xEF\xBC\x81\n" +
                                      Dir.File("gone.wav"));
  EXPECT_TRUE(Form->CurrentFile.empty());
}

} // namespace
