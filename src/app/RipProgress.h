#pragma once
// The progress of a batch rip on a terminal: the job window is looked at a few times a second
// and the track it reads or encodes is shown on one line of standard error (TTerminalProgress).
#include "TerminalProgress.h"

#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class TMainForm;
class TRipForm;
class TfrmCDRip;

class TRipProgress {
public:
  // The job rips every row of form's list, and encodes each track after reading it when
  // encoded. Nothing is shown unless standard error is a terminal.
  TRipProgress(const TMainForm &form, bool encoded);
  // The job window whose steps are shown from now on.
  void Follow(TRipForm &job);
  void Follow(TfrmCDRip &job);
  // Takes the line off the terminal before something else is printed there.
  void Clear() { FLine.Clear(); }

private:
  struct TStep {
    int Entry; // of the job, from 0
    bool Encoding;
    int Percent;
  };
  void Look();

  std::vector<std::string> FTitles;
  std::vector<double> FSeconds;
  TTerminalProgress FLine;
  std::function<std::optional<TStep>()> FStep;
  int FEntry = -1;
  bool FEncoding = false;
  int FStaleGauge = -1; // what the gauge held when the step began
  QTimer FTimer;
};
