#pragma once
// Running another program from a test or a benchmark: without a shell, so that arguments need
// no quoting, and waiting for it to end.
#include <chrono>
#include <functional>
#include <string>
#include <sys/types.h>
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

// A program running beside the test, its standard output and error gathered into a file, so
// that the test can act on it (signal it, its children, its files) while it runs.
class TRunningProgram {
public:
  TRunningProgram(const std::vector<std::string> &argv, const std::string &outputFile);
  // Kills the program when it still runs.
  ~TRunningProgram();
  TRunningProgram(const TRunningProgram &) = delete;
  TRunningProgram &operator=(const TRunningProgram &) = delete;

  pid_t Pid() const { return FPid; }
  // Waits for the end; a program still running after the deadline is killed (ExitStatus -1),
  // so a hang fails the test instead of stopping the suite.
  TRunResult Wait(std::chrono::seconds deadline = std::chrono::seconds(120));

private:
  std::string FOutputFile;
  pid_t FPid = 0;
};

// The first child process of parent whose command name is name; 0 when there is none.
pid_t ChildNamed(pid_t parent, const std::string &name);
// Looks at done() every few milliseconds until it holds; false after the deadline.
bool WaitFor(const std::function<bool()> &done,
             std::chrono::seconds deadline = std::chrono::seconds(60));
