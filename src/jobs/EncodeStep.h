#pragma once
// The encode step of both rip windows: after a track is ripped (and in the job window's
// conversions, for each file) a WAV file becomes an MP3 or WMA file through the program's
// encoder processes, or an Ogg Vorbis, FLAC or Opus file through the pipeline outputs here,
// which read the window's WAV input. Every encoding ends with one WM_JOBINFO end notice to the
// window whose SubCode is a TEncodeEnd. A pipeline encoding writes a part file that takes the
// output's name only once it is complete, as the encoder processes do.
// Also what both windows share around it: their error boxes, the WMA time estimate, the
// settings handed to the encoders and the job's log.
#include "EncodeProcess.h"
#include "Messages.h"
#include "RipFormats.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class TAuFileOut;
class TAuInput;
class TFLACOut;
class TMp3EncodeProcess;
class TOpusOut;
class TVorbisOut;
class TWMAEncodeProcess;
struct TRipLog;
namespace plat {
class TPartFile;
}

// The end notice of a pipeline encoding in the job window (the rip window ends every encoding
// with JobMp3Ended).
constexpr int32_t JobPipelineEnded = 3000;

// An error box of a rip window: the text, the caption "Plindar" and the error icon.
void ShowJobError(const std::string &text);

// The WMABitRate setting, reset to 8 (and kept so) when it is outside the profiles.
int WmaProfileSetting();
// What an encoder run takes from the settings and the disc, read now.
TEncoderSettings EncoderRunSettings();

// The whole time of a WMA encoding projected from the output's growth, in seconds; nullopt
// when nothing can be projected yet. bitRateIndex is the WMABitRate setting (0..32).
std::optional<int64_t> WmaTotalSeconds(int64_t inputSize, int64_t outputSize, int64_t elapsed,
                                       int bitRateIndex);

// The comments a pipeline encoding gives its file.
struct TTrackTags {
  bool Tagged = false; // else the file gets none
  std::string Title;   // the title of the track's file
  int Track = 0;
  int TrackTotal = 0; // the disc's track count, 0 when unknown
};

class TEncodeStep {
public:
  // The pipeline outputs read input; their events go to onProgress and onDone, on the
  // user-interface thread. End notices go to window.
  TEncodeStep(TWindowHandle window, TAuInput &input, TMp3EncodeProcess &mp3, TWMAEncodeProcess &wma,
              std::function<void()> onProgress, std::function<void()> onDone);
  ~TEncodeStep();

  // Starts a run of encoder (FMp3 or FWma) from input into output in job mode (its
  // OverwriteMode). An existing output is replaced only when the mode does so without asking
  // or the user says yes, and when it is not in use; a missing encoder is named. Whatever keeps
  // the run from starting ends it with the encoder's end notice; a start that fails is shown
  // and ends with encodeSkipped.
  void StartProcess(TEncodeProcess &encoder, const std::string &input, const std::string &output,
                    bool encode, int mode);

  // Starts encoding the input's file into output in format (Ogg Vorbis, FLAC or Opus) with the
  // settings and tags. The output that runs; none when it cannot start, which is shown, and
  // (endCode, encodeSkipped) is posted.
  TAuFileOut *StartPipeline(TFormat format, const TTrackTags &tags, const std::string &output,
                            int32_t endCode);
  // The output of the pipeline encoding that runs or ran last; none before the first.
  TAuFileOut *Running() const { return FRunning; }
  // A pipeline encoding's file is being made, or made and not yet named.
  bool PipelineHeld() const { return FPart != nullptr; }
  // The name the pipeline encoding's file takes.
  const std::string &PipelineOutput() const { return FOutput; }
  // After the output's OnDone: why the encoding failed, its file gone then; "" when it ran to
  // its end.
  std::string PipelineFailure();
  // Gives the pipeline encoding's file its name; false when it cannot, nothing left of it then.
  bool CompletePipeline();
  // Stops the pipeline encoding and the encoder processes' runs; what they wrote goes.
  void Stop();

  // The pipeline outputs, components of the window by their names.
  std::unique_ptr<TVorbisOut> VorbisOut1;
  std::unique_ptr<TFLACOut> FLACOut1;
  std::unique_ptr<TOpusOut> OpusOut1;

private:
  // The pipeline output that makes format, set up with the settings and tags; none for the
  // formats the encoder processes make.
  TAuFileOut *PreparedEncoder(TFormat format, const TTrackTags &tags);

  TWindowHandle FWindow;
  TMp3EncodeProcess &FMp3;
  TWMAEncodeProcess &FWma;
  std::unique_ptr<plat::TPartFile> FPart;
  std::string FOutput;
  TAuFileOut *FRunning = nullptr;
};

// A rip job's log, written next to its files when the job ends or is stopped.
struct TJobLog {
  using TOnWritten = std::function<void(const TRipLog &, const std::string &)>;

  std::shared_ptr<TRipLog> Log; // none for a job that rips nothing
  std::string Path;             // where it was written; "" before, or when it could not be

  // Writes Log into the output folder, naming in an error box one that cannot be written,
  // then tells onWritten.
  void Write(const TOnWritten &onWritten);
  // Ends a job through finish; when it still ran (running) its log is written, marked stopped.
  void Stop(bool running, const std::function<void()> &finish, const TOnWritten &onWritten);
};
