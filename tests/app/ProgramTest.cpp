// The plindar program run as a user runs it: options, the printed track list, bad images.
#include "CddbServer.h"
#include "Folders.h"
#include "Global.h"
#include "TempDir.h"
#include "TestDisc.h"

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
    command += " >" + Quoted(Dir.File("out")) + " 2>" + Quoted(Dir.File("err"));
    int status = std::system(command.c_str());
    TRun run;
    if (status != -1 && WIFEXITED(status))
      run.ExitCode = WEXITSTATUS(status);
    run.Out = FileText(Dir.File("out"));
    run.Err = FileText(Dir.File("err"));
    return run;
  }

  TTempDir Dir;
};

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

// The looked-up titles are what --list prints; a failed lookup says why and lists nothing.
TEST_F(ProgramTest, QueryListsTheLookedUpTitlesOrSaysWhyItFailed) {
  const std::string cue = WriteAudioDisc(Dir.Path(), "three", {300, 450, 300});
  TCddbServer server;
  const std::string url = "http://" + server.Address() + "/~cddb/cddb.cgi";
  TRun none = Run({"--cd-image", cue, "--query", "--cddb-server", url, "--list"});
  EXPECT_EQ(none.ExitCode, 1);
  EXPECT_EQ(none.Out, "");
  EXPECT_EQ(none.Err, "plindar: CDDB lookup failed: no match found for the disc 0b000e03 on " +
                          server.Address() + "\n");

  TRun unreachable =
      Run({"--cd-image", cue, "--query", "--cddb-server", "http://127.0.0.1:1/cddb.cgi", "--list"});
  EXPECT_EQ(unreachable.ExitCode, 1);
  EXPECT_EQ(unreachable.Out, "");
  EXPECT_EQ(unreachable.Err.rfind("plindar: CDDB lookup failed: cannot reach the CDDB server "
                                  "127.0.0.1:1 (",
                                  0),
            0u)
      << unreachable.Err;

  server.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  TRun found = Run({"--cd-image", cue, "--query", "--cddb-server", url, "--list"});
  EXPECT_EQ(found.ExitCode, 0) << found.Err;
  EXPECT_EQ(found.Out, "1\tOpening Theme\t00:04\t00.67\n"
                       "2\tA Title Long Enough to Continue on a Second Line\t00:06\t01.01\n"
                       "3\tCoda für Café\t00:04\t00.67\n");
}
