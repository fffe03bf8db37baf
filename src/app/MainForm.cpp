#include "MainForm.h"

#include "AuCDROM.h"
#include "AudioDisc.h"
#include "CDDBInfo.h"
#include "CDRip.h"
#include "CddbLookup.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "EditTrackName.h"
#include "Folders.h"
#include "Genres.h"
#include "Global.h"
#include "ID3Edit.h"
#include "Language.h"
#include "Mci.h"
#include "Mp3EncodeThread.h"
#include "NewResampleWav.h"
#include "NoDeviceHint.h"
#include "OffsetDetect.h"
#include "OggPlayer.h"
#include "OptionSet.h"
#include "QueryCddb.h"
#include "RecordForm.h"
#include "Text.h"
#include "TrackList.h"
#include "WMAEncodeThread.h"
#include "akrip32.h"
#include "rip.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

const QColor FormColor(214, 223, 247);
const QColor ListColor(239, 239, 255);
const QColor StatusColor(220, 225, 255);

// How often the opened drive is asked whether its disc changed, while the window is active.
constexpr int MediaPollMs = 2000;

const char *const Languages[] = {
    "Arabic",      "Catalan",    "Chinese", "Czech",     "Danish",  "English", "French",
    "German",      "Greek",      "Hebrew",  "Hungarian", "Italian", "Kurdish", "Latvian",
    "Netherlands", "Portuguese", "Russian", "Slovenian", "Spanish", "Swedish", "Turkish"};

QString Q(const std::string &text) { return QString::fromStdString(text); }

int Inform(const std::string &text) {
  return plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Information);
}

void ShowError(const std::string &text) {
  plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
}

// Handlers whose failures must not take the window down.
void IgnoringFailures(const std::function<void()> &step) {
  try {
    step();
  } catch (...) {
  }
}

// A settings folder that cannot be written (read-only, or on a full disk) would otherwise lose
// the titles and options of this session without a word.
std::string SettingsNotSaved() {
  std::string text = GetLanString("RES_Settings_Not_Saved",
                                  "The settings and disc titles could not be saved in %s.");
  if (const size_t at = text.find("%s"); at != std::string::npos)
    text.replace(at, 2, GetSettingsFolder());
  return text;
}

std::string NotFoundCDRom() { return GetLanString("RES_NotFound_CDRom", "No CD devices found!"); }
std::string CheckCDRom() {
  return GetLanString("RES_Check_CDRom", "Can not find audio CD in your CD device.");
}
std::string GetCDHandleFirst() {
  return GetLanString("RES_Get_CDHandle", "Please access CD devices rightly above all!");
}
std::string DirectoryNotExist() {
  return GetLanString("RES_Directory_Not_Exist", "The output directory does not exist.");
}

bool FolderExists(const std::string &folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_directory(folder, ec);
}

void SetColor(QWidget *widget, QPalette::ColorRole role, const QColor &color) {
  QPalette palette = widget->palette();
  palette.setColor(role, color);
  widget->setPalette(palette);
}

} // namespace

TMainForm::TMainForm(QWidget *parent)
    : QMainWindow(parent), Mp3Encoder(std::make_unique<TMp3EncodeProcess>()),
      WmaEncoder(std::make_unique<TWMAEncodeProcess>()) {
  SetSettingsProblemHandler(ShowError);
  LoadSaveOptions(true);
  setObjectName("MainForm");
  setWindowTitle(Q(std::string(product::Name) + " " + product::Version));
  resize(640, 440);

  // The list and the status panel are placed by ArrangeControls on a plain client area.
  auto *client = new QWidget(this);
  setCentralWidget(client);
  SetColor(client, QPalette::Window, FormColor);
  client->setAutoFillBackground(true);

  ListView1 = new QTreeWidget(client);
  ListView1->setObjectName("ListView1");
  ListView1->setHeaderLabels({"No.", "Title", "Length(min)", "Size(MB)"});
  ListView1->setRootIsDecorated(false);
  ListView1->setItemsExpandable(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setAllColumnsShowFocus(true);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
  ListView1->header()->setStretchLastSection(false);
  ListView1->setColumnWidth(0, 60);
  ListView1->setColumnWidth(1, 300);
  ListView1->setColumnWidth(2, 100);
  ListView1->setColumnWidth(3, 90);
  SetColor(ListView1, QPalette::Base, ListColor);

  StatusPanel1 = new QLabel(client);
  StatusPanel1->setObjectName("StatusPanel1");
  StatusPanel1->setFrameShape(QFrame::Panel);
  StatusPanel1->setFrameShadow(QFrame::Sunken);
  StatusPanel1->setAutoFillBackground(true);
  SetColor(StatusPanel1, QPalette::Window, StatusColor);

  CreateActions();
  CreateMenus();
  CreateToolBar();
  FMciNotify = std::make_unique<TMciNotifyWindow>(*this);

  connect(ListView1, &QTreeWidget::currentItemChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { ListView1DblClick(); });
  connect(ListView1, &QTreeWidget::itemClicked, this,
          [this] { ListView1Click(QApplication::keyboardModifiers() & Qt::ControlModifier); });
  connect(ListView1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &at) { PopupMenu1->popup(ListView1->viewport()->mapToGlobal(at)); });

  FMediaPoll = new QTimer(this);
  FMediaPoll->setInterval(MediaPollMs);
  connect(FMediaPoll, &QTimer::timeout, this, [this] { CheckMediaChange(); });

  UpdateActions();
}

TMainForm::~TMainForm() {
  // A window freed without being closed (the command line's list) still gives its drive back.
  if (CDHandle != 0)
    CloseDrive();
}

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

void TMainForm::CreateMenus() {
  auto addMenu = [this](const char *name, const QString &caption) {
    QMenu *menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    return menu;
  };

  QMenu *file = addMenu("File1", "&File");
  AddItem(file, "miWAVtoWAV", "WA&V to WAV...", &TMainForm::miWAVtoWAVClick);
  file->addAction(ActionWavToMp3);
  AddItem(file, "mnuMp3ToWav", "&MP3 to WAV...", &TMainForm::mnuMp3ToWavClick)
      ->setStatusTip("Convert  MP3 file to WAV file");
  AddItem(file, "miWAVtoOGG", "WAV to O&GG...", &TMainForm::miWAVtoOGGClick);
  AddItem(file, "miWAVtoWMA", "WAV to WM&A...", &TMainForm::miWAVtoWMAClick);
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

  QMenu *actions = addMenu("Actions1", "&Actions");
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

  QMenu *edit = addMenu("Edit1", "&Edit");
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

  QMenu *language = addMenu("miLanguage", "Language");
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

  QMenu *help = addMenu("Help1", "&Help");
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

// ---- start-up and the track list ----

void TMainForm::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  if (!FShown) {
    FShown = true;
    FormShow();
  }
}

void TMainForm::PreferImages(std::size_t imageCount) {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  if (imageCount > 0 && GlobalOptions.CDIndex < 0 && list.Count >= imageCount)
    FRunCDIndex = static_cast<int>(list.Count - imageCount);
}

void TMainForm::FormShow() {
  IgnoringFailures([this] {
    CheckLanguageItem(GlobalOptions.Lan);
    ApplyChosenLanguage(this);
    if (!SecureWanted())
      CDHandle = OpenCDDrive(FRunCDIndex >= 0 ? FRunCDIndex : GlobalOptions.CDIndex);
    if (CDHandle != 0) {
      if (IsAudioCDPresent())
        LoadTracksFromTOC();
      else
        NoAudioCD = true;
      SavedStatus = StatusText();
    } else {
      EnterCDInputMode();
    }
  });
}

bool TMainForm::SecureWanted() const { return SecureRun || GlobalOptions.SecureRip; }

void TMainForm::EnterCDInputMode() {
  if (CDInputMode())
    return;
  CDIn1 = std::make_unique<TCDIn>();
  CDIn1->SetName("CDIn1");
  CDDBInfo1 = std::make_unique<TCDDBInfo>();
  CDDBInfo1->SetName("CDDBInfo1");
  CDDBInfo1->CDIn = CDIn1.get();
  // The lookup blocks its caller; the windows stay painted meanwhile, nothing else runs.
  CDDBInfo1->WhileWaiting = [] {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
  };
}

void TMainForm::LeaveCDInputMode() {
  CDDBInfo1.reset();
  CDIn1.reset();
}

void TMainForm::SelectCDInDrive() {
  const int index = FRunCDIndex >= 0 ? FRunCDIndex : GlobalOptions.CDIndex;
  UseCDInDrive(index > 0 && index < CDIn1->DrivesCount() ? index : 0);
}

void TMainForm::UseCDInDrive(int index) {
  CDIn1->SetCurrentDrive(index);
  // Play and the tray commands go to the drive the CD input reads.
  plat::SetCDAudioDevice(cd::DevicePathAt(CDIn1->CurrentDrive()));
}

bool TMainForm::CDInAudioPresent() {
  if (!CDIn1->MediaPresent())
    return false;
  for (int track = 1; track <= CDIn1->TracksCount(); ++track)
    if (CDIn1->GetTrackInfo(track).TrackType == 0)
      return true;
  return false;
}

std::string TMainForm::CDInDiscID() {
  // The same identifier the drive-library mode files the disc's titles under.
  TToc toc{};
  return cd::ReadDriveToc(CDIn1->CurrentDrive(), toc) ? cd::DiscID(toc) : "";
}

void TMainForm::FollowCDInDisc() {
  // The list of the disc shown stays, with the titles edited in it and its selection.
  if (!CDInAudioPresent()) {
    if (RowCount() > 0 || !NoAudioCD)
      ListCDInDisc();
  } else if (RowCount() == 0 || CDInDiscID() != FListDiscID) {
    LoadTracksFromCDIn();
  }
}

void TMainForm::ListCDInDisc() {
  if (CDInAudioPresent()) {
    LoadTracksFromCDIn();
  } else {
    ClearTrackList();
    NoAudioCD = true;
    SetStatus(CheckCDRom());
  }
}

std::vector<std::string> TMainForm::CDInDriveNames() {
  const int current = CDIn1->CurrentDrive();
  std::vector<std::string> names;
  for (int i = 0; i < CDIn1->DrivesCount(); ++i) {
    CDIn1->SetCurrentDrive(i);
    names.push_back(CDIn1->DriveName());
  }
  CDIn1->SetCurrentDrive(current);
  return names;
}

void TMainForm::LoadTracksFromCDIn() {
  ClearTrackList();
  const std::string id = CDInDiscID();
  TDiscText text;
  if (!LoadDiscInfo(id) && !id.empty() && cd::ReadDriveText(CDIn1->CurrentDrive(), text))
    TakeDiscText(text);
  FListDiscID = id;
  // Each row under the disc's own track number, as the drive library's list has it.
  const int first = std::max(CDIn1->FirstTrack(), 1);
  const int count = std::min(CDIn1->TracksCount(), MaxDiscTitles - first);
  // The CD input's track list has no control bits: they come from the drive library's table.
  TToc toc{};
  const int tocTracks =
      cd::ReadDriveToc(CDIn1->CurrentDrive(), toc) ? toc.LastTrack - toc.FirstTrack + 1 : 0;
  ListView1->setUpdatesEnabled(false);
  for (int i = 1; i <= count; ++i) {
    const TCDTrackInfo info = CDIn1->GetTrackInfo(i);
    AddRow(first + i - 1, TTrackLength{info.Minute, info.Second},
           i <= tocTracks ? toc.Entries[i - 1].AdrControl : 0);
  }
  ListView1->setUpdatesEnabled(true);
  UpdateActions();
  NoAudioCD = false;
  DriveDescription = CDIn1->DriveName();
  SetStatus(DriveDescription);
  SavedStatus = StatusText();
}

void TMainForm::changeEvent(QEvent *event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::ActivationChange)
    return;
  if (isActiveWindow()) {
    FormActivate();
    FMediaPoll->start();
  } else {
    FMediaPoll->stop();
  }
}

void TMainForm::FormActivate() {
  bool noDrive = CDHandle == 0;
  if (CDInputMode())
    IgnoringFailures([this, &noDrive] {
      noDrive = CDIn1->DrivesCount() <= 0;
      if (noDrive) {
        SetStatus(NotFoundCDRom());
        return;
      }
      SelectCDInDrive();
      FollowCDInDisc();
    });
  // Once a run: closing the hint activates the window again. A window never shown (the
  // command line's list and rip) asks nobody. No driver file is renamed here: Linux reaches
  // its drives without one, and the hint names what keeps a drive out of reach.
  if (noDrive && isVisible() && !FNoDeviceHintShown) {
    FNoDeviceHintShown = true;
    ShowNoDeviceHint(this);
  }
  if (NoAudioCD)
    SetStatus(CheckCDRom());
}

int32_t TMainForm::OpenCDDrive(int index) {
  TCDDriveList list{};
  list.Capacity = MaxCDDrives;
  GetCDList(&list);
  if (index < 0 || index >= list.Count)
    index = 0;
  if (list.Count == 0) {
    SetStatus(NotFoundCDRom());
    return 0;
  }
  const TCDDriveEntry &drive = list.Drives[index];
  DriveDescription = cd::DriveText(drive).substr(0, 26);
  SetStatus(DriveDescription);

  TCDOpenRequest request{};
  request.Size = sizeof request;
  request.Version = 1;
  request.HostAdapter = drive.HostAdapter;
  request.Target = drive.Target;
  request.Lun = drive.Lun;
  int32_t handle = GetCDHandle(&request);
  if (handle == 0) {
    // The library's handle table may be full: free one slot and try once more.
    for (int32_t h = 1; h <= 10; ++h)
      if (CloseCDHandle(h))
        break;
    handle = GetCDHandle(&request);
  }
  if (handle == 0) {
    SetStatus(NotFoundCDRom());
    return 0;
  }
  FOpenDrive = index;
  plat::SetCDAudioDevice(GetCDDevicePath(handle)); // the tray commands move this drive's tray
  return handle;
}

bool TMainForm::CloseDrive() {
  const bool closed = CloseCDHandle(CDHandle) != 0;
  CDHandle = 0;
  plat::SetCDAudioDevice("");
  return closed;
}

bool TMainForm::IsAudioCDPresent() { return cd::IsAudioCDPresent(CDHandle); }

void TMainForm::LoadTracksFromTOC() {
  ClearTrackList();
  TToc toc{};
  // A table of contents whose track numbers do not fit its entries is as unreadable as none.
  if (!cd::ReadHandleToc(CDHandle, toc) || toc.FirstTrack < 1 || toc.LastTrack < toc.FirstTrack ||
      toc.LastTrack - toc.FirstTrack + 1 >= MaxTocEntries || toc.LastTrack > MaxDiscTitles) {
    SetStatus(GetLanString("RES_NotRead_Cd", "Not get CD device information!"));
    return;
  }
  // The titles are those of the disc whose table was just read, whatever other drives hold.
  const std::string id = cd::DiscID(toc);
  TDiscText text;
  if (!LoadDiscInfo(id) && GetCDText(CDHandle, text))
    TakeDiscText(text);
  FListDiscID = id;
  ListView1->setUpdatesEnabled(false);
  if (GlobalOptions.DetectHiddenTrack && GetCDHiddenTrack(CDHandle) > 0) {
    // From the end of the lead-in's two seconds up to track 1.
    DiscInfo.Titles[0] = GetLanString("RES_HiddenTrack", "Hidden track");
    const TTocEntry &track1 = toc.Entries[0];
    AddRow(0, TrackLengthBetween(0, 2, track1.Address[1], track1.Address[2]), track1.AdrControl);
  }
  for (int i = toc.FirstTrack; i <= toc.LastTrack; ++i) {
    // Entry 0 is the first track, whatever its number; the entry after the last is the lead-out.
    const TTocEntry &start = toc.Entries[i - toc.FirstTrack];
    const TTocEntry &next = toc.Entries[i - toc.FirstTrack + 1];
    TTrackLength length =
        TrackLengthBetween(start.Address[1], start.Address[2], next.Address[1], next.Address[2]);
    AddRow(i, length, start.AdrControl);
  }
  ListView1->setUpdatesEnabled(true);
  UpdateActions();
  NoAudioCD = false; // the next activation must not report the disc listed now as missing
  SetStatus(DriveDescription);
}

void TMainForm::AddRow(int track, const TTrackLength &length, uint8_t control) {
  std::string &title = DiscInfo.Titles[track];
  if (title.empty())
    title = "Track" + TwoDigits(track);
  auto *row = new QTreeWidgetItem(ListView1);
  row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
  row->setText(0, QString::number(track));
  row->setCheckState(0, Qt::Checked);
  row->setText(1, Q(title));
  row->setText(2, Q(LengthText(length) + PreEmphasisMark(control)));
  row->setText(3, Q(SizeText(length)));
  if (!PreEmphasisMark(control).empty())
    for (int column = 0; column < 4; ++column)
      row->setToolTip(column, Q(GetLanString("RES_PreEmphasis", "Recorded with pre-emphasis")));
}

void TMainForm::bRefreshClick() {
  if (CDInputMode()) {
    IgnoringFailures([this] {
      SelectCDInDrive();
      ListCDInDisc();
    });
    return;
  }
  if (CDHandle == 0)
    return;
  if (IsAudioCDPresent()) {
    LoadTracksFromTOC();
    if (StatusText() == CheckCDRom())
      SetStatus(DriveDescription);
  } else {
    ClearTrackList();
    SetStatus(CheckCDRom());
  }
}

void TMainForm::CheckMediaChange() {
  if (CDInputMode()) {
    // The CD input tells no change: the disc there now is compared with the disc listed.
    IgnoringFailures([this] {
      if (CDInDiscID() != FListDiscID)
        FollowCDInDisc();
    });
    return;
  }
  if (CDHandle == 0 || GetCDMediaChanged(CDHandle) != 1)
    return;
  if (IsAudioCDPresent())
    bRefreshClick();
  else
    ClearTrackList();
}

// ---- the list ----

int TMainForm::RowCount() const { return ListView1->topLevelItemCount(); }

std::string TMainForm::RowText(int row, int column) const {
  return ListView1->topLevelItem(row)->text(column).toStdString();
}

void TMainForm::SetRowTitle(int row, const std::string &title, const char *source) {
  ListView1->topLevelItem(row)->setText(1, Q(title));
  if (const int track = std::stoi(RowText(row, 0)); track >= 1 && track <= MaxDiscTitles) {
    DiscInfo.Titles[track] = title;
    DiscInfo.TitleSources[track] = source;
  }
}

bool TMainForm::RowChecked(int row) const {
  return ListView1->topLevelItem(row)->checkState(0) == Qt::Checked;
}

void TMainForm::SetRowChecked(int row, bool checked) {
  ListView1->topLevelItem(row)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void TMainForm::ClearTrackList() {
  ListView1->clear();
  FListDiscID.clear();
  UpdateActions();
}

int TMainForm::CheckedCount() const {
  int count = 0;
  for (int row = 0; row < RowCount(); ++row)
    count += RowChecked(row);
  return count;
}

std::string TMainForm::StatusText() const { return StatusPanel1->text().toStdString(); }

void TMainForm::SetStatus(const std::string &text) { StatusPanel1->setText(Q(text)); }

void TMainForm::UpdateActions() {
  bool anyChecked = CheckedCount() > 0;
  ActionExtract->setEnabled(anyChecked);
  FExtractButton->setEnabled(anyChecked);
  UpdatePlaybackActions();
  aEditTrackName->setEnabled(ListView1->currentItem() != nullptr);
}

void TMainForm::ListView1Click(bool ctrlHeld) {
  QTreeWidgetItem *row = ListView1->currentItem();
  if (ctrlHeld && row)
    row->setCheckState(0, row->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void TMainForm::ActionSelectAllExecute() {
  for (int row = 0; row < RowCount(); ++row)
    SetRowChecked(row, true);
}

void TMainForm::ActionNoSelectExecute() {
  for (int row = 0; row < RowCount(); ++row)
    SetRowChecked(row, false);
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

int32_t TMainForm::DriveReadOffset(int drive) const {
  return RunReadOffset ? *RunReadOffset : StoredReadOffset(cd::DriveKey(drive));
}

void TMainForm::ApplyReadOffset() {
  if (CDInputMode())
    CDIn1->ReadOffset = DriveReadOffset(CDIn1->CurrentDrive());
  else
    ModifyCDParms(CDHandle, CDParmReadOffset, DriveReadOffset(FOpenDrive));
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

void TMainForm::aQueryCDDBExecute() {
  if (CDInputMode()) {
    const TCddbLookup lookup = LookUpCDIn();
    if (lookup.Found)
      ApplyCddbLookup(lookup);
    else // the texts of the drive library's lookup window
      Inform("No match found,perhaps:\r\n1.No information in CDDB server\r\n2.error CDDB "
             "options\r\n3.check the network");
    return;
  }
  if (CDHandle == 0) {
    Inform(GetCDHandleFirst());
    return;
  }
  TToc toc{};
  if (!cd::ReadHandleToc(CDHandle, toc)) {
    ShowError(GetLanString("RES_ReadTocError", "Error while reading TOC information!"));
    return;
  }
  TfrmQueryCDDB form(this, toc.FirstTrack, toc.LastTrack, CDHandle,
                     [this](const TCddbLookup &lookup) { ApplyCddbLookup(lookup); });
  plat::ShowModal(form);
}

TCddbLookup TMainForm::LookUpCDIn() {
  TCddbLookup lookup;
  // The component keeps its entry between lookups: a failed one must not hand on the last
  // disc's titles.
  TCDDBQuery &query = CDDBInfo1->CDDBQuery();
  query.Album = TCDDBAlbum{};
  CDDBInfo1->Server = CddbServerOf(GlobalOptions);
  CDDBInfo1->Query();
  lookup.NoMatch = query.Failure == cddb::TFailure::NoMatch;
  lookup.Entry.Artist = query.Album.Artist;
  lookup.Entry.Album = query.Album.Title;
  lookup.Entry.Year = query.Album.Year;
  lookup.Entry.Genre = query.Album.Genre;
  lookup.Entry.ExtendedData = query.Album.ExtendedData;
  lookup.Entry.TrackTitles = query.Album.TrackTitles;
  if (CDDBInfo1->LastQueryString.empty())
    lookup.Why = CheckCDRom();
  else if (!query.Why.empty())
    lookup.Why = query.Why;
  else if (!lookup.Entry.HasTitles())
    lookup.Why = "the entry the CDDB server sent for the disc " + CDDBInfo1->LastDiscID +
                 " holds no track titles";
  lookup.Found = lookup.Why.empty();
  return lookup;
}

void TMainForm::ApplyCddbLookup(const TCddbLookup &lookup, const char *source) {
  const cddb::TEntry &entry = lookup.Entry;
  for (int row = 0; row < RowCount() && row < static_cast<int>(entry.TrackTitles.size()); ++row)
    if (!entry.TrackTitles[row].empty())
      SetRowTitle(row, entry.TrackTitles[row], source);
  // The lookup names every track's artist: the ones it leaves out are the disc's.
  for (int row = 0; row < RowCount(); ++row)
    if (const int track = std::stoi(RowText(row, 0)); track >= 1 && track <= MaxDiscTitles)
      DiscInfo.TrackArtists[track] =
          row < static_cast<int>(entry.TrackArtists.size()) ? entry.TrackArtists[row] : "";
  for (auto [field, value] :
       {std::pair{&DiscInfo.Artist, &entry.Artist}, std::pair{&DiscInfo.Album, &entry.Album},
        std::pair{&DiscInfo.Year, &entry.Year}})
    if (!value->empty())
      *field = *value;
  if (!entry.Genre.empty())
    DiscInfo.Genre = GenreIndexOf(entry.Genre);
}

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

void TMainForm::ChangeDrive(int drive) {
  FRunCDIndex = -1;
  bool saved = true;
  IgnoringFailures([this, &saved] { saved = SaveListInfo(); });
  if (!saved && !SettingsProblemTold())
    ShowError(SettingsNotSaved());
  if (CDHandle != 0)
    CloseDrive();
  ClearTrackList();
  NoAudioCD = false;
  if (!SecureWanted())
    CDHandle = OpenCDDrive(drive);
  if (CDHandle == 0) {
    EnterCDInputMode();
    FRunCDIndex = drive; // activation keeps the drive chosen
    IgnoringFailures([this, drive] {
      UseCDInDrive(drive);
      ListCDInDisc();
    });
    return;
  }
  LeaveCDInputMode(); // the drive library reads the disc again
  NoAudioCD = !IsAudioCDPresent();
  if (NoAudioCD)
    SetStatus(CheckCDRom());
  else if (CDHandle != 0)
    LoadTracksFromTOC();
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

// ---- layout ----

void TMainForm::paintEvent(QPaintEvent *event) {
  QPainter painter(this);
  painter.fillRect(rect(), FormColor);
}

void TMainForm::resizeEvent(QResizeEvent *event) {
  QMainWindow::resizeEvent(event);
  ArrangeControls();
}

void TMainForm::ArrangeControls() {
  // The client area below the tool bar, with the list above the status panel.
  QWidget *client = centralWidget();
  const int width = client->width(), height = client->height();
  const int statusHeight = StatusPanel1->sizeHint().height() + 4;
  ListView1->setGeometry(8, 0, width - 16, height - statusHeight - 12);
  StatusPanel1->setGeometry(8, height - statusHeight - 8, width - 16, statusHeight);
}

// ---- closing ----

void TMainForm::closeEvent(QCloseEvent *event) {
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

bool TMainForm::FormCloseQuery() {
  if (Mp3Encoder->Busy)
    Mp3Encoder->Stop(0);
  if (WmaEncoder->Busy)
    WmaEncoder->Stop(0);
  return true;
}

void TMainForm::StoreListTitles() {
  // Titles are kept by track number, as the list was filled, also on a disc whose first track
  // is not 1.
  DiscInfo.TitleCount = 0;
  for (int row = 0; row < RowCount(); ++row) {
    int track = std::stoi(RowText(row, 0));
    DiscInfo.Titles[track] = RowTitle(row);
    DiscInfo.TitleCount = std::max(DiscInfo.TitleCount, track);
  }
}

bool TMainForm::SaveListInfo() {
  StoreListTitles();
  return SaveDiscInfo(FListDiscID);
}

void TMainForm::FormClose() {
  if (FClosed)
    return;
  FClosed = true;
  bool saved = true;
  IgnoringFailures([this, &saved] { saved = SaveListInfo(); });
  IgnoringFailures([this] {
    if (CDHandle != 0 && !CloseDrive())
      ShowError(GetLanString("RES_Close_CD_Error", "Error while closing CD handle!"));
  });
  if (Playing) {
    plat::mciSendString("stop cdaudio");
    plat::mciSendString("close cdaudio");
  }
  IgnoringFailures([&saved] { saved = LoadSaveOptions(false) && saved; });
  if (!saved && !SettingsProblemTold())
    ShowError(SettingsNotSaved());
}
