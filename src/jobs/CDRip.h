#pragma once
// The pipeline rip window of CD-input mode: rips the job entries one track at a time through the
// main window's CD input (secure reading) into a WAV file, then encodes that WAV to MP3 or WMA with
// the encoder processes or to Ogg Vorbis through the pipeline, and rips the next. Every step
// reports back with WM_JOBINFO, so the window never waits for a worker.
//
// Nothing is lost: a WAV is written under a hidden part name and takes its name only once the whole
// track is in it (and scaled, with "Normalize"); an encoded file likewise. A rip that fails or
// comes out short is reported and leaves no file; one holding sectors that could not be corrected
// is reported and kept as read in its WAV, not encoded; an encoding that fails is reported and
// keeps the track's WAV. Two entries giving one name get " (2)", " (3)", ... The state machine is
// in the public methods, which tests drive; the widgets are its view.
#include "EncodeStep.h"
#include "Messages.h"
#include "OutputNames.h"
#include "RipFormats.h"

#include <QDialog>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TAuOutput;
class TCDIn;
class TMp3EncodeProcess;
class TWMAEncodeProcess;
class TWaveIn;
class TWaveOut;
struct TProcessInfo;
struct TRipLog;
namespace plat {
class TPartFile;
}

class TfrmCDRip : public QDialog, public TMessageWindow {
  Q_OBJECT

public:
  // Starts ripping the first entry at once through cdIn (with its tray locked); the encoder
  // processes are the program's shared ones.
  TfrmCDRip(QWidget *owner, TCDIn &cdIn, const std::vector<std::string> &entries,
            TMp3EncodeProcess &mp3, TWMAEncodeProcess &wma);
  ~TfrmCDRip() override;

  // The state machine: 1000 a track was ripped, 2000 or 5000 its encoding ended, 1..100 progress.
  void JobInfo(const TProcessInfo &info);
  // The WMA time estimate on the gauge, as of now.
  void Timer1Timer();
  // Stops the step running (the rip or an encoding) and closes; what it wrote goes, and the log
  // is written, marked stopped. Every other way of closing the window while the job runs
  // (Escape, a signal) does the same.
  void bStopClick();

  // The pipeline outputs' events, on the user-interface thread.
  void WaveOut1Progress();
  void VorbisOut1Progress();
  void WaveOut1Done();
  void VorbisOut1Done();
  // The encode step's FLACOut1 and OpusOut1 report through the same two handlers: whichever
  // runs is CurrentOutput.

  bool JobFinished() const { return !JobList; }
  // Output files made so far, in order.
  const std::vector<std::string> &FinishedFiles() const { return FFinished; }
  // Every entry gave its output file.
  bool AllSucceeded() const;
  // Called with each output file as it is made.
  std::function<void(const std::string &)> OnFileFinished;
  // The job ends by verifying its tracks and writing its log next to its files; called then
  // with the log and the path it was written to ("" when it could not be).
  std::function<void(const TRipLog &, const std::string &)> OnLogWritten;
  // Whether the window stays open at the end to show the summary and open the log, until
  // closed; else it closes by itself.
  bool StayAtEnd = false;

  int RipCount = 0;
  std::chrono::steady_clock::time_point WmaStart;
  int64_t WmaInputSize = 0;
  // The output Stop acts on: WaveOut1 while ripping, the encoding output while encoding.
  TAuOutput *CurrentOutput = nullptr;

  QLabel *lCurrentTrack;
  QLabel *lOutputFormat;
  QLabel *lSelectedTracks;
  QLabel *lCompleted;
  QLabel *lProgressHint;
  QProgressBar *ProgressBar2;
  QPushButton *bStop;
  QPushButton *bOpenLog; // shown once a log was written
  QTimer *Timer1;
  // The outputs last, so that they are destroyed while their inputs exist.
  std::unique_ptr<TWaveIn> WaveIn1;
  std::unique_ptr<TWaveOut> WaveOut1;
  // The encode step, with the pipeline outputs VorbisOut1, FLACOut1 and OpusOut1.
  std::unique_ptr<TEncodeStep> Encode;

protected:
  void WndProc(TMessage &message) override;
  void showEvent(QShowEvent *event) override;
  // Every way of closing the window ends the job.
  void done(int result) override;

private:
  int Count() const { return static_cast<int>(JobList->size()); }
  std::string Title(int k) const;
  std::string FilePath(int k, const char *extension) const;
  void ShowError(const std::string &text);
  void ShowStep(const std::string &hint);

  void CreateWidgets();
  void LayOutWidgets();
  void CreateComponents();
  void StartJob(const std::vector<std::string> &entries);
  void StartTrack(int k);
  // The CD input's position of the track of entry k (entries name the disc's own numbers).
  int TrackPosition(int k);
  // Whether the track at that position holds data, which is never ripped.
  bool IsDataTrack(int position);
  // Ends the job with one message when the output folder is gone.
  bool OutputFolderGone();
  // Whether the part file of the rip holds the whole track k.
  bool RipComplete(int k);
  // After a rip: gives the WAV its name, or reports why there is none; false then.
  bool KeepRip(int k);
  void RipEnded();
  void StartEncoding(int k);
  void EncodingEnded(const TProcessInfo &info);
  // The encoded file of entry k was made (and tagged) under its part name: its final name.
  bool KeepEncoding(int k);
  void NextTrack();
  // The last entry ended: the job is verified, then it ends, saying it is done with its whole
  // outcome.
  void JobDone();
  void Verified();
  // Ends a job that still runs, writing its log marked stopped.
  void StopJob();
  void FileFinished(const std::string &file);
  void FinishJob();
  void CloseLater();

  TCDIn &FCDIn;
  TMp3EncodeProcess &FMp3;
  TWMAEncodeProcess &FWma;
  std::unique_ptr<std::vector<std::string>> JobList;
  const int FItemCount;
  const TFormat FFormat;
  TJobOutputNames FNames;
  std::vector<std::string> FFileTitles; // per entry: the file title its rip took
  std::vector<std::string> FFinished;
  std::unique_ptr<plat::TPartFile> FPart;   // the WAV being ripped
  TJobLog FJobLog;                          // per entry, what the log tells
  std::shared_ptr<const TRipLog> FVerified; // its copy being verified
};
