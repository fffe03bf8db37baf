// The Ogg player window offscreen on SDL's disk driver, which writes what is played to a file:
// files made by sox and oggenc are played through the real pipeline, and the played bytes are
// read back. Files stay short: an 80 ms buffer can starve on a loaded machine.
#include "OggPlayer.h"
#include "AuConverters.h"
#include "AuDXAudio.h"
#include "AuVorbis.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "MessagePump.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// Runs the window messages and Qt's events (the player's close request is one) until the
// condition holds; a guard against a hang, it measures nothing.
bool PumpAllUntil(const std::function<bool()> &condition) {
  return PumpUntil([&] {
    QApplication::processEvents();
    return condition();
  });
}

class OggPlayer : public ::testing::Test {
protected:
  // The sound card is chosen when the output is made: the driver first, then the window.
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", Dir.File("played.raw").c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY");
    Form = std::make_unique<TfrmOggPlayer>();
  }

  // An Ogg file of a 440 Hz tone; extra are oggenc's options (the tags).
  std::string MakeOgg(const std::string &name, const std::string &seconds, const std::string &rate,
                      const std::string &channels, std::vector<std::string> extra = {}) {
    const std::string wav = Dir.File("source.wav");
    EXPECT_TRUE(RunQuietly({"sox", "-R", "-n", "-r", rate, "-c", channels, "-b", "16", wav, "synth",
                            seconds, "sine", "440", "gain", "-6"}));
    std::vector<std::string> oggenc = {"oggenc", "-Q", "-o", Dir.File(name)};
    oggenc.insert(oggenc.end(), extra.begin(), extra.end());
    oggenc.push_back(wav);
    EXPECT_TRUE(RunQuietly(oggenc));
    return Dir.File(name);
  }
  void Open(const std::string &file) {
    Script.AnswerFiles({file});
    Form->BitBtn1Click();
  }
  bool Idle() const {
    return Form->BitBtn1->isEnabled() && !Form->ScrollBar1->isEnabled() &&
           !Form->Timer2->isActive() && Form->DXAudioOut1->Status() == 2;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto &shown : Script.Shown)
      if (shown.Kind == "message")
        texts.push_back("[" + shown.Caption + "] " + shown.Text);
    return texts;
  }

  TTempDir Dir;
  plat::TDialogScript Script;
  std::unique_ptr<TfrmOggPlayer> Form;
};

} // namespace

// Only a file named .ogg (any case) that is Ogg Vorbis plays; anything else is refused with
// the same box and leaves the player idle.
TEST_F(OggPlayer, OnlyAnOggVorbisFileNamedSoPlays) {
  const std::string good = MakeOgg("good.ogg", "0.3", "8000", "1");
  std::filesystem::copy_file(good, Dir.File("tone.ogg.txt"));
  std::filesystem::copy_file(good, Dir.File("LOUD.OGG"));
  std::ofstream(Dir.File("text.ogg")) << "not an Ogg Vorbis file\n";
  const struct {
    const char *Name;
    bool Plays;
  } cases[] = {{"tone.ogg.txt", false}, {"text.ogg", false}, {"LOUD.OGG", true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Script.Shown.clear();
    Open(Dir.File(c.Name));
    if (!c.Plays) {
      EXPECT_EQ(Boxes(), std::vector<std::string>{"[] Ogg file is not valid."});
      EXPECT_TRUE(Idle());
      continue;
    }
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Form->lFileName->text(), "LOUD");
    EXPECT_FALSE(Form->BitBtn1->isEnabled());
    EXPECT_TRUE(Form->ScrollBar1->isEnabled());
    EXPECT_TRUE(Form->Timer2->isActive());
    ASSERT_TRUE(PumpUntil([&] { return Idle(); })) << "the end of the file ends the play";
    EXPECT_EQ(Form->DXAudioOut1->ExceptionMessage(), "");
  }
}

// FLAC and Opus files play by their names with their comments shown; one of the other format
// under such a name is refused like any file that is not what its name says.
TEST_F(OggPlayer, FlacAndOpusFilesPlayWithTheirComments) {
  const std::string wav = Dir.File("source.wav");
  ASSERT_TRUE(RunQuietly({"sox", "-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                          "0.3", "sine", "440", "gain", "-6"}));
  ASSERT_TRUE(RunQuietly({"flac", "-s", "-T", "ARTIST=Ärtist", "-T", "TRACKNUMBER=7", "-o",
                          Dir.File("tone.flac"), wav}));
  ASSERT_TRUE(RunQuietly({"opusenc", "--quiet", "--artist", "Ärtist", "--comment", "TRACKNUMBER=7",
                          wav, Dir.File("tone.opus")}));
  std::filesystem::copy_file(Dir.File("tone.flac"), Dir.File("flac.opus"));
  const struct {
    const char *Name, *Rate;
    std::size_t Bytes; // of the 0.3 seconds at the rate played
  } cases[] = {{"tone.flac", "44100 bps", 13230 * 4}, {"tone.opus", "48000 bps", 14400 * 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    Open(Dir.File(c.Name));
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Form->lFileName->text(), "tone");
    EXPECT_EQ(Form->lSampleRate->text(), c.Rate);
    EXPECT_EQ(Form->Memo1->toPlainText(), "Artist: Ärtist\nTrack: 7");
    ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
    EXPECT_EQ(Form->DXAudioOut1->ExceptionMessage(), "");
    EXPECT_GE(ReadFileBytes(Dir.File("played.raw")).size(), c.Bytes);
  }
  Open(Dir.File("flac.opus"));
  EXPECT_EQ(Boxes(), std::vector<std::string>{"[] Ogg file is not valid."});
  EXPECT_TRUE(Idle());
}

// A long file with tags: the labels, the tag lines (empty tags left out), the time display,
// seeking, pause and resume. 187 seconds show 3:07.
TEST_F(OggPlayer, ShowsTheFileAndFollowsTheBarAndTheButtons) {
  const std::string file =
      MakeOgg("long.ogg", "187.2", "8000", "1",
              {"-a", "Ärtist", "-l", "Album", "-t", "Title", "-d", "1999", "-N", "7"});
  Open(file);
  EXPECT_EQ(Form->lFileName->text(), "long");
  EXPECT_EQ(Form->lSampleRate->text(), "8000 bps");
  EXPECT_EQ(Form->lTotalTime->text(), "3:07");
  EXPECT_EQ(Form->Memo1->toPlainText(),
            "Artist: Ärtist\nAlbum: Album\nTitle: Title\nDate: 1999\nTrack: 7");

  // The bar from 20 to 70: half of the file ahead, and the display at 70 % of the total.
  const struct {
    int Position;
    std::int32_t PlayMs;
    const char *Time;
  } moves[] = {{20, 37400, "0:37"}, {70, 130900, "2:11"}, {5, 9350, "0:09"}};
  for (const auto &m : moves) {
    SCOPED_TRACE(m.Position);
    Form->ScrollBar1Scroll(m.Position);
    EXPECT_EQ(Form->PlayMs, m.PlayMs);
    const double at = double(Form->VorbisIn1->Position()) / Form->VorbisIn1->Size() * 100;
    EXPECT_NEAR(at, m.Position, 1.5);
    // The bar reads the output's progress: it follows the file, also back.
    EXPECT_NEAR(Form->DXAudioOut1->Progress(), m.Position, 1.5);
    Form->Timer2Timer();
    EXPECT_EQ(Form->lCurrentTime->text(), m.Time);
  }

  Form->BitBtn2Click();
  EXPECT_EQ(Form->DXAudioOut1->Status(), 1);
  EXPECT_FALSE(Form->Timer2->isActive());
  Form->BitBtn2Click();
  EXPECT_EQ(Form->DXAudioOut1->Status(), 0);
  EXPECT_TRUE(Form->Timer2->isActive());

  Form->bStopClick();
  ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
  // Resume with nothing playing starts the display, which stops at the total time.
  Form->BitBtn2Click();
  EXPECT_TRUE(Form->Timer2->isActive());
  Form->PlayMs = 186500;
  for (int tick = 0; tick < 3; ++tick)
    Form->Timer2Timer();
  EXPECT_EQ(Form->PlayMs, 187000);
  EXPECT_EQ(Form->lCurrentTime->text(), "3:07");
}

// Balance 1 takes the left channel away entirely and leaves the right one.
TEST_F(OggPlayer, BalanceOneSilencesTheLeftChannel) {
  Form->TrackBar1->setValue(10);
  EXPECT_FLOAT_EQ(Form->StereoBalance1->Balance(), 1.0f);
  Open(MakeOgg("tone.ogg", "0.5", "44100", "2"));
  ASSERT_TRUE(PumpUntil([&] { return Idle(); }));
  const auto played = ReadFileBytes(Dir.File("played.raw"));
  ASSERT_GE(played.size(), 44100u * 2);
  int loudestLeft = 0, loudestRight = 0;
  for (std::size_t i = 0; i + 4 <= played.size(); i += 4) {
    std::int16_t frame[2];
    std::memcpy(frame, &played[i], 4);
    loudestLeft = std::max(loudestLeft, std::abs(int(frame[0])));
    loudestRight = std::max(loudestRight, std::abs(int(frame[1])));
  }
  EXPECT_EQ(loudestLeft, 0);
  EXPECT_GT(loudestRight, 8000);
}

// Every way of closing goes through Stop: the window closes only once the output is idle.
TEST_F(OggPlayer, ClosingWhilePlayingStopsTheSoundFirst) {
  Open(MakeOgg("long.ogg", "30", "8000", "1"));
  Form->show();
  ASSERT_TRUE(PumpUntil([&] { return Form->VorbisIn1->Position() > 0; }));
  int statusAtClose = -1;
  QObject::connect(Form.get(), &QDialog::finished,
                   [&] { statusAtClose = Form->DXAudioOut1->Status(); });
  EXPECT_FALSE(Form->close()); // refused at first, then closed on the window's own request
  EXPECT_TRUE(Form->Closing);
  ASSERT_TRUE(PumpAllUntil([&] { return !Form->isVisible(); }));
  EXPECT_EQ(statusAtClose, 2);
  EXPECT_FALSE(Form->Timer2->isActive());
}
