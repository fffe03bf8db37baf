#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char **environ;

namespace plat {

namespace {

struct TPipe {
  TFd Read, Write;
};

// Both ends close on exec: the child gets its ends only through the dup2 of the spawn.
TPipe MakePipe(const char *name) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("Error on ") + name +
                             " pipe creation : " + std::to_string(errno));
  return {TFd(fds[0]), TFd(fds[1])};
}

pid_t Spawn(const std::string &path, const std::vector<std::string> &arguments, int in, int out,
            int err) {
  std::vector<std::string> texts = arguments;
  std::vector<char *> argv;
  for (std::string &t : texts)
    argv.push_back(t.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in, 0);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  posix_spawn_file_actions_adddup2(&actions, err, 2);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3); // files the program opened elsewhere
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none, pipeSignal;
  sigemptyset(&none);
  sigemptyset(&pipeSignal);
  sigaddset(&pipeSignal, SIGPIPE); // an ignored SIGPIPE would be inherited
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &pipeSignal);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int error = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (error != 0)
    throw std::system_error(error, std::generic_category());
  return pid;
}

} // namespace

TFd::~TFd() {
  if (FFd >= 0)
    close(FFd);
}

TChildProcess::TChildProcess(const std::string &path, const std::vector<std::string> &arguments) {
  TPipe in = MakePipe("STDIN"), out = MakePipe("STDOUT"), err = MakePipe("STDERR");
  fcntl(out.Read.Get(), F_SETFL, O_NONBLOCK);
  fcntl(err.Read.Get(), F_SETFL, O_NONBLOCK);
  FPid = Spawn(path, arguments, in.Read.Get(), out.Write.Get(), err.Write.Get());
  FPidFd = TFd(static_cast<int>(syscall(SYS_pidfd_open, FPid, 0)));
  if (FPidFd.Get() < 0) {
    const int error = errno;
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
    FPid = 0;
    throw std::system_error(error, std::generic_category());
  }
  FStdIn = std::move(in.Write);
  FStdOut = std::move(out.Read);
  FStdErr = std::move(err.Read);
}

TChildProcess::~TChildProcess() {
  if (FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
}

int TChildProcess::Wait() {
  int status = 0;
  if (FPid > 0)
    waitpid(FPid, &status, 0);
  FPid = 0;
  return status;
}

} // namespace plat
