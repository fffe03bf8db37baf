#pragma once
// The window of "Verify files...": the AccurateRip verification of one disc's rips (the files
// chosen, and the cue sheet beside them) runs on a thread of its own while the window shows
// that it runs; the report then fills the window and can be saved as a text file. The thread
// posts its result, which is dropped when the window has gone.
#include "Messages.h"
#include "VerifyRips.h"

#include <QDialog>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// Posted by the verification's thread with the TVerification as payload.
constexpr unsigned WM_VERIFIED = WM_USER + 0x69;

class TfrmVerify : public QDialog, public TMessageWindow {
  Q_OBJECT

public:
  TfrmVerify(QWidget *owner, std::vector<std::string> paths);
  // Stops a verification still running and waits for its thread.
  ~TfrmVerify() override;

  // Translates the window and starts the verification, with the AccurateRip address of the
  // settings.
  void FormShow();
  // Asks for a file and writes the report into it.
  void bSaveClick();
  bool Finished() const { return FFinished; }
  // The report, or why the files cannot be verified.
  const std::string &ReportText() const { return FReport; }
  void WndProc(TMessage &message) override;

  QLabel *lStatus;
  QPlainTextEdit *mReport;
  QPushButton *bSave;
  QPushButton *bClose;

protected:
  void showEvent(QShowEvent *event) override;

private:
  std::vector<std::string> FPaths;
  std::atomic<bool> FStop{false};
  std::thread FThread;
  bool FFinished = false;
  std::string FReport;
};
