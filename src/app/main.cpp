// Program start: the command line, then the main window, the printed track list, the
// batch rip, the read offset detection or the headless player.
#include "AccurateRipLookup.h"
#include "AudioDisc.h"
#include "CDRip.h"
#include "CddbLookup.h"
#include "ChooseRelease.h"
#include "CommandLine.h"
#include "Convert.h"
#include "DemoDisc.h"
#include "Dialogs.h"
#include "Folders.h"
#include "Global.h"
#include "Language.h"
#include "MainForm.h"
#include "Messages.h"
#include "MusicBrainz.h"
#include "Player.h"
#include "RipFormats.h"
#include "RipLog.h"
#include "RipProgress.h"
#include "TerminalProgress.h"
#include "Text.h"
#include "VerifyRips.h"
#include "akrip32.h"
#include "rip.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

bool HasDisplay() {
  for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char *value = std::getenv(name);
    if (value && *value)
      return true;
  }
  return false;
}

// The printed list is read by scripts: Qt's own notes (a missing runtime folder and the
// like) stay out of it; real errors still show.
void QuietQtNotes(QtMsgType type, const QMessageLogContext &, const QString &message) {
  if (type == QtCriticalMsg || type == QtFatalMsg)
    std::cerr << message.toStdString() << "\n";
}

// The freedb lookup of --query; false after printing why it failed. In CD-input mode the
// lookup is the CDDB component's, with the same server.
bool QueryFreedb(TMainForm &form, const TProgramOptions &options) {
  if (!options.CddbServer.empty()) {
    GlobalOptions.Server = options.CddbServer;
    GlobalOptions.Script = options.CddbScript;
  }
  const TCddbLookup lookup =
      form.CDInputMode() ? form.LookUpCDIn() : LookUpDisc(form.CDHandle, GlobalOptions);
  if (!lookup.Found) {
    std::cerr << "plindar: CDDB lookup failed: " << lookup.Why << "\n";
    return false;
  }
  form.ApplyCddbLookup(lookup);
  return true;
}

// With --query, looks the disc's titles up into the list from the sources of the settings or
// of --query-source; false after printing why it failed. Of several releases the first is
// taken and the others are named on standard error.
bool QueryTitles(TMainForm &form, const TProgramOptions &options) {
  if (!options.Query)
    return true;
  const int sources = options.QuerySource >= 0 ? options.QuerySource : GlobalOptions.TitleSources;
  if (sources == TitleSourcesFreedb)
    return QueryFreedb(form, options);
  const mb::TLookup lookup = form.LookUpMusicBrainz(
      options.MusicBrainzUrl.empty() ? GlobalOptions.MusicBrainzUrl : options.MusicBrainzUrl);
  if (lookup.Found) {
    form.ApplyRelease(lookup.Releases.front());
    for (std::size_t i = 1; i < lookup.Releases.size(); ++i)
      std::cerr << "plindar: MusicBrainz also lists " << ReleaseText(lookup.Releases[i]) << "\n";
    return true;
  }
  std::cerr << "plindar: MusicBrainz lookup failed: " << lookup.Why << "\n";
  return sources == TitleSourcesBoth && QueryFreedb(form, options);
}

// While a batch run lasts no dialog waits for a person: questions take their default answer,
// other windows are cancelled, and the texts of the plain messages go to standard error.
class TBatchDialogs {
public:
  ~TBatchDialogs() { Print(); }
  void Print() {
    for (const plat::TShownDialog &shown : Script.Shown)
      if (shown.Kind == "message" && shown.Buttons == plat::TMsgButtons::OK) // not the questions
        std::cerr << "plindar: " << shown.Text << "\n";
    Script.Shown.clear();
  }
  plat::TDialogScript Script;
};

// Fills the track list as the window does when it is shown and prints it; without tracks the
// status the window would show goes to standard error.
int ListTracks(const TProgramOptions &options) {
  TBatchDialogs dialogs;
  TMainForm form;
  form.SecureRun = options.Secure;
  form.PreferImages(options.CDImages.size());
  form.FormShow();
  form.FormActivate();
  if (form.RowCount() == 0) {
    std::cerr << form.StatusText() << "\n";
    return 1;
  }
  if (!QueryTitles(form, options))
    return 1;
  for (int row = 0; row < form.RowCount(); ++row)
    std::cout << form.RowText(row, 0) << '\t' << form.RowText(row, 1) << '\t'
              << form.RowText(row, 2) << '\t' << form.RowText(row, 3) << '\n';
  return 0;
}

// Set by SIGINT, SIGTERM and SIGHUP: an interrupted batch run still ends its job, so that what
// it was writing is removed and its encoder does not run on.
std::atomic<bool> gStopRequested{false};
// The write end of a pipe that wakes the window's event loop for a signal; -1 without one.
int gSignalWakeUp = -1;

void RequestStop(int) {
  gStopRequested = true;
  const char byte = 1;
  if (gSignalWakeUp >= 0 && write(gSignalWakeUp, &byte, 1) < 0) {
    // A full pipe already holds a wake-up.
  }
}

void StopOnInterrupt() {
  for (int signal : {SIGINT, SIGTERM, SIGHUP})
    std::signal(signal, RequestStop);
}

// An interrupt or a logout (SIGTERM, SIGHUP) closes the window as the user would: the windows
// open over it close first (a running job stops and writes its log), then the main window,
// which saves the titles and the settings.
void CloseOnInterrupt(TMainForm &form) {
  int wakeUp[2];
  if (pipe2(wakeUp, O_CLOEXEC | O_NONBLOCK) != 0)
    return;
  auto *notifier = new QSocketNotifier(wakeUp[0], QSocketNotifier::Read, &form);
  QObject::connect(notifier, &QSocketNotifier::activated, &form, [&form, fd = wakeUp[0]] {
    char bytes[16];
    while (read(fd, bytes, sizeof bytes) > 0) {
    }
    // The innermost first; one that refuses to close ends the round.
    for (QWidget *modal = nullptr, *last = nullptr;
         (modal = QApplication::activeModalWidget()) && modal != last; last = modal)
      modal->close();
    if (form.close())
      QApplication::quit();
  });
  gSignalWakeUp = wakeUp[1];
  StopOnInterrupt();
}

// "" when a file can be made in the existing folder, else why not.
std::string CannotWriteInto(const std::string &folder) {
  std::string probe = plat::IncludeTrailingSlash(folder) + ".plindar-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0)
    return plat::SysErrorMessage(errno);
  close(fd);
  unlink(probe.c_str());
  return "";
}

// After the files of an Extract: the disc's verification, each track's, and the rip log.
void PrintVerification(const TRipLog &log, const std::string &path) {
  std::cout << "AccurateRip: " << log.Summary() << "\n";
  // A track without its file is not verified but missing.
  for (const TRipLogTrack &track : log.Tracks)
    std::cout << "  Track " << TwoDigits(track.Track) << ": "
              << (track.File.empty() ? "not made" : accuraterip::VerdictText(track.Verdict))
              << "\n";
  std::cout << (path.empty() ? std::string("No rip log could be written") : "Rip log: " + path)
            << std::endl;
}

// Extract with every track checked, through the job window; each file made is printed as
// it is made and every message the job shows goes to standard error. The settings given on
// the command line hold for this run only: nothing is saved.
int ExtractTracks(const TProgramOptions &options) {
  TBatchDialogs dialogs;
  if (!options.OutputFolder.empty())
    RunOutputFolder = std::filesystem::absolute(options.OutputFolder).string();
  TMainForm form;
  form.SecureRun = options.Secure;
  form.RunReadOffset = options.ReadOffset;
  form.PreferImages(options.CDImages.size());
  if (options.OutputFormat >= 0)
    GlobalOptions.OutputFormat = options.OutputFormat;
  if (!RunOutputFolder.empty())
    GlobalOptions.OutputFolder = RunOutputFolder;
  if (!options.AccurateRipUrl.empty())
    GlobalOptions.AccurateRipUrl = options.AccurateRipUrl;
  std::error_code ec;
  if (std::filesystem::is_directory(GlobalOptions.OutputFolder, ec))
    if (std::string why = CannotWriteInto(GlobalOptions.OutputFolder); !why.empty()) {
      std::cerr << "plindar: cannot write into the output folder " << GlobalOptions.OutputFolder
                << ": " << why << "\n";
      return 1;
    }
  form.FormShow();
  form.FormActivate();
  if (form.RowCount() == 0) {
    std::cerr << form.StatusText() << "\n";
    return 1;
  }
  if (!QueryTitles(form, options))
    return 1;
  // Questions take their default answer (create the folder, replace a file); the job window
  // itself runs.
  dialogs.Script.ModalHandler = [](QDialog &dialog) { return dialog.exec(); };
  TRipProgress progress(form, RipOutput() != fmtWAV);
  int made = 0;
  auto printMade = [&made, &progress](const std::string &file) {
    progress.Clear();
    std::cout << file << std::endl;
    ++made;
  };
  auto printVerification = [&progress](const TRipLog &log, const std::string &path) {
    progress.Clear();
    PrintVerification(log, path);
  };
  form.OnJobWindow = [&](TRipForm &job) {
    job.OnFileFinished = printMade;
    job.OnLogWritten = printVerification;
    progress.Follow(job);
  };
  form.OnCDRipWindow = [&](TfrmCDRip &job) {
    job.OnFileFinished = printMade;
    job.OnLogWritten = printVerification;
    progress.Follow(job);
  };
  // An interrupt closes the job window, as a user closing it mid-job would.
  StopOnInterrupt();
  QTimer interruptWatch;
  QObject::connect(&interruptWatch, &QTimer::timeout, [] {
    if (QWidget *job = QApplication::activeModalWidget(); job && gStopRequested)
      job->close();
  });
  interruptWatch.start(100);
  form.ActionSelectAllExecute();
  form.ActionExtractExecute();
  progress.Clear();
  dialogs.Print();
  if (gStopRequested)
    std::cerr << "plindar: interrupted: the track in progress was not made\n";
  return made == form.RowCount() ? 0 : 1;
}

// Finds the read offset of the drive (the first disc image of the command line, else the
// chosen drive) and prints it; with --store-offset it is stored for the drive, the other
// settings as they were. Needs no screen.
int DetectOffset(const TProgramOptions &options) {
  LoadSaveOptions(true);
  const std::string base =
      options.AccurateRipUrl.empty() ? GlobalOptions.AccurateRipUrl : options.AccurateRipUrl;
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  const int images = static_cast<int>(options.CDImages.size());
  const int drive = images > 0 ? list.Count - images : std::max(GlobalOptions.CDIndex, 0);
  const TOffsetDetection found = DetectReadOffset(drive, base);
  if (!found.Found) {
    std::cerr << "plindar: " << DetectionText(found) << "\n";
    return 1;
  }
  std::cout << DetectionText(found) << "\n";
  if (options.StoreOffset) {
    const std::string key = cd::DriveKey(drive);
    StoreReadOffset(key, found.Offset);
    if (!LoadSaveOptions(false)) {
      std::cerr << "plindar: the offset could not be stored in " << GetSettingsFolder()
                << "options.ini\n";
      return 1;
    }
    std::cout << "Stored for " << key << "\n";
  }
  return 0;
}

// The report of --verify on standard output, a refusal on standard error. Needs no screen.
int VerifyFiles(const TProgramOptions &options) {
  LoadSaveOptions(true);
  TVerifyOptions verify;
  verify.AccurateRipUrl =
      options.AccurateRipUrl.empty() ? GlobalOptions.AccurateRipUrl : options.AccurateRipUrl;
  TVerification result;
  {
    TTerminalProgress line(std::cerr, STDERR_FILENO);
    verify.Progress = [&](const std::string &what, int percent, double seconds) {
      line.Show(what, percent, seconds);
    };
    result = VerifyRips(options.Verify, verify);
  } // the line ends before the report is printed
  if (result.Status == vsUnusable)
    std::cerr << "plindar: " << result.Report << "\n";
  else
    std::cout << result.Report;
  return result.Status;
}

// One file into another, without Qt: the pipeline reports through this thread's messages.
// Progress is shown only to a person watching a terminal.
int ConvertOneFile(const TConvertOptions &conversion) {
  StopOnInterrupt();
  std::string error;
  {
    TTerminalProgress line(std::cerr, STDERR_FILENO);
    error = ConvertFile(
        conversion,
        [&](int percent, double seconds) { line.Show(conversion.Output, percent, seconds); },
        &gStopRequested);
  } // the line ends before an error is printed
  if (!error.empty()) {
    std::cerr << "plindar: " << error << "\n";
    return 1;
  }
  return 0;
}

// --make-demo-disc and --cd-image: the disc images the run reads. An exit code when the run
// ends here: the demo disc is made and nothing more is asked, or an image cannot be read.
std::optional<int> AddDiscImages(TProgramOptions &options) {
  std::string error;
  if (!options.DemoDiscFolder.empty()) {
    try {
      std::string cue = MakeDemoDisc(options.DemoDiscFolder);
      std::cout << cue << "\n";
      if (!options.List && !options.Extract)
        return 0;
      options.CDImages.push_back(cue); // used right away by --list or --extract
    } catch (const std::exception &e) {
      std::cerr << "plindar: " << e.what() << "\n";
      return 1;
    }
  }
  for (const std::string &image : options.CDImages)
    if (!AddDiscImage(image, &error)) {
      std::cerr << "plindar: " << error << "\n";
      return 1;
    }
  return std::nullopt;
}

// The list needs no screen; the window does. The batch rip shows its job window when there
// is a screen. False after saying that there is no display.
bool ChooseQtPlatform(const TProgramOptions &options) {
  const bool platformChosen = std::getenv("QT_QPA_PLATFORM") != nullptr;
  if (options.Extract) {
    qInstallMessageHandler(QuietQtNotes);
    if (!platformChosen && !HasDisplay())
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
  } else if (options.List) {
    qInstallMessageHandler(QuietQtNotes);
    if (!platformChosen)
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
  } else if (!platformChosen && !HasDisplay()) {
    std::cerr << "plindar: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                 "--list prints the track list without one\n";
    return false;
  }
  return true;
}

// Without a desktop launcher, the help, the hint's links and the rip log say what they would
// open instead of doing nothing.
void SayWhatCouldNotOpen() {
  plat::ShellOpenFailed = [](const std::string &target, bool launcherFound) {
    plat::MessageBox(
        launcherFound
            ? GetLanText("RES_Open_Failed", "The desktop could not open %s.", {target})
            : GetLanText("RES_No_Launcher",
                         "%s could not be opened: no desktop launcher (xdg-open) is installed.",
                         {target}),
        product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Warning);
  };
}

// The main window, until it is closed.
int ShowMainWindow(const TProgramOptions &options) {
  TMainForm form;
  form.SecureRun = options.Secure;
  form.RunReadOffset = options.ReadOffset;
  form.PreferImages(options.CDImages.size());
  form.RipSummaryStays = true;
  CloseOnInterrupt(form);
  form.show();
  return QApplication::exec();
}

} // namespace

int main(int argc, char **argv) {
  // A reader that went away (plindar --extract ... | head -n 1) ends no job: what is printed to
  // it is dropped, and the files and the rip log are still made.
  std::signal(SIGPIPE, SIG_IGN);
  TProgramOptions options;
  std::string error;
  if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::cerr << "plindar: " << error << "\nTry 'plindar --help'.\n";
    return 2;
  }
  if (options.Help) {
    std::cout << UsageText();
    return 0;
  }
  if (options.Version) {
    std::cout << product::Name << " " << product::Version << "\n";
    return 0;
  }
  if (options.Convert)
    return ConvertOneFile(options.Conversion);
  if (!options.Verify.empty())
    return VerifyFiles(options);
  // Played without Qt: the pipeline's events are pumped by the player itself.
  if (!options.PlayFile.empty()) {
    StopOnInterrupt();
    return PlayFile(options.PlayFile, std::cerr, isatty(STDERR_FILENO), &gStopRequested);
  }
  if (const std::optional<int> ended = AddDiscImages(options))
    return *ended;

  if (options.DetectOffset)
    return DetectOffset(options);

  if (!ChooseQtPlatform(options))
    return 1;
  QApplication app(argc, argv);
  // No display name: Qt would add it to every window title not ending in it ("Plindar 4.5 —
  // Plindar"), and each window's title already says what it is.
  QApplication::setApplicationName("Plindar");
  plat::InstallQtMessagePump();
  SayWhatCouldNotOpen();
  if (options.List)
    return ListTracks(options);
  if (options.Extract)
    return ExtractTracks(options);
  return ShowMainWindow(options);
}
