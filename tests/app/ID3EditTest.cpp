#include "ID3Edit.h"
#include "Dialogs.h"
#include "Folders.h"
#include "Genres.h"
#include "Global.h"
#include "Messages.h"
#include "TagFiles.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ID3Editor : public TagFiles {
protected:
  void SetUp() override {
    TagFiles::SetUp();
    tagged = Path("tagged.mp3");
    WriteBytes(tagged, Audio(400) + RawTag("Title", "Artist", "Album", "1999",
                                           std::string(28, 'c') + std::string("\0\7", 2), 12));
  }

  // Chooses file in the next file dialog and clicks button.
  void ClickWithFile(QPushButton *button, const std::string &file) {
    script.AnswerFiles({file});
    button->click();
  }

  plat::TDialogScript script;
  TfrmID3Edit form;
  std::string tagged;
};

TEST_F(ID3Editor, StartsWithoutAFileSoSaveAndRemoveAreOff) {
  EXPECT_EQ(form.objectName(), "frmID3Edit");
  EXPECT_EQ(form.windowTitle(), "ID3 Tag Edit");
  EXPECT_FALSE(form.bSaveTag->isEnabled());
  EXPECT_FALSE(form.bRemoveTag->isEnabled());
  EXPECT_TRUE(form.bSaveAS->isEnabled());
  EXPECT_EQ(form.ID3genre->count(), 149);
  EXPECT_EQ(form.ID3genre->itemText(0), "");
  EXPECT_EQ(form.ID3genre->itemText(18), "Blues");
  for (const char *name : {"ID3title", "ID3artist", "ID3album", "ID3comment", "ID3year", "ID3track",
                           "bLoadTag", "bSaveTag", "bSaveAS", "bRemoveTag", "bClose"})
    EXPECT_NE(form.findChild<QWidget *>(name), nullptr) << name;
  EXPECT_EQ(form.ID3title->maxLength(), 30);
  EXPECT_EQ(form.ID3year->maxLength(), 4);
  EXPECT_EQ(form.ID3track->maxLength(), 3);
}

TEST_F(ID3Editor, LoadShowsTheTag) {
  ClickWithFile(form.bLoadTag, tagged);
  ASSERT_EQ(script.Shown.size(), 1u);
  EXPECT_EQ(script.Shown[0].Kind, "open");
  EXPECT_EQ(script.Shown[0].Text, "Index files (*.mp3)|*.mp3");
  EXPECT_EQ(form.ID3title->text(), "Title");
  EXPECT_EQ(form.ID3artist->text(), "Artist");
  EXPECT_EQ(form.ID3album->text(), "Album");
  EXPECT_EQ(form.ID3year->text(), "1999");
  EXPECT_EQ(form.ID3comment->text(), QString(28, 'c'));
  EXPECT_EQ(form.ID3track->text(), "7");
  EXPECT_EQ(form.ID3genre->currentText(), "Other");
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + tagged);
  EXPECT_TRUE(form.bSaveTag->isEnabled());
  EXPECT_TRUE(form.bRemoveTag->isEnabled());
}

TEST_F(ID3Editor, LoadingAFileWithoutTagOrWithAnUnknownGenre) {
  ClickWithFile(form.bLoadTag, tagged);
  const std::string plain = Path("plain.mp3");
  WriteBytes(plain, Audio(100));
  ClickWithFile(form.bLoadTag, plain);
  EXPECT_EQ(form.ID3title->text(), "");
  EXPECT_EQ(form.ID3comment->text(), "");
  EXPECT_EQ(form.ID3track->text(), "0");
  EXPECT_EQ(form.ID3genre->currentIndex(), -1);
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + plain);
  EXPECT_TRUE(form.bSaveTag->isEnabled());

  const std::string odd = Path("odd.mp3");
  WriteBytes(odd, RawTag("Odd", "", "", "", "", 200));
  ClickWithFile(form.bLoadTag, odd);
  EXPECT_EQ(form.ID3title->text(), "Odd");
  EXPECT_EQ(form.ID3genre->currentIndex(), 0);

  // A cancelled dialog changes nothing.
  script.Answer(plat::idCancel);
  form.bLoadTag->click();
  EXPECT_EQ(form.ID3title->text(), "Odd");
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + odd);
}

TEST_F(ID3Editor, SaveWritesTheFieldsIntoTheLoadedFile) {
  ClickWithFile(form.bLoadTag, tagged);
  form.ID3title->setText("Ace of Spades");
  form.ID3artist->setText("Motörhead");
  form.ID3comment->setText(QString(30, 'k'));
  form.ID3track->setText("3");
  form.ID3genre->setCurrentIndex(GenreIndexOf("Noise") + 1);
  form.bSaveTag->click();
  EXPECT_EQ(script.Shown.size(), 1u); // the file dialog only: no error box

  std::string raw = LastTag(tagged);
  EXPECT_EQ(FileText(tagged).size(), 528u);
  EXPECT_EQ(raw, RawTag("Ace of Spades", "Mot\xF6rhead", "Album", "1999",
                        std::string(28, 'k') + std::string("\0\3", 2), 39));

  // No genre and an empty track box: genre 255, the track stays as it was.
  form.ID3genre->setCurrentIndex(-1);
  form.ID3track->clear();
  form.bSaveTag->click();
  raw = LastTag(tagged);
  EXPECT_EQ(static_cast<unsigned char>(raw[127]), 255);
  EXPECT_EQ(raw[126], '\3');
}

TEST_F(ID3Editor, AFailedSaveIsReported) {
  ClickWithFile(form.bLoadTag, tagged);
  const std::string before = FileText(tagged);
  ::chmod(tagged.c_str(), 0444);
  form.ID3title->setText("Changed");
  form.bSaveTag->click();
  ASSERT_EQ(script.Shown.size(), 2u);
  EXPECT_EQ(script.Shown[1].Kind, "message");
  EXPECT_EQ(script.Shown[1].Text, "Could not save Tag!");
  EXPECT_EQ(script.Shown[1].Caption, "Plindar");
  EXPECT_EQ(script.Shown[1].Icon, plat::TMsgIcon::Information);
  EXPECT_EQ(FileText(tagged), before);
}

TEST_F(ID3Editor, SaveAfterALoadThatFailedNeverWritesTheEarlierFile) {
  ClickWithFile(form.bLoadTag, tagged);
  const std::string before = FileText(tagged);
  ClickWithFile(form.bLoadTag, Path("vanished.mp3"));
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + Path("vanished.mp3"));
  form.ID3title->setText("Wrong place");
  form.bSaveTag->click();
  EXPECT_EQ(FileText(tagged), before);
  ASSERT_EQ(script.Shown.size(), 3u);
  EXPECT_EQ(script.Shown[2].Text, "Could not save Tag!");
}

TEST_F(ID3Editor, SaveAsWritesAnotherFileAndNamesIt) {
  const std::string other = Path("other.mp3");
  WriteBytes(other, Audio(256));
  form.ID3title->setText("Fresh");
  form.ID3year->setText("2024");
  form.ID3genre->setCurrentIndex(18); // Blues
  ClickWithFile(form.bSaveAS, other);
  EXPECT_EQ(script.Shown[0].Text, "Index files (*.mp3)|*.mp3");
  EXPECT_EQ(LastTag(other), RawTag("Fresh", "", "", "2024", "", 0));
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + other);
  EXPECT_TRUE(form.bSaveTag->isEnabled());

  // A file that cannot be written: the error box, and the caption keeps the last file.
  const std::string locked = Path("locked.mp3");
  WriteBytes(locked, Audio(256));
  ::chmod(locked.c_str(), 0444);
  ClickWithFile(form.bSaveAS, locked);
  EXPECT_EQ(script.Shown.back().Text, "Could not save Tag!");
  EXPECT_EQ(FileText(locked), Audio(256));
  EXPECT_EQ(form.windowTitle().toStdString(), "ID3 Tag Edit: " + other);
}

TEST_F(ID3Editor, RemoveAsksFirstThenCutsTheTagAndClearsTheFields) {
  ClickWithFile(form.bLoadTag, tagged);
  script.Answer(plat::idNo);
  form.bRemoveTag->click();
  ASSERT_EQ(script.Shown.size(), 2u);
  const plat::TShownDialog &ask = script.Shown[1];
  EXPECT_EQ(ask.Text, "Do you want to remove these tags?");
  EXPECT_EQ(ask.Caption, "Plindar");
  EXPECT_EQ(ask.Buttons, plat::TMsgButtons::YesNo);
  EXPECT_EQ(ask.DefaultButton, 2);
  EXPECT_EQ(ask.Icon, plat::TMsgIcon::Information);
  EXPECT_EQ(FileText(tagged).size(), 528u);
  EXPECT_EQ(form.ID3title->text(), "Title");

  script.Answer(plat::idYes);
  form.bRemoveTag->click();
  EXPECT_EQ(FileText(tagged), Audio(400));
  EXPECT_EQ(form.ID3title->text(), "");
  EXPECT_EQ(form.ID3track->text(), "0");
  EXPECT_EQ(form.ID3genre->currentIndex(), -1);
}

TEST_F(ID3Editor, TheTrackBoxTakesDigitsOnly) {
  form.ID3track->clear();
  QTest::keyClicks(form.ID3track, "a1-b2");
  EXPECT_EQ(form.ID3track->text(), "12");
  QTest::keyClick(form.ID3track, Qt::Key_Backspace);
  EXPECT_EQ(form.ID3track->text(), "1");
  QTest::keyClick(form.ID3track, Qt::Key_X);
  EXPECT_EQ(form.ID3track->text(), "1");
  // Pasted text gets past the key filter; it must still hold no letters.
  form.ID3track->clear();
  form.ID3track->insert("x9");
  EXPECT_EQ(form.ID3track->text(), "");
}

TEST_F(ID3Editor, ThreeDigitTrackNumbersUpTo255AreKeptAndLargerOnesRefused) {
  const std::string file = Path("track123.mp3");
  WriteBytes(file, Audio(100) +
                       RawTag("T", "", "", "", std::string(28, 0) + std::string("\0\x7B", 2), 12));
  ClickWithFile(form.bLoadTag, file);
  EXPECT_EQ(form.ID3track->text(), "123");
  form.bSaveTag->click();
  EXPECT_EQ(static_cast<unsigned char>(LastTag(file)[126]), 123);

  const std::string before = FileText(file);
  form.ID3track->setText("256");
  form.bSaveTag->click();
  form.bSaveAS->click();
  ASSERT_EQ(script.Shown.size(), 3u) << "no file dialog for Save As";
  for (size_t i : {1u, 2u}) {
    EXPECT_EQ(script.Shown[i].Text, "The track number must be from 0 to 255.");
    EXPECT_EQ(script.Shown[i].Caption, "Plindar");
  }
  EXPECT_EQ(FileText(file), before);
}

TEST_F(ID3Editor, ShowingTranslatesItAndTheCaptionStaysTheMessage) {
  const std::string lan = "TagTest" + std::to_string(::getpid());
  const std::string file = plat::ProgramFolder() + "CLan_" + lan + ".ini";
  WriteBytes(file, "[frmID3Edit]\nfrmID3Edit=Fenster\nbLoadTag=&Laden...\nLabel1=Titel:\n"
                   "[ResourceString]\nRES_ID3Edit_Caption=ID3-Tag bearbeiten\n"
                   "RES_SaveTag_Error=Nicht gespeichert!\n");
  GlobalOptions.Lan = lan;
  TfrmID3Edit translated;
  translated.show();
  EXPECT_EQ(translated.bLoadTag->text(), "&Laden...");
  EXPECT_EQ(translated.findChild<QLabel *>("Label1")->text(), "Titel:");
  EXPECT_EQ(translated.windowTitle(), "ID3-Tag bearbeiten");
  EXPECT_FALSE(translated.bSaveTag->isEnabled());

  ClickWithFile(translated.bLoadTag, tagged);
  EXPECT_EQ(translated.windowTitle().toStdString(), "ID3-Tag bearbeiten: " + tagged);
  EXPECT_TRUE(translated.bSaveTag->isEnabled());
  ::chmod(tagged.c_str(), 0444);
  translated.bSaveTag->click();
  EXPECT_EQ(script.Shown.back().Text, "Nicht gespeichert!");
  translated.hide();
  GlobalOptions.Lan = "English";
  std::filesystem::remove(file);
}

TEST(ID3EditorWindow, OpensModally) {
  plat::TDialogScript script;
  bool seen = false;
  script.ModalHandler = [&](QDialog &dialog) {
    seen = dialog.objectName() == "frmID3Edit";
    return static_cast<int>(QDialog::Accepted);
  };
  ShowID3Editor();
  EXPECT_TRUE(seen);
  ASSERT_EQ(script.Shown.size(), 1u);
  EXPECT_EQ(script.Shown[0].Kind, "modal");
  EXPECT_EQ(script.Shown[0].Caption, "ID3 Tag Edit");
}

} // namespace
