// Reading and writing INI files next to Python's configparser and awk reading the same files:
// a disc cache of 30,000 discs and one section of 40,000 keys. Each line times whole processes
// that read the file and look one value up; `plindar --list` times the window's use of the
// cache (it loads the disc's titles from it). LoadDiscInfo and SaveDiscInfo are timed in this
// process as the window calls them.
//   bench_ini [runs]
#include "BenchSupport.h"
#include "DiscInfo.h"
#include "Folders.h"
#include "Global.h"
#include "IniFile.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int Discs = 30000;
constexpr int Keys = 40000;
const std::string LastDisc = std::to_string(100000 + Discs - 1);

// Discs of 8 to 20 tracks with titles of ordinary length, as a long-used cache holds them.
void WriteCache(const std::string &path) {
  std::ofstream out(path, std::ios::binary);
  for (int d = 0; d < Discs; ++d) {
    const int tracks = 8 + d % 13;
    out << "[" << 100000 + d << "]\nArtist=Artist number " << d % 997 << "\nAlbum=Album " << d
        << "\nYear=" << 1960 + d % 60 << "\nComment=\nGenre=" << d % 126
        << "\nTrackNumber=" << tracks << "\n";
    for (int t = 1; t <= tracks; ++t)
      out << t << "=The title of track " << t << " on album " << d << "\n";
    out << "\n";
  }
}

void WriteLongSection(const std::string &path) {
  std::ofstream out(path, std::ios::binary);
  out << "[ResourceString]\n";
  for (int k = 0; k < Keys; ++k)
    out << "RES_Key_" << k << "=Text number " << k << "\n";
}

TStats Measure(int runs, const std::vector<std::string> &args) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const double t = TimedRun(args);
    if (t < 0) {
      std::fprintf(stderr, "bench_ini: %s failed\n", args[0].c_str());
      std::exit(1);
    }
    times.push_back(t * 1e3);
  }
  return Spread(times);
}

TStats MeasureHere(int runs, const std::function<void()> &work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i)
    times.push_back(Seconds(work) * 1e3);
  return Spread(times);
}

void Report(const std::string &what, const TStats &s) {
  std::printf("%-52s min %8.1f ms  median %8.1f ms  max %8.1f ms\n", what.c_str(), s.Min, s.Median,
              s.Max);
}

// The peers: configparser as Python programs read settings, and awk's plain scan for a key.
std::vector<std::string> ConfigParser(const std::string &file, const std::string &section,
                                      const std::string &key) {
  return {"python3",
          "-c",
          "import configparser, sys\n"
          "c = configparser.ConfigParser(strict=False, interpolation=None)\n"
          "c.read(sys.argv[1], encoding='utf-8')\n"
          "print(c.get(sys.argv[2], sys.argv[3]))\n",
          file,
          section,
          key};
}

std::vector<std::string> Awk(const std::string &file, const std::string &section,
                             const std::string &key) {
  return {"awk",
          "-F=",
          "-v",
          "s=[" + section + "]",
          "-v",
          "k=" + key,
          "/^\\[/ { in_s = ($0 == s) } in_s && $1 == k { print $2; exit }",
          file};
}

} // namespace

int main(int argc, char **argv) {
  // A child run of this program: read the file and look one value up, as the peers do.
  if (argc == 5 && std::strcmp(argv[1], "--read") == 0) {
    TIniFile ini(argv[2]);
    std::puts(ini.ReadString(argv[3], argv[4], "").c_str());
    return 0;
  }
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  TTempDir dir;
  // The runs' settings and cache stay in the temporary folder.
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  const std::string image = WriteAudioDisc(dir.Path(), "twenty", std::vector<uint32_t>(20, 75));
  const std::string plindar = plat::ProgramFolder() + "plindar";
  const TStats listAlone = Measure(runs, {plindar, "--cd-image", image, "--list"});
  const std::string cache = DiscInfoFileName();
  WriteCache(cache);
  const std::string section = dir.Path() + "/long-section.ini";
  WriteLongSection(section);
  const std::string self = plat::ProgramFolder() + "bench_ini";

  std::printf("%d runs each; cache of %d discs (%.1f MB), one section of %d keys\n", runs, Discs,
              std::filesystem::file_size(cache) / 1e6, Keys);
  Report("TIniFile: cache, one title", Measure(runs, {self, "--read", cache, LastDisc, "12"}));
  Report("configparser: cache, one title (peer)",
         Measure(runs, ConfigParser(cache, LastDisc, "12")));
  Report("awk: cache, one title (peer)", Measure(runs, Awk(cache, LastDisc, "12")));
  Report("TIniFile: long section, last key",
         Measure(runs, {self, "--read", section, "ResourceString", "RES_Key_39999"}));
  Report("configparser: long section, last key (peer)",
         Measure(runs, ConfigParser(section, "ResourceString", "RES_Key_39999")));
  Report("awk: long section, last key (peer)",
         Measure(runs, Awk(section, "ResourceString", "RES_Key_39999")));
  Report("plindar --cd-image IMAGE --list, no cache", listAlone);
  Report("plindar --cd-image IMAGE --list, with the cache",
         Measure(runs, {plindar, "--cd-image", image, "--list"}));
  Report("LoadDiscInfo in this process", MeasureHere(runs, [] { LoadDiscInfo(LastDisc); }));
  int n = 0;
  Report("SaveDiscInfo, one title changed", MeasureHere(runs, [&n] {
           DiscInfo.Titles[1] = "Changed " + std::to_string(++n);
           SaveDiscInfo(LastDisc);
         }));
  return 0;
}
