#pragma once
// The progress window of a CDDB lookup and the thread that runs the lookup.
//
// The thread never touches a window: it posts its result (WM_QUERYCDDB, wParam CddbFinished
// with the titles, CddbFailed when there is no match or the lookup failed) to the progress
// window, which hands a finished result to its OnFound on the user-interface thread and closes
// with result 6. Stop closes the window at once; the thread ends in the background and its
// result, posted to a window that is gone, is dropped.
#include "CddbLookup.h"
#include "Messages.h"

#include <QDialog>

#include <atomic>
#include <cstdint>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;

constexpr unsigned WM_QUERYCDDB = WM_USER + 0x68;
enum : std::uintptr_t { CddbFailed = 6, CddbFinished = 7 };

// Receives a lookup that found titles, on the user-interface thread.
using TCddbFoundHandler = std::function<void(const TCddbLookup &)>;

class TQueryCDDBThread {
public:
  // Starts the lookup of the drive's disc with these settings on a thread that frees itself.
  static void Start(TWindowHandle window, int32_t cdHandle, const TGlobalOptions &options);
  // Lookups still running (tests wait for stopped ones to end).
  static int Running() { return FRunning; }

private:
  static std::atomic<int> FRunning;
};

class TfrmStopQuery : public QDialog, public TMessageWindow {
  Q_OBJECT

public:
  TfrmStopQuery(QWidget *owner, uint8_t firstTrack, uint8_t lastTrack, int32_t cdHandle,
                TCddbFoundHandler onFound);

  // Starts the lookup with the settings as they are now.
  void FormShow();
  void bStopClick();
  void WndProc(TMessage &message) override;

  const uint8_t FirstTrack, LastTrack;
  const int32_t CDHandle;
  // Why the last lookup failed ("" when it did not), in words.
  std::string FailureText;

  QLabel *lHint;
  QPushButton *bStop;
  QFrame *Panel1;
  QLabel *Label1;

protected:
  void showEvent(QShowEvent *event) override;

private:
  TCddbFoundHandler FOnFound;
  bool FStarted = false;
};
