#include "Dialogs.h"

#include <gtest/gtest.h>

namespace {

TEST(Dialogs, WindowsFiltersBecomeQtFilters) {
  const char *cases[][2] = {
      // A name that already shows its patterns is not given them twice.
      {"Sound file(*.wav)|*.wav| Any file(*.*)|*.*", "Sound file(*.wav);;Any file(*.*)"},
      {"Audio|*.wav;*.mp3", "Audio (*.wav *.mp3)"},
      // A name showing other patterns than it filters by is given the real ones.
      {"Sound file(*.wav)|*.wav;*.mp3", "Sound file(*.wav) (*.wav *.mp3)"},
      {"", ""},
  };
  for (auto &c : cases)
    EXPECT_EQ(plat::QtFilter(c[0]), c[1]) << c[0];
}

TEST(Dialogs, ScriptRecordsEachBoxAndAnswersInTurn) {
  plat::TDialogScript script;
  script.Answer(plat::idNo);
  EXPECT_EQ(plat::MessageBox("Create it?", "Plindar", plat::TMsgButtons::YesNo,
                             plat::TMsgIcon::Information),
            plat::idNo);
  // With no answer queued a box takes its default button.
  EXPECT_EQ(
      plat::MessageBox("Again?", "Plindar", plat::TMsgButtons::YesNo, plat::TMsgIcon::Question, 2),
      plat::idNo);
  EXPECT_EQ(plat::MessageBox("Done", "Plindar", plat::TMsgButtons::OK, plat::TMsgIcon::Error),
            plat::idOK);
  ASSERT_EQ(script.Shown.size(), 3u);
  EXPECT_EQ(script.Shown[0].Kind, "message");
  EXPECT_EQ(script.Shown[0].Text, "Create it?");
  EXPECT_EQ(script.Shown[0].Caption, "Plindar");
  EXPECT_EQ(script.Shown[0].Icon, plat::TMsgIcon::Information);
  EXPECT_EQ(script.Shown[2].Icon, plat::TMsgIcon::Error);
}

TEST(Dialogs, ScriptedFileDialogsAndShellOpen) {
  plat::TDialogScript script;
  std::vector<std::string> files;
  // Unanswered file dialogs are cancelled.
  EXPECT_FALSE(plat::OpenFileDialog({"", "Sound file(*.wav)|*.wav", "", "", "", true}, files));
  script.AnswerFiles({"/tmp/a.wav", "/tmp/b.wav"});
  ASSERT_TRUE(plat::OpenFileDialog({"", "Sound file(*.wav)|*.wav", "", "", "", true}, files));
  EXPECT_EQ(files, (std::vector<std::string>{"/tmp/a.wav", "/tmp/b.wav"}));
  std::string folder = "/start";
  script.Answer(plat::idCancel);
  EXPECT_FALSE(plat::BrowseForFolder("Pick", folder));
  EXPECT_EQ(folder, "/start");
  EXPECT_TRUE(plat::ShellOpen("/music/out"));
  ASSERT_EQ(script.Shown.size(), 4u);
  EXPECT_EQ(script.Shown[3].Kind, "shell");
  EXPECT_EQ(script.Shown[3].Text, "/music/out");
}

} // namespace
