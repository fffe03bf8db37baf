#include "OggPlayer.h"

#include "ApplyLanguage.h"
#include "AuConverters.h"
#include "AuDXAudio.h"
#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "Dialogs.h"
#include "Global.h"
#include "Player.h"
#include "Text.h"
#include "ToolWidgets.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }

} // namespace

std::string SampleRateText(std::uint32_t rate) {
  return std::to_string(rate) + " " + GetLanString("RES_Bps", "bps");
}

TfrmOggPlayer::TfrmOggPlayer(QWidget *parent)
    : QDialog(parent), VorbisIn1(std::make_unique<TVorbisIn>()),
      FLACIn1(std::make_unique<TFLACIn>()), OpusIn1(std::make_unique<TOpusIn>()),
      StereoBalance1(std::make_unique<TStereoBalance>()),
      DXAudioOut1(std::make_unique<TDXAudioOut>()) {
  setObjectName("frmOggPlayer");
  setWindowTitle("Ogg Player");
  setModal(true);

  ConnectPipeline();
  QFrame *panel = CreateInfoPanel();

  ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
  ScrollBar1->setObjectName("ScrollBar1");
  ScrollBar1->setRange(0, 100);
  ScrollBar1->setEnabled(false);
  BitBtn1 = Button("BitBtn1", "Play", this);
  BitBtn1->setToolTip("Press to open and play ogg file.");
  BitBtn2 = Button("BitBtn2", "Pause", this);
  bStop = Button("bStop", "Stop", this);
  TrackBar1 = new QSlider(Qt::Horizontal, this);
  TrackBar1->setObjectName("TrackBar1");
  TrackBar1->setRange(0, 10);
  TrackBar1->setValue(5);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  bClose = Button("bClose", "Close", this);
  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Timer2 = new QTimer(this);
  Timer2->setObjectName("Timer2");
  Timer2->setInterval(500);

  auto *buttons = new QHBoxLayout;
  for (QPushButton *button : {BitBtn1, BitBtn2, bStop})
    buttons->addWidget(button);
  buttons->addWidget(TrackBar1, 1);
  buttons->addWidget(bClose);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  layout->addWidget(ScrollBar1);
  layout->addLayout(buttons);
  layout->addWidget(Memo1);

  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
  connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
  connect(bClose, &QPushButton::clicked, this, [this] { bCloseClick(); });
  connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
  // Only the user's moves seek: the progress report sets the bar without a scroll.
  connect(ScrollBar1, &QScrollBar::actionTriggered, this,
          [this] { ScrollBar1Scroll(ScrollBar1->sliderPosition()); });
  connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
}

TfrmOggPlayer::~TfrmOggPlayer() = default;

void TfrmOggPlayer::ConnectPipeline() {
  VorbisIn1->SetName("VorbisIn1");
  VorbisIn1->SetLoop(false);
  VorbisIn1->SetEndSample(-1);
  FLACIn1->SetName("FLACIn1");
  OpusIn1->SetName("OpusIn1");
  StereoBalance1->SetName("StereoBalance1");
  StereoBalance1->SetBalance(0.5f);
  DXAudioOut1->SetName("DXAudioOut1");
  ConnectPlayer(*VorbisIn1, *StereoBalance1, *DXAudioOut1);
  DXAudioOut1->OnDone = [this](TComponent *) { AudioOut1Done(); };
  DXAudioOut1->OnProgress = [this](TComponent *) { AudioOut1Progress(); };
}

QFrame *TfrmOggPlayer::CreateInfoPanel() {
  auto *panel = new QFrame(this);
  panel->setObjectName("Panel1");
  panel->setFrameShape(QFrame::StyledPanel);
  panel->setToolTip("Press 'Play' button to open and play ogg file.");
  lFileName = Label("lFileName", "OGG", panel);
  lSampleRate = Label("lSampleRate", GetLanString("RES_Bps", "bps").c_str(), panel);
  lCurrentTime = Label("lCurrentTime", "0:00", panel);
  lTotalTime = Label("lTotalTime", "0:00", panel);
  auto *panelLayout = new QHBoxLayout(panel);
  panelLayout->addWidget(lFileName, 1);
  panelLayout->addWidget(lSampleRate);
  panelLayout->addWidget(lCurrentTime);
  panelLayout->addWidget(Label("Label1", "/", panel));
  panelLayout->addWidget(lTotalTime);
  return panel;
}

void TfrmOggPlayer::showEvent(QShowEvent *event) {
  ApplyChosenLanguage(this);
  QDialog::showEvent(event);
}

void TfrmOggPlayer::BitBtn1Click() {
  plat::TFileDialogOptions options;
  options.Filter = "Sound file(*.ogg;*.flac;*.opus)|*.ogg;*.flac;*.opus| Any file(*.*)|*.*";
  std::vector<std::string> files;
  if (!plat::OpenFileDialog(options, files) || files.empty())
    return;
  try {
    Play(files.front());
  } catch (const std::exception &) {
    // A failure while opening leaves the player as it is; the run's own failures end it
    // through AudioOut1Done.
  }
}

TAuTaggedFileIn *TfrmOggPlayer::ReaderFor(const std::string &file) const {
  const std::string extension = plat::LowerCase(std::filesystem::path(file).extension().string());
  if (extension == ".ogg")
    return VorbisIn1.get();
  if (extension == ".flac")
    return FLACIn1.get();
  if (extension == ".opus")
    return OpusIn1.get();
  return nullptr;
}

void TfrmOggPlayer::Play(const std::string &file) {
  // The name is looked at first: a file not named as one the player takes is never opened.
  TAuTaggedFileIn *input = ReaderFor(file);
  if (input)
    input->SetFileName(file);
  if (!input || !input->Valid()) {
    plat::MessageBox("Ogg file is not valid.", "", plat::TMsgButtons::OK, plat::TMsgIcon::None);
    return;
  }
  // What is shown is read before the run: the output thread then owns the input.
  lFileName->setText(Q(std::filesystem::path(file).stem().string()));
  FTotalSeconds = static_cast<std::int32_t>(input->TotalTime());
  lSampleRate->setText(Q(SampleRateText(input->SampleRate())));
  lTotalTime->setText(Q(plat::ClockTime(FTotalSeconds)));
  ShowTags(*input);
  StereoBalance1->SetInput(input);
  DXAudioOut1->Run();
  BitBtn1->setEnabled(false); // after Run, which may refuse: its end gives the button back
  Timer2->start();
  PlayMs = 0;
  ScrollBar1->setEnabled(true);
}

void TfrmOggPlayer::ShowTags(TAuTaggedFileIn &input) {
  Memo1->clear();
  const TCommonTags &tags = input.CommonTags();
  const std::pair<const char *, std::u16string> lines[] = {
      {"Artist: ", tags.Artist()}, {"Album: ", tags.Album()},
      {"Title: ", tags.Title()},   {"Date: ", plat::Utf8ToUtf16(tags.Year())},
      {"Genre: ", tags.Genre()},   {"Track: ", plat::Utf8ToUtf16(tags.Track())}};
  for (const auto &[caption, value] : lines)
    if (!value.empty())
      Memo1->appendPlainText(Q(caption + plat::Utf16ToUtf8(value)));
}

void TfrmOggPlayer::AudioOut1Progress() { ScrollBar1->setValue(DXAudioOut1->Progress()); }

void TfrmOggPlayer::AudioOut1Done() {
  BitBtn1->setEnabled(true);
  ScrollBar1->setEnabled(false);
  Timer2->stop();
}

// The display counts the timer's ticks; it is not read back from the output.
void TfrmOggPlayer::Timer2Timer() {
  if (PlayMs >= FTotalSeconds * 1000)
    return;
  PlayMs += 500;
  lCurrentTime->setText(Q(plat::ClockTime(PlayMs / 1000)));
}

void TfrmOggPlayer::ScrollBar1Scroll(int position) {
  DXAudioOut1->Jump((position - DXAudioOut1->Progress()) * 10);
  PlayMs = FTotalSeconds * position * 10;
}

void TfrmOggPlayer::BitBtn2Click() {
  if (DXAudioOut1->Status() != 0) {
    DXAudioOut1->Resume();
    Timer2->start();
  } else {
    DXAudioOut1->Pause();
    Timer2->stop();
  }
}

void TfrmOggPlayer::bStopClick() {
  if (DXAudioOut1->Status() == 1)
    DXAudioOut1->Resume();
  DXAudioOut1->Stop();
  Timer2->stop();
}

void TfrmOggPlayer::TrackBar1Change() { StereoBalance1->SetBalance(TrackBar1->value() / 10.0f); }

void TfrmOggPlayer::bCloseClick() {
  bStopClick();
  Closing = true;
  // The output thread ends the run by itself; its done report waits for this thread.
  while (DXAudioOut1->Status() != 2)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  QMetaObject::invokeMethod(
      this, [this] { reject(); }, Qt::QueuedConnection);
}

void TfrmOggPlayer::done(int result) {
  if (!Closing) {
    bCloseClick();
    return;
  }
  QDialog::done(result);
}

void ShowOggPlayer(QWidget *parent) {
  TfrmOggPlayer form(parent);
  plat::ShowModal(form);
}
