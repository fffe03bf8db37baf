#include "RipProgress.h"

#include "CDRip.h"
#include "Global.h"
#include "MainForm.h"
#include "RipFormats.h"
#include "rip.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>

#include <iostream>
#include <numeric>
#include <sstream>
#include <unistd.h>

namespace {

// "MM:SS" of the list's Length column in seconds; 0 when it is not that.
double ListedSeconds(const std::string &length) {
  int minutes = 0, seconds = 0;
  char colon = 0;
  std::istringstream in(length);
  return in >> minutes >> colon >> seconds && colon == ':' ? minutes * 60.0 + seconds : 0;
}

std::vector<double> TrackSeconds(const TMainForm &form) {
  std::vector<double> seconds;
  for (int row = 0; row < form.RowCount(); ++row)
    seconds.push_back(ListedSeconds(form.RowText(row, 2)));
  return seconds;
}

double JobSeconds(const std::vector<double> &tracks, bool encoded) {
  return std::accumulate(tracks.begin(), tracks.end(), 0.0) * (encoded ? 2 : 1);
}

} // namespace

TRipProgress::TRipProgress(const TMainForm &form, bool encoded)
    : FSeconds(TrackSeconds(form)), FLine(std::cerr, STDERR_FILENO, JobSeconds(FSeconds, encoded)) {
  for (int row = 0; row < form.RowCount(); ++row)
    FTitles.push_back(form.RowTitle(row));
  if (!FLine.Shown())
    return;
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Look(); });
  FTimer.start(250);
}

// Both windows count a track as ripped before they encode it.
void TRipProgress::Follow(TRipForm &job) {
  FStep = [window = QPointer<TRipForm>(&job)]() -> std::optional<TStep> {
    if (!window || window->JobFinished())
      return std::nullopt;
    const bool encoding = window->windowTitle().startsWith("Encoding");
    return TStep{window->RipCount - (encoding ? 1 : 0), encoding, window->FlatGauge1->value()};
  };
}

void TRipProgress::Follow(TfrmCDRip &job) {
  FStep = [window = QPointer<TfrmCDRip>(&job)]() -> std::optional<TStep> {
    if (!window || window->JobFinished())
      return std::nullopt;
    const bool encoding = window->lProgressHint->text() == "Encoding...";
    return TStep{window->RipCount - (encoding ? 1 : 0), encoding, window->ProgressBar2->value()};
  };
}

void TRipProgress::Look() {
  std::optional<TStep> step = FStep ? FStep() : std::nullopt;
  const int count = static_cast<int>(FTitles.size());
  if (!step || step->Entry < 0 || step->Entry >= count) {
    FLine.Clear(); // between jobs, or checking the rip after the last track
    return;
  }
  // A new step shows 0 % until its own progress arrives: the gauge still holds the last one's.
  if (step->Entry != FEntry || step->Encoding != FEncoding) {
    FEntry = step->Entry;
    FEncoding = step->Encoding;
    FStaleGauge = step->Percent;
  }
  if (step->Percent == FStaleGauge)
    step->Percent = 0;
  else
    FStaleGauge = -1;
  const std::string item = std::string(step->Encoding ? "Encoding" : "Extracting") + " " +
                           TwoDigits(step->Entry + 1) + "/" + TwoDigits(count) + " " +
                           FTitles[step->Entry];
  FLine.Show(item, step->Percent, FSeconds[step->Entry]);
}
