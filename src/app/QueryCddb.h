#pragma once
// The CDDB query settings window: server, query script and proxy. Query stores them in the
// settings and runs the lookup in the progress window; the window closes when titles arrived
// and stays open for another try when the lookup found nothing or failed.
#include "StopQuery.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The preset servers: freedb-protocol servers that still answer, the default first.
extern const std::vector<std::string> CddbServers;

class TfrmQueryCDDB : public QDialog {
  Q_OBJECT

public:
  // onFound receives the titles of a finished lookup on the user-interface thread.
  TfrmQueryCDDB(QWidget *owner, uint8_t firstTrack, uint8_t lastTrack, int32_t cdHandle,
                TCddbFoundHandler onFound);

  // Shows the stored settings; a stored server that is no preset is shown as it is.
  void FormShow();
  // Stores the settings and runs the lookup; closes the window with result 6 when it finished.
  void bQueryClick();
  void bCloseClick();
  // The first preset, the default script and verification URL, no proxy (the proxy's texts
  // stay).
  void bDefaultClick();
  void cbProxyClick();

  const uint8_t FirstTrack, LastTrack;
  const int32_t CDHandle;

  QGroupBox *GroupBox1;
  QLabel *Label1;
  QComboBox *cbServer;
  QLabel *Label2;
  QLineEdit *eScript;
  QLabel *lAccurateRip;
  QLineEdit *eAccurateRip; // where rips are verified
  QGroupBox *GroupBox2;
  QCheckBox *cbProxy;
  QLabel *Label3;
  QLineEdit *eAddress;
  QLabel *lPort;
  QLineEdit *ePort;
  QPushButton *bDefault;
  QPushButton *bQuery;
  QPushButton *bClose;
  QLabel *Image1;

protected:
  void showEvent(QShowEvent *event) override;

private:
  TCddbFoundHandler FOnFound;
  bool FShown = false;
};
