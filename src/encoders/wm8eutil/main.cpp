// WM8EUTIL: encodes a WAV file into a WMA file. Prints "Encoding: N%" lines while it works and
// "Encoding: 100%" once the file is complete; any failure prints one line beginning with
// "ERROR:" and ends with exit status 1, leaving no output file behind.
#include "WmaArguments.h"
#include "WmaWriter.h"

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line reaches the reading program at once
  try {
    TWmaJob job = ParseWmaArguments(std::vector<std::string>(argv + 1, argv + argc));
    WriteWma(job, [](int percent) { std::printf("Encoding: %d%%\n", percent); });
    std::printf("Encoding: 100%%\n");
    return 0;
  } catch (const std::exception &e) {
    std::printf("ERROR: %s\n", e.what());
    return 1;
  }
}
