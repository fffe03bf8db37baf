// The main window's small services: playing the selected track through the media device
// "cdaudio", the desktop's volume control, and clearing two media players' recent-file lists
// from the registry stand-in.
#include "MainForm.h"

#include "Dialogs.h"
#include "Global.h"
#include "Language.h"
#include "MainFormShared.h"
#include "Mci.h"
#include "Registry.h"

#include <QAction>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

using namespace mainform;

namespace {

const char *const RealPlayerClips = "\\Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\";
const char *const MediaPlayerFiles = "\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList\\";

// Whether a process of that program name runs for any user (the media players' windows).
bool ProgramRunning(const std::string &name) {
  std::error_code ec;
  for (const auto &entry : fs::directory_iterator("/proc", ec)) {
    std::string comm;
    std::getline(std::ifstream(entry.path() / "comm"), comm);
    if (comm == name)
      return true;
  }
  return false;
}

// The question asked while the player whose history is cleared still runs; true to go on.
bool PlayerMayBeRunning(const std::string &program) {
  if (!ProgramRunning(program))
    return true;
  return plat::MessageBox(GetLanString("RES_RealOne_Window_Exist",
                                       "Please close RealOne Player firstly.Continue?"),
                          product::Name, plat::TMsgButtons::YesNo, plat::TMsgIcon::Information,
                          2) == plat::idYes;
}

void ReportCleared(int count) {
  Inform(std::to_string(count) + GetLanString("RES_Clear_History", " list records are deleted!"));
}

} // namespace

void TMciNotifyWindow::WndProc(TMessage &message) {
  if (message.Msg == plat::MM_MCINOTIFY)
    FForm.MediaPlayer1Notify(static_cast<unsigned>(message.WParam));
}

void TMainForm::CreatePlaybackActions() {
  aPlay = MakeAction("aPlay", "&Play", "Play the current track", QKeySequence("Ctrl+P"),
                     &TMainForm::aPlayExecute);
  aPause = MakeAction("aPause", "P&ause", "Pause the current track", {}, &TMainForm::aPauseExecute);
  aStop = MakeAction("aStop", "&Stop", "Stop the current track", {}, &TMainForm::aStopExecute);
}

void TMainForm::UpdatePlaybackActions() {
  aPlay->setEnabled(ListView1->currentItem() != nullptr);
  aPause->setEnabled(Playing && !Paused);
  aStop->setEnabled(Playing);
}

void TMainForm::aPlayExecute() {
  QTreeWidgetItem *item = ListView1->currentItem();
  if (!item)
    return;
  const int row = ListView1->indexOfTopLevelItem(item);
  const bool resume = Playing && Paused;
  std::string type;
  if (!resume && plat::mciSendString("open cdaudio") == 0 &&
      plat::mciSendString("status cdaudio type track " + RowText(row, 0), &type) == 0 &&
      type != "audio") {
    Inform(GetLanString("RES_Play_DataTrack", "This track holds data, not audio: it cannot be "
                                              "played."));
    return;
  }
  SetStatus(GetLanString("RES_Play", "Play ") + RowTitle(row));
  Playing = true;
  Paused = false;
  if (resume) {
    if (plat::mciSendString("resume cdaudio") != 0)
      plat::mciSendString("play cdaudio");
  } else {
    plat::mciSendString("close cdaudio");
    // The track of the row by its number, also on a disc whose first track is not 1; the
    // range ends where the next row's track starts, or at the end of the disc.
    std::string from, to;
    plat::mciSendString("open cdaudio");
    // The hidden track (row 0) is in no table of contents: it starts at the disc's first
    // sector, right after the lead-in's two seconds.
    if (RowText(row, 0) == "0")
      from = "00:02:00";
    else
      plat::mciSendString("status cdaudio position track " + RowText(row, 0), &from);
    if (row + 1 < RowCount())
      plat::mciSendString("status cdaudio position track " + RowText(row + 1, 0), &to);
    plat::mciSendString("play cdaudio from " + from + (to.empty() ? "" : " to " + to) + " notify",
                        nullptr, FMciNotify->Handle());
  }
  UpdatePlaybackActions();
}

void TMainForm::aPauseExecute() {
  Paused = true;
  std::string mode;
  plat::mciSendString("status cdaudio mode", &mode);
  plat::mciSendString(mode == "paused" ? "resume cdaudio" : "pause cdaudio");
  UpdatePlaybackActions();
}

void TMainForm::aStopExecute() {
  Playing = false;
  Paused = false;
  if (plat::mciSendString("stop cdaudio") == 0)
    plat::mciSendString("close cdaudio");
  SetStatus(SavedStatus);
  UpdatePlaybackActions();
}

void TMainForm::MediaPlayer1Notify(unsigned how) {
  if (how == plat::MCI_NOTIFY_SUCCESSFUL)
    aStopExecute();
}

void TMainForm::VolumeControlMenuClick() { plat::RunMixer(false, product::Name); }

void TMainForm::miRealOnePlayerClick() {
  if (!PlayerMayBeRunning("realplay"))
    return;
  plat::TRegistry registry(RegistryFile());
  int count = 0;
  for (int n = 1; n <= 8 && registry.DeleteKey(RealPlayerClips + std::string("MostRecentClips") +
                                               std::to_string(n));
       ++n)
    ++count;
  ReportCleared(count);
}

void TMainForm::miWindowsMediaPlayerClick() {
  if (!PlayerMayBeRunning("wmplayer"))
    return;
  plat::TRegistry registry(RegistryFile());
  int count = 0;
  if (registry.KeyExists(MediaPlayerFiles))
    for (int n = 0; n <= 8 && registry.DeleteValue(MediaPlayerFiles, "File" + std::to_string(n));
         ++n)
      ++count;
  ReportCleared(count);
}

std::string TMainForm::RegistryFile() { return GetSettingsFolder() + "registry.ini"; }
