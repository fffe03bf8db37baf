#pragma once
// The MusicBrainz test service (musicbrainz_server.py) run for one test: the discid request
// answered with the JSON a test gives, on 127.0.0.1 at a free port.
#include "TempDir.h"
#include "TestServer.h"

#include <string>
#include <vector>

class TMusicBrainzServer {
public:
  TMusicBrainzServer();

  // The answer to the discid request for the id, sent as it is; ids without one get 404.
  void Answer(const std::string &discId, const std::string &json);
  // The first `times` requests for the id get 503 with "Retry-After: seconds".
  void Busy(const std::string &discId, int times, int seconds);
  // "http://127.0.0.1:port", the base URL of the service.
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(Server.Port); }

  struct TRequest {
    double Seconds; // since the server started, by its clock
    std::string Path, Agent;
  };
  // Every request received so far, in order.
  std::vector<TRequest> Requests() const;

private:
  TTempDir Dir;
  TTestServer Server;
};
