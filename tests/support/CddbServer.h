#pragma once
// The freedb-protocol test server (cddb_server.py) run for one test: on 127.0.0.1 at a free
// port, serving the entries and plain files added to a folder of its own, stopped at the end of
// the scope.
#include "TempDir.h"
#include "TestServer.h"

#include <string>

class TCddbServer {
public:
  // mode: normal, 211, 403, 500, hang or garbage; proto5: a server that knows level 5 only;
  // delay: seconds before each answer; script: the only path that answers commands.
  explicit TCddbServer(const std::string &mode = "normal", bool proto5 = false, double delay = 0,
                       const std::string &script = "/~cddb/cddb.cgi");

  // Serves the file of tests/data/cddb as the entry category/discId.
  void AddEntry(const std::string &category, const std::string &discId, const std::string &file);
  // Serves text as the entry category/discId.
  void AddEntryText(const std::string &category, const std::string &discId,
                    const std::string &text);
  // Serves bytes at http://<address>/<path>; other plain paths get 404.
  void AddFile(const std::string &path, const std::string &bytes);
  // "127.0.0.1:port".
  std::string Address() const { return "127.0.0.1:" + std::to_string(Port); }
  // Every request line received so far, one per line.
  std::string Requests() const;

private:
  TTempDir Dir;
  TTestServer Server;

public:
  const int Port;
};

// A URL on this machine where nothing answers: a lookup there fails at once, and no test's job
// reaches out to a real database.
constexpr const char *NoServerUrl = "http://127.0.0.1:1";

// The path of a file of tests/data/cddb.
std::string CddbDataFile(const std::string &name);
