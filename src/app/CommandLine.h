#pragma once
// The program's command line.
#include <string>
#include <vector>

struct TCommandLine {
  std::vector<std::string> CDImages; // --cd-image FILE.cue, in the order given
  bool List = false;                 // --list: print the track list instead of showing a window
  std::string DemoDiscFolder;        // --make-demo-disc DIR
  bool Help = false;                 // --help
};

// Fills options from the arguments after the program name. False with a message naming the
// offending argument when they cannot be understood.
bool ParseCommandLine(const std::vector<std::string> &args, TCommandLine &options,
                      std::string &error);

// The text --help prints.
std::string UsageText();
