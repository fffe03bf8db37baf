#include "TerminalProgress.h"

#include "Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Speed and time left need a little time and audio behind them to mean anything.
constexpr double MinElapsed = 0.5;

double SecondsBetween(TTerminalProgress::TClock::time_point from,
                      TTerminalProgress::TClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

std::size_t Columns(int fd) {
  winsize size{};
  return ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

// The characters of UTF-8 text: the bytes that start one.
std::size_t Characters(const std::string &text) {
  return std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
}

// The first `count` characters of UTF-8 text.
std::string FirstCharacters(const std::string &text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t seen = 0; end < text.size(); ++end)
    if ((text[end] & 0xC0) != 0x80 && seen++ == count)
      break;
  return text.substr(0, end);
}

} // namespace

TTerminalProgress::TTerminalProgress(std::ostream &out, int fd, double jobSeconds)
    : FOut(out), FShown(isatty(fd) == 1), FColumns(FShown ? Columns(fd) : 0),
      FJobSeconds(jobSeconds) {}

TTerminalProgress::~TTerminalProgress() {
  if (FShown && FOnScreen)
    FOut << "\n" << std::flush;
}

void TTerminalProgress::Show(const std::string &item, int percent, double seconds) {
  if (!FShown)
    return;
  const TClock::time_point now = TClock::now();
  if (!FStarted) {
    FStarted = true;
    FJobStart = now;
    FStepStart = now;
  } else if (item != FItem) {
    FDoneSeconds += FStepSeconds;
    FStepStart = now;
  }
  FItem = item;
  FStepSeconds = seconds;
  percent = std::clamp(percent, 0, 100);
  const double stepDone = seconds * percent / 100;
  const double stepElapsed = SecondsBetween(FStepStart, now);
  std::string text = ": " + std::to_string(percent) + "%";
  if (stepDone > 0 && stepElapsed >= MinElapsed) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1f", stepDone / stepElapsed);
    // The job's time left at the pace of the job so far; a job of one item is that item.
    const double jobDone = FDoneSeconds + stepDone;
    const double total = FJobSeconds > 0 ? std::max(FJobSeconds, jobDone) : seconds;
    const double pace = (FJobSeconds > 0 ? SecondsBetween(FJobStart, now) : stepElapsed) / jobDone;
    text += ", " + std::string(speed) + "x real time, " +
            plat::ClockTime(std::lround(std::max((total - jobDone) * pace, 0.0))) + " left";
  }
  // A line that wraps cannot be rewritten: the item gives way, to the last column left free.
  const std::size_t room = FColumns > Characters(text) + 1 ? FColumns - Characters(text) - 1 : 0;
  text = (FColumns == 0 ? item : FirstCharacters(item, room)) + text;
  if (text == FText && FOnScreen)
    return;
  FText = text;
  // \x1b[K clears what a longer line before left on the right.
  FOut << "\r" << text << "\x1b[K" << std::flush;
  FOnScreen = true;
}

void TTerminalProgress::Clear() {
  if (!FShown || !FOnScreen)
    return;
  FOut << "\r\x1b[K" << std::flush;
  FOnScreen = false;
}
