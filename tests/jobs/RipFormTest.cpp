// The job window end to end on disc images, offscreen, with the real lame and WM8EUTIL and the
// dialogs answered by a script; and its state machine driven message by message.
#include "CddbServer.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "EncoderTestSupport.h"
#include "FileContents.h"
#include "FirstDrive.h"
#include "Global.h"
#include "Id3Tag.h"
#include "Mp3EncodeThread.h"
#include "RunUntil.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "WMAEncodeThread.h"
#include "akrip32.h"
#include "rip.h"
#include "ripthread.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Records every caption the window shows.
class TCaptions : public QObject {
public:
  explicit TCaptions(QWidget &window) : FWindow(window) {
    Shown.push_back(window.windowTitle().toStdString());
    window.installEventFilter(this);
  }
  std::vector<std::string> Shown;

protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::WindowTitleChange)
      Shown.push_back(FWindow.windowTitle().toStdString());
    return false;
  }

private:
  QWidget &FWindow;
};

std::vector<uint8_t> WavBytes(const std::string &path) {
  auto bytes = ReadFileBytes(path);
  return {bytes.begin() + std::min<size_t>(44, bytes.size()), bytes.end()};
}

bool IsMp3(const std::string &path) {
  const auto bytes = ReadFileBytes(path);
  return bytes.size() > 1000 && bytes[0] == 0xFF && (bytes[1] & 0xE0) == 0xE0;
}

class RipForm : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.AccurateRipUrl = NoServerUrl;
    GlobalOptions.OutputFolder = Dir.File("out");
    fs::create_directory(GlobalOptions.OutputFolder);
    DiscInfo = TDiscInfo{};
    Drives = std::make_unique<TImageDrives>(
        std::vector<std::string>{WriteAudioDisc(Dir.Path(), "Disc", {150, 120, 90})});
    Handle = OpenFirstDrive();
    ASSERT_NE(Handle, 0);
  }
  void TearDown() override {
    Form.reset();
    CloseCDHandle(Handle);
    GlobalOptions = TGlobalOptions{};
    DiscInfo = TDiscInfo{};
  }

  void Open(int mode, const std::vector<std::string> &items, int32_t handle = -1) {
    Form = std::make_unique<TRipForm>(nullptr, mode, handle < 0 ? Handle : handle, items, Mp3, Wma);
    Captions = std::make_unique<TCaptions>(*Form);
    Form->show();
  }
  // Runs the job until its window has closed.
  void RunJob(int mode, const std::vector<std::string> &items) {
    Open(mode, items);
    ASSERT_TRUE(RunUntil([&] { return Form->JobFinished() && !Form->isVisible(); }));
  }

  // Tags on, with the disc information of one album by artist.
  static void TagWithDisc(const std::string &artist) {
    GlobalOptions.UseID3 = true;
    DiscInfo.Artist = artist;
    DiscInfo.Album = "Folk Singer";
    DiscInfo.Year = "1964";
    DiscInfo.Comment = "Chess";
    DiscInfo.Genre = 17; // "Blues", position 18 of the genre list
  }
  std::string Out(const std::string &name) const { return Dir.File("out/" + name); }
  std::vector<std::string> Outs(std::initializer_list<const char *> names) const {
    std::vector<std::string> paths;
    for (const char *n : names)
      paths.push_back(Out(n));
    return paths;
  }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto &shown : Script.Shown)
      texts.push_back(shown.Text);
    return texts;
  }

  TTempDir Dir;
  std::unique_ptr<TImageDrives> Drives;
  int32_t Handle = 0;
  TMp3EncodeProcess Mp3;
  TWMAEncodeProcess Wma;
  plat::TDialogScript Script;
  std::unique_ptr<TRipForm> Form;
  std::unique_ptr<TCaptions> Captions;
};

// The finished job says so: its caption and stage, a full gauge, and the whole outcome, wrapped
// and as the tooltip.
TEST_F(RipForm, AWatchedRipStaysOpenWithItsSummaryAndItsLog) {
  GlobalOptions.OutputFormat = fmtWAV;
  Open(jmCDRip, {"01First", "07Not There"});
  Form->StayAtEnd = true; // the job ends through messages, after this
  ASSERT_TRUE(RunUntil([&] { return Form->JobFinished(); }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Form->windowTitle(), "Done");
  EXPECT_EQ(Form->GroupBox1->title(), "Done");
  EXPECT_EQ(Form->FlatGauge1->value(), 100);
  const std::string outcome = Form->Label3->text().toStdString();
  EXPECT_EQ(outcome.rfind("Done: 1 of 2 tracks made, 1 failed. AccurateRip: Not verified: cannot "
                          "reach",
                          0),
            0u)
      << outcome;
  EXPECT_TRUE(Form->Label3->wordWrap());
  EXPECT_EQ(Form->Label3->toolTip().toStdString(), outcome);
  EXPECT_TRUE(Form->btOpenLog->isVisible());
  EXPECT_TRUE(fs::exists(Out("Rip.log")));
  Form->btStop->click();
  EXPECT_FALSE(Form->isVisible());
}

TEST_F(RipForm, WavOutputRipsEveryTrackAndClosesAfterTheLast) {
  GlobalOptions.OutputFormat = fmtWAV;
  RunJob(jmCDRip, {"01First", "03Third"});
  EXPECT_EQ(WavBytes(Out("First.wav")), TestAudio(1, 150));
  EXPECT_EQ(WavBytes(Out("Third.wav")), TestAudio(3, 90));
  EXPECT_EQ(Form->FinishedFiles(), Outs({"First.wav", "Third.wav"}));
  EXPECT_TRUE(Form->AllSucceeded());
  EXPECT_TRUE(Script.Shown.empty());
  EXPECT_EQ(Captions->Shown, (std::vector<std::string>{"Extracting(01/02): First",
                                                       "Extracting(02/02): Third", "Done"}));
  EXPECT_EQ(Form->RipCount, 2);
}

TEST_F(RipForm, Mp3OutputEncodesEachRipTagsItAndDropsTheWavsAtTheEnd) {
  GlobalOptions.OutputFormat = fmtMP3;
  TagWithDisc("Muddy Waters");
  RunJob(jmCDRip, {"01My Home", "03Good Morning"});

  EXPECT_EQ(Captions->Shown,
            (std::vector<std::string>{"Extracting(01/02): My Home", "Encoding(01/02): My Home",
                                      "Extracting(02/02): Good Morning",
                                      "Encoding(02/02): Good Morning", "Done"}));
  EXPECT_EQ(Form->FinishedFiles(), Outs({"My Home.mp3", "Good Morning.mp3"}));
  EXPECT_TRUE(Script.Shown.empty()) << Boxes().front();
  EXPECT_FALSE(fs::exists(Out("My Home.wav")));
  EXPECT_FALSE(fs::exists(Out("Good Morning.wav")));
  const std::pair<const char *, int> made[] = {{"My Home", 1}, {"Good Morning", 3}};
  for (const auto &[title, track] : made) {
    const std::string mp3 = Out(std::string(title) + ".mp3");
    EXPECT_TRUE(IsMp3(mp3)) << mp3;
    Tid3tag tag;
    ASSERT_LT(tag.ReadTag(mp3), id3OpenError) << mp3;
    EXPECT_EQ(tag.Title(), title);
    EXPECT_EQ(tag.Artist(), "Muddy Waters");
    EXPECT_EQ(tag.Album(), "Folk Singer");
    EXPECT_EQ(tag.Year(), "1964");
    EXPECT_EQ(tag.Comment(), "Chess");
    EXPECT_EQ(tag.Genre, 0);
    EXPECT_EQ(tag.Track(), track);
  }
}

TEST_F(RipForm, KeepWavKeepsTheRipsAndTagsStayOffWithoutUseID3) {
  GlobalOptions.OutputFormat = fmtMP3;
  GlobalOptions.IsKeepWav = true;
  RunJob(jmCDRip, {"02Kept"});
  EXPECT_EQ(WavBytes(Out("Kept.wav")), TestAudio(2, 120));
  Tid3tag tag;
  EXPECT_EQ(tag.ReadTag(Out("Kept.mp3")), id3NoTag);
}

TEST_F(RipForm, TracksOfOneTitleGetNumberedNamesSharedByTheirWavAndMp3) {
  GlobalOptions.OutputFormat = fmtMP3;
  GlobalOptions.IsKeepWav = true;
  RunJob(jmCDRip, {"01Same", "02Same", "03Same"});
  EXPECT_EQ(Form->FinishedFiles(), Outs({"Same.mp3", "Same (2).mp3", "Same (3).mp3"}));
  EXPECT_EQ(FolderListing(Out("")),
            (std::vector<std::string>{"Rip.log", "Same (2).mp3", "Same (2).wav", "Same (3).mp3",
                                      "Same (3).wav", "Same.mp3", "Same.wav"}));
  EXPECT_EQ(WavBytes(Out("Same.wav")), TestAudio(1, 150));
  EXPECT_EQ(WavBytes(Out("Same (2).wav")), TestAudio(2, 120));
  EXPECT_EQ(WavBytes(Out("Same (3).wav")), TestAudio(3, 90));
}

TEST_F(RipForm, StoppedBeforeTheLastRipKeepsEveryWav) {
  GlobalOptions.OutputFormat = fmtMP3;
  Open(jmCDRip, {"01One", "02Two"});
  // Stop as soon as the first MP3 is made, before the second track is read.
  Form->OnFileFinished = [this](const std::string &) { Form->btStopClick(); };
  ASSERT_TRUE(RunUntil([&] { return !Form->isVisible(); }));
  EXPECT_TRUE(Form->JobFinished());
  EXPECT_EQ(Form->RipCount, 1);
  EXPECT_EQ(WavBytes(Out("One.wav")), TestAudio(1, 150));
  EXPECT_TRUE(IsMp3(Out("One.mp3")));
  EXPECT_FALSE(fs::exists(Out("Two.wav")));
  EXPECT_FALSE(Form->AllSucceeded());
}

// Stop, Escape and closing the window end the job alike, whichever encoder runs: the WAV stays,
// and the log says the job was stopped while encoding.
TEST_F(RipForm, StoppedOrClosedWhileEncodingLeavesTheWavAndNoEncodedFile) {
  CloseCDHandle(Handle);
  Drives.reset();
  Drives = std::make_unique<TImageDrives>(
      std::vector<std::string>{WriteAudioDisc(Dir.Path(), "Long", {3 * 60 * 75})});
  Handle = OpenFirstDrive();
  // Bytes the encoder has written so far, under whatever name but the rip's.
  auto encoded = [&] {
    std::error_code ec;
    uintmax_t bytes = 0;
    for (const std::string &name : FolderListing(Out("")))
      if (const auto size = fs::file_size(Out(name), ec);
          name != "Long.wav" && name != ".Long.wav.part" && name != "Rip.log" && !ec)
        bytes += size;
    return bytes;
  };
  const std::function<void(TRipForm &)> ways[] = {
      [](TRipForm &form) { form.btStopClick(); },
      [](TRipForm &form) {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&form, &escape);
      },
      [](TRipForm &form) { form.close(); }};
  int way = 0;
  for (TFormat format : {fmtMP3, fmtOGG, fmtWMA, fmtFLAC, fmtOpus}) {
    GlobalOptions.OutputFormat = format;
    Open(jmCDRip, {"01Long"});
    ASSERT_TRUE(
        RunUntil([&] { return encoded() > 0 || !Script.Shown.empty() || Form->JobFinished(); }));
    ASSERT_FALSE(Form->JobFinished()) << format << ": the encoding ended before Stop";
    ASSERT_TRUE(Script.Shown.empty()) << Boxes().front();
    ways[way++ % 3](*Form);
    EXPECT_TRUE(Form->JobFinished());
    EXPECT_FALSE(Form->isVisible());
    EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Long.wav", "Rip.log"})) << format;
    EXPECT_EQ(WavBytes(Out("Long.wav")).size(), 3u * 60 * 75 * CDSectorSize) << format;
    const std::string log = FileText(Out("Rip.log"));
    for (const char *line : {"\n  Encoder: Stopped\n", "\nStopped: 0 of 1 tracks made, 0 failed, "
                                                       "1 not made. AccurateRip: Not verified: the "
                                                       "rip was stopped\n"})
      EXPECT_NE(log.find(line), std::string::npos) << line << log;
    fs::remove(Out("Long.wav"));
  }
}

TEST_F(RipForm, AnUnreadableTrackGivesOneBoxAndTheJobGoesOn) {
  GlobalOptions.OutputFormat = fmtMP3;
  GlobalOptions.UseID3 = true;
  RunJob(jmCDRip, {"01A", "07Not There", "02B"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error while reading CD information!"});
  EXPECT_EQ(Script.Shown[0].Caption, "Plindar");
  EXPECT_EQ(Script.Shown[0].Icon, plat::TMsgIcon::Error);
  EXPECT_EQ(Form->FinishedFiles(), Outs({"A.mp3", "B.mp3"}));
  EXPECT_FALSE(Form->AllSucceeded());
  EXPECT_FALSE(fs::exists(Out("Not There.mp3")));
  // The WAV of every encoded track goes; nothing is left of the failed one.
  EXPECT_FALSE(fs::exists(Out("A.wav")));
  EXPECT_FALSE(fs::exists(Out("B.wav")));
  EXPECT_EQ(Form->EncodeCount, 3);
}

// A title longer than a file name may be is cut to fit (255 bytes with its extension).
TEST_F(RipForm, ATitleTooLongForAFileNameIsCutToFit) {
  GlobalOptions.OutputFormat = fmtWAV;
  const std::string title(300, 'x');
  RunJob(jmCDRip, {"01" + title, "02Fine"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{});
  const std::string cut = std::string(251, 'x') + ".wav";
  EXPECT_EQ(Form->FinishedFiles(), Outs({cut.c_str(), "Fine.wav"}));
}

TEST_F(RipForm, WmaOutputEncodesEachRip) {
  GlobalOptions.OutputFormat = fmtWMA;
  RunJob(jmCDRip, {"01Alpha", "02Beta"});
  EXPECT_TRUE(Script.Shown.empty()) << Boxes().front();
  EXPECT_EQ(Form->FinishedFiles(), Outs({"Alpha.wma", "Beta.wma"}));
  for (const char *name : {"Alpha.wma", "Beta.wma"}) {
    auto probe = Probe(Out(name));
    EXPECT_EQ(probe["codec_name"], "wmav2") << name;
  }
  EXPECT_FALSE(fs::exists(Out("Alpha.wav")));
}

TEST_F(RipForm, ARipErrorLeavesTheWindowWaitingForStop) {
  Open(jmCDRip, {"01Any"}, /*no drive*/ 0);
  ASSERT_TRUE(RunUntil([&] { return !Script.Shown.empty(); }));
  Form->RipError(RipErrorToc);
  Form->RipError(RipErrorFileInUse);
  EXPECT_EQ(Boxes(),
            (std::vector<std::string>{
                "CD extract failed!Please try again.", "Error while reading TOC information!",
                "WAV file will be created maybe is been using,extract failed!"}));
  for (int i = 0; i < 5; ++i)
    QCoreApplication::processEvents();
  EXPECT_TRUE(Form->isVisible());
  EXPECT_FALSE(Form->JobFinished());
  Form->btStopClick();
  EXPECT_TRUE(Form->JobFinished());
  EXPECT_FALSE(Form->isVisible());
}

TEST_F(RipForm, Mp3ToWavDecodesEachChosenFile) {
  const std::string wav = Dir.File("song.wav");
  WriteWav(wav, MakeTestAudio(1.5));
  ASSERT_EQ(RunProgram({"lame", "--quiet", wav, Dir.File("song.mp3")}).ExitStatus, 0);
  ASSERT_EQ(RunProgram({"lame", "--quiet", wav, Dir.File("other.mp3")}).ExitStatus, 0);
  RunJob(jmMp3ToWav, {Dir.File("song.mp3"), Dir.File("other.mp3")});
  EXPECT_EQ(Form->GroupBox1->title(), "Decoding");
  EXPECT_EQ(Captions->Shown.front(), "Decoding(01/02): " + Dir.File("song.mp3"));
  EXPECT_EQ(Captions->Shown.back(), "Decoding(02/02): " + Dir.File("other.mp3"));
  EXPECT_EQ(Form->FinishedFiles(), Outs({"song.wav", "other.wav"}));
  const TTestAudio decoded = ReadWav(Out("song.wav"));
  EXPECT_EQ(decoded.Channels, 2);
  EXPECT_GE(decoded.Samples.size(), MakeTestAudio(1.5).Samples.size());
}

TEST_F(RipForm, WavToWmaEncodesEachChosenFile) {
  WriteWav(Dir.File("a.wav"), MakeTestAudio(1));
  WriteWav(Dir.File("b.wav"), MakeTestAudio(1));
  Open(jmWavToWma, {Dir.File("a.wav"), Dir.File("b.wav")});
  EXPECT_EQ(Form->GroupBox1->title(), "Encoding WAV to WMA");
  ASSERT_TRUE(RunUntil([&] { return Form->JobFinished() && !Form->isVisible(); }));
  EXPECT_EQ(Captions->Shown, (std::vector<std::string>{"Encoding(01/02): " + Dir.File("a.wav"),
                                                       "Encoding(02/02): " + Dir.File("b.wav")}));
  EXPECT_EQ(Form->FinishedFiles(), Outs({"a.wma", "b.wma"}));
  EXPECT_EQ(Probe(Out("b.wma"))["codec_name"], "wmav2");
}

TEST_F(RipForm, WavToWmaWhoseOnlyOutputIsKeptClosesAtOnce) {
  WriteWav(Dir.File("a.wav"), MakeTestAudio(1));
  std::ofstream(Out("a.wma")) << "keep me";
  Script.Answer(plat::idNo);
  Open(jmWavToWma, {Dir.File("a.wav")});
  EXPECT_TRUE(Form->JobFinished()) << "the declined overwrite ended the job while opening";
  ASSERT_TRUE(RunUntil([&] { return !Form->isVisible(); }));
  EXPECT_EQ(ReadFileBytes(Out("a.wma")).size(), 7u);
  EXPECT_TRUE(Form->FinishedFiles().empty());
}

TEST_F(RipForm, RecordingToMp3ReplacesTheMp3BesideTheRecording) {
  const std::string wav = Dir.File("take.wav");
  WriteWav(wav, MakeTestAudio(1));
  std::ofstream(Dir.File("take.mp3")) << "old";
  RunJob(jmRecordToMp3, {wav});
  EXPECT_TRUE(Script.Shown.empty()) << "mode 4 overwrites without asking";
  EXPECT_TRUE(IsMp3(Dir.File("take.mp3")));
  EXPECT_EQ(Captions->Shown.front(), "Encoding(01/01): " + wav);
}

// Frames of an Ogg file as oggdec decodes it, and its rate; 0 frames when it cannot.
std::pair<size_t, int> OggFramesAndRate(const std::string &ogg, const std::string &wav) {
  if (RunProgram({"oggdec", "-Q", "-o", wav, ogg}).ExitStatus != 0)
    return {0, 0};
  const TTestAudio audio = ReadWav(wav);
  return {audio.Samples.size() / audio.Channels, audio.Rate};
}

TEST_F(RipForm, OggOutputEncodesEachReadableRipWithTheDiscsComments) {
  GlobalOptions.OutputFormat = fmtOGG;
  TagWithDisc("Tōru Takemitsu");
  RunJob(jmCDRip, {"01My Home", "07Not There", "03Good Morning"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Error while reading CD information!"});
  EXPECT_EQ(Form->FinishedFiles(), Outs({"My Home.ogg", "Good Morning.ogg"}));
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Good Morning.ogg", "My Home.ogg",
                                                              "Tōru Takemitsu - Folk Singer.log"}))
      << "the WAVs go after the encoding, and no part file is left";
  EXPECT_EQ(Form->VorbisCount, 3);
  EXPECT_EQ(OggFramesAndRate(Out("Good Morning.ogg"), Dir.File("decoded.wav")),
            (std::pair<size_t, int>{90 * CDSectorSize / 4, 44100}));
  const TRunResult comments = RunProgram({"vorbiscomment", "-l", Out("Good Morning.ogg")});
  EXPECT_EQ(comments.Output,
            "album=Folk Singer\nartist=Tōru Takemitsu\ncomment=Chess\ndate=1964\ngenre=Blues\n"
            "title=Good Morning\ntracknumber=3\ntracktotal=3\n");
}

// FLAC keeps the disc's bytes; Opus the sound at its length. Both carry the disc information
// as comments, the genre by name and the disc's track count among them.
TEST_F(RipForm, FlacAndOpusOutputsEncodeEachRipWithTheDiscsComments) {
  const std::string comments = "ALBUM=Folk Singer\nARTIST=Tōru Takemitsu\nCOMMENT=Chess\n"
                               "DATE=1964\nGENRE=Blues\nTITLE=Good Morning\nTRACKNUMBER=3\n"
                               "TRACKTOTAL=3\n";
  TagWithDisc("Tōru Takemitsu");
  GlobalOptions.OutputFormat = fmtFLAC;
  RunJob(jmCDRip, {"01My Home", "03Good Morning"});
  EXPECT_TRUE(Script.Shown.empty()) << Boxes().front();
  EXPECT_EQ(Form->FinishedFiles(), Outs({"My Home.flac", "Good Morning.flac"}));
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Good Morning.flac", "My Home.flac",
                                                              "Tōru Takemitsu - Folk Singer.log"}));
  const std::string flac = Out("Good Morning.flac"), raw = Dir.File("decoded.raw");
  ASSERT_EQ(RunProgram({"flac", "-d", "-s", "--force-raw-format", "--endian=little",
                        "--sign=signed", "-o", raw, flac})
                .ExitStatus,
            0);
  EXPECT_TRUE(ReadFileBytes(raw) == TestAudio(3, 90));
  EXPECT_EQ(RunProgram({"flac", "-t", "-s", flac}).ExitStatus, 0);
  EXPECT_EQ(RunProgram({"metaflac", "--export-tags-to=-", flac}).Output, comments);

  fs::remove(raw);
  GlobalOptions.OutputFormat = fmtOpus;
  GlobalOptions.OpusBitRate = 96;
  RunJob(jmCDRip, {"03Good Morning"});
  EXPECT_EQ(Form->FinishedFiles(), Outs({"Good Morning.opus"}));
  const std::string opus = Out("Good Morning.opus");
  ASSERT_EQ(RunProgram({"opusdec", "--quiet", "--rate", "48000", opus, raw}).ExitStatus, 0);
  EXPECT_EQ(ReadFileBytes(raw).size(), std::size_t{90} * CDSectorSize * 48000 / 44100);
  const std::string info = RunProgram({"opusinfo", opus}).Output;
  for (std::size_t at = 0, end = 0; (end = comments.find('\n', at)) != std::string::npos;
       at = end + 1)
    EXPECT_NE(info.find("\t" + comments.substr(at, end - at + 1)), std::string::npos) << info;
}

TEST_F(RipForm, WavToOggAndToMp3ResampleSlowFilesThroughATemporaryCopy) {
  WriteWav(Dir.File("slow.wav"), MakeTestAudio(1, 22050));
  WriteWav(Dir.File("fast.wav"), MakeTestAudio(1, 48000, 1));
  std::ofstream(Dir.File("broken.wav")) << "RIFF, but not a WAV file";
  // A file of the temporary copy's name that the job did not make is the user's.
  std::ofstream(Out("MyReTemp.wav")) << "mine";
  const std::vector<std::string> items = {Dir.File("slow.wav"), Dir.File("broken.wav"),
                                          Dir.File("fast.wav")};
  Open(jmWavToOgg, items);
  EXPECT_EQ(Form->GroupBox1->title(), "Resampling WAV");
  ASSERT_TRUE(RunUntil([&] { return Form->JobFinished() && !Form->isVisible(); }));
  EXPECT_EQ(Boxes(), std::vector<std::string>{Dir.File("broken.wav") +
                                              " is not a WAV file that can be read."});
  EXPECT_EQ(Captions->Shown,
            (std::vector<std::string>{"Resampling(01/03): " + Dir.File("slow.wav"),
                                      "Encoding(01/03): " + Dir.File("slow.wav"),
                                      "Encoding(02/03): " + Dir.File("broken.wav"),
                                      "Encoding(03/03): " + Dir.File("fast.wav")}));
  EXPECT_EQ(Form->FinishedFiles(), Outs({"slow.ogg", "fast.ogg"}));
  EXPECT_EQ(OggFramesAndRate(Out("slow.ogg"), Dir.File("d1.wav")),
            (std::pair<size_t, int>{44100, 44100}));
  EXPECT_EQ(OggFramesAndRate(Out("fast.ogg"), Dir.File("d2.wav")),
            (std::pair<size_t, int>{48000, 48000}));
  EXPECT_EQ(FolderListing(Out("")),
            (std::vector<std::string>{"MyReTemp.wav", "fast.ogg", "slow.ogg"}));
  EXPECT_EQ(ReadFileBytes(Out("MyReTemp.wav")).size(), 4u);

  Script.Shown.clear();
  RunJob(jmWavToMp3, {Dir.File("slow.wav"), Dir.File("fast.wav")});
  EXPECT_TRUE(Script.Shown.empty()) << Boxes().front();
  EXPECT_EQ(Form->FinishedFiles(), Outs({"slow.mp3", "fast.mp3"}));
  EXPECT_EQ(Probe(Out("slow.mp3"))["sample_rate"], "44100");
  EXPECT_EQ(Probe(Out("fast.mp3"))["sample_rate"], "48000");
  EXPECT_FALSE(fs::exists(Out("MyMP3ReTemp.wav")));
}

TEST_F(RipForm, StopDuringAPipelineStepClosesTheWindowAndLeavesNothing) {
  const struct {
    int Mode;
    int Rate;
    const char *Step;
  } cases[] = {{jmWavToOgg, 44100, "Encoding"},
               {jmWavToOgg, 22050, "Resampling"},
               {jmWavToMp3, 22050, "Resampling"}};
  for (const auto &c : cases) {
    const std::string wav = Dir.File("long" + std::to_string(c.Rate) + ".wav");
    if (!fs::exists(wav))
      WriteWav(wav, MakeTestAudio(120, c.Rate));
    Open(c.Mode, {wav});
    ASSERT_TRUE(RunUntil([&] { return Form->JobFinished() || Form->ProgressSeen; }));
    ASSERT_FALSE(Form->JobFinished()) << c.Step << ": the step ended before Stop";
    EXPECT_TRUE(Form->windowTitle().startsWith(c.Step)) << Form->windowTitle().toStdString();
    Form->btStopClick();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(FolderListing(Out("")).empty()) << c.Mode << " " << c.Step;
  }
}

TEST(RipFormEstimate, WmaTimeFromTheOutputsGrowth) {
  EXPECT_EQ(WmaTotalSeconds(1999999, 0, 0, 8), 2);
  EXPECT_EQ(WmaTotalSeconds(1999999, -1, 7, 8), 2);
  // 10 MB at 64 kbit/s is expected to give 458926 bytes; a tenth of that after 5 seconds.
  EXPECT_EQ(WmaTotalSeconds(10000000, 45892, 5, 8), 50);
  EXPECT_EQ(WmaTotalSeconds(10000000, 0, 5, 8), std::nullopt);
  EXPECT_EQ(WmaTotalSeconds(10000000, -1, 5, 8), std::nullopt);
  // An output already bigger than expected: the whole time is the time so far.
  EXPECT_EQ(WmaTotalSeconds(10000000, 600000, 9, 8), 9);
  EXPECT_EQ(WmaTotalSeconds(10000000, 100000, 3, 0), 41); // 192 kbit/s: 1367054 bytes
}

TEST_F(RipForm, WmaEstimateOfASmallFileStartsAtTwoSecondsAndIsPushedWhenReached) {
  WriteWav(Dir.File("small.wav"), MakeTestAudio(1));
  GlobalOptions.WMABitRate = 40;
  Open(jmWavToWma, {Dir.File("small.wav")});
  ASSERT_TRUE(Wma.Busy);
  Form->WmaEstimate(Form->WmaStart);
  EXPECT_EQ(Form->Label1->text(), "00:00");
  EXPECT_EQ(Form->Label2->text(), "00:02");
  EXPECT_EQ(Form->FlatGauge1->value(), 0);
  EXPECT_FALSE(Form->Label3->isVisible());
  EXPECT_EQ(GlobalOptions.WMABitRate, 8) << "a profile outside the table becomes 8";
  Form->WmaEstimate(Form->WmaStart + 2s);
  EXPECT_EQ(Form->Label2->text(), "00:03");
  EXPECT_EQ(Form->FlatGauge1->value(), 67);
  Form->WmaEstimate(Form->WmaStart + 1s);
  EXPECT_EQ(Form->FlatGauge1->value(), 67) << "the gauge never moves back";
  ASSERT_TRUE(RunUntil([&] { return !Form->isVisible(); }));
}

TEST_F(RipForm, MessagesDriveTheViewAndNothingMovesAfterTheEnd) {
  Open(jmCDRip, {"01One", "02Two"}, /*no drive*/ 0);
  EXPECT_EQ(Form->Label3->text(), "Initializing...");
  EXPECT_TRUE(Form->Label3->isVisible());
  EXPECT_FALSE(Form->FlatGauge1->isTextVisible());

  Form->JobInfo(TProcessInfo{0, "", "", 0});
  EXPECT_TRUE(Form->Label3->isVisible()) << "no percent yet";
  EXPECT_TRUE(Form->ProgressSeen);
  Form->JobInfo(TProcessInfo{37, "00:04", "00:11", 0});
  EXPECT_EQ(Form->Label1->text(), "00:04");
  EXPECT_EQ(Form->Label2->text(), "00:11");
  EXPECT_EQ(Form->FlatGauge1->value(), 37);
  EXPECT_TRUE(Form->FlatGauge1->isTextVisible());
  EXPECT_FALSE(Form->Label3->isVisible());
  Form->JobInfo(TProcessInfo{JobNormalizing, "", "", 0});
  EXPECT_EQ(Form->windowTitle(), "Normalizing(01/02): One");

  Form->btStopClick();
  const int count = Form->RipCount;
  Form->JobInfo(TProcessInfo{JobRipEnded, "", "", ripReadFailed});
  Form->JobInfo(TProcessInfo{JobMp3Ended, "", "", 2});
  EXPECT_EQ(Form->RipCount, count);
  EXPECT_EQ(Form->EncodeCount, 0);
  // Not even the rip error the thread posted before Stop.
  for (int i = 0; i < 5; ++i)
    QCoreApplication::processEvents();
  EXPECT_TRUE(Script.Shown.empty());
}

} // namespace
