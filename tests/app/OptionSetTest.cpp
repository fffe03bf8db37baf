// The options window offscreen, its boxes answered by a script: what OK stores or refuses,
// the enabling rules, and the drive change it makes the main window carry out on disc images.
#include "OptionSet.h"
#include "CommandLine.h"
#include "Convert.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "FirstDrive.h"
#include "FormatCodecs.h"
#include "Genres.h"
#include "Global.h"
#include "IniFile.h"
#include "Language.h"
#include "MainForm.h"
#include "OutputFormats.h"
#include "RipFormats.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <set>

namespace {

class OptionSetTest : public ::testing::Test {
protected:
  void SetUp() override {
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.OutputFolder = Dir.Path();
    DiscInfo = TDiscInfo{};
  }

  TTempDir Dir;
  plat::TDialogScript Script;
};

} // namespace

// Every output format comes back as itself from options.ini, from its --format word, from the
// options window's list (whose English language file gives each row's caption under the key of
// its number) and from its extension; a rip encodes to that extension by the row's encoder.
TEST_F(OptionSetTest, EveryOutputFormatRoundTripsThroughSettingsCommandLineListAndExtension) {
  const TIniFile english(LanguageFilePath("English"));
  std::set<std::string> names, words;
  for (const TOutputFormat &format : OutputFormats) {
    SCOPED_TRACE(format.Name);
    EXPECT_TRUE(names.insert(format.Name).second);
    EXPECT_TRUE(words.insert(format.Word).second);

    GlobalOptions.OutputFormat = format.Number;
    ASSERT_TRUE(LoadSaveOptions(false));
    EXPECT_EQ(TIniFile(GetSettingsFolder() + "options.ini")
                  .ReadInteger("CommonOptions", "OutputFormat", -1),
              format.Number);
    GlobalOptions.OutputFormat = -1;
    ASSERT_TRUE(LoadSaveOptions(true));
    EXPECT_EQ(GlobalOptions.OutputFormat, format.Number);
    EXPECT_EQ(GetFormatName(), format.Name);

    TProgramOptions options;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--extract", "--format", format.Word}, options, error)) << error;
    EXPECT_EQ(options.OutputFormat, format.Number);

    TOptionSetForm form({});
    form.show();
    EXPECT_EQ(form.cbOutputFormat->currentText().toStdString(), format.Caption);
    EXPECT_EQ(english.ReadString("OptionSetForm",
                                 "cbOutputFormat_Item" + std::to_string(format.Number), ""),
              format.Caption);
    GlobalOptions.OutputFormat = -1;
    form.btOk->click();
    EXPECT_EQ(GlobalOptions.OutputFormat, format.Number);

    EXPECT_EQ(FormatOfExtension(format.Extension), &format);
    const char *encoded = EncodedExtension(format.Number);
    EXPECT_STREQ(encoded ? encoded : ".wav", format.Extension);
    // The pipeline writes what it encodes, and what the WAV file holds.
    const bool written = format.Encoder == TEncoderKind::Pipeline || !encoded;
    EXPECT_EQ(CodecOf(format.Number).MakeWriter != nullptr, written);
    EXPECT_EQ(WriterFor(std::string("a") + format.Extension),
              written ? static_cast<TConvertWriter>(format.Number) : TConvertWriter::None);
  }
}

TEST_F(OptionSetTest, BitRatesShowAsTextAndComeBackAsNumbers) {
  for (int rate : {32, 96, 128, 320}) {
    GlobalOptions.BitRate = rate;
    GlobalOptions.MaxBitRate = rate;
    TOptionSetForm form({});
    form.show();
    EXPECT_EQ(form.cbBitRate->currentText().toStdString(), std::to_string(rate) + " kbit/s");
    GlobalOptions.BitRate = GlobalOptions.MaxBitRate = 0;
    form.btOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(GlobalOptions.BitRate, rate);
    EXPECT_EQ(GlobalOptions.MaxBitRate, rate);
  }
  // A rate chosen from the list, whose text starts with a blank, or typed: the number the text
  // starts with.
  const struct {
    const char *Text;
    int BitRate;
  } typed[] = {{"", 96}, {"  64", 64}, {"64kbit/s", 64}, {"320 kbit/s", 320}};
  for (const auto &c : typed) {
    TOptionSetForm form({});
    form.show();
    form.cbBitRate->setCurrentIndex(6);
    if (*c.Text)
      form.cbBitRate->setEditText(c.Text);
    form.btOk->click();
    EXPECT_EQ(GlobalOptions.BitRate, c.BitRate) << c.Text;
  }
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(OptionSetTest, EachControlFollowsItsSwitch) {
  GlobalOptions.OutputFormat = fmtWAV;
  TOptionSetForm form({});
  form.show();
  EXPECT_FALSE(form.ckbKeepWav->isEnabled());
  form.cbOutputFormat->setCurrentIndex(fmtMP3);
  EXPECT_TRUE(form.ckbKeepWav->isEnabled());
  form.cbOutputFormat->setCurrentIndex(fmtWAV);
  EXPECT_FALSE(form.ckbKeepWav->isEnabled());

  struct {
    QCheckBox *Switch;
    QWidget *Follower;
  } rules[] = {{form.ckNormalize, form.SpinEdit1},
               {form.cbRipTime, form.eRipTime},
               {form.ckbSelectVBR, form.ckbVBRHead},
               {form.ckbSelectVBR, form.cbMaxBitRate},
               {form.ckbSelectVBR, form.cbVBRQuality}};
  for (auto &rule : rules) {
    const std::string name = rule.Follower->objectName().toStdString();
    EXPECT_FALSE(rule.Follower->isEnabled()) << name; // every switch is off by default
    rule.Switch->setChecked(true);
    EXPECT_TRUE(rule.Follower->isEnabled()) << name;
    rule.Switch->setChecked(false);
    EXPECT_FALSE(rule.Follower->isEnabled()) << name;
  }
}

// The FLAC level, the Opus bit rate, the encoders' stall time and the title sources show as
// stored and come back from OK, with the format; in German the new format entries and page read
// in German.
TEST_F(OptionSetTest, FlacOpusStallAndTitleSourceSettingsRoundTripThroughTheWindow) {
  const struct {
    int Format, Level, BitRate, Stall, Sources;
  } cases[] = {{fmtFLAC, 0, 32, 1, 0}, {fmtOpus, 8, 256, 3600, 1}, {fmtFLAC, 5, 100, 120, 2}};
  for (const auto &c : cases) {
    GlobalOptions.OutputFormat = c.Format;
    GlobalOptions.FLACCompression = c.Level;
    GlobalOptions.OpusBitRate = c.BitRate;
    GlobalOptions.StallTime = c.Stall;
    GlobalOptions.TitleSources = c.Sources;
    TOptionSetForm form({});
    form.show();
    EXPECT_EQ(form.cbOutputFormat->currentIndex(), c.Format);
    EXPECT_EQ(form.seFLACLevel->value(), c.Level);
    EXPECT_EQ(form.seOpusBitRate->value(), c.BitRate);
    EXPECT_EQ(form.seStallTime->value(), c.Stall);
    EXPECT_EQ(form.cbTitleSources->currentIndex(), c.Sources);
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.OutputFolder = Dir.Path();
    GlobalOptions.TitleSources = -1;
    form.btOk->click();
    EXPECT_EQ(GlobalOptions.OutputFormat, c.Format);
    EXPECT_EQ(GlobalOptions.FLACCompression, c.Level);
    EXPECT_EQ(GlobalOptions.OpusBitRate, c.BitRate);
    EXPECT_EQ(GlobalOptions.StallTime, c.Stall);
    EXPECT_EQ(GlobalOptions.TitleSources, c.Sources);
  }
  GlobalOptions.Lan = "German";
  TOptionSetForm form({});
  form.show();
  EXPECT_EQ(form.cbOutputFormat->itemText(fmtFLAC).toStdString(), "FLAC-Datei(*.FLAC)");
  EXPECT_EQ(form.cbOutputFormat->itemText(fmtOpus).toStdString(), "Opus-Datei(*.OPUS)");
  EXPECT_EQ(form.PageControl1->tabText(6).toStdString(), "FLAC/Opus");
  EXPECT_EQ(form.findChild<QLabel *>("Label21")->text().toStdString(), "Kompressionsstufe:");
  EXPECT_TRUE(Script.Shown.empty());
}

// Every page's caption shows whole, in English and in German: the tab row neither scrolls nor
// shortens a caption, and it lies inside the window.
TEST_F(OptionSetTest, EveryPageCaptionIsShownWhole) {
  for (const char *lan : {"English", "German"}) {
    GlobalOptions.Lan = lan;
    TOptionSetForm form({});
    form.show();
    QApplication::processEvents();
    const QTabBar *bar = form.PageControl1->tabBar();
    const QRect row(bar->mapTo(&form, QPoint(0, 0)), bar->size());
    EXPECT_TRUE(form.rect().contains(row)) << lan;
    const int padding = bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace, nullptr, bar);
    for (int i = 0; i < bar->count(); ++i) {
      const QString caption = bar->tabText(i);
      const QRect tab = bar->tabRect(i);
      EXPECT_TRUE(bar->rect().contains(tab)) << lan << ": " << caption.toStdString();
      EXPECT_GE(tab.width(), bar->fontMetrics().horizontalAdvance(caption) + padding)
          << lan << ": " << caption.toStdString();
    }
  }
}

TEST_F(OptionSetTest, ARefusedOKStoresNothing) {
  struct {
    const char *Folder; // relative to the test folder, "" for the folder itself
    const char *RipTime;
    const char *BitRate;
    std::string Message;
  } cases[] = {
      {"gone", "0", "128", Dir.File("gone") + ",The output directory does not exist."},
      {"", "abc", "128", "Please check the song length to extract."},
      {"", "-100", "128", "Please check the song length to extract."},
      {"", "-5", "128", "Please check the song length to extract."},
      {"", "0", "abc", "'abc' is not a valid integer value"},
      {"", "0", "1000 kbit/s",
       "1000 kbit/s is not an MP3 bit rate. Please choose one from the list."},
      {"", "0", "0", "0 kbit/s is not an MP3 bit rate. Please choose one from the list."},
      {"", "0", "-5", "-5 kbit/s is not an MP3 bit rate. Please choose one from the list."},
      {"", "0", "6", "6 kbit/s is not an MP3 bit rate. Please choose one from the list."},
  };
  for (auto &c : cases) {
    Script.Shown.clear();
    TOptionSetForm form({});
    form.show();
    form.editOutputDir->setText(
        QString::fromStdString(*c.Folder ? Dir.File(c.Folder) : Dir.Path()));
    form.eRipTime->setText(c.RipTime);
    form.cbBitRate->setEditText(c.BitRate);
    // Controls copied ahead of the faulty one must keep their old values too.
    form.cbOutputFormat->setCurrentIndex(fmtWMA);
    form.ID3artist->setText("Changed");
    form.btOk->click();
    EXPECT_EQ(Script.Messages(), std::vector<std::string>{c.Message}) << c.RipTime << c.BitRate;
    EXPECT_EQ(Script.Shown.at(0).Icon, plat::TMsgIcon::Error);
    EXPECT_EQ(Script.Shown.at(0).Caption, "Plindar");
    EXPECT_NE(form.result(), QDialog::Accepted);
    EXPECT_EQ(GlobalOptions.OutputFormat, fmtMP3);
    EXPECT_EQ(DiscInfo.Artist, "");
  }
}

// Stored positions outside their lists (a hand-edited options.ini or disc cache) come back from
// OK as the nearest position of the list.
TEST_F(OptionSetTest, PositionsOutsideTheirListsComeBackAsTheNearestOne) {
  int32_t &genre = DiscInfo.Genre;
  TGlobalOptions &o = GlobalOptions;
  constexpr auto Last = std::int32_t(OutputFormatCount) - 1;
  const struct {
    int32_t *Stored;
    int32_t Low, High; // what -7 and 999 come back as
  } cases[] = {{&o.OutputFormat, 0, Last},  {&o.MpegQuality, 0, 2},      {&o.VBRQuality, 0, 9},
               {&o.StereoMode, 0, 4},       {&o.OggNomalBitRate, 0, 14}, {&o.OggMaxBitRate, 0, 14},
               {&o.OggMinBitRate, 0, 14},   {&o.WMABitRate, 0, 32},      {&o.TitleSources, 0, 2},
               {&genre, -1, GenreCount - 1}};
  for (const auto &c : cases)
    for (const int32_t stored : {-7, 999}) {
      *c.Stored = stored;
      TOptionSetForm form({});
      form.show();
      form.btOk->click();
      EXPECT_EQ(*c.Stored, stored < 0 ? c.Low : c.High) << &c - cases << " " << stored;
      *c.Stored = stored < 0 ? c.Low : c.High; // the next case starts from valid positions
    }
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(OptionSetTest, ARipLengthOfZeroIsTaken) {
  for (const char *text : {"0", " 45 "}) {
    TOptionSetForm form({});
    form.show();
    form.eRipTime->setText(text);
    form.btOk->click();
    EXPECT_EQ(form.result(), QDialog::Accepted) << text;
    EXPECT_EQ(GlobalOptions.RipTime, std::stoi(text));
  }
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(OptionSetTest, TagDataComesBackAsItWasOrAsChosen) {
  // Values longer than the boxes take from the keyboard, as a disc lookup may bring.
  DiscInfo.Artist = "The Orchestra and Choir of the Long Name";
  DiscInfo.Year = "1999-2000";
  TOptionSetForm form({});
  form.show();
  EXPECT_EQ(form.ID3genre->currentIndex(), 0);
  EXPECT_EQ(form.ID3genre->currentText(), "");
  form.ID3genre->setCurrentText("Blues");
  form.btOk->click();
  EXPECT_EQ(DiscInfo.Genre, 17);
  EXPECT_EQ(DiscInfo.Genre, GenreIndexOf("Blues"));
  EXPECT_EQ(DiscInfo.Artist, "The Orchestra and Choir of the Long Name");
  EXPECT_EQ(DiscInfo.Year, "1999-2000");
}

TEST_F(OptionSetTest, DefaultButtonsChangeOnlyTheControls) {
  GlobalOptions.IsSelectVBR = true;
  GlobalOptions.BitRate = 32;
  GlobalOptions.MaxBitRate = 64;
  GlobalOptions.VBRQuality = 9;
  GlobalOptions.MpegQuality = 2;
  GlobalOptions.StereoMode = 4;
  GlobalOptions.WMABitRate = 0;
  TOptionSetForm form({});
  form.show();
  form.bDefault->click();
  form.bWMADefault->click();
  EXPECT_EQ(GlobalOptions.BitRate, 32);
  EXPECT_EQ(form.cbWMABitrate->currentText(), "44.100 kHz, 64 kbit/s, Stereo");
  form.btOk->click();
  EXPECT_FALSE(GlobalOptions.IsSelectVBR);
  EXPECT_EQ(GlobalOptions.BitRate, 128);
  EXPECT_EQ(GlobalOptions.MaxBitRate, 320);
  EXPECT_EQ(GlobalOptions.VBRQuality, 4);
  EXPECT_EQ(GlobalOptions.MpegQuality, 0);
  EXPECT_EQ(GlobalOptions.StereoMode, 1);
  EXPECT_EQ(GlobalOptions.WMABitRate, 8);
}

TEST_F(OptionSetTest, TheFolderBrowserStartsInTheFolderShown) {
  TOptionSetForm form({});
  form.show();
  const std::string chosen = Dir.File("chosen");
  Script.AnswerFiles({chosen});
  form.btBrowser->click();
  form.editOutputDir->setText("/no/such/folder");
  form.btBrowser->click(); // cancelled: the text stays
  ASSERT_EQ(Script.Shown.size(), 2u);
  EXPECT_EQ(Script.Shown[0].Kind, "folder");
  EXPECT_EQ(Script.Shown[0].Caption, "Please select the directory to save mp3 and wav file");
  EXPECT_EQ(Script.Shown[0].Text, Dir.Path());
  EXPECT_NE(Script.Shown[1].Text, "/no/such/folder"); // the program's folder instead
  EXPECT_EQ(form.editOutputDir->text(), "/no/such/folder");
}

TEST_F(OptionSetTest, ADriveChoiceReopensTheDriveAndOnlyThen) {
  const std::string three = WriteAudioDisc(Dir.Path(), "three", {750, 750, 750});
  const std::string two = WriteAudioDisc(Dir.Path(), "two", {750, 750});
  TImageDrives drives({three, two});
  struct {
    bool RunImage; // the second drive opened for the run, as --cd-image does
    int Pick;      // -1: the drive page is shown but nothing picked
    int Rows;
    int CDIndex;
  } cases[] = {
      {false, 1, 2, 1}, {false, -1, 3, -1}, {false, 0, 3, -1}, {true, 0, 3, 0}, {true, -1, 2, -1}};
  const std::string discIDs[] = {DriveDiscID(0), DriveDiscID(1)};
  for (auto &c : cases) {
    std::remove(DiscInfoFileName().c_str());
    GlobalOptions = TGlobalOptions{};
    GlobalOptions.OutputFolder = Dir.Path();
    TMainForm main;
    main.PreferImages(c.RunImage ? 1 : 0);
    main.FormShow();
    main.SetRowTitle(0, "edited");
    const int32_t handle = main.CDHandle;
    int shownDrive = -2;
    Script.ModalHandler = [&](QDialog &dialog) {
      auto &form = dynamic_cast<TOptionSetForm &>(dialog);
      form.show();
      form.PageControl1->setCurrentIndex(5);
      shownDrive = form.cbCDList->currentIndex();
      if (c.Pick >= 0)
        form.cbCDList->setCurrentIndex(c.Pick);
      form.btOk->click();
      return form.result();
    };
    main.ActionOptionSetExecute();
    const std::string label = std::to_string(c.RunImage) + "," + std::to_string(c.Pick);
    EXPECT_EQ(shownDrive, c.RunImage ? 1 : 0) << label;
    EXPECT_EQ(main.RowCount(), c.Rows) << label;
    EXPECT_EQ(GlobalOptions.CDIndex, c.CDIndex) << label;
    const bool reopened = c.Pick >= 0 && c.Pick != shownDrive;
    EXPECT_EQ(main.RowTitle(0), reopened ? "Track01" : "edited") << label;
    if (reopened) // the title edited on the disc listed before is kept
      EXPECT_EQ(TIniFile(DiscInfoFileName()).ReadString(discIDs[shownDrive], "1", ""), "edited");
    else
      EXPECT_EQ(main.CDHandle, handle) << label;
    EXPECT_EQ(main.SavedStatus, main.StatusText()) << label;
  }
}

// In CD-input mode the drive page lists the CD input's drives and the rip-length group is
// hidden; the secure-rip box shows and stores its setting, and a change of it reopens the drive
// (the main window reads it the other way then), as a drive choice does.
TEST_F(OptionSetTest, TheSecureRipBoxAndTheCDInputDrivePage) {
  for (bool secure : {false, true}) {
    GlobalOptions.SecureRip = secure;
    std::vector<int> reopened;
    TOptionSetHost host;
    host.DriveNames = [] { return std::vector<std::string>{"IMAGE   one", "IMAGE   two"}; };
    host.ChangeDrive = [&](int drive) { reopened.push_back(drive); };
    TOptionSetForm form(host);
    form.show();
    EXPECT_FALSE(form.GroupBox4->isVisible());
    EXPECT_EQ(form.ckbSecureRip->isChecked(), secure);
    form.PageControl1->setCurrentIndex(5);
    ASSERT_EQ(form.cbCDList->count(), 2);
    EXPECT_EQ(form.cbCDList->itemText(1), "IMAGE   two");
    EXPECT_EQ(form.cbCDList->currentIndex(), 0);
    form.btOk->click(); // nothing changed: the drive stays open
    EXPECT_TRUE(reopened.empty());

    form.show();
    form.PageControl1->setCurrentIndex(5);
    form.ckbSecureRip->setChecked(!secure);
    form.btOk->click();
    EXPECT_EQ(GlobalOptions.SecureRip, !secure);
    EXPECT_EQ(reopened, std::vector<int>{0});
  }
}

// The read offset shown is the chosen drive's; edits are kept per drive and stored on OK, and
// a detected offset is shown only when the user agrees to it.
TEST_F(OptionSetTest, TheReadOffsetIsShownEditedAndDetectedPerDrive) {
  const std::string one = WriteAudioDisc(Dir.Path(), "one", {100});
  const std::string two = WriteAudioDisc(Dir.Path(), "two", {100});
  TImageDrives drives({one, two});
  GlobalOptions.ReadOffsets = {{one, 6}};
  std::vector<TOffsetDetection> detections = {{true, 667, 2, 3, 5, ""},
                                              {true, -30, 1, 1, 2, ""},
                                              {false, 0, 0, 0, 0, "the disc is not there"}};
  std::vector<int> detectedOn;
  TOptionSetHost host;
  host.OpenDrive = 0;
  host.DetectOffset = [&](int drive) {
    detectedOn.push_back(drive);
    const TOffsetDetection next = detections.front();
    detections.erase(detections.begin());
    return next;
  };
  TOptionSetForm form(host);
  form.show();
  form.PageControl1->setCurrentIndex(5);
  EXPECT_EQ(form.seReadOffset->value(), 6);
  form.cbCDList->setCurrentIndex(1);
  EXPECT_EQ(form.seReadOffset->value(), 0);
  Script.Answer(plat::idYes);
  form.btDetectOffset->click();
  EXPECT_EQ(form.seReadOffset->value(), 667);
  Script.Answer(plat::idNo);
  form.btDetectOffset->click();
  EXPECT_EQ(form.seReadOffset->value(), 667);
  form.btDetectOffset->click();
  EXPECT_EQ(form.seReadOffset->value(), 667);
  EXPECT_EQ(detectedOn, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Script.Messages(),
            (std::vector<std::string>{
                "Read offset +667 found: sector 450 of 2 of 3 tracks matched (confidence 5).\n"
                "Use this read offset for the drive?",
                "Read offset -30 found: sector 450 of 1 of 1 tracks matched (confidence 2).\n"
                "Use this read offset for the drive?",
                "No read offset found: the disc is not there"}));
  form.cbCDList->setCurrentIndex(0);
  EXPECT_EQ(form.seReadOffset->value(), 6);
  form.seReadOffset->setValue(0);
  form.btOk->click();
  EXPECT_EQ(GlobalOptions.ReadOffsets, (std::map<std::string, int32_t>{{two, 667}}));

  form.show(); // Cancel keeps what OK stored
  form.PageControl1->setCurrentIndex(5);
  form.cbCDList->setCurrentIndex(1);
  form.seReadOffset->setValue(12);
  form.btCancel->click();
  EXPECT_EQ(GlobalOptions.ReadOffsets, (std::map<std::string, int32_t>{{two, 667}}));
}
