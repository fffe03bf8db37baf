#include "CddbServer.h"

#include "FileContents.h"

#include <filesystem>
#include <fstream>

namespace {

// The script's arguments, its entries and files folders made first: a query lists them.
std::vector<std::string> Arguments(const TTempDir &dir, const std::string &mode, bool proto5,
                                   double delay, const std::string &script) {
  std::filesystem::create_directory(dir.File("entries"));
  std::filesystem::create_directory(dir.File("files"));
  std::vector<std::string> argv = {PLINDAR_CDDB_SERVER,
                                   "--entries",
                                   dir.File("entries"),
                                   "--files",
                                   dir.File("files"),
                                   "--log",
                                   dir.File("log"),
                                   "--mode",
                                   mode,
                                   "--script",
                                   script};
  if (proto5)
    argv.push_back("--proto5");
  if (delay > 0)
    argv.insert(argv.end(), {"--delay", std::to_string(delay)});
  return argv;
}

} // namespace

TCddbServer::TCddbServer(const std::string &mode, bool proto5, double delay,
                         const std::string &script)
    : Server(Arguments(Dir, mode, proto5, delay, script)), Port(Server.Port) {}

void TCddbServer::AddEntry(const std::string &category, const std::string &discId,
                           const std::string &file) {
  std::filesystem::create_directories(Dir.File("entries/" + category));
  std::filesystem::copy_file(CddbDataFile(file), Dir.File("entries/" + category + "/" + discId));
}

void TCddbServer::AddEntryText(const std::string &category, const std::string &discId,
                               const std::string &text) {
  std::filesystem::create_directories(Dir.File("entries/" + category));
  std::ofstream(Dir.File("entries/" + category + "/" + discId), std::ios::binary) << text;
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
