#pragma once
// The track title editor: one edit field with the title of a track. OK (also the Enter key)
// is possible only while the field holds a character, so a title never becomes empty; Cancel
// or closing the window leaves the title to the caller as it was.
#include <QDialog>

#include <string>

class QAction;
class QLineEdit;
class QPushButton;

class TfrmEditTrackName : public QDialog {
  Q_OBJECT

public:
  explicit TfrmEditTrackName(const std::string &title, QWidget *parent = nullptr);

  // Selects the whole title and gives it the focus; translates unless the language is English.
  void FormShow();
  // aOK is enabled exactly when eName holds at least one character.
  void aOKUpdate();
  // Closes with the OK result.
  void aOKExecute();
  // The edited title.
  std::string Title() const;

  QLineEdit *eName;
  QAction *aOK;
  QPushButton *bOK;
  QPushButton *bCancel;

protected:
  void showEvent(QShowEvent *event) override;
};

// Edits title modally over parent; true, with title changed, when the user chose OK.
bool EditTrackName(std::string &title, QWidget *parent);
