// "plindar --verify" on rips made outside the program: a disc image's audio cut into files and
// encoded with flac, checked against a local AccurateRip server that holds the image's true
// checksums.
#include "AccurateRipAnswers.h"
#include "CddbServer.h"
#include "CutRips.h"
#include "FileContents.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class VerifyProgram : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
    setenv("HOME", Config.Path().c_str(), 1);
    Cue = WriteAudioDisc(Dir.Path(), "Disc", Lengths);
    Ids = ImageDiscIds(Cue);
  }
  // The answer for the image's true audio, served where the program asks for it.
  void ServeTrueAnswer() {
    Server.AddFile(accuraterip::RequestPath(Ids), TrueAnswer(Cue, Lengths, Ids, 7));
  }
  TRunResult Verify(const std::vector<std::string> &paths) {
    std::vector<std::string> argv{PLINDAR_PROGRAM, "--verify"};
    argv.insert(argv.end(), paths.begin(), paths.end());
    argv.insert(argv.end(), {"--accuraterip-url", "http://" + Server.Address()});
    return RunProgram(argv);
  }
  std::string Head(const std::string &toc) const {
    return "TOC: " + toc + "\nAccurateRip: " + accuraterip::RequestPath(Ids) + "\n";
  }

  const std::vector<uint32_t> Lengths = {460, 470, 480, 490, 500};
  TTempDir Config, Dir;
  std::string Cue;
  accuraterip::TDiscIds Ids;
  TCddbServer Server;
  const std::string Rips = Dir.File("rips");
  const std::string ByLengths =
      "from the track lengths (track 1 at 00:02:00, pregaps with the track before)";
};

TEST_F(VerifyProgram, RipsOfTheTrueAudioAreAllAccurateAndNothingIsWritten) {
  CutWavs(Cue, Rips, TrackCuts(Lengths));
  EncodeWavsToFlac(Rips);
  ServeTrueAnswer();
  const std::vector<std::string> before = FolderListing(Rips);
  const TRunResult run = Verify({Rips});
  EXPECT_EQ(run.ExitStatus, 0);
  std::string expected = Head(ByLengths);
  for (int t = 1; t <= 5; ++t)
    expected += "0" + std::to_string(t) + " Track.flac: accurate (confidence 7, v2)\n";
  EXPECT_EQ(run.Output, expected + "5 of 5 tracks accurate\n");
  EXPECT_EQ(FolderListing(Rips), before);
}

TEST_F(VerifyProgram, OneChangedSampleMakesItsTrackNotAccurate) {
  CutWavs(Cue, Rips, TrackCuts(Lengths));
  {
    std::fstream wav(Rips + "/03 Track.wav", std::ios::in | std::ios::out | std::ios::binary);
    wav.seekp(44 + 100 * 2352 + 4 * 7); // sector 100, sample 7, left channel
    wav.put(0x55).put(0x55);
  }
  EncodeWavsToFlac(Rips);
  ServeTrueAnswer();
  const TRunResult run = Verify({Rips});
  EXPECT_EQ(run.ExitStatus, 1);
  EXPECT_EQ(run.Output, Head(ByLengths) + "Offset search: no other offset matches better\n"
                                          "01 Track.flac: accurate (confidence 7, v2)\n"
                                          "02 Track.flac: accurate (confidence 7, v2)\n"
                                          "03 Track.flac: not accurate (best confidence 7)\n"
                                          "04 Track.flac: accurate (confidence 7, v2)\n"
                                          "05 Track.flac: accurate (confidence 7, v2)\n"
                                          "4 of 5 tracks accurate\n");
}

// A drive whose read offset the ripper left uncorrected shifts the whole disc.
TEST_F(VerifyProgram, AShiftedRipIsAccurateAtTheOffsetOfItsDrive) {
  ServeTrueAnswer();
  for (const int32_t offset : {667, -1234}) {
    SCOPED_TRACE(offset);
    fs::remove_all(Rips);
    CutWavs(Cue, Rips, TrackCuts(Lengths), offset);
    EncodeWavsToFlac(Rips);
    const std::string samples = (offset > 0 ? "+" : "") + std::to_string(offset);
    const TRunResult run = Verify({Rips});
    EXPECT_EQ(run.ExitStatus, 0);
    std::string expected = Head(ByLengths) + "Offset search: " + samples +
                           " samples (sector 450 of 5 of 5 tracks matched)\n";
    for (int t = 1; t <= 5; ++t)
      expected += "0" + std::to_string(t) + " Track.flac: accurate with an offset of " + samples +
                  " samples (confidence 7, v2)\n";
    EXPECT_EQ(run.Output, expected + "5 of 5 tracks accurate\n");
  }
}

// An enhanced disc's cue sheet: the second file starts with the last 30 sectors of track 1
// (its pregap), and the data track comes from its own BINARY file.
TEST_F(VerifyProgram, ACueSheetWithPregapAndDataTrackGivesTheDiscsTableOfContents) {
  const std::vector<uint32_t> audio = {500, 480};
  Cue = WriteTestDisc(Dir.Path(), "Enhanced", {{500}, {480}, {300, true}});
  Ids = ImageDiscIds(Cue);
  Server.AddFile(accuraterip::RequestPath(Ids), TrueAnswer(Cue, audio, Ids, 4));
  CutWavs(Cue, Rips, {{"01 Track", 0, 470}, {"02 Track", 470, 510}});
  EncodeWavsToFlac(Rips);
  const std::vector<uint8_t> bin = ReadFileBytes(BinOf(Cue));
  std::ofstream(Rips + "/03 Data.bin", std::ios::binary)
      .write(reinterpret_cast<const char *>(bin.data()) + 980 * 2352, 300 * 2352);
  std::ofstream(Rips + "/Enhanced.cue") << "FILE \"01 Track.wav\" WAVE\n"
                                           "  TRACK 01 AUDIO\n"
                                           "    INDEX 01 00:00:00\n"
                                           "FILE \"02 Track.wav\" WAVE\n"
                                           "  TRACK 02 AUDIO\n"
                                           "    INDEX 00 00:00:00\n"
                                           "    INDEX 01 00:00:30\n"
                                           "FILE \"03 Data.bin\" BINARY\n"
                                           "  TRACK 03 MODE1/2352\n"
                                           "    INDEX 01 00:00:00\n";
  const TRunResult run = Verify({Rips});
  EXPECT_EQ(run.ExitStatus, 0);
  EXPECT_EQ(run.Output, Head("from the cue sheet " + Rips + "/Enhanced.cue") +
                            "01 Track.flac: accurate (confidence 4, v2)\n"
                            "02 Track.flac: accurate (confidence 4, v2)\n"
                            "2 of 2 tracks accurate\n");
}

TEST_F(VerifyProgram, AFolderWithoutOneOfItsTracksIsRefused) {
  CutWavs(Cue, Rips, TrackCuts(Lengths));
  fs::remove(Rips + "/03 Track.wav");
  EncodeWavsToFlac(Rips);
  ServeTrueAnswer();
  const std::vector<std::string> before = FolderListing(Rips);
  const TRunResult run = Verify({Rips});
  EXPECT_EQ(run.ExitStatus, 2);
  EXPECT_EQ(run.Output, "plindar: track 3 is missing: 04 Track.flac is track 4 of the files\n");
  EXPECT_EQ(FolderListing(Rips), before);
  EXPECT_EQ(Server.Requests(), "") << "an unusable folder is not looked up";
}

} // namespace
