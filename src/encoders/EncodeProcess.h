#pragma once
// The runner the MP3 and the WMA encoder processes share: one hidden child at a time with its
// three pipes, a watcher thread that reads the child's console output, and the hand-over of
// that output to the user-interface thread, where it is parsed into progress reports and an
// end notice for the job window. The two encoders differ only in their command lines, their
// parsers and how they deliver the end notice.
// A child that neither prints anything nor grows its output file for the stall time
// (Settings.StallTime) is ended, and the run fails with a message that says so.
// The encoder writes a hidden part file beside OutputFile; a part file another job is writing
// ends the run with encodeInUse before any child starts. A run that fails or is stopped
// removes it; after the end notice encodeMade the receiver calls Complete, which gives the
// file its final name, so a file under that name is always whole (and tagged, when the
// receiver tags the part file first). An existing OutputFile is replaced without a question:
// whether it may be is the job's to ask before the start.
#include "Messages.h"
#include "PartFile.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The Code of an encoder's end notice (WM_JOBINFO).
constexpr int32_t JobMp3Ended = 2000;
constexpr int32_t JobWmaEnded = 5000;

// The SubCode of an encoding's end notice: how the encoding ended.
enum TEncodeEnd : int32_t {
  encodeDeclined = 0, // the existing output file is kept, or there is no encoder
  encodeInUse = 1,    // the output file is in use
  encodeMade = 2,     // the encoder made its file
  encodeFailed = 3,   // lame failed or could not write all of its file
  encodeSkipped = 4,  // set by the job: its rip failed, or the encoding could not start
  encodeError = 8,    // the WMA encoder failed; its error line is the notice's Elapsed
};

// What an encoder run takes from the settings and the disc; handed in before each start, so
// a run never reads them while they may change.
struct TEncoderSettings {
  int StallTime = 120; // seconds without progress after which the child is ended
  // lame
  int BitRate = 128;
  int StereoMode = 1;
  int MpegQuality = 0;
  bool IsSelectVBR = false;
  int VBRQuality = 4;
  int MaxBitRate = 320;
  bool IsVBRHead = false;
  // WM8EUTIL
  int WMABitRate = 8; // a position in WmaProfiles; outside it the run takes 8
  bool UseID3 = false;
  std::string Artist, Comment; // the disc's, named in the file when UseID3 is set
};

// An argument vector that never passes through a shell, and its text for display and tests.
struct TCommandLine {
  struct TArgument {
    std::string Text;
    bool Quoted = false; // shown in double quotes (file names and free text)
  };
  std::string Program; // a path, or a bare name looked up by FindProgram
  std::vector<TArgument> Arguments;

  void Add(const std::string &text) { Arguments.push_back({text, false}); }
  void AddQuoted(const std::string &text) { Arguments.push_back({text, true}); }
  // Program and arguments joined by blanks, quoted arguments in double quotes.
  std::string Text() const;
};

// "MM:SS" of a number of seconds.
std::string MinutesSeconds(int seconds);

// The first executable file called name in folders, in order, then on PATH; "" when none.
std::string FindProgram(const std::string &name, const std::vector<std::string> &folders);

class TEncodeProcess : private TMessageWindow {
public:
  ~TEncodeProcess() override;

  // Filled by the caller before Start.
  bool Busy = false;
  std::string InputFile;
  std::string OutputFile; // the final name
  TWindowHandle NotifyWindow = 0;
  bool IsEncode = true;
  int OverwriteMode = 0;
  TEncoderSettings Settings;
  // Folders searched for the encoder program before PATH.
  std::vector<std::string> ProgramFolders;

  std::chrono::steady_clock::time_point StartTime;
  int ProgressColumn = 0;

  // Starts the encoder; the outcome comes as WM_JOBINFO reports to NotifyWindow. Throws
  // std::runtime_error when the pipes or the child cannot be created. A child of an earlier
  // run that still runs is ended first, without a notice.
  void Start();
  // Sets up a run of one file for the window, as a job does; StartFor starts it too.
  void SetUp(TWindowHandle window, const std::string &input, const std::string &output, bool encode,
             int overwriteMode, const TEncoderSettings &settings);
  void StartFor(TWindowHandle window, const std::string &input, const std::string &output,
                bool encode, int overwriteMode, const TEncoderSettings &settings);
  // Ends the run set up without starting a child; its end notice says why.
  void EndUnstarted(TEncodeEnd why);
  // The Code of this encoder's end notices.
  virtual int32_t EndCode() const = 0;
  // True when an existing output file is replaced without asking in OverwriteMode.
  virtual bool OverwriteWithoutAsking() const = 0;
  // What tells the user that the encoder program cannot be found; "" when it can, or when its
  // absence is an error of Start.
  virtual std::string MissingEncoderText() const { return ""; }
  // When Busy: ends the run without an end notice. The child is killed; a Linux process
  // cannot be handed an exit code, so ExitCode only keeps the callers' form.
  void Stop(int ExitCode = 0);

  // True while a child of the current run is watched (from Start until its end is handled
  // or Stop).
  bool Running() const { return FChild != nullptr; }

  // The file the encoder writes: the part file of the current run, else OutputFile.
  std::string WrittenFile() const { return FPart ? FPart->PartName() : OutputFile; }
  // After the end notice of success: renames the part file to OutputFile. False when the run
  // did not succeed or the rename fails; nothing is left of the part file either way.
  bool Complete();

  // The command line of a run with the current fields and settings, writing WrittenFile(); no
  // program = none.
  virtual TCommandLine BuildCommandLine() = 0;

protected:
  TEncodeProcess();

  // Runs first; false ends the start (having sent the end notice).
  virtual bool PrepareStart() { return true; }
  // One line of the child's output whose trimmed form is not empty.
  virtual void ParseLine(const std::string &line) = 0;
  // Delivers an end notice to NotifyWindow; Text goes into Elapsed.
  virtual void DeliverEndNotice(TEncodeEnd SubCode, const std::string &Text) = 0;
  // The child has ended with this wait status and its output is parsed: send the end notice.
  virtual void ChildEnded(int status) = 0;
  // The SubCode of a run that failed with a message carried in the end notice's text.
  virtual TEncodeEnd FailedSubCode() const = 0;

  // The run's one end notice; any later one of the same run is dropped, so a job never
  // counts an item twice.
  void EndNotice(TEncodeEnd SubCode, const std::string &Text = "");
  void PostProgress(int percent, const std::string &elapsed, const std::string &estimated);
  // Whole seconds since StartTime, rounded.
  int SecondsRunning() const;

private:
  struct TChild;

  // Ends what runs of an earlier run and counts a new one.
  void BeginRun();
  // The path of the program a command line names; throws when there is none.
  std::string ProgramPath(const std::string &program) const;
  void WndProc(TMessage &message) override;
  void Parse(int stream, const std::string &chunk);
  void ProcessEnded();
  // The child made no progress for the stall time: ends it and fails the run.
  void ProcessStalled();
  // Ends the child and its watcher.
  void EndChild();
  // Ends the child and removes a part file that was not completed.
  void EndRun();

  std::uint64_t FRun = 0; // counts runs: news of an earlier run is dropped
  bool FEndSent = false;
  bool FSucceeded = false; // the end notice told of success
  std::unique_ptr<plat::TPartFile> FPart;
  std::string FProgramName;               // of the current run, as its command line names it
  int FStallSeconds = 0;                  // the stall time of the current run
  std::array<std::string, 2> FUnfinished; // output after the last line end, per pipe
  std::unique_ptr<TChild> FChild;
  std::thread FWatcher;
};
