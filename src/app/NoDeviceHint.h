#pragma once
// The hint the main window shows when it can reach no CD drive: the usual causes on this
// system, one advice line under the other, and two links into the program's help.
#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

class TfrmNoDeviceHint : public QDialog {
  Q_OBJECT

public:
  explicit TfrmNoDeviceHint(QWidget *parent = nullptr);

  // Translates the window unless the language is English.
  void FormShow();
  // Open the help's page on drives and permissions, and its page on disc images.
  void lForceASPIClick();
  void lAdaptecClick();

  QLabel *lForceASPI;
  QLabel *lAdaptec;
  QPushButton *bClose;

protected:
  void showEvent(QShowEvent *event) override;
};

// Where the two links lead: the help file's sections, as file addresses.
std::string DriveHelpAddress();
std::string ImageHelpAddress();

// Shows the hint modally over parent.
void ShowNoDeviceHint(QWidget *parent);
