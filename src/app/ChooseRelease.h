#pragma once
// The window that lists the releases MusicBrainz gives for a disc (artist, album, year,
// country, label, format) and lets the user pick the one whose titles the list takes.
#include "MusicBrainz.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTreeWidget;

class TfrmChooseRelease : public QDialog {
  Q_OBJECT

public:
  // Lists the releases, the first selected.
  TfrmChooseRelease(QWidget *owner, const std::vector<mb::TRelease> &releases);

  // The position of the release chosen with OK; -1 when the window was closed otherwise.
  int Chosen() const;

  QTreeWidget *lvReleases;
  QPushButton *bOK;
  QPushButton *bCancel;
};

// Shows the window modally; the position of the release chosen, -1 for none.
int ChooseRelease(QWidget *owner, const std::vector<mb::TRelease> &releases);

// One line about a release: "Artist - Album (year, country, label, format)", the parts the
// service left empty left out.
std::string ReleaseText(const mb::TRelease &release);
