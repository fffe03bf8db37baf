#pragma once
// A program run as a child process with its standard input, output and error on pipes, never
// through a shell, and a process file descriptor that becomes readable once the child has
// ended, so one poll can wait for its output and its end together.
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace plat {

// A file descriptor closed with its owner.
class TFd {
public:
  TFd() = default;
  explicit TFd(int fd) : FFd(fd) {}
  TFd(TFd &&other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
  TFd &operator=(TFd &&other) noexcept {
    std::swap(FFd, other.FFd);
    return *this;
  }
  ~TFd();
  int Get() const { return FFd; }

private:
  int FFd = -1;
};

class TChildProcess {
public:
  // Starts the program at path with arguments (the first one its own name). Throws
  // std::runtime_error when a pipe cannot be made ("Error on STDOUT pipe creation : 24") and
  // std::system_error when the child cannot be started or watched.
  TChildProcess(const std::string &path, const std::vector<std::string> &arguments);
  // A child not yet waited for is killed and waited for.
  ~TChildProcess();
  TChildProcess(const TChildProcess &) = delete;
  TChildProcess &operator=(const TChildProcess &) = delete;

  int StdIn() const { return FStdIn.Get(); }
  // The output ends read without blocking.
  int StdOut() const { return FStdOut.Get(); }
  int StdErr() const { return FStdErr.Get(); }
  int PidFd() const { return FPidFd.Get(); }
  // Waits for the child to end: its wait status.
  int Wait();

private:
  TFd FStdIn, FStdOut, FStdErr, FPidFd;
  pid_t FPid = 0; // 0 once waited for
};

} // namespace plat
