#include "SoxCheck.h"

#include "FileContents.h"
#include "RunProgram.h"

#include <cmath>
#include <cstdio>
#include <cstring>

std::string Soxi(const std::string &option, const std::string &file) {
  std::string out = RunProgram({"soxi", option, file}).Output;
  while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
    out.pop_back();
  return out;
}

std::vector<std::int16_t> FirstChannel(const std::string &file, const std::string &scratch) {
  if (RunProgram({"sox", file, "-t", "raw", "-e", "signed", "-b", "16", scratch, "remix", "1"})
          .ExitStatus != 0)
    return {};
  const auto bytes = ReadFileBytes(scratch);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  std::remove(scratch.c_str());
  return samples;
}

TTone Measure(const std::vector<std::int16_t> &s, std::size_t from, std::size_t to, double rate) {
  int crossings = 0;
  double sum = 0;
  for (std::size_t i = from; i + 1 < to; ++i) {
    crossings += (s[i] < 0) != (s[i + 1] < 0);
    sum += double(s[i]) * s[i];
  }
  return {crossings * rate / double(to - from), std::sqrt(sum / double(to - from))};
}
