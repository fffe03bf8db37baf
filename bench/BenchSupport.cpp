#include "BenchSupport.h"

#include "RunProgram.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

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

std::map<std::string, std::vector<double>> TimeSteps(const std::vector<TBenchStep> &steps, int runs,
                                                     const std::string &out, const char *program) {
  std::map<std::string, std::vector<double>> times;
  for (int run = 0; run < runs; ++run)
    for (const auto &[name, step] : steps) {
      std::filesystem::remove_all(out);
      std::filesystem::create_directory(out);
      const auto start = TClock::now();
      if (!step()) {
        std::fprintf(stderr, "%s: %s failed\n", program, name.c_str());
        return {};
      }
      times[name].push_back(SecondsSince(start));
    }
  return times;
}
