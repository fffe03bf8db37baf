#pragma once
// Running another program from a test or a benchmark: without a shell, so that arguments need
// no quoting, and waiting for it to end.
#include <string>
#include <vector>

struct TRunResult {
  std::string Output; // standard output and standard error
  int ExitStatus = -1;
};
// Runs argv[0] (looked up on PATH) with its standard output and error read into Output.
TRunResult RunProgram(const std::vector<std::string> &argv);
// Runs argv[0] in `folder` (here when empty) with its standard output into the file `stdoutFile`
// and its error output thrown away; true when it ran and exited with status 0.
bool RunQuietly(const std::vector<std::string> &argv, const std::string &folder = "",
                const std::string &stdoutFile = "/dev/null");
