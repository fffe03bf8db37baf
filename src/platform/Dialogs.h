#pragma once
// Message boxes, file and folder dialogs, modal windows and the shell's "Open", with a script
// that tests install to record what was shown and answer it instead of a user.
#include <deque>
#include <functional>
#include <string>
#include <vector>

class QDialog;

namespace plat {

enum class TMsgIcon { None, Information, Warning, Error, Question };
enum class TMsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum TMsgResult : int {
  idOK = 1,
  idCancel = 2,
  idAbort = 3,
  idRetry = 4,
  idIgnore = 5,
  idYes = 6,
  idNo = 7
};

// Shows a modal message box; defaultButton counts the buttons from 1. Returns the id of the
// button chosen (closing the box answers Cancel, or the only button / No).
int MessageBox(const std::string &text, const std::string &caption, TMsgButtons buttons,
               TMsgIcon icon, int defaultButton = 1);

struct TFileDialogOptions {
  std::string Title;
  std::string Filter; // Windows form: "Sound file(*.wav)|*.wav| Any file(*.*)|*.*"
  std::string InitialDir;
  std::string FileName;
  std::string DefaultExt;
  bool MultiSelect = false;
};

// True and the chosen files when the user accepted the dialog.
bool OpenFileDialog(const TFileDialogOptions &options, std::vector<std::string> &files);
bool SaveFileDialog(const TFileDialogOptions &options, std::string &file);
bool BrowseForFolder(const std::string &title, std::string &folder);

// Runs a window modally and returns its result (QDialog::exec unless a script answers).
int ShowModal(QDialog &dialog);

// Opens a folder, a file or a web address with the desktop's handler. When nothing can, false,
// after telling ShellOpenFailed (when set) the target and whether a launcher (xdg-open) exists.
bool ShellOpen(const std::string &target);
extern std::function<void(const std::string &target, bool launcherFound)> ShellOpenFailed;
// Starts a program (looked up on PATH) with its arguments and leaves it running; false when it
// cannot be started. A script records it as kind "run" with the command line as text.
bool RunDetached(const std::vector<std::string> &argv);
// Starts the desktop's mixer, at its input devices when recording is set and it has such a
// page. With none installed it says in a message box with that caption what to install, and
// returns false.
bool RunMixer(bool recording, const std::string &caption);

// Converts "Name(*.a)|*.a|Other|*.b;*.c" to Qt's "Name(*.a);;Other (*.b *.c)".
std::string QtFilter(const std::string &windowsFilter);

struct TShownDialog {
  std::string Kind; // "message", "open", "save", "folder", "modal", "shell", "run"
  std::string Caption;
  std::string Text; // message text, dialog filter, modal window name or shell target
  TMsgIcon Icon = TMsgIcon::None;
  TMsgButtons Buttons = TMsgButtons::OK;
  int DefaultButton = 1;
};

struct TDialogAnswer {
  int Result = idOK;              // message boxes and modal windows; idCancel cancels dialogs
  std::vector<std::string> Files; // open, save and folder dialogs
};

// While one exists, no dialog is shown: each records itself in Shown and takes the next
// queued answer; with none queued a message box answers its default button, file and folder
// dialogs are cancelled and a modal window runs the ModalHandler, if set, else answers Cancel.
class TDialogScript {
public:
  TDialogScript();
  ~TDialogScript();
  TDialogScript(const TDialogScript &) = delete;
  TDialogScript &operator=(const TDialogScript &) = delete;

  void Answer(int result) { Answers.push_back({result, {}}); }
  void AnswerFiles(std::vector<std::string> files) { Answers.push_back({idOK, std::move(files)}); }

  std::deque<TDialogAnswer> Answers;
  std::vector<TShownDialog> Shown;
  std::function<int(QDialog &)> ModalHandler;

  // The texts of the message boxes shown so far, in order.
  std::vector<std::string> Messages() const;
};

} // namespace plat
