#include "RunProgram.h"

#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace {

// Starts the program with the given file actions, which it then destroys; 0 or the error.
int Spawn(const std::vector<std::string> &argv, posix_spawn_file_actions_t &actions, pid_t &pid) {
  std::vector<char *> args;
  for (const std::string &a : argv)
    args.push_back(const_cast<char *>(a.c_str()));
  args.push_back(nullptr);
  const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error;
}

// The exit status of the ended child, or -1 when it did not exit on its own.
int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

} // namespace

TRunResult RunProgram(const std::vector<std::string> &argv) {
  int fds[2];
  if (pipe(fds) != 0)
    throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = 0;
  const int error = Spawn(argv, actions, pid);
  close(fds[1]);
  TRunResult result;
  if (error != 0) {
    close(fds[0]);
    result.Output = std::strerror(error);
    return result;
  }
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
    result.Output.append(buffer, n);
  close(fds[0]);
  result.ExitStatus = Wait(pid);
  return result;
}

bool RunQuietly(const std::vector<std::string> &argv, const std::string &folder,
                const std::string &stdoutFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_addopen(&actions, 1, stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  return Spawn(argv, actions, pid) == 0 && Wait(pid) == 0;
}

TRunningProgram::TRunningProgram(const std::vector<std::string> &argv,
                                 const std::string &outputFile)
    : FOutputFile(outputFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  if (Spawn(argv, actions, FPid) != 0)
    throw std::runtime_error("cannot start " + argv[0]);
}

TRunningProgram::~TRunningProgram() {
  if (FPid > 0) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  }
}

TRunResult TRunningProgram::Wait(std::chrono::seconds deadline) {
  TRunResult result;
  int status = 0;
  if (FPid > 0 && !WaitFor([&] { return waitpid(FPid, &status, WNOHANG) == FPid; }, deadline)) {
    kill(FPid, SIGKILL);
    waitpid(FPid, nullptr, 0);
  } else if (FPid > 0 && WIFEXITED(status)) {
    result.ExitStatus = WEXITSTATUS(status);
  }
  FPid = 0;
  std::stringstream output;
  output << std::ifstream(FOutputFile).rdbuf();
  result.Output = output.str();
  return result;
}

pid_t ChildNamed(pid_t parent, const std::string &name) {
  const std::string tasks = "/proc/" + std::to_string(parent) + "/task";
  DIR *dir = opendir(tasks.c_str());
  if (!dir)
    return 0;
  pid_t found = 0;
  while (const dirent *task = readdir(dir)) {
    std::ifstream children(tasks + "/" + task->d_name + "/children");
    for (pid_t child; found == 0 && children >> child;) {
      std::string comm;
      std::getline(std::ifstream("/proc/" + std::to_string(child) + "/comm"), comm);
      if (comm == name)
        found = child;
    }
  }
  closedir(dir);
  return found;
}

bool WaitFor(const std::function<bool()> &done, std::chrono::seconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}
