#include "TerminalProgress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace {

// Speed and time left need a little time and audio behind them to mean anything.
constexpr double MinElapsed = 0.5;

std::string MinutesSeconds(double seconds) {
  const long whole = std::lround(std::max(seconds, 0.0));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
  return text;
}

double SecondsBetween(TTerminalProgress::TClock::time_point from,
                      TTerminalProgress::TClock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

} // namespace

TTerminalProgress::TTerminalProgress(std::ostream &out, bool shown, double jobSeconds)
    : FOut(out), FShown(shown), FJobSeconds(jobSeconds) {}

TTerminalProgress::~TTerminalProgress() {
  if (FShown && FOnScreen)
    FOut << "\n" << std::flush;
}

void TTerminalProgress::Show(const std::string &item, int percent, double seconds,
                             TClock::time_point now) {
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
  std::string text = item + ": " + std::to_string(percent) + "%";
  if (stepDone > 0 && stepElapsed >= MinElapsed) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.1f", stepDone / stepElapsed);
    // The job's time left at the pace of the job so far; a job of one item is that item.
    const double jobDone = FDoneSeconds + stepDone;
    const double total = FJobSeconds > 0 ? std::max(FJobSeconds, jobDone) : seconds;
    const double pace = (FJobSeconds > 0 ? SecondsBetween(FJobStart, now) : stepElapsed) / jobDone;
    text += ", " + std::string(speed) + "x real time, " + MinutesSeconds((total - jobDone) * pace) +
            " left";
  }
  const bool changed = text != FText || !FOnScreen;
  FText = text;
  if (!FShown || !changed)
    return;
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
