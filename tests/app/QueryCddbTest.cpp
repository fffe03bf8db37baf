// "Query Freedb" from the main window on a disc image, against the test server: the settings
// window, the progress window and its lookup thread, and what arrives in the list and the disc
// information. Dialogs are answered by a script that presses the windows' buttons.
#include "QueryCddb.h"
#include "CddbServer.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Folders.h"
#include "Genres.h"
#include "MainForm.h"
#include "MessagePump.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "akrip32Cddb.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

const std::string Id = "0b000e03"; // the disc of three tracks below

struct TQueryRun {
  bool SettingsClosed = false; // the settings window closed after Query
  bool PanelShown = false;     // the progress window showed "No match found,perhaps:"
  std::string Failure;
  std::string StopCaption; // the progress window's button once the lookup has ended
};

class QueryCddbTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::error_code ec;
    std::filesystem::remove_all(plat::ConfigHome() + "Varnex", ec);
    GlobalOptions = TGlobalOptions{};
    DiscInfo = TDiscInfo{};
    SetCDDBTimeouts(std::chrono::milliseconds(500), std::chrono::milliseconds(1500));
  }
  void TearDown() override {
    // A stopped lookup ends in the background: let it end before the next test.
    EXPECT_TRUE(PumpUntil([] { return TQueryCDDBThread::Running() == 0; }));
    SetCDDBTimeouts(std::chrono::seconds(10), std::chrono::seconds(30));
  }

  std::unique_ptr<TMainForm> Started() {
    auto form = std::make_unique<TMainForm>();
    form->FormShow();
    form->FormActivate();
    return form;
  }

  // Query Freedb with the server typed into the settings window and Query pressed once; the
  // progress window runs until it closes or shows its panel, then (or at once, with stop) its
  // button is pressed.
  TQueryRun Query(TMainForm &form, const std::string &address, bool stop = false) {
    TQueryRun run;
    Script.ModalHandler = [&](QDialog &dialog) {
      if (auto *settings = dynamic_cast<TfrmQueryCDDB *>(&dialog)) {
        settings->FormShow();
        settings->cbServer->setEditText(QString::fromStdString(address));
        settings->bQueryClick();
        run.SettingsClosed = settings->result() == 6;
        return settings->result();
      }
      auto &progress = dynamic_cast<TfrmStopQuery &>(dialog);
      progress.FormShow();
      if (!stop) {
        EXPECT_TRUE(PumpUntil(
            [&] { return progress.result() == 6 || progress.Panel1->isVisibleTo(&progress); }));
      }
      run.PanelShown = progress.Panel1->isVisibleTo(&progress);
      run.Failure = progress.FailureText;
      run.StopCaption = progress.bStop->text().toStdString();
      if (progress.result() != 6)
        progress.bStopClick();
      return progress.result();
    };
    form.aQueryCDDBExecute();
    return run;
  }

  TTempDir Dir;
  plat::TDialogScript Script;
};

} // namespace

TEST_F(QueryCddbTest, AnExactMatchFillsTheListAndTheDiscInformationAndIsCached) {
  TCddbServer server;
  server.AddEntry("blues", Id, "plindar_three.xmcd");
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "three", {300, 450, 300})});
  auto form = Started();
  const TQueryRun run = Query(*form, server.Address());
  EXPECT_TRUE(run.SettingsClosed);
  EXPECT_FALSE(run.PanelShown);
  EXPECT_EQ(form->RowTitle(0), "Opening Theme");
  EXPECT_EQ(form->RowTitle(1), "A Title Long Enough to Continue on a Second Line");
  EXPECT_EQ(form->RowTitle(2), "Coda für Café");
  EXPECT_EQ(DiscInfo.Artist, "The Plindar Trio");
  EXPECT_EQ(DiscInfo.Album, "Rip Tests");
  EXPECT_EQ(DiscInfo.Year, "2026");
  EXPECT_EQ(DiscInfo.Genre, GenreIndexOf("Blues"));
  EXPECT_GE(DiscInfo.Genre, 0);
  EXPECT_EQ(GlobalOptions.Server, server.Address()); // Query stores the settings
  form->FormClose();

  DiscInfo = TDiscInfo{};
  auto again = Started();
  EXPECT_EQ(again->RowTitle(1), "A Title Long Enough to Continue on a Second Line");
  EXPECT_EQ(DiscInfo.Album, "Rip Tests");
}

TEST_F(QueryCddbTest, JapaneseTitlesArriveIntact) {
  TCddbServer server("211");
  server.AddEntry("soundtrack", Id, "4510fd16_macross-frontier-ost3-disc1_utf8.xmcd");
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "three", {300, 450, 300})});
  auto form = Started();
  ASSERT_TRUE(Query(*form, server.Address()).SettingsClosed);
  EXPECT_EQ(form->RowTitle(0), "トライアングラー");
  EXPECT_EQ(form->RowTitle(2), "アイモ");
  EXPECT_EQ(DiscInfo.Artist, "マクロスFRONTIER");
  EXPECT_EQ(DiscInfo.Genre, GenreIndexOf("Soundtrack"));
}

// No match, a refusal, garbage and a server that never answers all end in the panel within
// the time-outs, with the settings window still open and nothing changed.
TEST_F(QueryCddbTest, AFailedLookupShowsThePanelAndChangesNothing) {
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "three", {300, 450, 300})});
  const struct {
    const char *Mode, *Lan, *StopCaption;
  } cases[] = {{"normal", "English", "Close"},
               {"500", "German", "Schließen"},
               {"garbage", "English", "Close"},
               {"hang", "English", "Close"}};
  for (const auto &[mode, lan, stopCaption] : cases) {
    TCddbServer server(mode);
    if (std::string(mode) != "normal")
      server.AddEntry("blues", Id, "plindar_three.xmcd");
    auto form = Started();
    GlobalOptions.Lan = lan; // after the start, which loads the stored settings
    DiscInfo.Artist = "kept";
    const TQueryRun run = Query(*form, server.Address());
    EXPECT_TRUE(run.PanelShown) << mode;
    EXPECT_FALSE(run.SettingsClosed) << mode;
    EXPECT_FALSE(run.Failure.empty()) << mode;
    EXPECT_EQ(run.StopCaption, stopCaption) << mode;
    EXPECT_EQ(form->RowTitle(0), "Track01") << mode;
    EXPECT_EQ(DiscInfo.Artist, "kept") << mode;
  }
}

TEST_F(QueryCddbTest, StopAbandonsTheLookupAndDropsItsResult) {
  TCddbServer server("normal", false, 0.5);
  server.AddEntry("blues", Id, "plindar_three.xmcd");
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "three", {300, 450, 300})});
  auto form = Started();
  const TQueryRun run = Query(*form, server.Address(), true);
  EXPECT_FALSE(run.SettingsClosed);
  ASSERT_TRUE(PumpUntil([] { return TQueryCDDBThread::Running() == 0; }));
  PumpFor(100);
  EXPECT_NE(server.Requests().find("cddb+read"), std::string::npos); // the lookup went on
  EXPECT_EQ(form->RowTitle(0), "Track01");
  EXPECT_EQ(DiscInfo.Artist, "");
}

TEST_F(QueryCddbTest, AnEntryChangesOnlyWhatItHolds) {
  TImageDrives drives({WriteAudioDisc(Dir.Path(), "three", {300, 450, 300})});
  auto form = Started();
  DiscInfo.Year = "1999";
  DiscInfo.Genre = 3;
  TCddbLookup lookup;
  lookup.Entry.TrackTitles = {"", "Second"};
  form->ApplyCddbLookup(lookup);
  EXPECT_EQ(form->RowTitle(0), "Track01");
  EXPECT_EQ(form->RowTitle(1), "Second");
  EXPECT_EQ(form->RowTitle(2), "Track03");
  EXPECT_EQ(DiscInfo.Year, "1999");
  EXPECT_EQ(DiscInfo.Genre, 3);
  lookup.Entry.Genre = "No Such Genre";
  form->ApplyCddbLookup(lookup);
  EXPECT_EQ(DiscInfo.Genre, -1);
}

TEST_F(QueryCddbTest, TheSettingsWindowShowsTheStoredServerAndItsDefaults) {
  GlobalOptions.Server = "cddb.example.org:8880"; // typed by the user once, no preset
  GlobalOptions.UseProxy = true;
  GlobalOptions.ProxyAddress = "proxy.example.org";
  GlobalOptions.AccurateRipUrl = "http://ar.example.org/db";
  TfrmQueryCDDB form(nullptr, 1, 3, 0, {});
  form.FormShow();
  EXPECT_EQ(form.cbServer->currentText().toStdString(), "cddb.example.org:8880");
  EXPECT_EQ(form.eAccurateRip->text().toStdString(), "http://ar.example.org/db");
  EXPECT_EQ(form.cbServer->itemText(0).toStdString(), "gnudb.gnudb.org");
  EXPECT_TRUE(form.eAddress->isEnabled());
  form.bDefaultClick();
  EXPECT_EQ(form.cbServer->currentText().toStdString(), "gnudb.gnudb.org");
  EXPECT_EQ(form.eAccurateRip->text().toStdString(), "http://www.accuraterip.com/accuraterip");
  EXPECT_FALSE(form.cbProxy->isChecked());
  EXPECT_FALSE(form.eAddress->isEnabled());
  EXPECT_EQ(form.eAddress->text().toStdString(), "proxy.example.org");
}
