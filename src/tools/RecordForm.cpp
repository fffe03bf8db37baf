#include "RecordForm.h"

#include "ApplyLanguage.h"
#include "Dialogs.h"
#include "FileShare.h"
#include "Global.h"
#include "Mci.h"
#include "NewRecordFileForm.h"
#include "PartFile.h"
#include "Text.h"
#include "ToolWidgets.h"

#include <QAction>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

constexpr const char *Device = "recorder"; // the alias of the open sound file
constexpr int SliderEnd = 400;
constexpr const char *Idle = "-----------";
constexpr const char *SoundFilter = "Sound file(*.wav)|*.wav|All files(*.*)|*.*";

QString Q(const std::string &text) { return QString::fromStdString(text); }

// verb and the rest of a command to the open sound file.
int Mci(const std::string &verb, const std::string &rest = "", std::string *result = nullptr) {
  return plat::mciSendString(verb + " " + Device + rest, result);
}

int Box(const std::string &text, plat::TMsgButtons buttons, plat::TMsgIcon icon) {
  return plat::MessageBox(text, product::Name, buttons, icon);
}

void Inform(const std::string &key, const std::string &text) {
  Box(GetLanString(key, text), plat::TMsgButtons::OK, plat::TMsgIcon::Information);
}

void Fail(const std::string &key, const std::string &text) {
  Box(GetLanString(key, text), plat::TMsgButtons::OK, plat::TMsgIcon::Error);
}

bool AskYes(const std::string &text) {
  return Box(text, plat::TMsgButtons::YesNo, plat::TMsgIcon::Question) == plat::idYes;
}

void RefuseWorkFile() {
  Inform("RES_Work_File",
         "The recorder keeps its working files under this name: please choose another.");
}

void SaveFailed() {
  Fail("RES_Save_Fail", "Error when saving WAV file,please check if the file is being uesd.");
}

// Copies all bytes into a part file beside the destination that then replaces it, so the
// destination is the whole copy or stays as it was; false when the source cannot be read or
// the copy not written (a full disk).
bool CopyFileData(const std::string &source, const std::string &destination) {
  plat::TPartFile part(destination);
  std::error_code error;
  return part.Claimed() &&
         fs::copy_file(source, part.PartName(), fs::copy_options::overwrite_existing, error) &&
         part.Complete();
}

// Renames, or copies and deletes where the destination is on another file system.
bool MoveFile(const std::string &source, const std::string &destination) {
  std::error_code error;
  fs::rename(source, destination, error);
  if (error != std::errc::cross_device_link)
    return !error;
  if (!CopyFileData(source, destination))
    return false;
  fs::remove(source, error);
  return true;
}

bool SameFile(const std::string &a, const std::string &b) {
  std::error_code errorA, errorB;
  const fs::path pathA = fs::weakly_canonical(a, errorA);
  return pathA == fs::weakly_canonical(b, errorB) && !errorA && !errorB;
}

// A button of the media bar, which starts disabled.
QPushButton *DisabledButton(const char *name, const char *caption, QWidget *parent) {
  auto *button = Button(name, caption, parent);
  button->setEnabled(false);
  return button;
}

std::string SettingsFile(const char *name) { return GetSettingsFolder() + name; }

// The position and length of no sound: "0.00 Sec".
std::string NoLength() { return "0.00" + GetLanString("RES_Sec", " Sec"); }

} // namespace

std::string FormatMs(std::int64_t ms) {
  const std::string sec = GetLanString("RES_Sec", " Sec");
  if (ms < 60000) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", static_cast<double>(ms) / 1000);
    return text + sec;
  }
  const std::int64_t seconds = ms / 1000;
  std::string text;
  if (seconds / 3600 != 0)
    text += std::to_string(seconds / 3600) + GetLanString("RES_Hour", "Hour");
  if (seconds / 60 % 60 != 0)
    text += std::to_string(seconds / 60 % 60) + GetLanString("RES_Min", " Min");
  if (seconds % 60 != 0)
    text += std::to_string(seconds % 60) + sec;
  return text;
}

int RecordEndWait(int lastMs) { return lastMs > 100 ? 1000 - lastMs : 0; }

bool WriteWavHeader(int channels, int bits, const std::string &file, int rate) {
  std::string header = "RIFF";
  auto put = [&header](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      header += static_cast<char>(value >> (8 * i));
  };
  put(36, 4);
  header += "WAVEfmt ";
  put(16, 4);
  put(1, 2);
  put(channels, 2);
  put(rate, 4);
  put(channels * rate * (bits / 8), 4);
  put(bits / 8 * channels, 2);
  put(bits, 2);
  header += "data";
  put(0, 4);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << header;
  out.close();
  return static_cast<bool>(out);
}

TfrmRecord::TfrmRecord(std::function<void(const std::string &)> convertToMp3, QWidget *parent)
    : QDialog(parent), WorkFile(SettingsFile("MyTemp.wav")),
      FConvertToMp3(std::move(convertToMp3)) {
  setObjectName("frmRecord");
  setWindowTitle(Q(GetLanString("RES_TitleStr", "Record")));
  setModal(true);

  QGroupBox *group = CreateRecordGroup();
  QWidget *bar = CreateMediaBar();
  CreatePopupMenu();

  btStart = new QPushButton("Start", this);
  btStart->setObjectName("btStart");
  btStart->setAutoDefault(false);
  btStart->setMenu(PopupMenu1);

  Timer1 = new QTimer(this);
  Timer1->setInterval(500);
  TimerRecord = new QTimer(this);
  TimerRecord->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
  connect(TimerRecord, &QTimer::timeout, this, [this] { TimerRecordTimer(); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(bar);
  layout->addWidget(btStart);
}

QGroupBox *TfrmRecord::CreateRecordGroup() {
  auto *group = new QGroupBox("Record", this);
  group->setObjectName("GroupBox1");
  lbState = Label("lbState", Idle, group);
  panRecordTime = Label("panRecordTime", "00:00:00.0", group);
  panRecordTime->setToolTip("The time length of current recording");
  lbPosition = Label("lbPosition", NoLength().c_str(), group);
  lbLength = Label("lbLength", NoLength().c_str(), group);
  TrackBar1 = new QSlider(Qt::Horizontal, group);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(0, SliderEnd);
  TrackBar1->setTickInterval(40);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  auto *grid = new QGridLayout(group);
  grid->addWidget(lbState, 0, 0, 1, 4);
  grid->addWidget(panRecordTime, 1, 0, 1, 4);
  grid->addWidget(Label("Label1", "Position", group), 2, 0);
  grid->addWidget(lbPosition, 2, 1);
  grid->addWidget(Label("Label2", "Length", group), 2, 2);
  grid->addWidget(lbLength, 2, 3);
  grid->addWidget(TrackBar1, 3, 0, 1, 4);
  return group;
}

QWidget *TfrmRecord::CreateMediaBar() {
  auto *bar = new QWidget(this);
  bar->setObjectName("MediaPlayer1");
  bar->setToolTip("The buttons are Play,Stop,Next, Previous, Step, Back, StartRecording, and "
                  "Eject.");
  btPlay = DisabledButton("btPlay", "Play", bar);
  btStop = DisabledButton("btStop", "Stop", bar);
  btNext = DisabledButton("btNext", "Next", bar);
  btPrev = DisabledButton("btPrev", "Prev", bar);
  btRecord = DisabledButton("btRecord", "Record", bar);
  auto *barLayout = new QHBoxLayout(bar);
  for (QPushButton *button : {btPlay, btStop, btNext, btPrev, btRecord})
    barLayout->addWidget(button);
  connect(btPlay, &QPushButton::clicked, this, [this] { PlayClick(); });
  connect(btStop, &QPushButton::clicked, this, [this] { StopClick(); });
  connect(btNext, &QPushButton::clicked, this, [this] { NextClick(); });
  connect(btPrev, &QPushButton::clicked, this, [this] { PrevClick(); });
  connect(btRecord, &QPushButton::clicked, this, [this] { RecordClick(); });
  return bar;
}

void TfrmRecord::CreatePopupMenu() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  auto item = [this](const char *name, const char *caption, void (TfrmRecord::*handler)()) {
    QAction *action = PopupMenu1->addAction(caption);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
  };
  item("miNew", "&New...", &TfrmRecord::miNewClick);
  item("miOpen", "&Open...", &TfrmRecord::miOpenClick);
  actSave = PopupMenu1->addAction("&Save");
  actSave->setObjectName("actSave");
  connect(actSave, &QAction::triggered, this, [this] { SaveFile(false); });
  actSaveAs = item("actSaveAs", "Save &As...", &TfrmRecord::actSaveAsExecute);
  actUndo = item("actUndo", "&Undo", &TfrmRecord::actUndoExecute);
  PopupMenu1->addSeparator();
  item("miRecordOptionSet", "&Recording Control...", &TfrmRecord::miRecordOptionSetClick);
  PopupMenu1->addSeparator();
  miMp3Format = PopupMenu1->addAction("&MP3 format");
  miMp3Format->setObjectName("miMp3Format");
  miMp3Format->setCheckable(true);
  miMp3Format->setChecked(GlobalOptions.SaveMp3);
  PopupMenu1->addSeparator();
  QAction *exit = PopupMenu1->addAction("&Exit");
  exit->setObjectName("pmExit");
  connect(exit, &QAction::triggered, this, &QDialog::reject);
  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { UpdateMenu(); });
  UpdateMenu();
}

TfrmRecord::~TfrmRecord() {
  if (!FClosed)
    CloseDevice();
}

void TfrmRecord::showEvent(QShowEvent *event) {
  ApplyChosenLanguage(this);
  QDialog::showEvent(event);
}

void TfrmRecord::done(int result) {
  if (!FClosed) {
    GlobalOptions.SaveMp3 = miMp3Format->isChecked();
    Timer1->stop();
    if (!SaveFile(true)) // cancelled, or the save failed: the recording stays open
      return;
    FClosed = true;
    CloseDevice();
    std::error_code error;
    fs::remove(WorkFile, error);
  }
  QDialog::done(result);
}

std::string TfrmRecord::UntitledFile() const { return SettingsFile("MyNoName.wav"); }

bool TfrmRecord::OpenDevice(const std::string &file) {
  CloseDevice();
  FDeviceOpen = plat::mciSendString("open \"" + file + "\" type waveaudio alias " + Device) == 0;
  return FDeviceOpen && Mci("set", " time format milliseconds") == 0;
}

void TfrmRecord::CloseDevice() {
  if (FDeviceOpen)
    Mci("close");
  FDeviceOpen = false;
}

std::int64_t TfrmRecord::Length() const {
  std::string length;
  if (!FDeviceOpen || Mci("status", " length", &length) != 0)
    return 0;
  return std::stoll(length);
}

std::string TfrmRecord::Mode() const {
  std::string mode;
  if (!FDeviceOpen || Mci("status", " mode", &mode) != 0)
    return "not ready";
  return mode;
}

void TfrmRecord::EnableButtons(std::initializer_list<QPushButton *> enabled) {
  for (QPushButton *button : {btPlay, btStop, btNext, btPrev, btRecord})
    button->setEnabled(std::find(enabled.begin(), enabled.end(), button) != enabled.end());
}

void TfrmRecord::UpdateMenu() {
  actSave->setEnabled(btRecord->isEnabled());
  actSaveAs->setEnabled(btRecord->isEnabled());
  // The state line reads "Recording..." in the chosen language while a recording runs.
  const QString recording = Q(GetLanString("RES_RecordingStr", "Recording..."));
  actUndo->setEnabled(Modified && lbState->text() != recording && !FUntitled);
}

void TfrmRecord::miNewClick() {
  if (!SaveFile(true))
    return;
  TfrmNewRecordFile dialog(this);
  if (plat::ShowModal(dialog) != QDialog::Accepted)
    return;
  const int channels = dialog.rbMono->isChecked() ? 1 : 2;
  const int bits = dialog.rb8Bit->isChecked() ? 8 : 16;
  CurrentFile = UntitledFile();
  FUntitled = true;
  CloseDevice();
  int rate = 0;
  try {
    rate = std::stoi(dialog.cbBitSamples->currentText().toStdString()); // skips the blanks
  } catch (const std::exception &) {
  }
  if (rate <= 0 || !WriteWavHeader(channels, bits, CurrentFile, rate) || !OpenDevice(CurrentFile))
    Fail("RES_MCI_Init_Fail", "Error while initializing MCI device!");
  else
    EnableButtons({btRecord});
  panRecordTime->setText("00:00:00.0");
  lbLength->setText(Q(NoLength()));
  lbPosition->setText(Q(NoLength()));
  setWindowTitle(Q(GetLanString("RES_TitleStr", "Record") + "(" +
                   GetLanString("RES_NoNameStr", "NoName") + ")"));
  TrackBar1->setValue(0);
  Mp3Asked = false;
}

void TfrmRecord::miOpenClick() {
  if (!SaveFile(true))
    return;
  plat::TFileDialogOptions options;
  options.Title = "Please select a sound file to open";
  options.Filter = SoundFilter;
  options.DefaultExt = "wav";
  options.InitialDir = GetSettingsFolder();
  for (std::vector<std::string> files; plat::OpenFileDialog(options, files);) {
    const std::string file = files.front();
    if (file == CurrentFile)
      return;
    if (SameFile(file, WorkFile)) { // it would be its own working copy, deleted on closing
      RefuseWorkFile();
      continue;
    }
    if (fs::exists(file)) {
      if (OpenForEdit(file)) {
        TrackBar1->setValue(0);
        Mp3Asked = false;
      }
      return;
    }
    // The full-width exclamation mark, as the message has always ended.
    Box(GetLanString("RES_Check_FileName", "Please check the filename correct or not") +
            "\nCould not be found\uFF01\n" + file,
        plat::TMsgButtons::OK, plat::TMsgIcon::Warning);
  }
}

bool TfrmRecord::OpenForEdit(const std::string &file) {
  if (!CopyFileData(file, WorkFile)) { // the window stays with the sound it had
    SaveFailed();
    return false;
  }
  CurrentFile = file;
  FUntitled = false; // an opened leftover of a new recording is a file like any other
  OpenDevice(WorkFile);
  EnableButtons({btPlay, btNext, btRecord});
  lbLength->setText(Q(FormatMs(Length())));
  setWindowTitle(Q(GetLanString("RES_TitleStr", "Record") + "(" + CurrentFile + ")"));
  return true;
}

bool TfrmRecord::StoreSound() { return !FDeviceOpen || Mci("save") == 0; }

void TfrmRecord::PlayClick() {
  if (TrackBar1->value() == SliderEnd)
    TrackBar1->setValue(0);
  std::string from;
  if (!Timer1->isActive()) {
    PlayPos = static_cast<std::int32_t>(Length() * TrackBar1->value() / SliderEnd);
    from = " from " + std::to_string(PlayPos);
  }
  if (Mci("play", from) != 0) // nothing plays: the window does not pretend it does
    return;
  lbState->setText(Q(GetLanString("RES_PlayingStr", "Playing...")));
  EnableButtons({btStop, btNext, btPrev});
  Timer1->start();
}

void TfrmRecord::StopClick() {
  TrackBar1->setValue(0);
  Timer1->stop();
  if (TimerRecord->isActive()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(RecordEndWait(LastMs)));
    TimerRecordTimer();
    TimerRecord->stop();
  }
  EnableButtons({btPlay, btNext, btPrev, btRecord});
  lbState->setText(Idle);
  if (Mode() == "recording") {
    ShowRecordOver();
    SaveRecording();
  }
  Mci("stop");
}

void TfrmRecord::ShowRecordOver() {
  Mci("save");
  TrackBar1->setValue(SliderEnd);
  lbLength->setText(Q(FormatMs(Length())));
  lbState->setText(Q(GetLanString("RES_RecordOverStr", "Record over!")));
}

void TfrmRecord::InputLost() {
  TimerRecord->stop();
  EnableButtons({btPlay, btNext, btPrev, btRecord});
  ShowRecordOver();
  Fail("RES_Record_Lost", "The sound input is gone. The recording ends here; what was recorded is "
                          "kept.");
}

void TfrmRecord::SaveRecording() {
  if (Mode() == "recording" && (Mci("save") != 0 || Mci("stop") != 0))
    Fail("RES_Save_Error", "Error while saving sound file!");
}

void TfrmRecord::NextClick() {
  TrackBar1->setValue(SliderEnd);
  EnableButtons({btPlay, btPrev, btRecord});
  Mci("seek", " to end");
}

void TfrmRecord::PrevClick() {
  TrackBar1->setValue(0);
  EnableButtons({btPlay, btNext, btRecord});
  Mci("seek", " to start");
}

void TfrmRecord::RecordClick() {
  std::string from;
  if (fs::exists(WorkFile)) // recording replaces from the slider's point on
    from = " from " + std::to_string(Length() * TrackBar1->value() / SliderEnd);
  if (const int error = Mci("record", from)) { // say so rather than seem to record
    if (error == plat::MciErrWaveInputsUnsuitable)
      Fail("RES_No_Input", "No sound input device was found");
    else
      Fail("RES_MCI_Init_Fail", "Error while initializing MCI device!");
    return;
  }
  RecordStart = std::chrono::steady_clock::now();
  TimerRecord->start();
  EnableButtons({btStop});
  lbState->setText(Q(GetLanString("RES_RecordingStr", "Recording...")));
  Modified = true;
}

void TfrmRecord::Timer1Timer() {
  PlayPos += 500;
  const std::int64_t length = Length();
  if (PlayPos < length) {
    TrackBar1->setValue(static_cast<int>(PlayPos * SliderEnd / length));
    return;
  }
  TrackBar1->setValue(SliderEnd);
  Timer1->stop();
  EnableButtons({btPlay, btPrev, btRecord});
  lbState->setText(Idle);
}

void TfrmRecord::TimerRecordTimer() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now() - RecordStart).count();
  LastMs = static_cast<std::uint16_t>(ms % 1000);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%d", static_cast<int>(ms / 3600000),
                static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60),
                static_cast<int>(LastMs / 100));
  panRecordTime->setText(text);
  if (Mode() != "recording")
    InputLost();
}

void TfrmRecord::TrackBar1Change() {
  const std::int64_t length = Length();
  if (length > 0)
    lbPosition->setText(Q(FormatMs(length * TrackBar1->value() / SliderEnd)));
}

std::string TfrmRecord::AskSaveTarget() {
  plat::TFileDialogOptions options;
  options.Filter = SoundFilter;
  options.DefaultExt = "wav";
  options.InitialDir = GetSettingsFolder();
  std::string target;
  if (!plat::SaveFileDialog(options, target))
    return "";
  if (plat::LowerCase(fs::path(target).extension().string()) != ".wav") {
    Inform("RES_Wav_File", "The save file should be WAV!");
    return "";
  }
  if (SameFile(target, UntitledFile()) || SameFile(target, WorkFile)) {
    RefuseWorkFile();
    return "";
  }
  if (fs::exists(target) &&
      !AskYes(target + GetLanString("RES_File_Exist", " has existed,overite it?")))
    return "";
  return target;
}

bool TfrmRecord::SaveFile(bool ask) {
  if (CurrentFile.empty())
    return true;
  if (btStop->isEnabled())
    StopClick();
  if (!Modified && (ask || !FUntitled))
    return true;
  if (Modified && ask) {
    const std::string name = FUntitled ? GetLanString("RES_NoNameStr", "NoName") : CurrentFile;
    const int answer = Box(name + GetLanString("RES_Have_Modify", " has been modified,Save it?"),
                           plat::TMsgButtons::YesNoCancel, plat::TMsgIcon::Information);
    if (answer == plat::idCancel)
      return false;
    if (answer == plat::idNo) {
      Modified = false;
      return true;
    }
  }
  // On any failure the recording stays where it is, Modified stays set and the device open.
  if (!FUntitled) {
    if (!StoreSound() || !CopyFileData(WorkFile, CurrentFile)) {
      SaveFailed();
      return false;
    }
    ConvertToMp3();
    Modified = false;
    return true;
  }
  const std::string target = AskSaveTarget();
  if (target.empty())
    return false;
  if (!StoreSound() || !MoveFile(CurrentFile, target)) {
    SaveFailed();
    return false;
  }
  if (!OpenForEdit(target))
    return false;
  ConvertToMp3();
  Modified = false;
  return true;
}

void TfrmRecord::actSaveAsExecute() {
  const std::string target = AskSaveTarget();
  if (target.empty())
    return;
  // The current sound, recordings included.
  if (!StoreSound() ||
      !(FUntitled ? MoveFile(CurrentFile, target) : CopyFileData(WorkFile, target))) {
    SaveFailed();
    return;
  }
  if (OpenForEdit(target))
    ConvertToMp3();
}

void TfrmRecord::actUndoExecute() {
  if (!AskYes(GetLanString("RES_Discard_Modify", "Discard the modification since last save file.")))
    return;
  if (!CopyFileData(CurrentFile, WorkFile)) { // the recording stays as it is
    SaveFailed();
    return;
  }
  OpenDevice(WorkFile);
  EnableButtons({btPlay, btNext, btRecord});
  lbLength->setText(Q(FormatMs(Length())));
  lbPosition->setText(lbLength->text());
}

void TfrmRecord::miRecordOptionSetClick() {
  // The desktop's mixer, where the recording source and level are chosen.
  plat::RunMixer(true, product::Name);
}

void TfrmRecord::ConvertToMp3() {
  if (!miMp3Format->isChecked() || CurrentFile.empty())
    return;
  // The encoding reads the saved file only, so no CD drive is needed for it.
  const std::string mp3 = fs::path(CurrentFile).replace_extension(".mp3").string();
  if (!Mp3Asked && fs::exists(mp3)) {
    if (!AskYes(mp3 + GetLanString("RES_File_Exist", " has existed,overite it?")))
      return;
    if (plat::FileInUse(mp3)) {
      Box(mp3 + GetLanString("RES_File_Cannot_Create", " maybe be used!"), plat::TMsgButtons::OK,
          plat::TMsgIcon::Error);
      return;
    }
  }
  Mp3Asked = true;
  FConvertToMp3(CurrentFile);
}

void ShowRecorder(std::function<void(const std::string &)> convertToMp3, QWidget *parent) {
  TfrmRecord form(std::move(convertToMp3), parent);
  plat::ShowModal(form);
}
