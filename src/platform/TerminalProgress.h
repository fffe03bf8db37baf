#pragma once
// One line on a terminal, rewritten in place, that tells a person watching a long batch job how
// far it got: what it works on, the percent of that, the speed as a multiple of real time and
// the time left. Scripts never see it: it goes to standard error, and only to a terminal.
#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

class TTerminalProgress {
public:
  using TClock = std::chrono::steady_clock;
  // out writes to the file descriptor fd (std::cerr and STDERR_FILENO), and gets the line only
  // when fd is a terminal, cut to its width. jobSeconds: the audio the whole job works
  // through, counted once per step that passes it (a rip and then its encoding count a track
  // twice); 0 when the job is just the one item shown.
  TTerminalProgress(std::ostream &out, int fd, double jobSeconds = 0);
  // Ends the line, so that what is printed after the job starts on a line of its own.
  ~TTerminalProgress();

  // item is `percent` done; it holds `seconds` of audio (0 when not known: then no speed and
  // no time left are shown). A new item starts a new step, the one before counted as done.
  void Show(const std::string &item, int percent, double seconds);
  // Takes the line off the terminal, so that another message can be printed; the next Show
  // puts it back.
  void Clear();
  // Whether the line is shown at all.
  bool Shown() const { return FShown; }

private:
  std::ostream &FOut;
  const bool FShown;
  const std::size_t FColumns; // of the terminal; 0 when not known
  const double FJobSeconds;
  TClock::time_point FJobStart, FStepStart;
  bool FStarted = false;
  std::string FItem;
  double FStepSeconds = 0; // audio of the step shown
  double FDoneSeconds = 0; // of the steps before it
  std::string FText;       // the line as last shown
  bool FOnScreen = false;
};
