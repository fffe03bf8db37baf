#include "NewResampleWav.h"

#include "AuConverters.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "Convert.h"
#include "Dialogs.h"
#include "Global.h"
#include "PartFile.h"
#include "Text.h"
#include "ToolWidgets.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include <filesystem>
#include <initializer_list>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

QString Q(const std::string &text) { return QString::fromStdString(text); }
std::string S(const QString &text) { return text.toStdString(); }

std::string WithoutFolder(const std::string &name) { return fs::path(name).filename().string(); }

QLabel *Caption(const char *text, QWidget *parent) { return new QLabel(text, parent); }

QLabel *Value(const char *name, QWidget *parent) {
  auto *label = new QLabel(parent);
  label->setObjectName(name);
  label->setMinimumWidth(160);
  return label;
}

// A parameter group's rows: each value beside its caption.
void LayOutParameters(QGroupBox *group, std::initializer_list<QWidget *> values) {
  const char *const captions[] = {"File Name",
                                  "Channels:", "Sample Rate:", "Bits Per Sample:", "Encoding"};
  auto *grid = new QGridLayout(group);
  int row = 0;
  for (QWidget *value : values) {
    grid->addWidget(Caption(captions[row], group), row, 0);
    grid->addWidget(value, row++, 1);
  }
}

} // namespace

const char *EncodingName(TWavType wavType) {
  switch (wavType) {
  case wtPCM: return "Raw PCM";
  case wtDVIADPCM: return "DVI IMA ADPCM";
  case wtMSADPCM: return "Microsoft ADPCM";
  case wtACM: return "ACM";
  case wtIEEEFloat: return "IEEE Float";
  case wtExtPCM: return "WaveFormatExt (PCM)";
  case wtExtIEEEFloat: return "WaveFormatExt (IEEE Float)";
  default: return "Unsupported";
  }
}

TfrmResample::TfrmResample(QWidget *parent)
    : QDialog(parent), WaveIn1(std::make_unique<TWaveIn>()),
      FastResampler1(std::make_unique<TFastResampler>()),
      AudioConverter1(std::make_unique<TAudioConverter>()), WaveOut1(std::make_unique<TWaveOut>()) {
  setObjectName("frmResample");
  setWindowTitle("Wave File Converter");
  setModal(true);

  ConnectPipeline();

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);

  QGroupBox *input = CreateInputGroup();
  QGroupBox *output = CreateOutputGroup();

  Button1 = Button("Button1", "Input File...", this);
  Button2 = Button("Button2", "Output File...", this);
  Button3 = Button("Button3", "Convert", this);
  Button4 = Button("Button4", "Abort", this);
  Button5 = Button("Button5", "Close", this);
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  FStatusPanel = new QLabel(StatusBar1);
  StatusBar1->addWidget(FStatusPanel, 1);

  auto *buttons = new QHBoxLayout;
  for (QPushButton *button : {Button1, Button2, Button3, Button4, Button5})
    buttons->addWidget(button);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(ProgressBar1);
  layout->addWidget(input);
  layout->addWidget(output);
  layout->addLayout(buttons);
  layout->addWidget(StatusBar1);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded(&TfrmResample::Button1Click); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded(&TfrmResample::Button2Click); });
  connect(Button3, &QPushButton::clicked, this, [this] { Guarded(&TfrmResample::Button3Click); });
  connect(Button4, &QPushButton::clicked, this, [this] { Guarded(&TfrmResample::Button4Click); });
  connect(Button5, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmResample::~TfrmResample() { FormClose(); }

void TfrmResample::ConnectPipeline() {
  WaveIn1->SetName("WaveIn1");
  WaveIn1->SetLoop(false);
  WaveIn1->SetEndSample(-1);
  FastResampler1->SetName("FastResampler1");
  FastResampler1->SetInput(WaveIn1.get());
  FastResampler1->SetOutSampleRate(22050);
  AudioConverter1->SetName("AudioConverter1");
  AudioConverter1->SetInput(FastResampler1.get());
  AudioConverter1->SetMode(msmMonoToBoth);
  WaveOut1->SetName("WaveOut1");
  WaveOut1->SetInput(AudioConverter1.get());
  WaveOut1->SetShareMode(0);
  WaveOut1->SetWavType(wtPCM);
  WaveOut1->SetBlockSize(512);
  WaveOut1->SetCreateNonMsHeaders(false);
  WaveOut1->SetFileMode(foRewrite);
  WaveOut1->OnDone = [this](TComponent *) { WaveOut1Done(); };
  WaveOut1->OnProgress = [this](TComponent *) { WaveOut1Progress(); };
  WaveOut1->OnThreadException = [this](TComponent *) { WaveOut1ThreadException(); };
}

QGroupBox *TfrmResample::CreateInputGroup() {
  auto *input = new QGroupBox("Input File Parameters", this);
  input->setObjectName("GroupBox1");
  Label5 = Value("Label5", input);
  Label6 = Value("Label6", input);
  Label7 = Value("Label7", input);
  Label8 = Value("Label8", input);
  Label15 = Value("Label15", input);
  LayOutParameters(input, {Label5, Label6, Label7, Label8, Label15});
  return input;
}

QGroupBox *TfrmResample::CreateOutputGroup() {
  auto *output = new QGroupBox(" Output File Parameters ", this);
  output->setObjectName("GroupBox2");
  Label10 = Value("Label10", output);
  SpinEdit1 = new QSpinBox(output);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(1, 2);
  SpinEdit1->setValue(1);
  Edit1 = new QLineEdit("22050", output);
  Edit1->setObjectName("Edit1");
  SpinEdit3 = new QSpinBox(output);
  SpinEdit3->setObjectName("SpinEdit3");
  SpinEdit3->setRange(8, 32);
  SpinEdit3->setSingleStep(8);
  SpinEdit3->setValue(8);
  ComboBox1 = new QComboBox(output);
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->addItems({"RAW PCM", "DVI IMA ADPCM"});
  ComboBox1->setCurrentIndex(0);
  LayOutParameters(output, {Label10, SpinEdit1, Edit1, SpinEdit3, ComboBox1});
  return output;
}

void TfrmResample::Guarded(void (TfrmResample::*handler)()) {
  try {
    (this->*handler)();
  } catch (const std::exception &e) {
    plat::MessageBox(e.what(), product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
  }
}

std::string TfrmResample::StatusText() const { return S(FStatusPanel->text()); }

void TfrmResample::SetStatus(const std::string &text) { FStatusPanel->setText(Q(text)); }

void TfrmResample::Button1Click() {
  plat::TFileDialogOptions options;
  options.Title = "Open";
  options.Filter = "Wave Files|*.wav";
  options.DefaultExt = "wav";
  std::vector<std::string> files;
  if (!plat::OpenFileDialog(options, files) || files.empty())
    return;
  WaveIn1->SetFileName(files.front());
  ShowInput();
}

// An input the reader does not recognise must not leave the labels of an earlier file that
// Convert would seem to use.
void TfrmResample::ShowInput() {
  const bool valid = WaveIn1->Valid();
  auto show = [valid](QLabel *label, const std::string &text) {
    label->setText(valid ? Q(text) : QString());
  };
  show(Label5, WithoutFolder(WaveIn1->FileName()));
  show(Label6, std::to_string(WaveIn1->Channels()));
  show(Label7, std::to_string(WaveIn1->SampleRate()));
  show(Label8, std::to_string(WaveIn1->BitsPerSample()));
  show(Label15, EncodingName(WaveIn1->WavType()));
  SetStatus(valid ? ""
                  : WithoutFolder(WaveIn1->FileName()) + " is not a WAV file that can be read.");
}

void TfrmResample::Button2Click() {
  plat::TFileDialogOptions options;
  options.Title = "Save As";
  options.Filter = "Wave Files|*.wav|Windows Media Files|*.wma";
  std::string file;
  if (!plat::SaveFileDialog(options, file))
    return;
  if (plat::LowerCase(fs::path(file).extension().string()) != ".wav")
    return;
  Output = WaveOut1.get();
  FOutputName = file;
  Label10->setText(Q(WithoutFolder(file)));
}

void TfrmResample::Button3Click() {
  if (!Output || FOutputName.empty())
    throw EAuException("The output file name is not set!");
  AudioConverter1->SetOutBitsPerSample(0);
  AudioConverter1->SetOutChannels(0);
  const int channels = SpinEdit1->value();
  const int rate = plat::StrToInt(S(Edit1->text()));
  const int bits = SpinEdit3->value();
  if (!WaveIn1->Valid()) {
    SetStatus("Choose a WAV file that can be read as the input first.");
    return;
  }
  if (static_cast<std::uint32_t>(bits) != WaveIn1->BitsPerSample())
    AudioConverter1->SetOutBitsPerSample(bits);
  if (static_cast<std::uint32_t>(channels) != WaveIn1->Channels()) {
    // The converter would write all of them whatever was chosen.
    if (WaveIn1->Channels() > 2)
      throw EAuException(WithoutFolder(WaveIn1->FileName()) + ": " +
                         FixedChannelsText(WaveIn1->Channels()));
    AudioConverter1->SetOutChannels(channels);
  }
  // A negative text becomes a rate far out of range, which the resampler refuses by name.
  FastResampler1->SetOutSampleRate(static_cast<std::uint32_t>(rate));
  WaveOut1->SetWavType(ComboBox1->currentIndex() == 1 ? wtDVIADPCM : wtPCM);
  FPart = std::make_unique<plat::TPartFile>(FOutputName);
  WaveOut1->SetFileName(FPart->PartName());
  FAborted = false;
  ProgressBar1->setValue(0);
  Button3->setEnabled(false);
  SetStatus("Converting...");
  FConverting = true;
  try {
    Output->Run();
  } catch (...) {
    FConverting = false;
    Button3->setEnabled(true);
    FPart.reset();
    throw;
  }
}

void TfrmResample::Button4Click() {
  if (!FConverting)
    return;
  FAborted = true;
  Output->Stop();
}

void TfrmResample::FormClose() {
  if (!FConverting)
    return;
  FAborted = true; // an end delivered while the stop waits is not a complete file
  Output->Stop(false);
  FConverting = false;
  FPart.reset(); // removes what the stopped run wrote
}

void TfrmResample::done(int result) {
  FormClose();
  QDialog::done(result);
}

void TfrmResample::WaveOut1Progress() {
  const int progress = WaveOut1->Progress();
  if (progress >= 0)
    ProgressBar1->setValue(progress);
}

void TfrmResample::WaveOut1Done() {
  FConverting = false;
  Button3->setEnabled(true);
  ProgressBar1->setValue(100);
  const bool failed = !WaveOut1->ExceptionMessage().empty();
  if (FAborted)
    SetStatus("Aborted: no file was written.");
  else if (!failed && FPart && FPart->Complete())
    SetStatus("Success!");
  else if (!failed)
    SetStatus("The converted file could not be named " + FOutputName + ".");
  FPart.reset(); // removes the part file of a run that did not complete
}

void TfrmResample::WaveOut1ThreadException() { SetStatus(WaveOut1->ExceptionMessage()); }

void ShowResampleWav(QWidget *parent) {
  TfrmResample form(parent);
  plat::ShowModal(form);
}
