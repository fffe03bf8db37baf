// The main window on disc images: the track list, the disc cache, Extract's checks, the menu
// commands and the language menu. Dialogs are answered by a script.
#include "MainForm.h"
#include "AuCDROM.h"
#include "CDDBInfo.h"
#include "CddbServer.h"
#include "ChooseRelease.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "EditTrackName.h"
#include "FileContents.h"
#include "FirstDrive.h"
#include "Folders.h"
#include "Global.h"
#include "IniFile.h"
#include "Mci.h"
#include "MessagePump.h"
#include "NewRecordFileForm.h"
#include "NoDeviceHint.h"
#include "OggPlayer.h"
#include "OptionSet.h"
#include "QueryCddb.h"
#include "RecordForm.h"
#include "Registry.h"
#include "RipLog.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "VerifyForm.h"
#include "rip.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>

namespace fs = std::filesystem;

namespace {

// Three audio tracks: 65 s and 30 frames, 20 s and 50 frames, 4 frames.
const std::vector<uint32_t> ThreeTracks = {65 * 75 + 30, 20 * 75 + 50, 4};

// Captures the job entries Extract hands on instead of opening the job window.
class TTestMainForm : public TMainForm {
public:
  std::vector<std::vector<std::string>> Jobs;

protected:
  void RunJobs(const std::vector<std::string> &entries) override { Jobs.push_back(entries); }
};

class MainFormTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::error_code ec;
    fs::remove_all(plat::ConfigHome() + "Varnex", ec);
    GlobalOptions = TGlobalOptions{};
    DiscInfo = TDiscInfo{};
  }

  // The window as start-up leaves it: created, shown (without a screen) and activated.
  static std::unique_ptr<TTestMainForm> Started() {
    auto form = std::make_unique<TTestMainForm>();
    form->FormShow();
    form->FormActivate();
    return form;
  }

  std::string ThreeTrackDisc() { return WriteAudioDisc(Dir.Path(), "three", ThreeTracks); }

  static void WriteOption(const char *section, const char *key, const std::string &value) {
    TIniFile ini(GetSettingsFolder() + "options.ini");
    ini.WriteString(section, key, value);
  }

  TTempDir Dir;
  plat::TDialogScript Script;
};

QAction *Named(TMainForm &form, const char *name) {
  return form.findChild<QAction *>(name, Qt::FindChildrenRecursively);
}

} // namespace

// ---- the track list ----

TEST_F(MainFormTest, ListsTheTracksOfAnImage) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  ASSERT_NE(form->CDHandle, 0);
  ASSERT_EQ(form->RowCount(), 3);
  const char *expected[3][4] = {{"1", "Track01", "01:05", "10.93"},
                                // 01:07:30 to 01:28:05: frames do not count, so 21 seconds
                                {"2", "Track02", "00:21", "03.53"},
                                {"3", "Track03", "00:00", "00.00"}};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 4; ++column)
      EXPECT_EQ(form->RowText(row, column), expected[row][column]) << row << "," << column;
    EXPECT_TRUE(form->RowChecked(row));
  }
  EXPECT_EQ(form->DriveDescription, "IMAGE   three");
  EXPECT_EQ(form->StatusText(), form->DriveDescription);
  EXPECT_EQ(form->SavedStatus, form->DriveDescription);
  EXPECT_FALSE(form->NoAudioCD);
  EXPECT_TRUE(form->ActionExtract->isEnabled());
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(MainFormTest, ListsNinetyNineTracks) {
  TImageDrives drives({Write99TrackDisc(Dir.Path(), "full", 150)});
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 99);
  EXPECT_EQ(form->RowText(98, 0), "99");
  EXPECT_EQ(form->RowTitle(98), "Track99");
  EXPECT_EQ(form->RowText(98, 2), "00:02");
}

TEST_F(MainFormTest, StatusTellsWhyTheListIsEmpty) {
  {
    TImageDrives none;
    auto form = Started();
    EXPECT_EQ(form->CDHandle, 0);
    EXPECT_EQ(form->RowCount(), 0);
    EXPECT_EQ(form->StatusText(), "No CD devices found!");
    EXPECT_FALSE(form->ActionExtract->isEnabled());
  }
  {
    TImageDrives dataOnly({WriteTestDisc(Dir.Path(), "data", {{600, true}})});
    auto form = Started();
    EXPECT_NE(form->CDHandle, 0);
    EXPECT_TRUE(form->NoAudioCD);
    EXPECT_EQ(form->RowCount(), 0);
    EXPECT_EQ(form->StatusText(), "Can not find audio CD in your CD device.");
    // Refresh finds no audio disc either.
    form->SetStatus("something else");
    form->bRefreshClick();
    EXPECT_EQ(form->StatusText(), "Can not find audio CD in your CD device.");
  }
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(MainFormTest, OpensTheChosenDriveOrElseTheFirst) {
  std::string first = ThreeTrackDisc();
  std::string second = WriteAudioDisc(Dir.Path(), "second", {750, 750});
  TImageDrives drives({first, second});
  struct {
    const char *Index;
    int Rows;
  } cases[] = {{"1", 2}, {"-1", 3}, {"2", 3}, {"99", 3}, {"0", 3}};
  for (auto &c : cases) {
    WriteOption("CDOptions", "Index", c.Index);
    auto form = Started();
    EXPECT_EQ(form->RowCount(), c.Rows) << "index " << c.Index;
  }
}

TEST_F(MainFormTest, ListCacheAndTrayFollowTheOpenDrive) {
  // Two discs with titles cached for both; the second drive is the chosen one.
  const std::string first = ThreeTrackDisc();
  const std::string second = WriteAudioDisc(Dir.Path(), "second", {750, 750});
  TImageDrives drives({first, second});
  const std::string firstID = DriveDiscID(0), secondID = DriveDiscID(1);
  {
    TIniFile cache(DiscInfoFileName());
    for (const std::string &id : {firstID, secondID}) {
      cache.WriteInteger(id, "TrackNumber", 3);
      cache.WriteString(id, "1", "Opening of " + id);
    }
  }
  WriteOption("CDOptions", "Index", "1");
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 2);
  EXPECT_EQ(form->RowTitle(0), "Opening of " + secondID);
  EXPECT_EQ(plat::CDAudioDevice(), second);

  form->SetRowTitle(0, "Renamed");
  form->FormClose();
  TIniFile cache(DiscInfoFileName());
  EXPECT_EQ(cache.ReadInteger(firstID, "TrackNumber", 0), 3);
  EXPECT_EQ(cache.ReadString(firstID, "1", ""), "Opening of " + firstID);
  EXPECT_EQ(cache.ReadInteger(secondID, "TrackNumber", 0), 2);
  EXPECT_EQ(cache.ReadString(secondID, "1", ""), "Renamed");
}

TEST_F(MainFormTest, OnlyTheOpenDriveSaysWhetherAnAudioDiscIsThere) {
  const std::string audio = ThreeTrackDisc();
  const std::string data = WriteTestDisc(Dir.Path(), "data", {{600, true}});
  struct {
    std::vector<std::string> Drives;
    int Rows;
  } cases[] = {{{data, audio}, 3}, {{audio, data}, 0}};
  WriteOption("CDOptions", "Index", "1");
  for (auto &c : cases) {
    TImageDrives drives(c.Drives);
    auto form = Started();
    EXPECT_EQ(form->RowCount(), c.Rows) << c.Drives[1];
    EXPECT_EQ(form->NoAudioCD, c.Rows == 0) << c.Drives[1];
  }
}

TEST_F(MainFormTest, AnImageNamedForTheRunIsOpenedButTheDriveChoiceIsNotSaved) {
  // The first image stands in for the machine's own drive, the second was named for the run.
  TImageDrives drives({ThreeTrackDisc(), WriteAudioDisc(Dir.Path(), "named", {750, 750})});
  for (const char *saved : {"", "0"}) {
    if (*saved)
      WriteOption("CDOptions", "Index", saved);
    TTestMainForm form;
    form.PreferImages(1);
    form.FormShow();
    // Only while no drive is chosen does the named image come first.
    EXPECT_EQ(form.RowCount(), *saved ? 3 : 2) << saved;
    form.FormClose();
    EXPECT_EQ(TIniFile(GetSettingsFolder() + "options.ini").ReadString("CDOptions", "Index", ""),
              *saved ? saved : "-1");
  }
}

// Tracks 2 and 3 of 10 and 5 seconds, in both CD access modes: each row is measured from its
// own entry, keeps its title under its own number and is extracted under that number.
TEST_F(MainFormTest, ADiscWhoseFirstTrackIsNotOne) {
  TImageDrives drives({WriteTestDisc(Dir.Path(), "late", {{750}, {375}}, 2)});
  for (const bool secure : {false, true}) {
    SCOPED_TRACE(secure);
    DiscInfo = TDiscInfo{};
    auto form = std::make_unique<TTestMainForm>();
    form->SecureRun = secure;
    form->FormShow();
    form->FormActivate();
    ASSERT_EQ(form->RowCount(), 2);
    EXPECT_EQ(form->RowText(0, 0), "2");
    EXPECT_EQ(form->RowTitle(0), secure ? "Second" : "Track02");
    EXPECT_EQ(form->RowText(0, 2), "00:10");
    EXPECT_EQ(form->RowText(1, 0), "3");
    EXPECT_EQ(form->RowText(1, 2), "00:05");
    EXPECT_EQ(form->RowText(1, 3), "00.84");
    form->ActionExtractExecute();
    ASSERT_EQ(form->Jobs.size(), 1u);
    EXPECT_EQ(form->Jobs[0],
              (std::vector<std::string>{secure ? "02Second" : "02Track02", "03Track03"}));
    form->SetRowTitle(0, "Second");
    form->FormClose();
  }
}

TEST_F(MainFormTest, RefreshRebuildsTheList) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  form->SetRowTitle(0, "edited");
  form->ActionNoSelectExecute();
  // An image never changes, so the media poll leaves the list as it is.
  form->CheckMediaChange();
  EXPECT_EQ(form->RowTitle(0), "edited");
  form->SetStatus("Can not find audio CD in your CD device.");
  form->bRefreshClick();
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowTitle(0), "Track01");
  EXPECT_TRUE(form->RowChecked(0));
  EXPECT_EQ(form->StatusText(), form->DriveDescription);
}

TEST_F(MainFormTest, AFilledListEndsTheNoAudioCDStatus) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  // As when start-up found the drive empty and the media poll later refreshed the list with
  // the disc put in (an image never changes, so the refresh is run here).
  form->NoAudioCD = true;
  form->bRefreshClick();
  form->FormActivate();
  EXPECT_FALSE(form->NoAudioCD);
  EXPECT_EQ(form->StatusText(), form->DriveDescription);
}

TEST_F(MainFormTest, ShowingTheWindowFillsItOnce) {
  TImageDrives drives({ThreeTrackDisc()});
  TTestMainForm form;
  form.show();
  QApplication::processEvents();
  ASSERT_EQ(form.RowCount(), 3);
  int32_t handle = form.CDHandle;
  form.hide();
  form.show();
  QApplication::processEvents();
  EXPECT_EQ(form.CDHandle, handle);
  EXPECT_EQ(form.RowCount(), 3);
  form.close();
  EXPECT_EQ(form.CDHandle, 0);
  EXPECT_TRUE(fs::exists(DiscInfoFileName()));
}

// ---- the disc cache ----

TEST_F(MainFormTest, TitlesComeFromTheCacheAndGoBackOnClose) {
  TImageDrives drives({ThreeTrackDisc()});
  const std::string id = DriveDiscID();
  ASSERT_FALSE(id.empty());
  {
    TIniFile cache(DiscInfoFileName());
    cache.WriteString(id, "Artist", "The Band");
    cache.WriteString(id, "Album", "Live");
    cache.WriteInteger(id, "Genre", 7);
    cache.WriteInteger(id, "TrackNumber", 2);
    cache.WriteString(id, "1", "Intro");
    cache.WriteString(id, "2", "");
  }
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowTitle(0), "Intro");
  EXPECT_EQ(form->RowTitle(1), "Track02"); // empty in the cache
  EXPECT_EQ(form->RowTitle(2), "Track03"); // past the cached count
  EXPECT_EQ(DiscInfo.Artist, "The Band");
  EXPECT_EQ(DiscInfo.Genre, 7);

  form->SetRowTitle(0, "Overture");
  form->FormClose();
  TIniFile cache(DiscInfoFileName());
  EXPECT_EQ(cache.ReadInteger(id, "TrackNumber", 0), 3);
  EXPECT_EQ(cache.ReadString(id, "1", ""), "Overture");
  EXPECT_EQ(cache.ReadString(id, "2", ""), "Track02");
  EXPECT_EQ(cache.ReadString(id, "3", ""), "Track03");
  EXPECT_EQ(cache.ReadString(id, "Artist", ""), "The Band");
  EXPECT_EQ(cache.ReadString(id, "Album", ""), "Live");
  EXPECT_EQ(cache.ReadInteger(id, "Genre", 0), 7);
}

TEST_F(MainFormTest, CDTextFillsADiscTheCacheDoesNotHoldAndACachedTitleWins) {
  const TCdTextSheet text{
      "Sheet Album", "Sheet Band", {"Sheet One", "Coda für Café"}, {"", "Guest Singer"}};
  TImageDrives drives({WriteCdTextDisc(Dir.Path(), "cdtext", ThreeTracks, text)});
  for (bool secure : {false, true}) { // the drive library and the CD input
    SCOPED_TRACE(secure ? "CD-input mode" : "drive library");
    std::error_code ec;
    fs::remove(DiscInfoFileName(), ec);
    DiscInfo = TDiscInfo{};
    GlobalOptions.SecureRip = secure;
    auto form = Started();
    ASSERT_EQ(form->RowCount(), 3);
    EXPECT_EQ(form->RowTitle(0), "Sheet One");
    EXPECT_EQ(form->RowTitle(1), "Coda für Café");
    EXPECT_EQ(form->RowTitle(2), "Track03"); // the sheet gives it no title
    EXPECT_EQ(DiscInfo.Album, "Sheet Album");
    EXPECT_EQ(DiscInfo.ArtistOf(1), "Sheet Band");
    EXPECT_EQ(DiscInfo.ArtistOf(2), "Guest Singer");
    form->SetRowTitle(0, "Edited");
    form->FormClose();

    DiscInfo = TDiscInfo{};
    auto again = Started();
    EXPECT_EQ(again->RowTitle(0), "Edited"); // the cache now holds the disc
    EXPECT_EQ(again->RowTitle(1), "Coda für Café");
    EXPECT_EQ(DiscInfo.ArtistOf(2), "Guest Singer");
    again->FormClose();
  }
}

TEST_F(MainFormTest, ANewDiscGetsDefaultTitlesAndItsSection) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  EXPECT_EQ(DiscInfo.Artist, "");
  EXPECT_EQ(DiscInfo.Genre, -1);
  form->FormClose();
  TIniFile cache(DiscInfoFileName());
  const std::string id = DriveDiscID();
  EXPECT_EQ(cache.ReadInteger(id, "TrackNumber", 0), 3);
  EXPECT_EQ(cache.ReadString(id, "3", ""), "Track03");
  EXPECT_EQ(cache.ReadInteger(id, "Genre", 0), -1);
}

TEST_F(MainFormTest, AClearedListDoesNotWipeTheCachedTitles) {
  // A removed disc clears the list; its cached titles must survive the close.
  TImageDrives drives({ThreeTrackDisc()});
  const std::string id = DriveDiscID();
  {
    TIniFile cache(DiscInfoFileName());
    cache.WriteInteger(id, "TrackNumber", 3);
    cache.WriteString(id, "1", "Kept");
  }
  auto form = Started();
  form->ClearTrackList();
  form->FormClose();
  TIniFile cache(DiscInfoFileName());
  EXPECT_EQ(cache.ReadInteger(id, "TrackNumber", 0), 3);
  EXPECT_EQ(cache.ReadString(id, "1", ""), "Kept");
}

TEST_F(MainFormTest, DamagedCacheAndSettingsGiveDefaults) {
  TImageDrives drives({ThreeTrackDisc()});
  fs::create_directories(GetSettingsFolder());
  const std::string id = DriveDiscID();
  {
    std::ofstream cache(DiscInfoFileName(), std::ios::binary);
    cache << "\xEF\xBB\xBF[" << id << "\r\nTrackNumber=lots\r\n1\r\n=x\n\x01\x02\xFF[\n";
    std::ofstream options(GetSettingsFolder() + "options.ini", std::ios::binary);
    options << "[CDOptions\nIndex=yes\n\xFF\xFE garbage\n[Options]\nLan\n";
  }
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowTitle(0), "Track01");
  EXPECT_EQ(GlobalOptions.Lan, "English");
  EXPECT_EQ(GlobalOptions.CDIndex, -1);
}

// Titles and options that cannot be saved are named when the window closes; with nothing
// changed there is nothing to lose, and no message.
TEST_F(MainFormTest, SettingsThatCannotBeSavedAreNamedOnClose) {
  TImageDrives drives({ThreeTrackDisc()});
  const std::string notSaved =
      "The settings and disc titles could not be saved in " + GetSettingsFolder() + ".";
  Started()->FormClose();
  const std::string cache = FileText(DiscInfoFileName());
  ASSERT_NE(cache.find("1=Track01"), std::string::npos);
  // No new file can be made there, as in a read-only folder (also for root).
  for (const std::string &file : {DiscInfoFileName(), GetSettingsFolder() + "options.ini"})
    fs::create_directory(file + ".tmp");
  Started()->FormClose();
  EXPECT_TRUE(Script.Shown.empty());

  auto form = Started();
  form->SetRowTitle(0, "Typed");
  form->FormClose();
  EXPECT_EQ(Script.Messages(), std::vector<std::string>{notSaved});
  EXPECT_EQ(FileText(DiscInfoFileName()), cache);

  // A cache that cannot even be read is never replaced; that is told once, when it is read,
  // and needs no word when the window closes.
  fs::remove(DiscInfoFileName());
  fs::create_directories(DiscInfoFileName()); // a folder where the file belongs
  form = Started();
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowTitle(2), "Track03");
  form->SetRowTitle(0, "Typed");
  form->FormClose();
  EXPECT_TRUE(fs::is_directory(DiscInfoFileName()));
  EXPECT_EQ(Script.Messages(),
            (std::vector<std::string>{
                notSaved, DiscInfoFileName() + " cannot be read as a settings file. It is "
                                               "left as it is, and nothing is saved into it."}));
}

// ---- Extract ----

TEST_F(MainFormTest, ExtractNeedsACheckedTrack) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  form->ActionNoSelectExecute();
  EXPECT_FALSE(form->ActionExtract->isEnabled());
  form->ActionExtractExecute();
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text, "Please select a track at least!");
  EXPECT_EQ(Script.Shown[0].Caption, "Plindar");
  EXPECT_EQ(Script.Shown[0].Icon, plat::TMsgIcon::Information);
  EXPECT_TRUE(form->Jobs.empty());
}

TEST_F(MainFormTest, ExtractBuildsEntriesFromTheCheckedRows) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  form->SetRowTitle(2, "AC/DC: Live?");
  form->SetRowChecked(1, false);
  form->ActionExtractExecute();
  ASSERT_EQ(form->Jobs.size(), 1u);
  EXPECT_EQ(form->Jobs[0], (std::vector<std::string>{"01Track01", "03ACDC Live"}));
  EXPECT_TRUE(Script.Shown.empty());
}

TEST_F(MainFormTest, ExtractOffersToCreateAMissingOutputFolder) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  const std::string folder = Dir.File("out");
  GlobalOptions.OutputFolder = folder;

  Script.Answer(plat::idNo);
  form->ActionExtractExecute();
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text,
            folder + ",The output directory does not exist.\ncreates a new directory?");
  EXPECT_EQ(Script.Shown[0].Buttons, plat::TMsgButtons::YesNo);
  EXPECT_EQ(Script.Shown[0].Icon, plat::TMsgIcon::Information);
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_TRUE(form->Jobs.empty());

  Script.Answer(plat::idYes);
  form->ActionExtractExecute();
  EXPECT_TRUE(fs::is_directory(folder));
  ASSERT_EQ(form->Jobs.size(), 1u);
  EXPECT_EQ(form->Jobs[0].size(), 3u);
  EXPECT_EQ(Script.Shown.size(), 2u);
}

TEST_F(MainFormTest, ExtractReportsAFolderItCannotCreate) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  const std::string folder = Dir.File("missing/out"); // one level is created, not two
  GlobalOptions.OutputFolder = folder;
  Script.Answer(plat::idYes);
  form->ActionExtractExecute();
  ASSERT_EQ(Script.Shown.size(), 2u);
  EXPECT_EQ(Script.Shown[1].Text, "Cannot create " + folder);
  EXPECT_EQ(Script.Shown[1].Icon, plat::TMsgIcon::Error);
  EXPECT_FALSE(fs::exists(Dir.File("missing")));
  EXPECT_TRUE(form->Jobs.empty());
}

TEST_F(MainFormTest, ExtractRefusesARipTimeOfZeroSeconds) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  GlobalOptions.EnableRipTime = true;
  GlobalOptions.RipTime = 0;
  form->ActionExtractExecute();
  EXPECT_EQ(Script.Messages(),
            std::vector<std::string>{
                "You select to extract 0 second, please change it on Options dialog."});
  EXPECT_TRUE(form->Jobs.empty());

  GlobalOptions.RipTime = 30;
  form->ActionExtractExecute();
  EXPECT_EQ(form->Jobs.size(), 1u);
  // The limit alone does not matter when it is switched off.
  GlobalOptions.EnableRipTime = false;
  GlobalOptions.RipTime = 0;
  form->ActionExtractExecute();
  EXPECT_EQ(form->Jobs.size(), 2u);
  EXPECT_EQ(Script.Shown.size(), 1u);
}

TEST_F(MainFormTest, CheckOutputFolderExplainsAMissingFolder) {
  TImageDrives none;
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  EXPECT_TRUE(form->CheckOutputFolder());
  GlobalOptions.OutputFolder = Dir.File("gone");
  EXPECT_FALSE(form->CheckOutputFolder());
  EXPECT_EQ(Script.Messages(), std::vector<std::string>{"The output directory does not exist."
                                                        "Please check the output directory "
                                                        "setting."});
}

// ---- selection and commands ----

TEST_F(MainFormTest, SelectionCommandsCheckAndUncheckRows) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  form->ActionNoSelectExecute();
  for (int row = 0; row < 3; ++row)
    EXPECT_FALSE(form->RowChecked(row));
  EXPECT_FALSE(form->ActionExtract->isEnabled());
  EXPECT_FALSE(form->findChild<QToolButton *>("tbExtract")->isEnabled());

  // A click with Ctrl held toggles the selected row; without Ctrl it does not.
  form->ListView1->setCurrentItem(form->ListView1->topLevelItem(1));
  form->ListView1Click(false);
  EXPECT_FALSE(form->RowChecked(1));
  form->ListView1Click(true);
  EXPECT_TRUE(form->RowChecked(1));
  EXPECT_TRUE(form->ActionExtract->isEnabled());
  form->ListView1Click(true);
  EXPECT_FALSE(form->RowChecked(1));

  form->ActionSelectAllExecute();
  for (int row = 0; row < 3; ++row)
    EXPECT_TRUE(form->RowChecked(row));
  EXPECT_TRUE(form->findChild<QToolButton *>("tbExtract")->isEnabled());
}

TEST_F(MainFormTest, MenusHoldTheCommandsInOrder) {
  TImageDrives none;
  TTestMainForm form;
  std::vector<std::string> menus;
  for (QAction *top : form.menuBar()->actions())
    menus.push_back(top->text().toStdString());
  EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&Actions", "&Edit", "Language", "&Help"}));
  auto items = [&form](const char *menu) {
    std::vector<std::string> names;
    for (QAction *item : form.findChild<QMenu *>(menu)->actions())
      names.push_back(item->isSeparator() ? "-" : item->objectName().toStdString());
    return names;
  };
  EXPECT_EQ(items("File1"), (std::vector<std::string>{
                                "miWAVtoWAV", "ActionWavToMp3", "mnuMp3ToWav", "miWAVtoOGG",
                                "miWAVtoWMA", "miVerifyFiles", "-", "Openoutputdirectory1", "-",
                                "Refresh1", "-", "EjectCD1", "CloseCD1", "-", "ActionExit"}));
  EXPECT_EQ(items("Edit1"),
            (std::vector<std::string>{"ActionSelectAll", "ActionNoSelect", "-", "aQueryCDDB",
                                      "aQueryMusicBrainz", "-", "aEditTrackName", "aID3Edit", "-",
                                      "ActionOptionSet"}));
  EXPECT_EQ(items("PopupMenu1"),
            (std::vector<std::string>{"ActionExtract", "-", "ActionSelectAll", "ActionNoSelect",
                                      "-", "aPlay", "aPause", "aStop", "-", "aEditTrackName"}));
  EXPECT_EQ(items("Actions1"), (std::vector<std::string>{
                                   "ActionExtract", "-", "ActionRecord", "-", "OGGPlayer1", "-",
                                   "aPlay", "aPause", "aStop", "-", "VolumeControlMenu", "-", ""}));
  EXPECT_EQ(items("ClearHistory1"),
            (std::vector<std::string>{"miRealOnePlayer", "miWindowsMediaPlayer"}));
  std::vector<std::string> languages = items("miLanguage");
  ASSERT_EQ(languages.size(), 23u);
  EXPECT_EQ(languages.front(), "miArabic");
  EXPECT_EQ(languages[20], "miTurkish");
  EXPECT_EQ(languages[21], "-");
  EXPECT_EQ(languages[22], "miOther");
  EXPECT_EQ(form.ActionExtract->shortcut(), QKeySequence("Ctrl+X"));
  EXPECT_EQ(form.ActionWavToMp3->shortcut(), QKeySequence("Ctrl+W"));
  EXPECT_EQ(form.ActionRecord->shortcut(), QKeySequence("Ctrl+R"));
  EXPECT_EQ(Named(form, "mnuHelp")->shortcut(), QKeySequence(Qt::Key_F1));
  EXPECT_EQ(form.ActionOptionSet->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(form.aEditTrackName->shortcut(), QKeySequence(Qt::Key_F2));
  EXPECT_EQ(form.windowTitle().toStdString(), "Plindar 4.5");
}

std::vector<uint8_t> Heard(const std::string &played) {
  return WithoutSilence(ReadFileBytes(played));
}

TEST_F(MainFormTest, PlayingARowPlaysItsTrackToTheNextTrackOrTheEndOfTheDisc) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  const std::string played = Dir.File("played.raw");
  setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "short", {40, 30, 20})});
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 3);
  auto playRow = [&](int row) {
    form->ListView1->setCurrentItem(form->ListView1->topLevelItem(row));
    form->aPlay->trigger();
  };
  // A middle track stops where the next starts; the last plays to the end of the disc; Play
  // on another row while one plays starts the new track.
  const struct {
    std::vector<int> Rows;
    std::vector<uint8_t> Heard;
  } cases[] = {{{1}, TestAudio(2, 30)}, {{2}, TestAudio(3, 20)}, {{0, 2}, TestAudio(3, 20)}};
  for (const auto &c : cases) {
    fs::remove(played);
    for (int row : c.Rows)
      playRow(row);
    EXPECT_EQ(form->StatusText(), "Play " + form->RowTitle(c.Rows.back()));
    EXPECT_TRUE(form->aStop->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !form->Playing; })) << "the end of the range is notified";
    EXPECT_EQ(form->StatusText(), form->SavedStatus);
    const std::vector<uint8_t> heard = Heard(played);
    ASSERT_GE(heard.size(), c.Heard.size());
    EXPECT_TRUE(std::equal(c.Heard.begin(), c.Heard.end(), heard.end() - c.Heard.size()))
        << "row " << c.Rows.back() << " heard " << heard.size() << " bytes";
    if (c.Rows.size() == 1) {
      EXPECT_EQ(heard.size(), c.Heard.size());
    }
  }
  // Pause holds the track; Play goes on where it was.
  fs::remove(played);
  playRow(0);
  form->aPause->trigger();
  std::string mode;
  plat::mciSendString("status cdaudio mode", &mode);
  EXPECT_EQ(mode, "paused");
  EXPECT_FALSE(form->aPause->isEnabled());
  PumpFor(300);
  EXPECT_TRUE(form->Playing);
  form->aPlay->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !form->Playing; }));
  EXPECT_EQ(Heard(played), TestAudio(1, 40));
}

// Music hidden before track 1 is listed first, as track 0, and its row plays the pregap up to
// track 1.
TEST_F(MainFormTest, TheHiddenTrackIsListedFirstAndPlaysUpToTrack1) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  const std::string played = Dir.File("played.raw");
  setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  WriteAudioDisc(Dir.Path(), "hidden", {75 + 20, 15});
  std::ofstream(Dir.File("hidden.cue")) << "FILE \"hidden.bin\" BINARY\n"
                                           "  TRACK 01 AUDIO\n    INDEX 00 00:00:00\n"
                                           "    INDEX 01 00:01:00\n"
                                           "  TRACK 02 AUDIO\n    INDEX 01 00:01:20\n";
  TImageDrives drives({Dir.File("hidden.cue")});
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowText(0, 0), "0");
  EXPECT_EQ(form->RowTitle(0), "Hidden track");
  form->ListView1->setCurrentItem(form->ListView1->topLevelItem(0));
  form->aPlay->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !form->Playing; }));
  const std::vector<uint8_t> pregap = TestAudio(1, 75);
  EXPECT_TRUE(Heard(played) == pregap) << Heard(played).size() << " bytes heard";
}

// A data-track row is refused with a word of why, and nothing plays; the audio row before it
// plays to its end and no further.
TEST_F(MainFormTest, PlayingADataTrackRowIsRefused) {
  setenv("SDL_AUDIODRIVER", "disk", 1);
  const std::string played = Dir.File("played.raw");
  setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);
  TImageDrives drives({WriteTestDisc(Dir.Path(), "extra", {{30}, {40, true, true}})});
  auto form = Started();
  ASSERT_EQ(form->RowCount(), 2);
  form->ListView1->setCurrentItem(form->ListView1->topLevelItem(1));
  form->aPlay->trigger();
  EXPECT_FALSE(form->Playing);
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text, "This track holds data, not audio: it cannot be played.");
  form->ListView1->setCurrentItem(form->ListView1->topLevelItem(0));
  form->aPlay->trigger();
  ASSERT_TRUE(PumpUntil([&] { return !form->Playing; }));
  EXPECT_EQ(Heard(played), TestAudio(1, 30));
}

TEST_F(MainFormTest, HistoryCleanersDeleteNumberedEntriesUpToTheFirstGap) {
  auto form = Started();
  const std::string clips = "\\Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
  const std::string files = "\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList\\";
  {
    plat::TRegistry registry(TMainForm::RegistryFile());
    for (int n : {1, 2, 3, 5})
      registry.WriteString(clips + "MostRecentClips" + std::to_string(n), "Clip", "x");
    for (int n : {0, 1, 3})
      registry.WriteString(files, "File" + std::to_string(n), "y");
  }
  form->miRealOnePlayerClick();
  form->miWindowsMediaPlayerClick();
  form->miRealOnePlayerClick();
  EXPECT_EQ(Script.Messages(),
            (std::vector<std::string>{"3 list records are deleted!", "2 list records are deleted!",
                                      "0 list records are deleted!"}));
  plat::TRegistry registry(TMainForm::RegistryFile());
  EXPECT_TRUE(registry.KeyExists(clips + "MostRecentClips5"));
  EXPECT_TRUE(registry.DeleteValue(files, "File3"));
}

TEST_F(MainFormTest, EncodeAndWavToOggConvertTheChosenFiles) {
  TImageDrives none;
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  std::vector<std::pair<int, std::string>> jobs;
  form->OnJobWindow = [&jobs](TRipForm &job) {
    jobs.push_back({job.Mode, job.windowTitle().toStdString()});
  };
  Script.ModalHandler = [](QDialog &) { return 0; };
  Script.AnswerFiles({"/nowhere/a.wav"});
  form->findChild<QToolButton *>("tbEncode")->click();
  Script.AnswerFiles({"/nowhere/b.wav"});
  Named(*form, "miWAVtoOGG")->trigger();
  EXPECT_EQ(jobs, (std::vector<std::pair<int, std::string>>{
                      {jmWavToMp3, "Encoding(01/01): /nowhere/a.wav"},
                      {jmWavToOgg, "Encoding(01/01): /nowhere/b.wav"}}));
}

TEST_F(MainFormTest, TheRecorderEncodesItsSavedFileToMp3WithoutACDDrive) {
  TImageDrives none;
  auto form = Started();
  ASSERT_TRUE(RunQuietly({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", Dir.File("opened.wav"),
                          "synth", "1", "sine", "440"}));
  const std::string saved = Dir.File("take.wav");
  Script.ModalHandler = [&](QDialog &dialog) {
    if (auto *job = dynamic_cast<TRipForm *>(&dialog)) {
      EXPECT_EQ(job->Mode, jmRecordToMp3);
      EXPECT_TRUE(PumpUntil([job] {
        QApplication::processEvents();
        return job->JobFinished();
      }));
      return 0;
    }
    auto &recorder = dynamic_cast<TfrmRecord &>(dialog);
    Script.AnswerFiles({Dir.File("opened.wav")});
    recorder.miOpenClick();
    recorder.miMp3Format->setChecked(true);
    Script.AnswerFiles({saved});
    recorder.actSaveAsExecute();
    return 0;
  };
  form->findChild<QToolButton *>("tbRecord")->click();
  ASSERT_TRUE(fs::exists(Dir.File("take.mp3")));
  EXPECT_GT(fs::file_size(Dir.File("take.mp3")), 8000u); // a second of sound at 128 kbit/s
}

TEST_F(MainFormTest, FolderHelpAndHomePageOpenWithTheDesktop) {
  TImageDrives none;
  auto form = Started();
  GlobalOptions.OutputFolder = Dir.Path();
  form->Openoutputdirectory1Click();
  GlobalOptions.OutputFolder = Dir.File("gone");
  form->Openoutputdirectory1Click();
  form->mnuHelpClick();
  form->HomePageClick();
  // The tray commands report nothing, also when there is no drive to move.
  form->EjectCDClick();
  form->CloseCDClick();
  ASSERT_EQ(Script.Shown.size(), 4u);
  EXPECT_EQ(Script.Shown[0].Kind, "shell");
  EXPECT_EQ(Script.Shown[0].Text, Dir.Path());
  EXPECT_EQ(Script.Shown[1].Kind, "message");
  EXPECT_EQ(Script.Shown[1].Text, Dir.File("gone") + ",The output directory does not exist.");
  EXPECT_EQ(Script.Shown[1].Icon, plat::TMsgIcon::Error);
  EXPECT_EQ(Script.Shown[2].Kind, "shell");
  EXPECT_TRUE(fs::is_regular_file(Script.Shown[2].Text)) << Script.Shown[2].Text;
  EXPECT_EQ(fs::path(Script.Shown[2].Text).filename(), "index.html");
  EXPECT_EQ(Script.Shown[3].Text, product::HomePage);
}

TEST_F(MainFormTest, ToolCommandsOpenTheirWindowsModally) {
  TImageDrives none;
  auto form = Started();
  Named(*form, "aID3Edit")->trigger();
  Named(*form, "miWAVtoWAV")->trigger();
  form->findChild<QToolButton *>("tbOptions")->click();
  Named(*form, "OGGPlayer1")->trigger();
  ASSERT_EQ(Script.Shown.size(), 4u);
  EXPECT_EQ(Script.Shown[2].Text, "OptionSetForm");
  EXPECT_EQ(Script.Shown[0].Kind, "modal");
  EXPECT_EQ(Script.Shown[0].Text, "frmID3Edit");
  EXPECT_EQ(Script.Shown[1].Kind, "modal");
  EXPECT_EQ(Script.Shown[1].Text, "frmResample");
  EXPECT_EQ(Script.Shown[3].Kind, "modal");
  EXPECT_EQ(Script.Shown[3].Text, "frmOggPlayer");
  EXPECT_EQ(Named(*form, "miWAVtoWAV")->text(), "WA&V to WAV...");
  EXPECT_EQ(Named(*form, "OGGPlayer1")->text(), "&OGG Player...");
}

// ---- languages ----

TEST_F(MainFormTest, ChoosingGermanReCaptionsTheWindow) {
  TImageDrives none;
  auto form = Started();
  QAction *german = Named(*form, "miGerman");
  QAction *english = Named(*form, "miEnglish");
  EXPECT_TRUE(english->isChecked());
  EXPECT_FALSE(german->isChecked());

  form->miEnglishClick(german);
  EXPECT_EQ(GlobalOptions.Lan, "German");
  EXPECT_TRUE(german->isChecked());
  EXPECT_FALSE(english->isChecked());
  EXPECT_EQ(form->findChild<QMenu *>("File1")->title().toStdString(), "&Datei");
  EXPECT_EQ(form->ActionExtract->text().toStdString(), "A&uslesen");
  EXPECT_EQ(form->ListView1->headerItem()->text(1).toStdString(), "Titel");
  EXPECT_EQ(form->findChild<QToolButton *>("tbExit")->text().toStdString(), "Beenden");
  EXPECT_EQ(german->text().toStdString(), "Deutsch");
  EXPECT_EQ(GetLanString("RES_NotFound_CDRom", "No CD devices found!"),
            "Keine CD-Laufwerke gefunden!");

  // English comes back from its own file.
  form->miEnglishClick(english);
  EXPECT_EQ(GlobalOptions.Lan, "English");
  EXPECT_EQ(form->findChild<QMenu *>("File1")->title().toStdString(), "&File");
  EXPECT_EQ(form->ListView1->headerItem()->text(1).toStdString(), "Title");
  EXPECT_TRUE(Script.Shown.empty());

  // The choice is kept in the settings at close.
  form->miEnglishClick(german);
  form->FormClose();
  EXPECT_EQ(TIniFile(GetSettingsFolder() + "options.ini").ReadString("Options", "Lan", ""),
            "German");
}

TEST_F(MainFormTest, StartsInTheStoredLanguage) {
  TImageDrives none;
  WriteOption("Options", "Lan", "German");
  auto form = Started();
  EXPECT_TRUE(Named(*form, "miGerman")->isChecked());
  EXPECT_FALSE(Named(*form, "miEnglish")->isChecked());
  EXPECT_EQ(form->findChild<QMenu *>("Edit1")->title().toStdString(), "&Bearbeiten");
  EXPECT_EQ(form->StatusText(), "Keine CD-Laufwerke gefunden!");
}

TEST_F(MainFormTest, AMissingLanguageFileIsReported) {
  TImageDrives none;
  auto form = Started();
  QAction *other = Named(*form, "miOther");
  form->miEnglishClick(other);
  ASSERT_EQ(Script.Shown.size(), 1u);
  const std::string &text = Script.Shown[0].Text;
  const std::string first = "CLan_Other.ini can not be found.";
  ASSERT_NE(text.find(first), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.find(first) + first.size()),
            std::string("\n\nPlease visit ") + product::TranslationPage + ".");
  EXPECT_EQ(Script.Shown[0].Caption, "Plindar");
  EXPECT_EQ(Script.Shown[0].Buttons, plat::TMsgButtons::OK);
  EXPECT_EQ(GlobalOptions.Lan, "English");
  EXPECT_FALSE(other->isChecked());
  EXPECT_TRUE(Named(*form, "miEnglish")->isChecked());

  // Any other missing language gives only the first sentence.
  form->miEnglishClick(Named(*form, "miKurdish"));
  ASSERT_EQ(Script.Shown.size(), 2u);
  EXPECT_EQ(fs::path(Script.Shown[1].Text).filename(), "CLan_Kurdish.ini can not be found.");
}

// ---- the title editor and the no-device hint ----

TEST_F(MainFormTest, RenameTitleTakesOnlyANonEmptyTitleGivenWithOK) {
  TImageDrives drives({ThreeTrackDisc()});
  auto form = Started();
  EXPECT_FALSE(form->aEditTrackName->isEnabled()); // no row selected yet
  form->ListView1->setCurrentItem(form->ListView1->topLevelItem(1));
  EXPECT_TRUE(form->aEditTrackName->isEnabled());
  auto press = [](QWidget *widget, int key) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &down);
  };
  struct {
    const char *Text;
    bool Cancel; // else Enter
    const char *Title;
  } cases[] = {{"", false, "Track02"}, {"New", true, "Track02"}, {"New", false, "New"}};
  for (auto &c : cases) {
    Script.ModalHandler = [&](QDialog &dialog) {
      auto &editor = dynamic_cast<TfrmEditTrackName &>(dialog);
      EXPECT_EQ(editor.eName->text(), "Track02");
      editor.eName->setText(c.Text);
      EXPECT_EQ(editor.bOK->isEnabled(), *c.Text != 0) << c.Text;
      if (c.Cancel)
        editor.bCancel->click();
      else
        press(editor.eName, Qt::Key_Return);
      return editor.result();
    };
    form->ListView1DblClick();
    EXPECT_EQ(form->RowTitle(1), c.Title) << c.Text << c.Cancel;
  }
  EXPECT_EQ(Script.Shown.size(), 3u);
}

TEST_F(MainFormTest, TheNoDeviceHintComesOnceAndLeadsIntoTheHelp) {
  TImageDrives none;
  TTestMainForm form;
  form.show();
  QApplication::processEvents();
  form.FormActivate();
  form.FormActivate();
  std::vector<std::string> windows;
  for (auto &shown : Script.Shown)
    windows.push_back(shown.Text);
  EXPECT_EQ(windows, std::vector<std::string>{"frmNoDeviceHint"});

  Script.Shown.clear();
  TfrmNoDeviceHint hint;
  for (QLabel *link : {hint.lForceASPI, hint.lAdaptec}) {
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &up);
  }
  ASSERT_EQ(Script.Shown.size(), 2u);
  for (auto &shown : Script.Shown) {
    // A help file that exists, with the section the link names.
    ASSERT_EQ(shown.Kind, "shell");
    const QUrl address(QString::fromStdString(shown.Text));
    const std::string file = address.toLocalFile().toStdString();
    std::ifstream in(file);
    const std::string html((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(html.find("id=\"" + address.fragment().toStdString() + "\""), std::string::npos)
        << shown.Text;
  }
}

// The hint reads as sentences in both shipped languages: a space after each full stop, and each
// link right after the words that point to it.
TEST_F(MainFormTest, TheNoDeviceHintsLinksFollowTheirWords) {
  const QRegularExpression runOn("[a-z]\\.[A-Z]|^\\d\\.\\S");
  for (const char *lan : {"English", "German"}) {
    GlobalOptions.Lan = lan;
    TfrmNoDeviceHint hint;
    hint.show();
    QApplication::processEvents();
    for (const QLabel *line : hint.findChildren<QLabel *>())
      EXPECT_FALSE(line->text().contains(runOn)) << lan << ": " << line->text().toStdString();
    const std::pair<const char *, QLabel *> links[] = {{"Label7", hint.lForceASPI},
                                                       {"Label8", hint.lAdaptec}};
    for (const auto &[name, link] : links) {
      const QLabel *words = hint.findChild<QLabel *>(name);
      const int end = words->x() + words->fontMetrics().horizontalAdvance(words->text());
      EXPECT_GE(link->x(), end) << lan << ": " << name;
      EXPECT_LE(link->x(), end + 20) << lan << ": " << name;
      EXPECT_LE(std::abs(link->geometry().center().y() - words->geometry().center().y()), 2)
          << lan << ": " << name;
    }
  }
}

TEST_F(MainFormTest, TheNewWindowsSpeakGerman) {
  GlobalOptions.Lan = "German";
  TOptionSetForm options({});
  TfrmEditTrackName editor("x");
  TfrmNoDeviceHint hint;
  TfrmQueryCDDB query(nullptr, 1, 1, 0, {});
  TfrmChooseRelease releases(nullptr, {});
  TfrmNewRecordFile newRecording;
  TfrmVerify verify(nullptr, {});
  struct {
    QDialog *Window;
    const char *Caption;
    const char *Part;
    const char *Text;
  } cases[] = {{&options, "Optionen", "ckbKeepWav", "WAV-Datei nach der Verarbeitung löschen"},
               {&editor, "Titel umbenennen", "bCancel", "&Abbrechen"},
               {&hint, "Plindar", "Label5",
                "in der Gruppe cdrom nötig (sudo adduser $USER cdrom, danach neu anmelden)."},
               {&query, "CDDB abfragen", "cbProxy", "Einen Proxyserver verwenden"},
               {&options, "Optionen", "lTitleSources", "Titelquellen:"},
               {&releases, "Veröffentlichung wählen", "bCancel", "&Abbrechen"},
               {&newRecording, "Neue Audiodatei", "Label1", "Abtastrate:"},
               {&verify, "Dateien prüfen", "bSave", "Bericht &speichern..."}};
  for (auto &c : cases) {
    c.Window->show();
    EXPECT_EQ(c.Window->windowTitle().toStdString(), c.Caption);
    QObject *part = c.Window->findChild<QObject *>(c.Part);
    ASSERT_NE(part, nullptr) << c.Part;
    EXPECT_EQ(part->property("text").toString().toStdString(), c.Text);
    c.Window->hide();
  }
  EXPECT_EQ(options.PageControl1->tabText(5).toStdString(), "CD-ROM");
  EXPECT_EQ(options.cbOutputFormat->itemText(1).toStdString(), "WAV-Datei(*.WAV)");
}

// The texts the windows build as they go speak German too: the recorder's lengths, the player's
// sample rate, the read offset's unit and the AccurateRip summary; the rip log stays English.
TEST_F(MainFormTest, TheTextsWindowsBuildSpeakGerman) {
  GlobalOptions.Lan = "German";
  TOptionSetForm options({});
  TfrmOggPlayer player;
  TRipLog log;
  log.Lookup = accuraterip::TLookup::Found;
  log.Tracks.resize(2);
  log.Tracks[0].Verdict = {accuraterip::TVerdict::Accurate, 3, true};
  log.Tracks[1].Verdict = {accuraterip::TVerdict::NotAccurate, 3, true};
  const std::pair<std::string, std::string> cases[] = {
      {FormatMs(3723000), "1 Std. 2 Min. 3 Sek."},
      {FormatMs(2500), "2.5 Sek."},
      {SampleRateText(44100), "44100 Hz"},
      {player.lSampleRate->text().toStdString(), "Hz"},
      {options.seReadOffset->suffix().toStdString(), " Samples"},
      {log.Summary(GetLanString), "1 von 2 Titeln korrekt gerippt"},
      {log.Outcome(GetLanString), "Fertig: 0 von 2 Titeln erstellt, 0 fehlgeschlagen. AccurateRip: "
                                  "1 von 2 Titeln korrekt gerippt"},
      {log.Summary(), "1 of 2 tracks accurately ripped"}};
  for (const auto &[shown, german] : cases)
    EXPECT_EQ(shown, german);
}

// ---- CD-input mode ----

// The secure rip reads the disc through the CD input: the list comes from CDIn1 as the drive
// library would give it, Query Freedb fills it through CDDBInfo1 (a failed lookup says so and
// leaves it), the drive page lists the CD input's drives and a drive chosen there is listed
// and played, and Extract rips through the pipeline rip window.
TEST_F(MainFormTest, CDInputModeListsQueriesAndExtractsThroughTheCDInput) {
  const std::string three = ThreeTrackDisc();
  const std::string other = WriteAudioDisc(Dir.Path(), "other", {300, 450, 300});
  TImageDrives drives({three, other});
  auto form = std::make_unique<TTestMainForm>();
  form->SecureRun = true;
  form->FormShow();
  form->FormActivate();
  ASSERT_TRUE(form->CDInputMode());
  EXPECT_EQ(form->CDHandle, 0);
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowText(0, 2), "01:05");
  // The CD input gives a track's length in frames: 20 s and 50 frames is 20 s (the drive
  // library's addresses, whose frames are dropped, make it 21).
  EXPECT_EQ(form->RowText(1, 2), "00:20");
  EXPECT_EQ(form->RowText(1, 3), "03.36");
  EXPECT_EQ(form->RowTitle(2), "Track03");
  EXPECT_EQ(form->StatusText(), form->CDIn1->DriveName());
  EXPECT_EQ(form->SavedStatus, form->StatusText());
  EXPECT_EQ(plat::CDAudioDevice(), three) << "Play and the tray go to the drive listed";

  // The drive page shows both images; choosing the second lists its disc.
  Script.ModalHandler = [&](QDialog &dialog) {
    auto &options = dynamic_cast<TOptionSetForm &>(dialog);
    options.show();
    options.PageControl1->setCurrentIndex(5);
    EXPECT_EQ(options.cbCDList->count(), 2);
    EXPECT_FALSE(options.GroupBox4->isVisible());
    options.cbCDList->setCurrentIndex(1);
    options.btOk->click();
    return options.result();
  };
  form->ActionOptionSetExecute();
  form->FormActivate();
  EXPECT_EQ(form->CDIn1->CurrentDrive(), 1);
  ASSERT_EQ(form->RowCount(), 3);
  EXPECT_EQ(form->RowText(1, 2), "00:06");
  EXPECT_EQ(plat::CDAudioDevice(), other);

  TCddbServer server("normal", false, 0, "/cgi-bin/cddb.cgi");
  GlobalOptions.Server = server.Address();
  GlobalOptions.Script = "/cgi-bin/cddb.cgi"; // the settings' server, as the other lookup's
  form->SetRowTitle(0, "Kept");
  form->aQueryCDDBExecute(); // the server knows no such disc
  EXPECT_EQ(form->RowTitle(0), "Kept");
  ASSERT_EQ(Script.Shown.size(), 2u);
  EXPECT_EQ(Script.Shown[1].Text.rfind("No match found,perhaps:", 0), 0u);
  server.AddEntry("blues", "0b000e03", "plindar_three.xmcd");
  form->aQueryCDDBExecute();
  EXPECT_EQ(form->RowTitle(1), "A Title Long Enough to Continue on a Second Line");
  EXPECT_EQ(form->RowTitle(2), "Coda für Café");
  form->FormActivate(); // the same disc: the list keeps the titles it has
  EXPECT_EQ(form->RowTitle(2), "Coda für Café");

  // Extract hands the checked rows to the pipeline rip window.
  TMainForm ripping;
  ripping.SecureRun = true;
  GlobalOptions.OutputFolder = Dir.File("out");
  GlobalOptions.OutputFormat = fmtWAV;
  GlobalOptions.AccurateRipUrl = NoServerUrl; // the window loaded the saved one
  fs::create_directory(GlobalOptions.OutputFolder);
  ripping.FormShow();
  ripping.FormActivate();
  ripping.SetRowChecked(0, false);
  ripping.SetRowChecked(2, false);
  Script.ModalHandler = [](QDialog &dialog) { return dialog.exec(); };
  ripping.ActionExtractExecute();
  EXPECT_EQ(FolderListing(Dir.File("out")), (std::vector<std::string>{"Rip.log", "Track02.wav"}));
}

// While the window is active the poll notices a disc changed in the CD input's drive, as in the
// drive library's mode: another disc is listed, one taken out clears the list.
TEST_F(MainFormTest, CDInputModeNoticesANewDisc) {
  const std::string cue = ThreeTrackDisc();
  TImageDrives drives({cue});
  auto form = std::make_unique<TTestMainForm>();
  form->SecureRun = true;
  form->FormShow();
  form->FormActivate();
  ASSERT_EQ(form->RowCount(), 3);
  form->CheckMediaChange(); // the same disc: nothing changes
  EXPECT_EQ(form->RowCount(), 3);
  WriteAudioDisc(Dir.Path(), "three", {300, 450});
  form->CheckMediaChange();
  EXPECT_EQ(form->RowCount(), 2);
  EXPECT_EQ(form->RowText(1, 2), "00:06");
  fs::remove(BinOf(cue));
  form->CheckMediaChange();
  EXPECT_EQ(form->RowCount(), 0);
  EXPECT_EQ(form->StatusText(), "Can not find audio CD in your CD device.");
}
