#pragma once
// The job window: runs one job over a list of items, one step at a time. In CD-rip mode it
// rips each track with a rip thread and hands the WAV file to the chosen encoder; in the
// conversion modes it runs the encoder over each file. Ogg Vorbis, FLAC and Opus encoding and
// the resampling of WAV files below 44100 Hz run through the audio pipeline components of the
// window. Every
// step reports back with WM_JOBINFO, and the handler starts the next step, so the window never
// waits for a worker.
// The state machine is in the public methods below, which tests drive directly; the widgets
// are its view.
#include "EncodeStep.h"
#include "Messages.h"
#include "OutputNames.h"

#include <QDialog>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TCDRipThread;
class TEncodeProcess;
class TFastResampler;
class TWaveIn;
class TWaveOut;
class TMp3EncodeProcess;
class TWMAEncodeProcess;
struct TProcessInfo;
struct TRipLog;

enum TJobMode : int {
  jmCDRip = 1,
  jmWavToMp3 = 2,
  jmMp3ToWav = 3,
  jmRecordToMp3 = 4,
  jmWavToOgg = 5,
  jmWavToWma = 6,
};

// The end notice of the resampling step.
constexpr int32_t JobResampled = 4000;

// A WAV file below this sample rate is resampled to it before it is encoded.
constexpr std::uint32_t EncodedSampleRate = 44100;

class TRipForm : public QDialog, public TMessageWindow {
  Q_OBJECT

public:
  // Starts the first step at once. cdHandle is the drive of mode 1 (0 otherwise); the encoder
  // processes are the program's shared ones.
  TRipForm(QWidget *owner, int mode, int32_t cdHandle, const std::vector<std::string> &items,
           TMp3EncodeProcess &mp3, TWMAEncodeProcess &wma);
  ~TRipForm() override;

  // The state machine: WM_JOBINFO by code, and WM_RIPERROR.
  void JobInfo(const TProcessInfo &info);
  void RipError(std::intptr_t code);
  // The WMA time estimate of the timer, as of now.
  void Timer1Timer();
  void WmaEstimate(std::chrono::steady_clock::time_point now);
  // Stop, and every other way of closing the window while the job runs (Escape, a signal):
  // the job ends and a rip job writes its log, marked stopped.
  void btStopClick();
  // Ends the job: stops the rip thread and the encoders, removes the WAV files the settings
  // do not keep. Runs once; nothing when the job is already finished.
  void FinishJob();

  bool JobFinished() const { return !JobList; }
  // Every item gave its output file.
  bool AllSucceeded() const;
  // Output files made so far, in order.
  const std::vector<std::string> &FinishedFiles() const { return FFinished; }
  // Called with each output file as it is made.
  std::function<void(const std::string &)> OnFileFinished;
  // A rip job ends by verifying its tracks and writing its log next to its files; called then
  // with the log and the path it was written to ("" when it could not be).
  std::function<void(const TRipLog &, const std::string &)> OnLogWritten;
  // Whether the window stays open after a rip job to show its summary and open its log, until
  // closed; else it closes by itself.
  bool StayAtEnd = false;

  const int Mode;
  const int32_t CDHandle;
  int RipCount = 0;
  int EncodeCount = 0;
  int VorbisCount = 0;
  bool ProgressSeen = false;
  std::chrono::steady_clock::time_point StepStart;
  std::chrono::steady_clock::time_point WmaStart;
  int64_t WmaInputSize = 0;

  QGroupBox *GroupBox1;
  QLabel *Label1; // elapsed time
  QLabel *Label2; // estimated time
  QLabel *Label3; // "Initializing..."
  QProgressBar *FlatGauge1;
  QPushButton *btStop;
  QPushButton *btOpenLog; // shown once a log was written
  QTimer *Timer1;
  // The pipeline steps; the outputs last, so that they are destroyed while their inputs exist.
  std::unique_ptr<TWaveIn> WaveIn1;
  std::unique_ptr<TFastResampler> FastResampler1;
  std::unique_ptr<TWaveOut> WaveOut1;
  // The encode step, with the pipeline outputs VorbisOut1, FLACOut1 and OpusOut1.
  std::unique_ptr<TEncodeStep> Encode;

  // The pipeline outputs' events, on the user-interface thread. The encoder's are those of
  // whichever of the encode step's outputs runs.
  void WaveOut1Progress();
  void EncoderProgress();
  void WaveOut1Done();
  void EncoderDone();

protected:
  void WndProc(TMessage &message) override;
  void showEvent(QShowEvent *event) override;
  // Every way of closing the window ends the job.
  void done(int result) override;

private:
  int Count() const { return static_cast<int>(JobList->size()); }
  const std::string &Item(int k) const { return (*JobList)[k]; }
  std::string Title(int k) const;
  int TrackOfEntry(int k) const;
  // The WAV of a rip entry, under the name its rip took.
  std::string WavOfEntry(int k) const;
  // folder + name + extension, the name made unique within the job.
  std::string TakeOutput(const std::string &folder, const std::string &name, const char *extension);
  // "Extracting(02/05): title" and the like.
  std::string Caption(const char *word, int n, const std::string &item) const;
  void SetStage(const std::string &stage);
  void ShowInitializing();
  void ShowError(const std::string &text);

  void StartRip(int k);
  void NextRip();
  // Posts the end notice endCode of an item left out.
  void PostSkipped(int32_t endCode);
  void StartMp3(const std::string &input, const std::string &output, bool encode);
  void StartWma(const std::string &input, const std::string &output);
  void StartConversion();
  // After a step ended: when the output folder is gone, says so once and ends the job.
  bool OutputFolderGone();
  void RipEnded(const TProcessInfo &info);
  void Mp3Ended(const TProcessInfo &info);
  void WmaEnded(const TProcessInfo &info);
  void Progress(const TProcessInfo &info);
  // After an encoder's end notice: counts the item in counter and goes on, or ends the job.
  void ItemDone(int &counter, int k, bool succeeded, const std::string &output);
  // The next item's step after one ended (modes 2 to 6).
  void NextConversion();
  void CreateWidgets();
  void StartJob();

  // Pipeline steps (modes 2 and 5, and Ogg output in mode 1).
  void CreatePipeline();
  // Opens item k of modes 2 and 5 in WaveIn1 and starts its first step: resampling below
  // 44100 Hz, else the encoding. A file that cannot be read is named and skipped.
  // first: the job's first item, whose stage names the job.
  void StartPipelineItem(int k, bool first);
  // Encodes WaveIn1 into output in format (Ogg Vorbis, FLAC or Opus), in CD-rip mode with the
  // comments of the track that was just ripped.
  void StartPipelineEncoding(TFormat format, const std::string &output);
  // The disc's last track number, read once; 0 when the table of contents cannot be read.
  int TrackTotal();
  void StartResample();
  void Resampled();
  void PipelineEncodingEnded(const TProcessInfo &info);
  void PostPipelineProgress(int percent);
  // Stops the pipeline outputs and the encoder processes; what they wrote goes.
  void StopPipeline();
  // The resampled copy of modes 2 and 5; made unique when a file of the job's name was there.
  std::string TempCopy();
  void RemoveTempCopy();
  // The ID3v1 tag of rip entry k, written into the MP3 file mp3.
  void WriteId3Tag(int k, const std::string &mp3);
  // Gives the encoder's complete output its final name; a file that cannot take it is lost
  // and named in an error box.
  bool KeepOutput(TEncodeProcess &encoder);
  void FileFinished(const std::string &file);
  // The job's last step ended: a rip job is verified first, then ends, saying it is done with
  // its whole outcome.
  void JobDone();
  void Verified();
  // Ends a job that still runs: a rip job's log is written, marked stopped.
  void StopJob();
  void CloseLater();

  TMp3EncodeProcess &FMp3;
  TWMAEncodeProcess &FWma;
  std::unique_ptr<TCDRipThread> RipThread;
  std::unique_ptr<std::vector<std::string>> JobList;
  std::vector<bool> FEncoded; // per item: its encoding made the output file
  TJobOutputNames FNames;
  std::vector<std::string> FFileTitles; // per rip entry: the file title its rip took
  // Per rip entry: the device and inode of the WAV its rip made. Another job may since have
  // put its own WAV under that name, which this job must not remove.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> FWavIds;
  std::vector<std::string> FFinished;
  int FItemCount = 0;
  int FTrackTotal = -1;                     // not read yet
  std::string FTempCopy;                    // the resampled copy; empty until first needed
  TJobLog FJobLog;                          // rip jobs: per entry, what the log tells
  std::shared_ptr<const TRipLog> FVerified; // its copy being verified
};
