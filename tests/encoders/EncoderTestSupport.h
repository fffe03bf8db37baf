#pragma once
// What the encoder suites share: test audio in WAV files, running programs and ffprobe, and a
// window that collects the job messages of an encoder run.
#include "EncodeProcess.h"
#include "FileContents.h"
#include "Global.h"
#include "MessagePump.h"
#include "Messages.h"
#include "RunProgram.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct TTestAudio {
  int Rate = 44100;
  int Channels = 2;
  std::vector<int16_t> Samples; // interleaved
};

// A few tones with a slowly changing loudness, different in each channel: music-like, and
// every stretch of it differs from the others.
TTestAudio MakeTestAudio(double seconds, int rate = 44100, int channels = 2);
// A plain 16-bit PCM WAV file with the 44-byte header.
void WriteWav(const std::string &path, const TTestAudio &audio);
// The 16-bit PCM samples of a WAV file (the "data" chunk, wherever it is).
TTestAudio ReadWav(const std::string &path);
// Pearson correlation of the first n samples of both.
double Correlation(const std::vector<int16_t> &a, const std::vector<int16_t> &b, size_t n);

// ffprobe's stream and format fields of a file: "codec_name", "sample_rate", "channels",
// "duration", "TAG:artist", ...; empty when ffprobe cannot read it.
std::map<std::string, std::string> Probe(const std::string &path);

// Sets PATH for the scope.
class TScopedPath {
public:
  explicit TScopedPath(const std::string &path);
  ~TScopedPath();

private:
  std::string FOld;
};

// Collects the WM_JOBINFO reports sent or posted to it, as a job window would receive them, and
// like a job window completes the output of a run that ended well.
class TReportWindow : public TMessageWindow {
public:
  std::vector<TProcessInfo> Reports;
  // Runs for each end notice (Code 2000 or 5000), after it is recorded.
  std::function<void(const TProcessInfo &)> OnEnd;

  void WndProc(TMessage &message) override;
  // Starts a run of the process that reports to this window, set up as the job window does,
  // with the settings the process holds.
  void Start(TEncodeProcess &process, const std::string &input, const std::string &output,
             bool encode, int overwriteMode);
  // Pumps messages until `count` end notices have arrived; false on PumpUntil's hang guard.
  bool WaitForEnds(size_t count = 1);
  std::vector<TProcessInfo> Ends() const;
  std::vector<TProcessInfo> Progress() const;

private:
  TEncodeProcess *FProcess = nullptr;
};
