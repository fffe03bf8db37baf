// "Query MusicBrainz" from the main window on a disc image, against the test service: the
// release window when several releases hold the disc, and a disc the service does not know.
#include "AudioDisc.h"
#include "ChooseRelease.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "Folders.h"
#include "Global.h"
#include "MainForm.h"
#include "MusicBrainz.h"
#include "MusicBrainzServer.h"
#include "TempDir.h"
#include "TestDisc.h"

#include <QPushButton>
#include <QTreeWidget>

#include <filesystem>
#include <gtest/gtest.h>

namespace {

// A release of the disc: two tracks, the second by a guest.
std::string Release(const std::string &discId, const std::string &album,
                    const std::string &country) {
  return R"({"title": ")" + album + R"(", "date": "2011-02", "country": ")" + country +
         R"(", "label-info": [], "artist-credit": [{"name": "The Band"}], "media": [{"format": "CD",
         "discs": [{"id": ")" +
         discId + R"("}], "tracks": [
           {"title": ")" +
         album + R"( One", "artist-credit": [{"name": "The Band"}]},
           {"title": ")" +
         album + R"( Two", "artist-credit": [{"name": "A Guest"}]}]}]})";
}

class QueryMusicBrainzTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::error_code ec;
    std::filesystem::remove_all(plat::ConfigHome() + "Varnex", ec);
    GlobalOptions = TGlobalOptions{};
    DiscInfo = TDiscInfo{};
  }

  // The window on a two-track disc, and the disc's id.
  std::unique_ptr<TMainForm> Started(std::string &discId) {
    TToc toc{};
    EXPECT_TRUE(cd::ReadDriveToc(0, toc));
    discId = mb::DiscId(mb::TocOf(toc));
    auto form = std::make_unique<TMainForm>();
    form->FormShow();
    form->FormActivate();
    GlobalOptions.MusicBrainzUrl = Server.Url(); // the window has read the settings
    return form;
  }

  TTempDir Dir;
  TImageDrives Drives{{WriteAudioDisc(Dir.Path(), "two", {300, 450})}};
  TMusicBrainzServer Server;
  plat::TDialogScript Script;
};

} // namespace

TEST_F(QueryMusicBrainzTest, OfSeveralReleasesTheOneChosenFillsTheListAndIsCached) {
  std::string id;
  auto form = Started(id);
  Server.Answer(id, R"({"releases": [)" + Release(id, "First", "GB") + "," +
                        Release(id, "Second", "DE") + "]}");
  std::vector<std::string> listed;
  Script.ModalHandler = [&listed](QDialog &dialog) {
    auto &choice = dynamic_cast<TfrmChooseRelease &>(dialog);
    for (int i = 0; i < choice.lvReleases->topLevelItemCount(); ++i)
      listed.push_back(choice.lvReleases->topLevelItem(i)->text(1).toStdString() + " " +
                       choice.lvReleases->topLevelItem(i)->text(3).toStdString());
    choice.lvReleases->setCurrentItem(choice.lvReleases->topLevelItem(1));
    choice.bOK->click();
    return choice.result();
  };
  form->aQueryMusicBrainzExecute();
  EXPECT_EQ(listed, (std::vector<std::string>{"First GB", "Second DE"}));
  EXPECT_EQ(form->RowTitle(0), "Second One");
  EXPECT_EQ(form->RowTitle(1), "Second Two");
  EXPECT_EQ(DiscInfo.Album, "Second");
  EXPECT_EQ(DiscInfo.Year, "2011");
  EXPECT_EQ(DiscInfo.ArtistOf(1), "The Band");
  EXPECT_EQ(DiscInfo.ArtistOf(2), "A Guest");
  form->FormClose();

  DiscInfo = TDiscInfo{};
  auto again = Started(id);
  EXPECT_EQ(again->RowTitle(1), "Second Two");
  EXPECT_EQ(DiscInfo.ArtistOf(2), "A Guest");

  // Cancel takes nothing.
  Script.ModalHandler = [](QDialog &dialog) {
    dynamic_cast<TfrmChooseRelease &>(dialog).bCancel->click();
    return dialog.result();
  };
  again->SetRowTitle(0, "Mine");
  again->aQueryMusicBrainzExecute();
  EXPECT_EQ(again->RowTitle(0), "Mine");
  again->FormClose();
}

TEST_F(QueryMusicBrainzTest, ADiscTheServiceDoesNotKnowIsSaidAndChangesNothing) {
  std::string id;
  auto form = Started(id);
  form->SetRowTitle(0, "Mine");
  form->aQueryMusicBrainzExecute();
  ASSERT_EQ(Script.Shown.size(), 1u);
  EXPECT_EQ(Script.Shown[0].Text, "MusicBrainz knows no disc with the id " + id);
  EXPECT_EQ(form->RowTitle(0), "Mine");
  EXPECT_EQ(form->RowTitle(1), "Track02");
  form->FormClose();
}
