#pragma once
// What the benchmarks share: a clock, timed program runs and the spread of a set of timings.
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

using TClock = std::chrono::steady_clock;

// Seconds from `start` to now.
double SecondsSince(TClock::time_point start);
// Seconds that work() takes.
double Seconds(const std::function<void()> &work);

// Runs a program as RunQuietly does; its wall time in seconds, or -1 when it could not be run
// or failed.
double TimedRun(const std::vector<std::string> &argv, const std::string &folder = "",
                const std::string &stdoutFile = "/dev/null");

struct TStats {
  double Min, Median, Max;
};
// The least, the middle and the greatest of a set of timings (at least one).
TStats Spread(std::vector<double> times);

// A named step of a benchmark: true when it did its work.
using TBenchStep = std::pair<std::string, std::function<bool()>>;
// Runs every step `runs` times, interleaved so that a busy moment of the machine weighs on every
// step alike, each time into the folder `out` made afresh: the wall times of each step. Empty
// when a step failed; the step is named on standard error after `program`.
std::map<std::string, std::vector<double>> TimeSteps(const std::vector<TBenchStep> &steps, int runs,
                                                     const std::string &out, const char *program);
