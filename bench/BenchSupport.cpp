#include "BenchSupport.h"

#include "RunProgram.h"

#include <algorithm>

double SecondsSince(TClock::time_point start) {
  return std::chrono::duration<double>(TClock::now() - start).count();
}

double Seconds(const std::function<void()> &work) {
  const auto start = TClock::now();
  work();
  return SecondsSince(start);
}

double TimedRun(const std::vector<std::string> &argv, const std::string &folder,
                const std::string &stdoutFile) {
  bool ok = false;
  const double seconds = Seconds([&] { ok = RunQuietly(argv, folder, stdoutFile); });
  return ok ? seconds : -1;
}

TStats Spread(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2], times.back()};
}
