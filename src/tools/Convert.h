#pragma once
// Converting one sound file into another without a window. The reader is chosen by what the
// input holds (OpenSoundFile). A file cut short is converted to the audio it holds, and the run
// then ends with the text that says so; a file that holds no audio makes no file. The
// writer is chosen by the output's extension: ".wav" (PCM, or IMA ADPCM), ".ogg" (Ogg Vorbis at
// a quality), ".flac" (FLAC at level 5) or ".opus" (Opus at 160 kbit/s); the last three keep
// the comments of an input that has them.
// The sample rate, channel count and width change only when asked to: a stage that would
// change nothing is left out of the chain.
//
// A conversion runs on its output's thread and reports through the pipeline's event thread,
// so the thread that starts it must pump the user-interface thread's messages (ConvertFile
// does). The file is written under a hidden part name and takes its own name only once it is
// complete: a failed or stopped conversion leaves nothing behind.
#include "OutputFormats.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TAudioConverter;
class TAuFileIn;
class TAuFileOut;
class TFastResampler;
namespace plat {
class TPartFile;
}

// The writer of a conversion: that of the output format of the same number (FormatCodecs.h).
enum class TConvertWriter : std::int8_t {
  None = -1,
  Wave = fmtWAV,
  Vorbis = fmtOGG,
  FLAC = fmtFLAC,
  Opus = fmtOpus,
};

// The writer of the output format whose extension (in any case) the output name has; None
// for an extension of no format or of one without a writer.
TConvertWriter WriterFor(const std::string &outputName);

// The Ogg Vorbis quality of a conversion that names none: the rip window's default.
constexpr float DefaultVorbisQuality = 0.2f;

struct TConvertOptions {
  std::string Input;
  std::string Output;
  std::uint32_t SampleRate = 0;         // 0 keeps the input's
  std::uint32_t Channels = 0;           // 0 keeps the input's; else 1 or 2
  std::uint32_t BitsPerSample = 0;      // 0 keeps the input's (16 for IMA ADPCM); else 8 ... 32
  bool Ima = false;                     // a ".wav" output in IMA ADPCM
  float Quality = DefaultVorbisQuality; // a ".ogg" output's quality, -0.1 ... 1
};

class TConversion {
public:
  explicit TConversion(const TConvertOptions &options);
  // Stops a run still going and removes what it wrote.
  ~TConversion();
  TConversion(const TConversion &) = delete;
  TConversion &operator=(const TConversion &) = delete;

  // Reads the input's format, builds the chain and starts the run, once per conversion;
  // EAuException naming the input when it cannot be read, or with the pipeline's text when the
  // run cannot start.
  void Start();
  // Asks the run to end; it then ends as a failure ("The conversion was stopped.") and leaves
  // no file.
  void Stop();
  bool Running() const { return FRunning; }
  // 0 ... 100 of the run; -1 while the length is not known.
  int Progress() const;
  // The input's length in seconds of audio; 0 when not known (before Start).
  double Seconds() const;
  // After the run: "" when the file was made from the whole input, else why not, or (the
  // file made all the same) that the input is cut short.
  std::string Error() const { return FError; }

private:
  void OpenInput();
  void BuildChain();
  void Finished();

  TConvertOptions FOptions;
  std::unique_ptr<TAuFileIn> FInput;
  std::unique_ptr<TFastResampler> FResampler;
  std::unique_ptr<TAudioConverter> FConverter;
  std::unique_ptr<TAuFileOut> FOutput; // last: destroyed first, while its input still exists
  std::unique_ptr<plat::TPartFile> FPart;
  std::int64_t FBytesPerSecond = 0; // of the input
  bool FRunning = false;
  bool FStopped = false;
  std::string FError;
};

// Why a file of more than two channels cannot be given another count: the format converter
// mixes mono and stereo only.
std::string FixedChannelsText(std::uint32_t channels);

// Runs a conversion to its end on this thread's messages. progress receives 0 ... 100 as the
// run advances, and the input's length in seconds (Seconds); a stop flag set (from a signal
// handler, say) ends the run. "" when the file was made from the whole input, else the error text
// (as Error).
std::string ConvertFile(const TConvertOptions &options,
                        const std::function<void(int, double)> &progress = {},
                        const std::atomic<bool> *stop = nullptr);
