// The plindar program run as a user runs it: options, the printed track list, bad images,
// files played on SDL's disk driver, which writes what is played to a file.
#include "AuVorbis.h"
#include "FileContents.h"
#include "Folders.h"
#include "Global.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
  int ExitCode = -1; // -1 when the program did not end normally (a crash)
  std::string Out, Err;
};

std::string Quoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class ProgramTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(plat::ConfigHome() + "Varnex", ec);
  }

  // Runs the program with the arguments; env is put before it (for example "env -u DISPLAY").
  TRun Run(const std::vector<std::string> &args, const std::string &env = "") {
    std::string command = env + " " + Quoted(PLINDAR_PROGRAM);
    for (auto &a : args)
      command += " " + Quoted(a);
    return RunCommand(command);
  }
  // Runs a shell command line with its output and errors read back.
  TRun RunCommand(std::string command) {
    command += " >" + Quoted(Dir.File("out")) + " 2>" + Quoted(Dir.File("err"));
    int status = std::system(command.c_str());
    TRun run;
    if (status != -1 && WIFEXITED(status))
      run.ExitCode = WEXITSTATUS(status);
    run.Out = FileText(Dir.File("out"));
    run.Err = FileText(Dir.File("err"));
    return run;
  }

  // The environment that plays on SDL's disk driver into the file "played".
  std::string DiskSound() const {
    return "env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=" + Quoted(Dir.File("played"));
  }
  // The played bytes from the first sound on.
  std::vector<std::uint8_t> PlayedSound() const {
    const std::vector<std::uint8_t> played = ReadFileBytes(Dir.File("played"));
    return {std::find_if(played.begin(), played.end(), [](std::uint8_t b) { return b != 0; }),
            played.end()};
  }

  TTempDir Dir;
};

// A 44100 Hz 16-bit stereo WAV file of the given audio.
void WriteWav(const std::string &name, const std::vector<std::uint8_t> &audio) {
  auto le = [](std::uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i)
      out += char(v >> (8 * i));
    return out;
  };
  const auto size = static_cast<std::uint32_t>(audio.size());
  std::ofstream(name, std::ios::binary)
      << "RIFF" << le(36 + size, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
      << le(44100, 4) << le(176400, 4) << le(4, 2) << le(16, 2) << "data" << le(size, 4)
      << std::string(audio.begin(), audio.end());
}

} // namespace

// With no drive chosen in the options, the first image named is listed, also on a machine
// with a drive of its own.
TEST_F(ProgramTest, ListPrintsOneTabSeparatedRowPerTrack) {
  std::string cue = WriteAudioDisc(Dir.Path(), "three", {65 * 75 + 30, 20 * 75 + 50, 4});
  TRun run = Run({"--cd-image", cue, "--list"});
  EXPECT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "1\tTrack01\t01:05\t10.93\n"
                     "2\tTrack02\t00:21\t03.53\n"
                     "3\tTrack03\t00:00\t00.00\n");
  // Listing is no session: nothing is written to the disc cache.
  EXPECT_FALSE(fs::exists(GetSettingsFolder() + "cdinfo.dat"));
}

TEST_F(ProgramTest, ListWithoutAnAudioDiscPrintsTheStatusAndFails) {
  std::string data = WriteTestDisc(Dir.Path(), "data", {{300, true}});
  TRun noAudio = Run({"--cd-image", data, "--list"});
  EXPECT_EQ(noAudio.ExitCode, 1);
  EXPECT_EQ(noAudio.Out, "");
  EXPECT_EQ(noAudio.Err, "Can not find audio CD in your CD device.\n");
}

TEST_F(ProgramTest, TheDemoDiscIsMadeAndListed) {
  TRun run = Run({"--make-demo-disc", Dir.File("demo"), "--list"});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  std::istringstream lines(run.Out);
  std::string cue, row;
  std::getline(lines, cue);
  EXPECT_TRUE(fs::is_regular_file(cue)) << cue;
  int rows = 0;
  while (std::getline(lines, row)) {
    ++rows;
    EXPECT_EQ(row.rfind(std::to_string(rows) + "\tTrack" + TwoDigits(rows) + "\t", 0), 0u) << row;
  }
  EXPECT_GE(rows, 4);
  EXPECT_LE(rows, 6);

  // Made alone, it only prints where it is.
  TRun alone = Run({"--make-demo-disc", Dir.File("demo2")});
  EXPECT_EQ(alone.ExitCode, 0);
  EXPECT_EQ(alone.Out, Dir.File("demo2") + "/" + fs::path(cue).filename().string() + "\n");
}

TEST_F(ProgramTest, BadImagesGiveAClearMessageNamingTheFile) {
  std::vector<std::string> images = {
      WriteCueWithoutBin(Dir.Path(), "nobin"),
      WriteTruncatedDisc(Dir.Path(), "cut", {{750}, {750}}, 700 * 2352),
      Dir.File("absent.cue"),
  };
  for (const std::string &cue : images) {
    TRun run = Run({"--cd-image", cue, "--list"});
    EXPECT_NE(run.ExitCode, 0) << cue;
    EXPECT_NE(run.ExitCode, -1) << cue;
    EXPECT_EQ(run.Out, "") << cue;
    EXPECT_NE(run.Err.find(fs::path(cue).filename().string()), std::string::npos)
        << cue << ": " << run.Err;
  }
  // A sheet with lines it does not know either lists the tracks it finds or says why not.
  TRun garbage = Run({"--cd-image", WriteGarbageCueDisc(Dir.Path(), "junk"), "--list"});
  EXPECT_NE(garbage.ExitCode, -1);
  EXPECT_TRUE(garbage.ExitCode == 0 ? !garbage.Out.empty() : !garbage.Err.empty());
}

TEST_F(ProgramTest, CommandLineErrorsAndHelp) {
  TRun help = Run({"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  EXPECT_NE(help.Out.find("--cd-image FILE.cue"), std::string::npos);
  EXPECT_NE(help.Out.find("--list"), std::string::npos);

  TRun bad = Run({"--frobnicate"});
  EXPECT_EQ(bad.ExitCode, 2);
  EXPECT_NE(bad.Err.find("unknown argument: --frobnicate"), std::string::npos);

  // The window needs a screen; without one the program says so instead of aborting.
  TRun headless = Run({}, "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(headless.ExitCode, 1);
  EXPECT_NE(headless.Err.find("no display"), std::string::npos);
}

// The card gets the file's audio byte for byte after its leading silence, then only silence;
// the position goes to standard error only when that is a terminal.
TEST_F(ProgramTest, PlayGivesTheCardTheWavFilesAudio) {
  std::vector<std::uint8_t> audio(44100 * 4 / 2);
  for (std::size_t i = 0; i < audio.size(); ++i)
    audio[i] = static_cast<std::uint8_t>(i * 7 + 1);
  WriteWav(Dir.File("pattern.wav"), audio);
  TRun run = Run({"--play", Dir.File("pattern.wav")}, DiskSound());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "");
  EXPECT_EQ(run.Err.find('\r'), std::string::npos) << run.Err;
  const std::vector<std::uint8_t> sound = PlayedSound();
  ASSERT_GE(sound.size(), audio.size());
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), sound.begin()));
  EXPECT_TRUE(std::all_of(sound.begin() + audio.size(), sound.end(), [](auto b) { return !b; }));

  // On a terminal (script gives the program one) the position counts up to the length.
  const std::string command =
      DiskSound() + " " + Quoted(PLINDAR_PROGRAM) + " --play " + Quoted(Dir.File("pattern.wav"));
  TRun terminal = RunCommand("script -qec " + Quoted(command) + " /dev/null");
  EXPECT_EQ(terminal.ExitCode, 0) << terminal.Out;
  EXPECT_NE(terminal.Out.find("\r0:00 / 0:00"), std::string::npos) << terminal.Out;
}

// A file that cannot be played, or a sound system that cannot be had, ends the program with
// a message naming the file; an Ogg file cut in its audio plays to the cut and ends well.
TEST_F(ProgramTest, PlayEndsWithTheReasonWhenItCannotPlay) {
  std::ofstream(Dir.File("notes.wav")) << "not a sound file\n";
  ASSERT_EQ(std::system(("sox -R -n -r 44100 -c 1 -b 16 " + Quoted(Dir.File("tone.wav")) +
                         " synth 4 pinknoise gain -6 && oggenc -Q -o " +
                         Quoted(Dir.File("tone.ogg")) + " " + Quoted(Dir.File("tone.wav")))
                            .c_str()),
            0);
  const std::vector<std::uint8_t> whole = ReadFileBytes(Dir.File("tone.ogg"));
  std::ofstream(Dir.File("cut.ogg"), std::ios::binary)
      .write(reinterpret_cast<const char *>(whole.data()), std::streamsize(whole.size() / 2));
  const struct {
    const char *File;
    const char *Env;
    const char *Reason; // empty: plays to its end
  } cases[] = {
      {"absent.ogg", "", "No such file or directory"},
      {"notes.wav", "", "not a WAV or Ogg Vorbis file that can be played"},
      {"tone.ogg", "env SDL_AUDIODRIVER=no-such-driver", "Failed to create DirectSound device"},
      {"cut.ogg", nullptr, ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.File);
    TRun run = Run({"--play", Dir.File(c.File)}, c.Env ? c.Env : DiskSound());
    if (*c.Reason) {
      EXPECT_EQ(run.ExitCode, 1);
      EXPECT_NE(run.Err.find("plindar: cannot play " + Dir.File(c.File) + ": " + c.Reason + "\n"),
                std::string::npos)
          << run.Err;
      continue;
    }
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    TVorbisIn cut;
    cut.SetFileName(Dir.File("cut.ogg"));
    ASSERT_TRUE(cut.Valid());
    // Mono goes to the card as stereo: twice the bytes the file holds, give or take the
    // decoder's quiet start.
    const double played = double(PlayedSound().size()), held = 2.0 * double(cut.Size());
    EXPECT_GT(played, 0.9 * held);
    EXPECT_LT(played, 1.1 * held + 44100 * 4 * 0.3); // and at most the buffer's silence after
  }
}
