#pragma once
// The ID3 editor: loads, changes, saves and removes the ID3v1 tag of any MP3 file.
#include "Id3Tag.h"

#include <QDialog>
#include <string>

class QAction;
class QComboBox;
class QLineEdit;
class QPushButton;

class TfrmID3Edit : public QDialog {
  Q_OBJECT
public:
  explicit TfrmID3Edit(QWidget *parent = nullptr);

  void bLoadTagClick();
  void aSaveTagExecute();
  void bSaveASClick();
  void aRemoveTagExecute();

  QLineEdit *ID3title;
  QLineEdit *ID3artist;
  QLineEdit *ID3album;
  QLineEdit *ID3year;
  QLineEdit *ID3comment;
  QLineEdit *ID3track;
  QComboBox *ID3genre;
  QPushButton *bLoadTag;
  QPushButton *bSaveTag;
  QPushButton *bSaveAS;
  QPushButton *bRemoveTag;
  QPushButton *bClose;
  QAction *aSaveTag;
  QAction *aRemoveTag;

protected:
  void showEvent(QShowEvent *event) override;

private:
  Tid3tag FTag;

  // The editor's caption without a file name, in the current language.
  static std::string PlainCaption();
  // Asks for an MP3 file; empty when the user cancels.
  std::string ChooseFile();
  void ShowTag();
  void ClearFields();
  void CopyFieldsToTag();
  // The track box holds 0 to 255 (or nothing); otherwise says so and is false.
  bool TrackFits();
  void SetFileCaption(const std::string &fileName);
  // Save and Remove need a file: enabled while the caption names one.
  void UpdateActions();
};

// Opens the editor modally over parent.
void ShowID3Editor(QWidget *parent = nullptr);
