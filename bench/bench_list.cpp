// Times `plindar --list` on a 99-track image next to libcdio's cd-info reading the same image,
// and the start-up of the main window up to its shown, filled track list on a 20-track image.
//   bench_list [runs]
#include "BenchSupport.h"
#include "Folders.h"
#include "MainForm.h"
#include "Messages.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The spread in milliseconds of `runs` runs of a program; ends this program when one fails.
TStats Measure(int runs, const std::vector<std::string> &args) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    double t = TimedRun(args);
    if (t < 0) {
      std::fprintf(stderr, "bench_list: %s failed\n", args[0].c_str());
      std::exit(1);
    }
    times.push_back(t * 1e3);
  }
  return Spread(times);
}

void Report(const char *what, const TStats &s) {
  std::printf("%-44s min %7.1f ms  median %7.1f ms  max %7.1f ms\n", what, s.Min, s.Median, s.Max);
}

// One cold start in this process: the application, the window, shown with its list filled.
// Prints the milliseconds from the start of main.
int StartOnce(int argc, char **argv, TClock::time_point begin, const char *cue, int tracks) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::string error;
  if (!AddDiscImage(cue, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  SetScanSystemDrives(false);
  QApplication app(argc, argv);
  plat::InstallQtMessagePump();
  TMainForm form;
  form.show();
  while (!form.isVisible() || form.RowCount() < tracks)
    QApplication::processEvents();
  std::printf("%.3f\n", SecondsSince(begin) * 1e3);
  return 0;
}

TStats MeasureStartUp(int runs, const std::string &self, const std::string &cue) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    std::string command = "'" + self + "' --start-once '" + cue + "' 20 2>/dev/null";
    FILE *out = popen(command.c_str(), "r");
    double ms = -1;
    if (!out || std::fscanf(out, "%lf", &ms) != 1 || pclose(out) != 0 || ms < 0) {
      std::fprintf(stderr, "bench_list: start-up run failed\n");
      std::exit(1);
    }
    times.push_back(ms);
  }
  return Spread(times);
}

} // namespace

int main(int argc, char **argv) {
  auto begin = TClock::now();
  if (argc == 4 && std::strcmp(argv[1], "--start-once") == 0)
    return StartOnce(argc, argv, begin, argv[2], std::atoi(argv[3]));

  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  TTempDir dir;
  // The settings of the runs stay in the temporary folder.
  setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
  std::string full = Write99TrackDisc(dir.Path(), "full99", 75 * 4);
  std::string twenty = WriteAudioDisc(dir.Path(), "twenty", std::vector<uint32_t>(20, 75 * 4));
  std::string plindar = plat::ProgramFolder() + "plindar";
  std::string self = plat::ProgramFolder() + "bench_list";

  std::printf("%d runs each; 99-track image %s\n", runs, full.c_str());
  Report("plindar --cd-image IMAGE --list", Measure(runs, {plindar, "--cd-image", full, "--list"}));
  Report("cd-info --cue-file IMAGE (peer)",
         Measure(runs, {"cd-info", "--no-header", "--no-device-info", "--no-cddb", "--no-analyze",
                        "--cue-file", full}));
  Report("start-up to the shown window, 20 tracks", MeasureStartUp(runs, self, twenty));
  return 0;
}
