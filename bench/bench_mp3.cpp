// The MP3 encoder process against lame run directly with the same options.
//   bench_mp3 IN.wav FOLDER [RUNS]   encodes IN.wav RUNS times (default 3) each way, taking
//                                    turns, and prints the best and median wall times and
//                                    processor times (lame's, plus this program's own for the
//                                    process runs) and the overhead of the encoder process.
// The direct run sends lame's console output nowhere; the process run reads and parses it
// and reports progress to a window, as a job does.
#include "BenchSupport.h"
#include "Global.h"
#include "Messages.h"
#include "Mp3EncodeThread.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

class TJobWindow : public TMessageWindow {
public:
  bool Ended = false;
  int Reports = 0;
  int SubCode = -1;
  void WndProc(TMessage &message) override {
    if (message.Msg != WM_JOBINFO)
      return;
    ++Reports;
    if (message.PayloadAs<TProcessInfo>()->Code == 2000) {
      Ended = true;
      SubCode = message.PayloadAs<TProcessInfo>()->SubCode;
    }
  }
};

// Processor seconds used so far by this program and by its ended children.
double ProcessorSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage u{};
    getrusage(who, &u);
    total +=
        u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return total;
}

struct TTimes {
  std::vector<double> Wall, Processor;
};

template <class F> void Measure(TTimes &times, F run) {
  double processor = ProcessorSeconds();
  times.Wall.push_back(run());
  times.Processor.push_back(ProcessorSeconds() - processor);
}

double RunDirect(const TCommandLine &command) {
  std::vector<std::string> argv{command.Program};
  for (auto &a : command.Arguments)
    argv.push_back(a.Text);
  const double seconds = TimedRun(argv);
  if (seconds < 0) {
    std::fprintf(stderr, "lame failed\n");
    std::exit(1);
  }
  return seconds;
}

double RunProcess(TMp3EncodeProcess &mp3, int &reports) {
  TJobWindow window;
  mp3.Busy = true;
  mp3.NotifyWindow = window.Handle();
  mp3.OverwriteMode = 1;
  auto start = TClock::now();
  mp3.Start();
  while (!window.Ended)
    plat::WaitMessages(1000);
  double seconds = SecondsSince(start);
  mp3.Stop(0);
  if (window.SubCode != 2) {
    std::fprintf(stderr, "the encoder process failed (SubCode %d)\n", window.SubCode);
    std::exit(1);
  }
  reports = window.Reports;
  return seconds;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: bench_mp3 IN.wav FOLDER [RUNS]\n");
    return 2;
  }
  const std::string input = argv[1], folder = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  TMp3EncodeProcess mp3;
  mp3.InputFile = input;
  mp3.OutputFile = folder + "/process.mp3";
  TCommandLine direct = mp3.BuildCommandLine();
  direct.Arguments.back().Text = folder + "/direct.mp3";
  std::printf("options: %s\n", mp3.BuildCommandLine().Text().c_str());

  TTimes lame, ours;
  int reports = 0;
  for (int i = 0; i < runs; ++i) {
    Measure(lame, [&] { return RunDirect(direct); });
    Measure(ours, [&] { return RunProcess(mp3, reports); });
    std::printf("run %d: lame %.3f s (processor %.3f s)   encoder process %.3f s (processor %.3f "
                "s, %d reports)\n",
                i + 1, lame.Wall.back(), lame.Processor.back(), ours.Wall.back(),
                ours.Processor.back(), reports);
  }
  auto line = [](const char *what, double a, double b) {
    std::printf("%-16s lame %.3f s   encoder process %.3f s   overhead %+.2f %%\n", what, a, b,
                (b / a - 1) * 100);
  };
  const TStats lameWall = Spread(lame.Wall), oursWall = Spread(ours.Wall);
  const TStats lameProcessor = Spread(lame.Processor), oursProcessor = Spread(ours.Processor);
  line("wall, best:", lameWall.Min, oursWall.Min);
  line("wall, median:", lameWall.Median, oursWall.Median);
  line("processor, best:", lameProcessor.Min, oursProcessor.Min);
  line("processor, med.:", lameProcessor.Median, oursProcessor.Median);
  return 0;
}
