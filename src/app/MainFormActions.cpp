// The main window's actions, menus and tool bar, and the commands they run: the rip, the file
// conversions, the other windows and the language menu.
#include "MainForm.h"

#include "AccurateRipLookup.h"
#include "ApplyLanguage.h"
#include "AuCDROM.h"
#include "CDRip.h"
#include "Dialogs.h"
#include "EditTrackName.h"
#include "Folders.h"
#include "Global.h"
#include "ID3Edit.h"
#include "Language.h"
#include "MainFormShared.h"
#include "Mci.h"
#include "NewResampleWav.h"
#include "OffsetDetect.h"
#include "OggPlayer.h"
#include "OptionSet.h"
#include "RecordForm.h"
#include "Text.h"
#include "TrackList.h"
#include "VerifyForm.h"
#include "rip.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <filesystem>

namespace fs = std::filesystem;

using namespace mainform;

namespace {

const char *const Languages[] = {
    "Arabic",      "Catalan",    "Chinese", "Czech",     "Danish",  "English", "French",
    "German",      "Greek",      "Hebrew",  "Hungarian", "Italian", "Kurdish", "Latvian",
    "Netherlands", "Portuguese", "Russian", "Slovenian", "Spanish", "Swedish", "Turkish"};

std::string DirectoryNotExist() {
  return GetLanString("RES_Directory_Not_Exist", "The output directory does not exist.");
}

bool FolderExists(const std::string &folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_directory(folder, ec);
}

} // namespace

QAction *TMainForm::MakeAction(const char *name, const QString &caption, const QString &hint,
                               const QKeySequence &shortcut, void (TMainForm::*handler)()) {
  auto *action = new QAction(caption, this);
  action->setObjectName(name);
  action->setToolTip(hint);
  action->setStatusTip(hint);
  action->setShortcut(shortcut);
  connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  return action;
}

void TMainForm::CreateActions() {
  auto make = [this](const char *name, const QString &caption, const QString &hint,
                     const QKeySequence &shortcut, void (TMainForm::*handler)()) {
    return MakeAction(name, caption, hint, shortcut, handler);
  };
  ActionExtract = make("ActionExtract", "E&xtract", "Extract the selected track",
                       QKeySequence("Ctrl+X"), &TMainForm::ActionExtractExecute);
  ActionSelectAll = make("ActionSelectAll", "Select &All", "Select all tracks",
                         QKeySequence("Ctrl+A"), &TMainForm::ActionSelectAllExecute);
  ActionNoSelect = make("ActionNoSelect", "Select &None", "Cancel selected track",
                        QKeySequence("Ctrl+N"), &TMainForm::ActionNoSelectExecute);
  ActionExit = make("ActionExit", "E&xit", "Exit the program", {}, &TMainForm::ActionExitExecute);
  aID3Edit = make("aID3Edit", "&ID3 Tag Edit", "MP3 ID3 edit", {}, &TMainForm::aID3EditExecute);
  ActionWavToMp3 = make("ActionWavToMp3", "&WAV to MP3", "Convert  WAV file to MP3 file",
                        QKeySequence("Ctrl+W"), &TMainForm::ActionWavToMp3Execute);
  ActionRecord = make("ActionRecord", "&Record...", "Record to wav or mp3", QKeySequence("Ctrl+R"),
                      &TMainForm::ActionRecordExecute);
  CreatePlaybackActions();
  ActionOptionSet = make("ActionOptionSet", "&Options...", "Options", QKeySequence("Ctrl+O"),
                         &TMainForm::ActionOptionSetExecute);
  aEditTrackName = make("aEditTrackName", "Rename &Title", "Rename track title",
                        QKeySequence(Qt::Key_F2), &TMainForm::aEditTrackNameExecute);
  aQueryCDDB =
      make("aQueryCDDB", "&Query Freedb", "Query the titles of the CD from a freedb server", {},
           &TMainForm::aQueryCDDBExecute);
  aQueryMusicBrainz =
      make("aQueryMusicBrainz", "Query &MusicBrainz", "Query the titles of the CD from MusicBrainz",
           {}, &TMainForm::aQueryMusicBrainzExecute);
}

QAction *TMainForm::AddItem(QMenu *menu, const char *name, const QString &caption,
                            void (TMainForm::*handler)(), const QKeySequence &shortcut) {
  QAction *item = menu->addAction(caption);
  item->setObjectName(name);
  item->setShortcut(shortcut);
  connect(item, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  return item;
}

QMenu *TMainForm::AddMenu(const char *name, const QString &caption) {
  QMenu *menu = menuBar()->addMenu(caption);
  menu->setObjectName(name);
  return menu;
}

void TMainForm::CreateMenus() {
  CreateFileMenu();
  CreateActionsMenu();

  QMenu *edit = AddMenu("Edit1", "&Edit");
  edit->addAction(ActionSelectAll);
  edit->addAction(ActionNoSelect);
  edit->addSeparator();
  edit->addAction(aQueryCDDB);
  edit->addAction(aQueryMusicBrainz);
  edit->addSeparator();
  edit->addAction(aEditTrackName);
  edit->addAction(aID3Edit);
  edit->addSeparator();
  edit->addAction(ActionOptionSet);

  CreateLanguageMenu();

  QMenu *help = AddMenu("Help1", "&Help");
  AddItem(help, "mnuHelp", "&Help", &TMainForm::mnuHelpClick, QKeySequence(Qt::Key_F1));
  help->addSeparator();
  AddItem(help, "HomePage1", "Home Page", &TMainForm::HomePageClick);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(ActionExtract);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(ActionSelectAll);
  PopupMenu1->addAction(ActionNoSelect);
  PopupMenu1->addSeparator();
  for (QAction *action : {aPlay, aPause, aStop})
    PopupMenu1->addAction(action);
  PopupMenu1->addSeparator();
  PopupMenu1->addAction(aEditTrackName);
}

void TMainForm::CreateFileMenu() {
  QMenu *file = AddMenu("File1", "&File");
  AddItem(file, "miWAVtoWAV", "WA&V to WAV...", &TMainForm::miWAVtoWAVClick);
  file->addAction(ActionWavToMp3);
  AddItem(file, "mnuMp3ToWav", "&MP3 to WAV...", &TMainForm::mnuMp3ToWavClick)
      ->setStatusTip("Convert  MP3 file to WAV file");
  AddItem(file, "miWAVtoOGG", "WAV to O&GG...", &TMainForm::miWAVtoOGGClick);
  AddItem(file, "miWAVtoWMA", "WAV to WM&A...", &TMainForm::miWAVtoWMAClick);
  AddItem(file, "miVerifyFiles", "&Verify files...", &TMainForm::miVerifyFilesClick);
  file->addSeparator();
  AddItem(file, "Openoutputdirectory1", "&Open output directory...",
          &TMainForm::Openoutputdirectory1Click);
  file->addSeparator();
  AddItem(file, "Refresh1", "&Refresh", &TMainForm::bRefreshClick);
  file->addSeparator();
  AddItem(file, "EjectCD1", "&Eject CD", &TMainForm::EjectCDClick, QKeySequence("Ctrl+E"));
  AddItem(file, "CloseCD1", "&Close CD", &TMainForm::CloseCDClick, QKeySequence("Ctrl+L"));
  file->addSeparator();
  file->addAction(ActionExit);
}

void TMainForm::CreateActionsMenu() {
  QMenu *actions = AddMenu("Actions1", "&Actions");
  actions->addAction(ActionExtract);
  actions->addSeparator();
  actions->addAction(ActionRecord);
  actions->addSeparator();
  AddItem(actions, "OGGPlayer1", "&OGG Player...", &TMainForm::OGGPlayer1Click);
  actions->addSeparator();
  for (QAction *action : {aPlay, aPause, aStop})
    actions->addAction(action);
  actions->addSeparator();
  AddItem(actions, "VolumeControlMenu", "&Volume Control...", &TMainForm::VolumeControlMenuClick,
          QKeySequence("Ctrl+V"));
  actions->addSeparator();
  QMenu *history = actions->addMenu("&Clear History");
  history->setObjectName("ClearHistory1");
  AddItem(history, "miRealOnePlayer", "&RealPlayer", &TMainForm::miRealOnePlayerClick);
  AddItem(history, "miWindowsMediaPlayer", "&Windows Media Player",
          &TMainForm::miWindowsMediaPlayerClick);
}

void TMainForm::CreateLanguageMenu() {
  QMenu *language = AddMenu("miLanguage", "Language");
  auto addLanguage = [this, language](const std::string &lan) {
    QAction *item = language->addAction(Q(lan));
    item->setObjectName(Q("mi" + lan));
    item->setCheckable(true);
    connect(item, &QAction::triggered, this, [this, item] { miEnglishClick(item); });
    FLanguageItems.push_back(item);
  };
  for (const char *lan : Languages)
    addLanguage(lan);
  language->addSeparator();
  addLanguage("Other");
}

QToolButton *TMainForm::AddToolButton(const char *name, const QString &caption, int icon,
                                      void (TMainForm::*handler)()) {
  auto *button = new QToolButton(ToolBar1);
  button->setObjectName(name);
  button->setText(caption);
  button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  connect(button, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
  ToolBar1->addWidget(button);
  return button;
}

void TMainForm::CreateToolBar() {
  ToolBar1 = addToolBar("ToolBar1");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  FExtractButton =
      AddToolButton("tbExtract", "Extract", QStyle::SP_ArrowDown, &TMainForm::ActionExtractExecute);
  FExtractButton->setToolTip(ActionExtract->toolTip());
  AddToolButton("tbEncode", "Encode", QStyle::SP_MediaSeekForward,
                &TMainForm::ActionWavToMp3Execute)
      ->setToolTip(ActionWavToMp3->toolTip());
  AddToolButton("tbFolder", "Folder", QStyle::SP_DirOpenIcon,
                &TMainForm::Openoutputdirectory1Click);
  AddToolButton("tbRecord", "Record", QStyle::SP_MediaVolume, &TMainForm::ActionRecordExecute)
      ->setToolTip(ActionRecord->toolTip());
  AddToolButton("tbOptions", "Options", QStyle::SP_FileDialogDetailedView,
                &TMainForm::ActionOptionSetExecute)
      ->setToolTip(ActionOptionSet->toolTip());
  AddToolButton("tbHome", "Home", QStyle::SP_DirHomeIcon, &TMainForm::HomePageClick);
  AddToolButton("tbExit", "Exit", QStyle::SP_DialogCloseButton, &TMainForm::ActionExitExecute)
      ->setToolTip(ActionExit->toolTip());
}

// ---- commands ----

void TMainForm::ActionExtractExecute() {
  if (CheckedCount() == 0) {
    Inform(GetLanString("RES_Select_Track", "Please select a track at least!"));
    return;
  }
  const std::string folder = GlobalOptions.OutputFolder;
  if (!FolderExists(folder)) {
    std::string question = folder + "," + DirectoryNotExist() + "\n" +
                           GetLanString("RES_Create_Directory", "creates a new directory?");
    if (plat::MessageBox(question, product::Name, plat::TMsgButtons::YesNo,
                         plat::TMsgIcon::Information) != plat::idYes)
      return;
    std::error_code ec;
    if (!fs::create_directory(folder, ec)) {
      ShowError("Cannot create " + folder);
      return;
    }
  }
  if (CDHandle == 0 && !(CDInputMode() && CDIn1->DrivesCount() > 0)) {
    // Without a drive there is nothing to rip from.
    Inform(GetCDHandleFirst());
    return;
  }
  if (Playing)
    aStopExecute();
  // The rip length applies to the drive library's rip only (the options hide it otherwise).
  if (!CDInputMode() && GlobalOptions.EnableRipTime && GlobalOptions.RipTime == 0) {
    Inform(GetLanString("RES_Select_0",
                        "You select to extract 0 second, please change it on Options dialog."));
    return;
  }
  std::vector<std::string> entries;
  for (int row = 0; row < RowCount(); ++row)
    if (RowChecked(row))
      entries.push_back(JobEntry(std::stoi(RowText(row, 0)), RowTitle(row)));
  StoreListTitles();
  if (!CheckOutputFolder())
    return;
  ApplyReadOffset();
  RunJobs(entries);
}

void TMainForm::RunJobs(const std::vector<std::string> &entries) {
  if (!CDInputMode()) {
    RunJobWindow(jmCDRip, CDHandle, entries);
    return;
  }
  TfrmCDRip form(this, *CDIn1, entries, *Mp3Encoder, *WmaEncoder);
  form.StayAtEnd = RipSummaryStays;
  if (OnCDRipWindow)
    OnCDRipWindow(form);
  plat::ShowModal(form);
}

void TMainForm::RunJobWindow(int mode, int32_t cdHandle, const std::vector<std::string> &items) {
  TRipForm form(this, mode, cdHandle, items, *Mp3Encoder, *WmaEncoder);
  form.StayAtEnd = RipSummaryStays;
  if (OnJobWindow)
    OnJobWindow(form);
  plat::ShowModal(form);
}

void TMainForm::ConvertFiles(int mode, const std::string &filter) {
  plat::TFileDialogOptions options;
  options.Filter = filter;
  options.MultiSelect = true;
  std::vector<std::string> files;
  if (plat::OpenFileDialog(options, files) && CheckOutputFolder())
    RunJobWindow(mode, 0, files);
}

void TMainForm::ActionWavToMp3Execute() {
  ConvertFiles(jmWavToMp3, "Sound file(*.wav)|*.wav| Any file(*.*)|*.*");
}

void TMainForm::miWAVtoOGGClick() {
  IgnoringFailures(
      [this] { ConvertFiles(jmWavToOgg, "Sound file(*.wav)|*.wav| Any file(*.*)|*.*"); });
}

void TMainForm::mnuMp3ToWavClick() {
  ConvertFiles(jmMp3ToWav, "MP3 file(*.mp3)|*.mp3| Any file(*.*)|*.*");
}

void TMainForm::miWAVtoWMAClick() {
  IgnoringFailures(
      [this] { ConvertFiles(jmWavToWma, "Sound file(*.wav)|*.wav| Any file(*.*)|*.*"); });
}

void TMainForm::miVerifyFilesClick() {
  plat::TFileDialogOptions options;
  options.Title = GetLanString("RES_Verify_Choose", "Choose the tracks of one disc");
  options.Filter = "Rips(*.wav;*.flac;*.cue)|*.wav;*.flac;*.cue| Any file(*.*)|*.*";
  options.MultiSelect = true;
  std::vector<std::string> files;
  if (!plat::OpenFileDialog(options, files))
    return;
  TfrmVerify form(this, files);
  plat::ShowModal(form);
}

bool TMainForm::CheckOutputFolder() {
  if (FolderExists(GlobalOptions.OutputFolder))
    return true;
  Inform(DirectoryNotExist() +
         GetLanString("RES_Check_Output", "Please check the output directory setting."));
  return false;
}

void TMainForm::Openoutputdirectory1Click() {
  const std::string &folder = GlobalOptions.OutputFolder;
  if (FolderExists(folder))
    plat::ShellOpen(folder);
  else
    ShowError(folder + "," + DirectoryNotExist());
}

void TMainForm::mnuHelpClick() {
  std::string help = plat::FindDataFile("help/index.html");
  std::error_code ec;
  if (fs::is_regular_file(help, ec))
    plat::ShellOpen(help);
  else
    ShowError(help + " can not be found.");
}

void TMainForm::ActionExitExecute() { close(); }

void TMainForm::HomePageClick() { plat::ShellOpen(product::HomePage); }

// The tray commands' results are ignored: a drive without a motorised tray answers an error.
void TMainForm::EjectCDClick() { plat::mciSendString("Set cdaudio door open wait"); }

void TMainForm::CloseCDClick() { plat::mciSendString("Set cdaudio door closed wait"); }

void TMainForm::aID3EditExecute() { ShowID3Editor(this); }

void TMainForm::miWAVtoWAVClick() { ShowResampleWav(this); }

void TMainForm::ActionOptionSetExecute() {
  TOptionSetHost host;
  host.OpenDrive = CDHandle != 0 ? FOpenDrive : -1;
  if (CDInputMode()) {
    host.OpenDrive = CDIn1->CurrentDrive();
    host.DriveNames = [this] { return CDInDriveNames(); };
  }
  host.ChangeDrive = [this](int drive) { ChangeDrive(drive); };
  host.Accepted = [this] { SavedStatus = StatusText(); };
  host.DetectOffset = [](int drive) {
    return DetectReadOffset(drive, GlobalOptions.AccurateRipUrl);
  };
  ShowOptionSet(std::move(host), this);
}

void TMainForm::aEditTrackNameExecute() {
  QTreeWidgetItem *row = ListView1->currentItem();
  if (!row)
    return;
  std::string title = row->text(1).toStdString();
  if (EditTrackName(title, this))
    SetRowTitle(ListView1->indexOfTopLevelItem(row), title, "typed");
}

void TMainForm::ListView1DblClick() {
  if (ListView1->currentItem())
    aEditTrackNameExecute();
}

void TMainForm::ActionRecordExecute() {
  // The recording is encoded from its saved file: the job needs no drive.
  ShowRecorder([this](const std::string &wav) { RunJobWindow(jmRecordToMp3, 0, {wav}); }, this);
}

void TMainForm::OGGPlayer1Click() {
  try {
    ShowOggPlayer(this);
  } catch (const std::exception &) {
    // The player's own failures end with it; the main window goes on.
  }
}

void TMainForm::CheckLanguageItem(const std::string &lan) {
  for (QAction *item : FLanguageItems)
    item->setChecked(plat::SameText(LanguageOfMenuItem(item->objectName().toStdString()), lan));
}

void TMainForm::miEnglishClick(QAction *item) {
  IgnoringFailures([this, item] {
    std::string message;
    if (SelectLanguage(item->objectName().toStdString(), message)) {
      for (QAction *other : FLanguageItems)
        other->setChecked(other == item);
      ApplyLanguage(this, GlobalOptions.Lan);
    } else {
      item->setChecked(false);
      CheckLanguageItem(GlobalOptions.Lan);
      plat::MessageBox(message, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::None);
    }
  });
}
