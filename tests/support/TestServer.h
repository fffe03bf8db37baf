#pragma once
// A test server script run for one test: python3 with its arguments, on 127.0.0.1 at the free
// port it prints on its first line, killed at the end of the scope.
#include <string>
#include <sys/types.h>
#include <vector>

class TTestServer {
public:
  // Starts python3 with the arguments (the script first); throws when it prints no port.
  explicit TTestServer(const std::vector<std::string> &arguments);
  ~TTestServer();
  TTestServer(const TTestServer &) = delete;
  TTestServer &operator=(const TTestServer &) = delete;

  int Port = 0;

private:
  pid_t Pid = -1;
};
