// "Verify files..." of the main window: the rips chosen in the open dialog verified in the
// verification window, whose report is saved only where the user says.
#include "AccurateRipAnswers.h"
#include "CddbServer.h"
#include "CutRips.h"
#include "Dialogs.h"
#include "FileContents.h"
#include "Global.h"
#include "MainForm.h"
#include "RunUntil.h"
#include "TempDir.h"
#include "TestDisc.h"
#include "VerifyForm.h"

#include <QAction>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(VerifyForm, TheMenuCommandShowsTheReportAndSavesItWhereTheUserSays) {
  TTempDir dir, saved;
  const std::vector<uint32_t> lengths = {460, 470};
  const std::string cue = WriteAudioDisc(dir.Path(), "Disc", lengths);
  const accuraterip::TDiscIds ids = ImageDiscIds(cue);
  TCddbServer server;
  server.AddFile(accuraterip::RequestPath(ids), TrueAnswer(cue, lengths, ids, 3));
  const std::string rips = dir.File("rips");
  CutWavs(cue, rips, TrackCuts(lengths));
  EncodeWavsToFlac(rips);
  const std::vector<std::string> before = FolderListing(rips);

  plat::TDialogScript script;
  script.AnswerFiles({rips + "/01 Track.flac", rips + "/02 Track.flac"});
  script.AnswerFiles({saved.File("report.txt")});
  std::string shown;
  script.ModalHandler = [&shown](QDialog &dialog) {
    auto &form = dynamic_cast<TfrmVerify &>(dialog);
    form.show();
    EXPECT_TRUE(RunUntil([&form] { return form.Finished(); }));
    EXPECT_TRUE(form.bSave->isEnabled());
    form.bSave->click();
    shown = form.ReportText();
    return 0;
  };
  TMainForm main; // reads the settings
  GlobalOptions.AccurateRipUrl = "http://" + server.Address();
  main.findChild<QAction *>("miVerifyFiles", Qt::FindChildrenRecursively)->trigger();

  EXPECT_EQ(shown, "TOC: from the track lengths (track 1 at 00:02:00, pregaps with the track "
                   "before)\nAccurateRip: " +
                       accuraterip::RequestPath(ids) +
                       "\n01 Track.flac: accurate (confidence 3, v2)\n"
                       "02 Track.flac: accurate (confidence 3, v2)\n2 of 2 tracks accurate\n");
  EXPECT_EQ(FileText(saved.File("report.txt")), shown);
  EXPECT_EQ(FolderListing(rips), before) << "nothing is written beside the rips";
}

} // namespace
