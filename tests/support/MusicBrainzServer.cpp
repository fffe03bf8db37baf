#include "MusicBrainzServer.h"

#include "FileContents.h"

#include <fstream>
#include <sstream>

TMusicBrainzServer::TMusicBrainzServer()
    : Server({PLINDAR_MUSICBRAINZ_SERVER, "--answers", Dir.Path(), "--log", Dir.File("log")}) {}

void TMusicBrainzServer::Answer(const std::string &discId, const std::string &json) {
  std::ofstream(Dir.File(discId + ".json"), std::ios::binary) << json;
}

void TMusicBrainzServer::Busy(const std::string &discId, int times, int seconds) {
  std::ofstream(Dir.File(discId + ".busy")) << times << " " << seconds;
}

std::vector<TMusicBrainzServer::TRequest> TMusicBrainzServer::Requests() const {
  std::vector<TRequest> requests;
  std::istringstream log(FileText(Dir.File("log")));
  std::string seconds, path, agent;
  while (std::getline(log, seconds, '\t') && std::getline(log, path, '\t') &&
         std::getline(log, agent))
    requests.push_back({std::stod(seconds), path, agent});
  return requests;
}
