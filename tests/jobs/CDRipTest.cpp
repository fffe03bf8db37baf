// The pipeline rip window of CD-input mode on disc images read through the CD input, offscreen,
// with the real lame and WM8EUTIL, and the Ogg settings it applies to each encoding.
#include "CDRip.h"

#include "AuCDROM.h"
#include "AuTags.h"
#include "AuVorbis.h"
#include "AuWaveOut.h"
#include "CDRipLibrary.h"
#include "CddbServer.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "EncoderTestSupport.h"
#include "FileContents.h"
#include "Global.h"
#include "Id3Tag.h"
#include "Mp3EncodeThread.h"
#include "OggOptions.h"
#include "RipLog.h"
#include "RunProgram.h"
#include "RunUntil.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "Text.h"
#include "WMAEncodeThread.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> WavAudio(const std::string &path) {
  auto bytes = ReadFileBytes(path);
  return {bytes.begin() + std::min<size_t>(44, bytes.size()), bytes.end()};
}

class CDRipForm : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.AccurateRipUrl = NoServerUrl;
    GlobalOptions.OutputFolder = Dir.File("out");
    fs::create_directory(GlobalOptions.OutputFolder);
    DiscInfo = TDiscInfo{};
  }
  void TearDown() override {
    Form.reset();
    CDIn.reset();
    GlobalOptions = TGlobalOptions{};
    DiscInfo = TDiscInfo{};
  }

  // The disc's tracks as the drives' only disc, read by a CD input of the main window's kind.
  void InsertDisc(const std::vector<TTestTrack> &tracks) {
    Drives = std::make_unique<TImageDrives>(
        std::vector<std::string>{WriteTestDisc(Dir.Path(), "Disc", tracks)});
    CDIn = std::make_unique<TCDIn>();
    CDIn->DriveName(); // as the main window's listing does: jitter correction as the drive has it
    ASSERT_TRUE(CDIn->EnableJitterCorrection);
  }
  void Open(const std::vector<std::string> &entries) {
    Form = std::make_unique<TfrmCDRip>(nullptr, *CDIn, entries, Mp3, Wma);
    Form->OnFileFinished = [this](const std::string &) {
      CompletedWhenMade.push_back(Form->lCompleted->text().toStdString());
    };
    Form->show();
  }
  // Runs the job until its window has closed.
  void RunJob(const std::vector<std::string> &entries) {
    Open(entries);
    ASSERT_TRUE(RunUntil([&] { return Form->JobFinished() && !Form->isVisible(); }));
  }
  std::string Out(const std::string &name) const { return Dir.File("out/" + name); }
  std::vector<std::string> Boxes() const {
    std::vector<std::string> texts;
    for (const auto &shown : Script.Shown)
      texts.push_back(shown.Text);
    return texts;
  }

  TTempDir Dir;
  std::unique_ptr<TImageDrives> Drives;
  std::unique_ptr<TCDIn> CDIn;
  TMp3EncodeProcess Mp3;
  TWMAEncodeProcess Wma;
  plat::TDialogScript Script;
  std::unique_ptr<TfrmCDRip> Form;
  std::vector<std::string> CompletedWhenMade; // lCompleted as each file was made
};

} // namespace

// Every format from the same three entries, two of one title: the folder holds exactly the
// files of the format (the WAVs go once encoded), the second title numbered, every MP3 tagged
// although "Use ID3 tag" is off, and "Completed" counts the tracks ripped before each file.
TEST_F(CDRipForm, RipsEachEntryIntoTheFormatOfTheSettings) {
  InsertDisc({{150}, {120}, {90}});
  DiscInfo.Artist = "Muddy Waters";
  const std::vector<std::string> entries{"01Alpha", "02Beta", "03Alpha"};
  const struct {
    TFormat Format;
    const char *Extension;
  } formats[] = {{fmtMP3, ".mp3"}, {fmtWAV, ".wav"},   {fmtOGG, ".ogg"},
                 {fmtWMA, ".wma"}, {fmtFLAC, ".flac"}, {fmtOpus, ".opus"}};
  for (const auto [format, extension] : formats) {
    fs::remove_all(Out(""));
    fs::create_directory(Out(""));
    CompletedWhenMade.clear();
    GlobalOptions.OutputFormat = format;
    RunJob(entries);
    const std::string ext = extension;
    EXPECT_TRUE(Script.Shown.empty()) << Boxes().front();
    EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Alpha (2)" + ext, "Alpha" + ext,
                                                                "Beta" + ext, "Muddy Waters.log"}))
        << ext;
    EXPECT_EQ(
        Form->FinishedFiles(),
        (std::vector<std::string>{Out("Alpha" + ext), Out("Beta" + ext), Out("Alpha (2)" + ext)}));
    EXPECT_TRUE(Form->AllSucceeded());
    EXPECT_EQ(Form->lCompleted->text(), "3");
    EXPECT_EQ(Form->lOutputFormat->text().toStdString(), GetFormatName());
    if (format == fmtWAV) {
      EXPECT_EQ(WavAudio(Out("Beta.wav")), TestAudio(2, 120));
      EXPECT_EQ(WavAudio(Out("Alpha (2).wav")), TestAudio(3, 90));
      EXPECT_EQ(CompletedWhenMade, (std::vector<std::string>{"0", "1", "2"}));
    } else if (format == fmtMP3) {
      Tid3tag tag;
      ASSERT_LT(tag.ReadTag(Out("Alpha (2).mp3")), id3OpenError);
      EXPECT_EQ(tag.Title(), "Alpha");
      EXPECT_EQ(tag.Artist(), "Muddy Waters");
      EXPECT_EQ(tag.Track(), 3);
    } else if (format == fmtOGG) {
      EXPECT_EQ(Probe(Out("Beta.ogg"))["codec_name"], "vorbis");
    } else if (format == fmtFLAC) { // lossless: the track's bytes come back
      const std::string raw = Dir.File("decoded.raw");
      ASSERT_EQ(RunProgram({"flac", "-d", "-s", "-f", "--force-raw-format", "--endian=little",
                            "--sign=signed", "-o", raw, Out("Beta.flac")})
                    .ExitStatus,
                0);
      EXPECT_TRUE(ReadFileBytes(raw) == TestAudio(2, 120));
    } else if (format == fmtOpus) {
      EXPECT_EQ(Probe(Out("Beta.opus"))["codec_name"], "opus");
    } else {
      EXPECT_EQ(Probe(Out("Beta.wma"))["codec_name"], "wmav2");
    }
  }
}

// Stop while a track is encoded to Ogg Vorbis stops the encoding: no Ogg file and no part file
// is left, the WAV it came from is kept whole, and nothing else starts.
TEST_F(CDRipForm, StopDuringAnOggEncodingStopsIt) {
  InsertDisc({{75 * 40}, {75}});
  GlobalOptions.OutputFormat = fmtOGG;
  Open({"01Long", "02Short"});
  ASSERT_TRUE(RunUntil([&] {
    return Form->CurrentOutput == Form->Encode->VorbisOut1.get() && Form->ProgressBar2->value() > 0;
  }));
  Form->bStop->click();
  EXPECT_FALSE(Form->Encode->VorbisOut1->Busy());
  EXPECT_TRUE(Form->JobFinished());
  EXPECT_FALSE(Form->isVisible());
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Long.wav", "Rip.log"}));
  EXPECT_EQ(WavAudio(Out("Long.wav")), TestAudio(1, 75 * 40));
  EXPECT_TRUE(Form->FinishedFiles().empty());
  EXPECT_NE(FileText(Out("Rip.log")).find("\nStopped: 0 of 2 tracks made, 0 failed, 2 not made."),
            std::string::npos);
}

// The finished job says so: its caption, a full gauge and the whole outcome, wrapped and as the
// tooltip. Its log names the drive as the raw rip's does, and the paranoia mode by its name.
TEST_F(CDRipForm, AWatchedRipStaysOpenSayingItIsDone) {
  InsertDisc({{150}, {300, true}});
  GlobalOptions.OutputFormat = fmtWAV;
  Open({"01Audio", "02Data"});
  Form->StayAtEnd = true; // the job ends through messages, after this
  ASSERT_TRUE(RunUntil([&] { return Form->JobFinished(); }));
  QCoreApplication::processEvents();
  EXPECT_TRUE(Form->isVisible());
  EXPECT_EQ(Form->windowTitle(), "Done");
  EXPECT_EQ(Form->ProgressBar2->value(), 100);
  const std::string outcome = Form->lProgressHint->text().toStdString();
  EXPECT_EQ(outcome.rfind("Done: 1 of 2 tracks made, 1 failed. AccurateRip: Not verified", 0), 0u)
      << outcome;
  EXPECT_TRUE(Form->lProgressHint->wordWrap());
  EXPECT_EQ(Form->lProgressHint->toolTip().toStdString(), outcome);
  const std::string log = FileText(Out("Rip.log"));
  for (const std::string &line : {"\nDrive: Disc image " + Dir.File("Disc.cue") + "\n",
                                  std::string("\nRead mode: Secure, full paranoia\n")})
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
  Form->bStop->click();
  EXPECT_FALSE(Form->isVisible());
}

// A drive whose reads keep failing halfway through the track, with retries the user set high:
// paranoia would retry for hours. Stop ends the job at once and leaves nothing of the track.
TEST_F(CDRipForm, StopEndsARipWhoseReadsKeepFailing) {
  InsertDisc({{75 * 20}});
  CDIn->MultiReadCount = 1000000;
  CDRip().CR_SetReadFault(75 * 10, 75 * 10, -1);
  Open({"01Scratched"});
  // The read has come to the sectors before the fault, whose read-ahead reaches it.
  ASSERT_TRUE(RunUntil([] { return CDRip().CR_GetCurrentRipSector() >= 75 * 9; }));
  ASSERT_TRUE(Form->WaveOut1->Busy()) << "still reading";
  // The deadline only ends a hang, which would otherwise hold the whole suite.
  std::atomic<bool> stopped{false};
  std::thread deadline([&stopped] {
    for (int waited = 0; waited < 600 && !stopped; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!stopped) {
      std::fputs("Stop did not end the rip\n", stderr);
      std::_Exit(1);
    }
  });
  Form->bStop->click();
  stopped = true;
  deadline.join();
  CDRip().CR_SetReadFault(0, 0, 0);
  EXPECT_TRUE(Form->JobFinished());
  EXPECT_FALSE(Form->isVisible());
  EXPECT_FALSE(Form->WaveOut1->Busy());
  for (const std::string &name : FolderListing(Out("")))
    EXPECT_EQ(name.find("Scratched"), std::string::npos) << name;
}

// An encoding that fails (a WMA profile below the encoder's lowest rate) keeps the track's WAV
// and says so; the next track goes on.
TEST_F(CDRipForm, AFailedEncodingKeepsTheWavAndSaysSo) {
  InsertDisc({{150}, {120}});
  GlobalOptions.OutputFormat = fmtWMA;
  GlobalOptions.WMABitRate = 32;
  RunJob({"01One", "02Two"});
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"One.wav", "Rip.log", "Two.wav"}));
  EXPECT_EQ(WavAudio(Out("One.wav")), TestAudio(1, 150));
  ASSERT_GE(Script.Shown.size(), 2u);
  EXPECT_NE(Boxes().back().find(Out("Two.wma") +
                                " could not be made. The ripped track is kept in " +
                                Out("Two.wav")),
            std::string::npos)
      << Boxes().back();
  EXPECT_FALSE(Form->AllSucceeded());
  EXPECT_EQ(Form->lCompleted->text(), "2");
}

// Sectors that paranoia cannot correct are reported: the track is kept as read, in its WAV,
// and neither encoded nor counted as made.
TEST_F(CDRipForm, SectorsThatCannotBeCorrectedAreReportedAndTheTrackKeptAsRead) {
  InsertDisc({{150}, {120}});
  GlobalOptions.OutputFormat = fmtMP3;
  CDRip().CR_SetReadFault(150 + 40, 1, 1000);
  RunJob({"01One", "02Two"});
  CDRip().CR_SetReadFault(0, 0, 0);
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"One.mp3", "Rip.log", "Two.wav"}));
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_NE(Boxes()[0].find(Out("Two.wav") + " holds "), std::string::npos) << Boxes()[0];
  EXPECT_EQ(Form->FinishedFiles(), std::vector<std::string>{Out("One.mp3")});
}

// Only a whole rip is normalized and kept: a track that cannot be ripped (a data track) is
// reported and leaves no file, the audio track beside it is scaled.
TEST_F(CDRipForm, OnlyACompleteRipIsNormalizedAndKept) {
  InsertDisc({{150}, {300, true}});
  GlobalOptions.OutputFormat = fmtWAV;
  GlobalOptions.IsNormalize = true;
  GlobalOptions.NormalizePercent = 50;
  RunJob({"02Data", "01Audio"});
  EXPECT_EQ(Boxes(), std::vector<std::string>{Out("Data.wav") +
                                              " was not made: its track is a data track, which "
                                              "holds no audio."});
  EXPECT_EQ(FolderListing(Out("")), (std::vector<std::string>{"Audio.wav", "Rip.log"}));
  const std::vector<uint8_t> audio = WavAudio(Out("Audio.wav"));
  const std::vector<uint8_t> read = TestAudio(1, 150);
  ASSERT_EQ(audio.size(), read.size());
  EXPECT_NE(audio, read) << "scaled to half";
  EXPECT_EQ(Form->FinishedFiles(), std::vector<std::string>{Out("Audio.wav")});
}

// The quality or the managed bit rates of the settings, as the rip log names them, and the
// disc's comments when tagged: the genre by name, none when there is none; the list's title, the
// file's where it has none.
TEST(CDRipOggOptions, FollowTheSettings) {
  struct {
    bool UseCompress;
    int Position, Nominal, Maximum, Minimum;
    float Quality;
    TVorbisBitRate ExpectNominal, ExpectMaximum, ExpectMinimum;
    const char *Log;
  } cases[] = {
      {true, 30, 8, 0, 0, 0.2f, brAutoSelect, brAutoSelect, brAutoSelect,
       "libvorbis, quality 0.20"},
      {true, 100, 8, 0, 0, 0.9f, brAutoSelect, brAutoSelect, brAutoSelect,
       "libvorbis, quality 0.90"},
      {false, 100, 8, 11, 1, 0.2f, bitrate128, bitrate192, bitrate45,
       "libvorbis, nominal 128 kbit/s, minimum 45 kbit/s, maximum 192 kbit/s"},
      {false, 30, 14, 0, 0, 0.2f, bitrate320, brAutoSelect, brAutoSelect,
       "libvorbis, nominal 320 kbit/s"},
      {false, 30, 99, 0, 0, 0.2f, brAutoSelect, brAutoSelect, brAutoSelect, // a damaged file
       "libvorbis, quality 0.20"},
  };
  TVorbisOut out;
  for (const auto &c : cases) {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.IsUseCompress = c.UseCompress;
    GlobalOptions.CompressPosition = c.Position;
    GlobalOptions.OggNomalBitRate = c.Nominal;
    GlobalOptions.OggMaxBitRate = c.Maximum;
    GlobalOptions.OggMinBitRate = c.Minimum;
    SetOggOptions(out, false, "Song", 3, 0);
    EXPECT_FLOAT_EQ(out.Compression(), c.Quality) << c.Position;
    EXPECT_EQ(out.DesiredNominalBitrate(), c.ExpectNominal) << c.Nominal;
    EXPECT_EQ(out.DesiredMaximumBitrate(), c.ExpectMaximum) << c.Maximum;
    EXPECT_EQ(out.MinimumBitrate(), c.ExpectMinimum) << c.Minimum;
    EXPECT_EQ(EncoderSettings(fmtOGG), c.Log);
  }

  const struct {
    int Genre;
    const char *ListTitle, *FileTitle, *Name, *Title;
  } tagged[] = {{1, "AC/DC: Live?", "ACDC Live", "Acid", "AC/DC: Live?"},
                {-1, "", "Song", "", "Song"}};
  for (const auto &c : tagged) {
    DiscInfo = TDiscInfo{};
    DiscInfo.Artist = "Ärtist";
    DiscInfo.Genre = c.Genre;
    DiscInfo.Titles[3] = c.ListTitle;
    SetOggOptions(out, true, c.FileTitle, 3, 0);
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Genre()), c.Name);
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Artist()), "Ärtist");
    EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Title()), c.Title);
  }
  DiscInfo.TrackArtists[3] = "A Guest"; // a track with an artist of its own
  SetOggOptions(out, true, "Song", 3, 0);
  EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Artist()), "A Guest");
  SetOggOptions(out, true, "Song", 2, 0);
  EXPECT_EQ(plat::Utf16ToUtf8(out.Comments().Artist()), "Ärtist");
  SetOggOptions(out, false, "Song", 3, 0);
  EXPECT_TRUE(out.Comments().Artist().empty());
  GlobalOptions = TGlobalOptions{};
  DiscInfo = TDiscInfo{};
}
