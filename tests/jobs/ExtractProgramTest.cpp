// "plindar --extract" run as a script runs it: every track of a disc image into files of the
// chosen format, one printed line per file, and the exit status telling whether all were made.
#include "EncoderTestSupport.h"
#include "FirstDrive.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> WavAudio(const std::string &path) {
  auto bytes = ReadFileBytes(path);
  return {bytes.begin() + std::min<size_t>(44, bytes.size()), bytes.end()};
}

class ExtractProgram : public ::testing::Test {
protected:
  void SetUp() override {
    // A settings and home folder of this test's own: the user's settings and folders stay
    // untouched.
    setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
    setenv("HOME", Config.Path().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    Cue = WriteAudioDisc(Dir.Path(), "Disc", {150, 110});
  }

  TRunResult Extract(std::vector<std::string> options) {
    std::vector<std::string> argv{PLINDAR_PROGRAM, "--cd-image", Cue, "--extract"};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProgram(argv);
  }
  std::string Out(const std::string &name) const { return Dir.File("out/" + name); }
  std::string Lines(std::initializer_list<const char *> names) const {
    std::string lines;
    for (const char *name : names)
      lines += Out(name) + "\n";
    return lines;
  }
  std::string OptionsFile() const { return Config.File("Varnex/Plindar/options.ini"); }

  TTempDir Config;
  TTempDir Dir;
  std::string Cue;
};

TEST_F(ExtractProgram, WavFilesHoldTheTracks) {
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.wav", "Track02.wav"}));
  EXPECT_EQ(WavAudio(Out("Track01.wav")), TestAudio(1, 150));
  EXPECT_EQ(WavAudio(Out("Track02.wav")), TestAudio(2, 110));
  EXPECT_FALSE(fs::exists(OptionsFile())) << "nothing of the run is saved";
}

// The offset of the run, else the one stored for the image, in both CD access modes.
TEST_F(ExtractProgram, TracksAreReadWithTheReadOffsetOfTheRunOrOfTheDrive) {
  const struct {
    std::vector<std::string> Options;
    const char *Stored;
    int32_t Offset;
  } cases[] = {{{"--offset", "+6"}, "", 6},
               {{"--secure", "--offset=-6"}, "", -6},
               {{}, "1000", 1000},
               {{"--secure"}, "-1000", -1000},
               {{"--offset", "0"}, "1000", 0}};
  fs::create_directories(Config.File("Varnex/Plindar"));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Offset);
    std::ofstream(OptionsFile()) << "[ReadOffsets]\nDrive1=" << Cue << "\nOffset1=" << c.Stored
                                 << "\n";
    std::vector<std::string> options = {"--format", "wav", "--output", Dir.File("out")};
    options.insert(options.end(), c.Options.begin(), c.Options.end());
    const TRunResult run = Extract(options);
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_TRUE(WavAudio(Out("Track01.wav")) == ShiftedBin(Cue, 0, 150, c.Offset));
    EXPECT_TRUE(WavAudio(Out("Track02.wav")) == ShiftedBin(Cue, 150, 110, c.Offset));
  }
}

TEST_F(ExtractProgram, Mp3FilesDecodeAndTheWavsAreGone) {
  TRunResult run = Extract({"--format", "mp3", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.mp3", "Track02.mp3"}));
  ASSERT_EQ(RunProgram({"lame", "--quiet", "--decode", Out("Track02.mp3"), Dir.File("back.wav")})
                .ExitStatus,
            0);
  // The decoder adds its delay and padding: at least the whole track comes back.
  EXPECT_GE(ReadWav(Dir.File("back.wav")).Samples.size(), 110u * 588 * 2);
  EXPECT_FALSE(fs::exists(Out("Track01.wav")));
  EXPECT_FALSE(fs::exists(Out("Track02.wav")));
}

TEST_F(ExtractProgram, OggFilesDecodeToTheWholeTrackAndTheWavsAreGone) {
  TRunResult run = Extract({"--format", "ogg", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.ogg", "Track02.ogg"}));
  ASSERT_EQ(RunProgram({"oggdec", "-Q", "-o", Dir.File("back.wav"), Out("Track01.ogg")}).ExitStatus,
            0);
  EXPECT_EQ(ReadWav(Dir.File("back.wav")).Samples.size(), 150u * 588 * 2);
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Track01.ogg", "Track02.ogg"}));
}

// FLAC files decode to the disc's bytes, Opus files to the tracks' length; the WAVs go.
TEST_F(ExtractProgram, FlacAndOpusFilesHoldTheTracks) {
  TRunResult run = Extract({"--format", "flac", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.flac", "Track02.flac"}));
  ASSERT_EQ(
      RunProgram({"flac", "-d", "-s", "-o", Dir.File("back.wav"), Out("Track02.flac")}).ExitStatus,
      0);
  EXPECT_EQ(WavAudio(Dir.File("back.wav")), TestAudio(2, 110));

  run = Extract({"--format", "opus", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.opus", "Track02.opus"}));
  ASSERT_EQ(RunProgram({"opusdec", "--quiet", "--rate", "44100", Out("Track01.opus"),
                        Dir.File("back.wav")})
                .ExitStatus,
            0);
  EXPECT_EQ(ReadWav(Dir.File("back.wav")).Samples.size(), 150u * 588 * 2);
  EXPECT_EQ(
      FolderListing(Dir.File("out")),
      (std::vector<std::string>{"Track01.flac", "Track01.opus", "Track02.flac", "Track02.opus"}));
}

TEST_F(ExtractProgram, WmaFilesAreWmav2AndTheSavedSettingsStayAsTheyWere) {
  fs::create_directories(Config.File("Varnex/Plindar"));
  const std::string saved =
      "[CommonOptions]\nOutputFolder=" + Dir.File("elsewhere") + "\nOutputFormat=1\n";
  std::ofstream(OptionsFile()) << saved;
  TRunResult run = Extract({"--format=wma", "--output=" + Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Track01.wma", "Track02.wma"}));
  EXPECT_EQ(Probe(Out("Track01.wma"))["codec_name"], "wmav2");
  std::stringstream now;
  now << std::ifstream(OptionsFile()).rdbuf();
  EXPECT_EQ(now.str(), saved);
  EXPECT_FALSE(fs::exists(Dir.File("elsewhere")));
}

TEST_F(ExtractProgram, AMissingOutputFolderIsMadeAndAnUnwritableOneFailsClearly) {
  TRunResult made = Extract({"--format", "wav", "--output", Dir.File("new")});
  EXPECT_EQ(made.ExitStatus, 0) << made.Output;
  EXPECT_TRUE(fs::exists(Dir.File("new/Track02.wav")));

  // /proc takes no new files, whoever runs the test.
  TRunResult refused = Extract({"--format", "wav", "--output", "/proc"});
  EXPECT_NE(refused.ExitStatus, 0);
  EXPECT_NE(refused.Output.find("plindar: cannot write into the output folder /proc: "),
            std::string::npos)
      << refused.Output;

  TRunResult tooDeep = Extract({"--output", Dir.File("a/b/c")});
  EXPECT_NE(tooDeep.ExitStatus, 0);
  EXPECT_NE(tooDeep.Output.find("Cannot create " + Dir.File("a/b/c")), std::string::npos)
      << tooDeep.Output;
}

TEST_F(ExtractProgram, ATrackThatCannotBeMadeFailsTheRunAndTheOthersAreStillMade) {
  // The disc's cached title of track 1 is too long for a file name.
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  ASSERT_FALSE(id.empty());
  fs::create_directories(Config.File("Varnex/Plindar"));
  const std::string title(300, 'x');
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nTrackNumber=2\n1=" << title << "\n2=Fine\n";
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 1);
  EXPECT_NE(run.Output.find(Out("Fine.wav") + "\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("plindar: " + Out(title + ".wav") + " is not a valid file name."),
            std::string::npos)
      << run.Output;
  EXPECT_EQ(WavAudio(Out("Fine.wav")), TestAudio(2, 110));
}

TEST_F(ExtractProgram, TitlesGivingOneNameOrNoneStillMakeAFileEach) {
  Cue = WriteAudioDisc(Dir.Path(), "Three", {75, 60, 45});
  std::string id;
  {
    TImageDrives drives({Cue});
    id = DriveDiscID();
  }
  fs::create_directories(Config.File("Varnex/Plindar"));
  std::ofstream(Config.File("Varnex/Plindar/cdinfo.dat"))
      << "[" << id << "]\nTrackNumber=3\n1=Same\n2=Same\n3=???\n";
  TRunResult run = Extract({"--format", "wav", "--output", Dir.File("out")});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Lines({"Same.wav", "Same (2).wav", "Track03.wav"}));
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Same (2).wav", "Same.wav", "Track03.wav"}));
  EXPECT_EQ(WavAudio(Out("Same.wav")), TestAudio(1, 75));
  EXPECT_EQ(WavAudio(Out("Same (2).wav")), TestAudio(2, 60));
}

// --secure rips through the CD input and the pipeline rip window: every format, one line per
// file made, the disc's audio; a track that cannot be ripped (a data track) fails the run and
// says why, and the others are still made.
TEST_F(ExtractProgram, SecureRipMakesEveryFormatAndFailsWhenATrackIsNotMade) {
  for (const std::string format : {"wav", "mp3", "ogg", "wma"}) {
    const std::string out = Dir.File("secure-" + format);
    TRunResult run = Extract({"--secure", "--format", format, "--output", out});
    EXPECT_EQ(run.ExitStatus, 0) << run.Output;
    EXPECT_EQ(run.Output, out + "/Track01." + format + "\n" + out + "/Track02." + format + "\n");
    EXPECT_EQ(FolderListing(out),
              (std::vector<std::string>{"Track01." + format, "Track02." + format}));
  }
  EXPECT_EQ(WavAudio(Dir.File("secure-wav/Track02.wav")), TestAudio(2, 110));

  Cue = WriteTestDisc(Dir.Path(), "Mixed", {{150}, {300, true}});
  TRunResult run = Extract({"--secure", "--format", "wav", "--output", Dir.File("mixed")});
  EXPECT_EQ(run.ExitStatus, 1);
  EXPECT_NE(run.Output.find(Dir.File("mixed/Track01.wav") + "\n"), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("plindar: " + Dir.File("mixed/Track02.wav") +
                            " could not be ripped in full: Trying to rip a data track."),
            std::string::npos)
      << run.Output;
  EXPECT_EQ(FolderListing(Dir.File("mixed")), std::vector<std::string>{"Track01.wav"});
}

TEST_F(ExtractProgram, OptionsItCannotUseAreRefused) {
  TRunResult aac = Extract({"--format", "aac"});
  EXPECT_EQ(aac.ExitStatus, 2);
  EXPECT_NE(aac.Output.find("--format must be mp3, wav, ogg, wma, flac or opus, not aac"),
            std::string::npos);
  TRunResult alone = RunProgram({PLINDAR_PROGRAM, "--output", Dir.File("out")});
  EXPECT_EQ(alone.ExitStatus, 2);
  EXPECT_NE(alone.Output.find("--format and --output go with --extract"), std::string::npos);
}

} // namespace
