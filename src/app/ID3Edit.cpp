#include "ID3Edit.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "Genres.h"
#include "Global.h"
#include "Text.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

QString Q(const std::string &s) { return QString::fromStdString(s); }

const char *const Mp3Filter = "Index files (*.mp3)|*.mp3";

QLineEdit *NewEdit(QWidget *owner, const char *name, int maxLength) {
  auto *edit = new QLineEdit(owner);
  edit->setObjectName(name);
  edit->setMaxLength(maxLength);
  return edit;
}

QPushButton *NewButton(QWidget *owner, const char *name, const char *text) {
  auto *button = new QPushButton(QString(text), owner);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

// A button that runs an action and follows its enabled state.
void LinkAction(QPushButton *button, QAction *action) {
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  QObject::connect(action, &QAction::changed, button,
                   [button, action] { button->setEnabled(action->isEnabled()); });
  button->setEnabled(action->isEnabled());
}

} // namespace

TfrmID3Edit::TfrmID3Edit(QWidget *parent) : QDialog(parent) {
  setObjectName("frmID3Edit");
  setWindowTitle(Q(PlainCaption()));

  ID3title = NewEdit(this, "ID3title", 30);
  ID3artist = NewEdit(this, "ID3artist", 30);
  ID3album = NewEdit(this, "ID3album", 30);
  ID3year = NewEdit(this, "ID3year", 4);
  ID3comment = NewEdit(this, "ID3comment", 30);
  // An ID3v1.1 track number is a byte: three digits, checked against 255 on saving.
  ID3track = NewEdit(this, "ID3track", 3);
  // Digits only, typed or pasted: every other key is swallowed.
  ID3track->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), ID3track));
  ID3genre = new QComboBox(this);
  ID3genre->setObjectName("ID3genre");
  ID3genre->addItem(QString());
  for (const TGenre &genre : GenreList)
    ID3genre->addItem(genre.Name);

  bLoadTag = NewButton(this, "bLoadTag", "&Load Tag...");
  bSaveTag = NewButton(this, "bSaveTag", "&Save Tag");
  bSaveAS = NewButton(this, "bSaveAS", "&Save As...");
  bRemoveTag = NewButton(this, "bRemoveTag", "&Remove Tag");
  bClose = NewButton(this, "bClose", "&Close");
  aSaveTag = new QAction(bSaveTag->text(), this);
  aSaveTag->setObjectName("aSaveTag");
  aRemoveTag = new QAction(bRemoveTag->text(), this);
  aRemoveTag->setObjectName("aRemoveTag");
  LinkAction(bSaveTag, aSaveTag);
  LinkAction(bRemoveTag, aRemoveTag);

  connect(bLoadTag, &QPushButton::clicked, this, &TfrmID3Edit::bLoadTagClick);
  connect(aSaveTag, &QAction::triggered, this, &TfrmID3Edit::aSaveTagExecute);
  connect(bSaveAS, &QPushButton::clicked, this, &TfrmID3Edit::bSaveASClick);
  connect(aRemoveTag, &QAction::triggered, this, &TfrmID3Edit::aRemoveTagExecute);
  connect(bClose, &QPushButton::clicked, this, &QDialog::accept);

  auto *fields = new QGridLayout;
  int row = 0;
  auto addRow = [&](const char *label, QWidget *field) {
    auto *caption = new QLabel(QString(label), this);
    caption->setObjectName(QString("Label%1").arg(row + 1));
    caption->setBuddy(field);
    fields->addWidget(caption, row, 0);
    fields->addWidget(field, row++, 1);
  };
  addRow("Title:", ID3title);
  addRow("Artist:", ID3artist);
  addRow("Album:", ID3album);
  addRow("Year:", ID3year);
  addRow("Comment:", ID3comment);
  addRow("Track:", ID3track);
  addRow("Genre:", ID3genre);
  auto *buttons = new QVBoxLayout;
  for (QPushButton *button : {bLoadTag, bSaveTag, bSaveAS, bRemoveTag, bClose})
    buttons->addWidget(button);
  buttons->addStretch();
  auto *layout = new QHBoxLayout(this);
  layout->addLayout(fields, 1);
  layout->addLayout(buttons);

  UpdateActions();
}

std::string TfrmID3Edit::PlainCaption() {
  return GetLanString("RES_ID3Edit_Caption", "ID3 Tag Edit");
}

void TfrmID3Edit::showEvent(QShowEvent *event) {
  if (ApplyChosenLanguage(this)) {
    // The caption is the message's, so that it tells whether a file is open.
    setWindowTitle(Q(PlainCaption()));
    UpdateActions();
  }
  QDialog::showEvent(event);
}

std::string TfrmID3Edit::ChooseFile() {
  plat::TFileDialogOptions options;
  options.Filter = Mp3Filter;
  std::vector<std::string> files;
  if (!plat::OpenFileDialog(options, files) || files.empty())
    return {};
  return files.front();
}

void TfrmID3Edit::bLoadTagClick() {
  std::string file = ChooseFile();
  if (file.empty())
    return;
  if (FTag.ReadTag(file) < id3OpenError)
    ShowTag();
  else
    ClearFields();
  SetFileCaption(file);
}

void TfrmID3Edit::aSaveTagExecute() {
  if (!TrackFits())
    return;
  CopyFieldsToTag();
  if (FTag.WriteTag("=") >= id3OpenError)
    plat::MessageBox(GetLanString("RES_SaveTag_Error", "Could not save Tag!"), product::Name,
                     plat::TMsgButtons::OK, plat::TMsgIcon::Information);
}

void TfrmID3Edit::bSaveASClick() {
  if (!TrackFits())
    return;
  std::string file = ChooseFile();
  if (file.empty())
    return;
  CopyFieldsToTag();
  if (FTag.WriteTag(file) < id3OpenError)
    SetFileCaption(file);
  else
    plat::MessageBox(GetLanString("RES_SaveTag_Error", "Could not save Tag!"), product::Name,
                     plat::TMsgButtons::OK, plat::TMsgIcon::Information);
}

void TfrmID3Edit::aRemoveTagExecute() {
  if (plat::MessageBox(GetLanString("RES_Ask_RemoveTag", "Do you want to remove these tags?"),
                       product::Name, plat::TMsgButtons::YesNo, plat::TMsgIcon::Information,
                       2) != plat::idYes)
    return;
  FTag.RemoveTag();
  ClearFields();
}

void TfrmID3Edit::ShowTag() {
  ID3title->setText(Q(FTag.Title()));
  ID3artist->setText(Q(FTag.Artist()));
  ID3album->setText(Q(FTag.Album()));
  ID3year->setText(Q(FTag.Year()));
  ID3comment->setText(Q(FTag.Comment()));
  ID3genre->setCurrentIndex(Id3ToGenre(FTag.Genre));
  ID3track->setText(QString::number(FTag.Track()));
}

void TfrmID3Edit::ClearFields() {
  for (QLineEdit *edit : {ID3title, ID3artist, ID3album, ID3year, ID3comment})
    edit->clear();
  ID3genre->setCurrentIndex(-1);
  ID3track->setText("0");
}

void TfrmID3Edit::CopyFieldsToTag() {
  FTag.SetTitle(ID3title->text().toStdString());
  FTag.SetArtist(ID3artist->text().toStdString());
  FTag.SetAlbum(ID3album->text().toStdString());
  FTag.SetYear(ID3year->text().toStdString());
  FTag.SetComment(ID3comment->text().toStdString());
  FTag.Genre = GenreToId3(ID3genre->currentIndex()); // none selected (-1) gives 255
  if (!ID3track->text().isEmpty())
    FTag.SetTrack(static_cast<uint8_t>(ID3track->text().toInt()));
}

bool TfrmID3Edit::TrackFits() {
  if (ID3track->text().toInt() <= 255)
    return true;
  plat::MessageBox(GetLanString("RES_Track_Range", "The track number must be from 0 to 255."),
                   product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
  return false;
}

void TfrmID3Edit::SetFileCaption(const std::string &fileName) {
  setWindowTitle(Q(PlainCaption() + ": " + fileName));
  UpdateActions();
}

void TfrmID3Edit::UpdateActions() {
  bool hasFile = windowTitle() != Q(PlainCaption());
  aSaveTag->setEnabled(hasFile);
  aRemoveTag->setEnabled(hasFile);
}

void ShowID3Editor(QWidget *parent) {
  TfrmID3Edit form(parent);
  plat::ShowModal(form);
}
