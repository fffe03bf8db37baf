// The recorder window offscreen on SDL's disk driver, which captures from a raw file: a new
// recording reaches the saved WAV file sample by sample in the chosen format, a recording over
// from the slider's middle replaces from there, Undo brings the saved sound back, and saving
// with "MP3 format" ticked hands the saved file to the MP3 job. A save or an open that cannot
// be written loses nothing, and closing keeps the window while the recording is not settled.
#include "RecordForm.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "Global.h"
#include "Mci.h"
#include "MessagePump.h"
#include "NewRecordFileForm.h"
#include "PartFile.h"
#include "TempDir.h"
#include "TestSound.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using Bytes = std::vector<uint8_t>;

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

  // A new recording of 8000 Hz, 8-bit mono: a byte a sample.
  void NewSmall() {
    Script.ModalHandler = [](QDialog &dialog) {
      auto &format = dynamic_cast<TfrmNewRecordFile &>(dialog);
      format.cbBitSamples->setCurrentIndex(0);
      format.rb8Bit->setChecked(true);
      format.rbMono->setChecked(true);
      return int(QDialog::Accepted);
    };
    Form->miNewClick();
  }

  // Records from a capture file of that sound until at least ms are recorded, then stops.
  void Record(const Bytes &captured, std::int64_t ms) {
    WriteFileBytes(Dir.File("captured.raw"), captured);
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

  // The RAM disk is a file system of its own: the new recording cannot just be renamed there.
  TTempDir elsewhere("/dev/shm");
  struct stat settings {
  }, target{};
  stat(GetSettingsFolder().c_str(), &settings);
  stat(elsewhere.Path().c_str(), &target);
  EXPECT_NE(settings.st_dev, target.st_dev);
  const std::string saved = elsewhere.File("take.wav");
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
  const struct {
    const char *driver, *message;
  } cases[] = {
      // The capture file SDL's disk driver reads from does not exist: a device that fails.
      {"disk", "Error while initializing MCI device!"},
      // No sound system to start, so no input device at all.
      {"none", "No sound input device was found"},
  };
  for (const auto &c : cases) {
    setenv("SDL_AUDIODRIVER", c.driver, 1);
    Script.Shown.clear();
    NewSmall();
    ASSERT_TRUE(Form->btRecord->isEnabled()) << c.driver;
    Form->RecordClick();
    ASSERT_EQ(Script.Shown.size(), 2u) << c.driver;
    EXPECT_EQ(Script.Shown[1].Text, c.message);
    EXPECT_TRUE(Form->btRecord->isEnabled()) << c.driver;
    EXPECT_FALSE(Form->Modified) << c.driver;
  }
}

// While it lives no file of this process may grow past size bytes, as on a disk that is full
// from there on: the write that would pass it fails.
class TDiskFullAt {
public:
  explicit TDiskFullAt(rlim_t size) {
    getrlimit(RLIMIT_FSIZE, &FOld);
    FOldHandler = std::signal(SIGXFSZ, SIG_IGN); // fail the write instead of ending the process
    const rlimit limit{size, FOld.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TDiskFullAt() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    std::signal(SIGXFSZ, FOldHandler);
  }

private:
  rlimit FOld{};
  void (*FOldHandler)(int) = nullptr;
};

TEST_F(RecordForm, AFullDiskFailsTheOpenOrSaveAndLosesNothing) {
  const std::string talk = Dir.File("talk.wav"), other = Dir.File("other.wav");
  const std::string untitled = GetSettingsFolder() + "MyNoName.wav";
  const std::string work = GetSettingsFolder() + "MyTemp.wav";
  TTempDir elsewhere("/dev/shm");
  const struct {
    const char *what;
    std::string original;         // a file that must stay as it was
    std::function<void()> before; // with room on the disk
    std::function<void()> act;    // with the disk full past 20000 bytes
    std::string current;          // the open file afterwards
    std::string sound;            // the file holding the whole recording afterwards
  } cases[] = {
      {"opening a file larger than the room left", talk,
       [&] { WriteFileBytes(talk, Wav(1, 8000, 8, Pattern(8000 * 5, 1))); },
       [&] {
         Script.AnswerFiles({talk});
         Form->miOpenClick();
       },
       "", ""},
      {"saving an opened file that grew past it", talk,
       [&] {
         WriteFileBytes(talk, Wav(1, 8000, 8, Pattern(8000, 1)));
         Script.AnswerFiles({talk});
         Form->miOpenClick();
         Form->TrackBar1->setValue(400);
         Record(Pattern(8000 * 5, 2), 3000);
       },
       [&] { EXPECT_FALSE(Form->SaveFile(false)); }, talk, work},
      {"saving an opened file where no new file can be made beside it", other,
       [&] {
         WriteFileBytes(other, Wav(1, 8000, 8, Pattern(1000, 1)));
         Script.AnswerFiles({other});
         Form->miOpenClick();
         Form->TrackBar1->setValue(400);
         Record(Pattern(8000 * 2, 4), 1000);
         std::filesystem::create_directory(plat::PartFileName(other)); // takes its place
       },
       [&] { EXPECT_FALSE(Form->SaveFile(false)); }, other, work},
      {"saving a new recording onto another file system", talk,
       [&] {
         NewSmall();
         Record(Pattern(8000 * 5, 3), 3000);
       },
       [&] {
         Script.AnswerFiles({elsewhere.File("take.wav")});
         EXPECT_FALSE(Form->SaveFile(false));
       },
       untitled, untitled},
  };
  for (const auto &c : cases) {
    c.before();
    const Bytes kept = c.sound.empty() ? Bytes{} : ReadFileBytes(c.sound);
    const Bytes originalBytes = ReadFileBytes(c.original);
    Script.Shown.clear();
    {
      TDiskFullAt full(20000);
      c.act();
    }
    ASSERT_FALSE(Script.Shown.empty()) << c.what;
    EXPECT_EQ(Script.Shown.back().Text,
              "Error when saving WAV file,please check if the file is being uesd.")
        << c.what;
    EXPECT_EQ(ReadFileBytes(c.original), originalBytes) << c.what;
    EXPECT_EQ(Form->CurrentFile, c.current) << c.what;
    EXPECT_EQ(Form->Modified, !c.sound.empty()) << c.what;
    if (!c.sound.empty()) {
      EXPECT_EQ(ReadFileBytes(c.sound), kept) << c.what;
      // The device still plays the recording.
      Form->PlayClick();
      std::string mode;
      plat::mciSendString("status recorder mode", &mode);
      EXPECT_EQ(mode, "playing") << c.what;
      Form->StopClick();
    }
    EXPECT_EQ(FolderListing(elsewhere.Path()), std::vector<std::string>{}) << c.what;
    EXPECT_FALSE(std::filesystem::exists(plat::PartFileName(work))) << c.what;
    Form->Modified = false; // the next case starts afresh
  }
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

namespace {

TEST_F(RecordForm, CancelAtTheQuestionOnClosingKeepsTheRecording) {
  NewSmall();
  Record(Pattern(8000 * 3, 4), 1000);
  Script.Answer(plat::idCancel);
  Form->reject();
  EXPECT_EQ(Script.Shown.back().Text, "NoName has been modified,Save it?");
  EXPECT_TRUE(Form->Modified);
  std::string mode; // the device is still open on the recording
  EXPECT_EQ(plat::mciSendString("status recorder mode", &mode), 0);
  EXPECT_EQ(mode, "stopped");
  EXPECT_GE(Audio(Form->CurrentFile).size(), 8000u);
}

TEST_F(RecordForm, TheWorkingFilesAreNoTargetsAndAnOpenedLeftoverIsAFileLikeAnother) {
  NewSmall();
  Record(Pattern(8000 * 3, 5), 1000);
  const Bytes recorded = Audio(Form->CurrentFile);
  for (const char *name : {"MyNoName.wav", "MyTemp.wav"}) {
    Script.AnswerFiles({GetSettingsFolder() + name});
    EXPECT_FALSE(Form->SaveFile(false)) << name;
    EXPECT_EQ(Script.Shown.back().Text,
              "The recorder keeps its working files under this name: please choose another.")
        << name;
    EXPECT_EQ(Audio(Form->CurrentFile), recorded) << name;
    EXPECT_TRUE(Form->Modified) << name;
  }

  // Opening the working copy itself is refused too: closing would delete it.
  WriteFileBytes(GetSettingsFolder() + "MyTemp.wav", Wav(1, 8000, 8, Pattern(800, 1)));
  Script.Answer(plat::idNo);
  Script.AnswerFiles({GetSettingsFolder() + "MyTemp.wav"});
  Form->miOpenClick();
  EXPECT_EQ(Script.Shown.end()[-2].Text,
            "The recorder keeps its working files under this name: please choose another.");
  EXPECT_EQ(Form->CurrentFile, GetSettingsFolder() + "MyNoName.wav");

  // The window closes without saving; the next one opens the recording left behind, records
  // over it and saves it where it is.
  Form->reject();
  Form = std::make_unique<TfrmRecord>([](const std::string &) {});
  Script.AnswerFiles({GetSettingsFolder() + "MyNoName.wav"});
  Form->miOpenClick();
  const Bytes over = Pattern(8000 * 3, 6);
  Record(over, 1500);
  const std::size_t before = Script.Shown.size();
  ASSERT_TRUE(Form->SaveFile(false));
  EXPECT_EQ(Script.Shown.size(), before); // no name asked for
  const Bytes saved = Audio(GetSettingsFolder() + "MyNoName.wav");
  ASSERT_GE(saved.size(), 12000u);
  EXPECT_EQ(saved, Head(over, saved.size()));
}

TEST_F(RecordForm, RecordingControlStartsAMixerOrSaysWhatToInstall) {
  const std::string path = getenv("PATH");
  const struct {
    bool installed;
    const char *shown;
  } cases[] = {{false, "No volume control was found: install pavucontrol."},
               {true, "pavucontrol --tab=4"}};
  for (const auto &c : cases) {
    const std::string bin = Dir.File(c.installed ? "with" : "without");
    std::filesystem::create_directory(bin);
    if (c.installed) {
      WriteFileBytes(bin + "/pavucontrol", {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
      std::filesystem::permissions(bin + "/pavucontrol", std::filesystem::perms::owner_all);
    }
    setenv("PATH", bin.c_str(), 1);
    Script.Shown.clear();
    Form->miRecordOptionSetClick();
    setenv("PATH", path.c_str(), 1);
    ASSERT_EQ(Script.Shown.size(), 1u) << c.shown;
    EXPECT_EQ(Script.Shown[0].Text, c.shown);
  }
}

} // namespace
