#include "CddbServer.h"

#include "FileContents.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

TCddbServer::TCddbServer(const std::string &mode, bool proto5, double delay) {
  std::filesystem::create_directory(Dir.File("entries"));
  std::filesystem::create_directory(Dir.File("files"));
  std::vector<std::string> argv = {"python3",   PLINDAR_CDDB_SERVER,
                                   "--entries", Dir.File("entries"),
                                   "--files",   Dir.File("files"),
                                   "--log",     Dir.File("log"),
                                   "--mode",    mode};
  if (proto5)
    argv.push_back("--proto5");
  if (delay > 0)
    argv.insert(argv.end(), {"--delay", std::to_string(delay)});
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
    throw std::runtime_error("the CDDB test server did not start");
  }
  fclose(out);
}

TCddbServer::~TCddbServer() {
  kill(Pid, SIGKILL);
  waitpid(Pid, nullptr, 0);
}

void TCddbServer::AddEntry(const std::string &category, const std::string &discId,
                           const std::string &file) {
  std::filesystem::create_directories(Dir.File("entries/" + category));
  std::filesystem::copy_file(CddbDataFile(file), Dir.File("entries/" + category + "/" + discId));
}

void TCddbServer::AddFile(const std::string &path, const std::string &bytes) {
  const std::filesystem::path file = Dir.File("files/" + path);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string TCddbServer::Requests() const { return FileText(Dir.File("log")); }

std::string CddbDataFile(const std::string &name) {
  return std::string(PLINDAR_TEST_DATA) + "/cddb/" + name;
}
