// "plindar --extract" watched by a person and read by a script at once: the progress line
// goes to a terminal only, and a reader that stops early ends no rip.
#include "ExtractProgram.h"
#include "FileContents.h"
#include "RunProgram.h"

#include <filesystem>
#include <regex>

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string &text) {
  std::string quoted = "'";
  for (char c : text)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Tracks long enough (three minutes and one) that their encoding is seen at work for more than
// the half second the speed needs, however fast the machine encodes.
class ExtractTerminal : public ExtractProgram {
protected:
  void SetUp() override {
    ExtractProgram::SetUp();
    Cue = WriteAudioDisc(Dir.Path(), "Long", {13500, 4500});
  }
  // The MP3 rip as a shell command line.
  std::string Command() const {
    std::string command;
    for (const std::string &arg : ExtractArgs({"--format", "mp3", "--output", Dir.File("out")}))
      command += Quoted(arg) + " ";
    return command;
  }
};

TEST_F(ExtractTerminal, ProgressIsShownOnATerminalOnly) {
  // Standard error on the terminal `script` makes, standard output into a file.
  const TRunResult watched =
      RunProgram({"script", "-qec", Command() + ">" + Quoted(Dir.File("stdout")), "/dev/null"});
  EXPECT_EQ(watched.ExitStatus, 0) << watched.Output;
  EXPECT_TRUE(std::regex_search(watched.Output,
                                std::regex("\r(Extracting|Encoding) 0[12]/02 Track0[12]: [0-9]+%")))
      << watched.Output;
  EXPECT_TRUE(std::regex_search(watched.Output,
                                std::regex("%, [0-9]+\\.[0-9]x real time, [0-9]+:[0-9]{2} left")))
      << watched.Output;
  const std::string printed = FileText(Dir.File("stdout"));
  EXPECT_EQ(printed.substr(0, printed.find("AccurateRip: ")),
            Lines({"Track01.mp3", "Track02.mp3"}));

  // Read by a script (both outputs into a pipe): the files and nothing of the progress.
  fs::remove_all(Dir.File("out"));
  const TRunResult piped = Extract({"--format", "mp3", "--output", Dir.File("out")});
  EXPECT_EQ(piped.ExitStatus, 0);
  EXPECT_EQ(piped.Output, Lines({"Track01.mp3", "Track02.mp3"}));
}

// A reader that takes the first line and goes away: the rip still makes every file and its log.
TEST_F(ExtractTerminal, AReaderThatStopsEarlyEndsNoRip) {
  const TRunResult run =
      RunProgram({"bash", "-c", Command() + "| head -n 1; exit ${PIPESTATUS[0]}"});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  EXPECT_EQ(run.Output, Out("Track01.mp3") + "\n");
  EXPECT_EQ(FolderListing(Dir.File("out")),
            (std::vector<std::string>{"Rip.log", "Track01.mp3", "Track02.mp3"}));
  EXPECT_NE(FileText(Out("Rip.log")).find("Done"), std::string::npos);
}

} // namespace
