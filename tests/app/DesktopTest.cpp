// The program among the desktop's other programs. What the shell and the manual know of its
// options comes from --help: the bash completion offers exactly the options --help lists, so a
// new option cannot be forgotten. Without a desktop launcher, what would be opened is named.
#include "Dialogs.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

namespace {

// What the completion offers for the words of a command line, the last being completed.
std::set<std::string> Completions(const std::string &words, const std::string &folder = ".") {
  const std::string script = "cd \"$1\" && source \"$2\" && COMP_WORDS=(plindar " + words +
                             ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && _plindar && "
                             "printf '%s\\n' \"${COMPREPLY[@]}\"";
  const TRunResult run = RunProgram({"bash", "-c", script, "bash", folder, PLINDAR_COMPLETION});
  EXPECT_EQ(run.ExitStatus, 0) << run.Output;
  std::set<std::string> offered;
  std::istringstream lines(run.Output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty())
      offered.insert(line);
  return offered;
}

std::set<std::string> Matches(const std::string &text, const std::string &pattern) {
  std::set<std::string> found;
  const std::regex re(pattern);
  for (auto m = std::sregex_iterator(text.begin(), text.end(), re); m != std::sregex_iterator();
       ++m)
    found.insert((*m)[1]);
  return found;
}

TEST(Desktop, VersionAndCompletionFollowTheHelp) {
  const TRunResult version = RunProgram({PLINDAR_PROGRAM, "--version"});
  EXPECT_EQ(version.ExitStatus, 0);
  EXPECT_TRUE(std::regex_match(version.Output, std::regex("Plindar [0-9]+\\.[0-9]+\n")))
      << version.Output;

  const TRunResult help = RunProgram({PLINDAR_PROGRAM, "--help"});
  ASSERT_EQ(help.ExitStatus, 0);
  // Each option's own line in the list: two blanks, the option.
  const std::set<std::string> options = Matches(help.Output, "\n  (--[a-z-]+)");
  ASSERT_TRUE(options.contains("--version"));
  EXPECT_EQ(Completions("--"), options);

  // The words of the options that take one of a few, as --help names them.
  for (const char *option : {"--format", "--query-source", "--channels", "--bits"}) {
    SCOPED_TRACE(option);
    std::set<std::string> words;
    const std::string listed =
        *Matches(help.Output, std::string("\n  ") + option + " ([^ \n]+)").begin();
    std::istringstream in(listed);
    for (std::string word; std::getline(in, word, '|');)
      words.insert(word);
    EXPECT_EQ(Completions(std::string(option) + " ''"), words);
  }

  // File names: a disc image for --cd-image, any file for --convert and --play.
  TTempDir dir;
  std::ofstream(dir.File("disc.cue")) << "";
  std::ofstream(dir.File("song.wav")) << "";
  EXPECT_EQ(Completions("--cd-image ''", dir.Path()), std::set<std::string>{"disc.cue"});
  EXPECT_EQ(Completions("--convert s", dir.Path()), std::set<std::string>{"song.wav"});
}

// Here on Qt's offscreen platform nothing opens anything, as on a desktop without a launcher.
TEST(Desktop, WithoutALauncherWhatWouldBeOpenedIsNamed) {
  TTempDir noPrograms;
  const std::string path = std::getenv("PATH");
  setenv("PATH", noPrograms.Path().c_str(), 1);
  std::string named;
  bool launcherFound = true;
  plat::ShellOpenFailed = [&](const std::string &target, bool launcher) {
    named = target;
    launcherFound = launcher;
  };
  EXPECT_FALSE(plat::ShellOpen("/usr/share/plindar/help/index.html"));
  plat::ShellOpenFailed = nullptr;
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(named, "/usr/share/plindar/help/index.html");
  EXPECT_FALSE(launcherFound);
}

} // namespace
