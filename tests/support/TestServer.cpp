#include "TestServer.h"

#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

TTestServer::TTestServer(const std::vector<std::string> &arguments) {
  std::vector<std::string> argv = {"python3"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char *> args;
  for (std::string &a : argv)
    args.push_back(a.data());
  args.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0)
    throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const int error = posix_spawnp(&Pid, "python3", &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  FILE *out = fdopen(fds[0], "r");
  if (error != 0 || !out || fscanf(out, "%d", &Port) != 1) {
    if (out)
      fclose(out);
    if (error == 0) {
      kill(Pid, SIGKILL);
      waitpid(Pid, nullptr, 0);
    }
    throw std::runtime_error("the test server " + arguments.front() + " did not start");
  }
  fclose(out);
}

TTestServer::~TTestServer() {
  kill(Pid, SIGKILL);
  waitpid(Pid, nullptr, 0);
}
