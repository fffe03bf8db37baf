#pragma once
// The wave file converter: one WAV file into another with a chosen sample rate, channel count
// and sample size, as plain PCM or IMA ADPCM, through WaveIn1 → FastResampler1 →
// AudioConverter1 → WaveOut1. The output thread reports progress, failures and the end through
// the pipeline's event thread, so every handler below runs on the user-interface thread.
// The converted file is written under a hidden part name and takes the chosen name only when
// the run ends complete: an aborted or failed run, or closing the window during one, leaves
// nothing behind. The handlers are public so that tests can drive them; the widgets are the view.
#include "AuWave.h"

#include <QDialog>

#include <memory>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStatusBar;
class TAudioConverter;
class TAuOutput;
class TFastResampler;
class TWaveIn;
class TWaveOut;
namespace plat {
class TPartFile;
}

class TfrmResample : public QDialog {
  Q_OBJECT

public:
  explicit TfrmResample(QWidget *parent = nullptr);
  ~TfrmResample() override;

  // Input File...: asks for a WAV file and shows its format; an unreadable one is named in the
  // status panel and clears the input's labels.
  void Button1Click();
  // Output File...: asks for the name to write; only a ".wav" name (any case) is taken.
  void Button2Click();
  // Convert: EAuException "The output file name is not set!" without an output, the integer
  // conversion error for a sample-rate text that is not a number; else starts the run.
  void Button3Click();
  // Abort: stops the run; its end comes through WaveOut1Done.
  void Button4Click();
  // Stops a run and waits for it; the run's end is not reported and its file is removed.
  void FormClose();
  void WaveOut1Progress();
  void WaveOut1Done();
  void WaveOut1ThreadException();

  bool Converting() const { return FConverting; }
  std::string StatusText() const;

  std::unique_ptr<TWaveIn> WaveIn1;
  std::unique_ptr<TFastResampler> FastResampler1;
  std::unique_ptr<TAudioConverter> AudioConverter1;
  std::unique_ptr<TWaveOut> WaveOut1; // last: destroyed first, while its input still exists

  QProgressBar *ProgressBar1;
  QLabel *Label5;  // input file name
  QLabel *Label6;  // input channels
  QLabel *Label7;  // input sample rate
  QLabel *Label8;  // input bits per sample
  QLabel *Label15; // input encoding
  QLabel *Label10; // output file name
  QSpinBox *SpinEdit1;
  QLineEdit *Edit1;
  QSpinBox *SpinEdit3;
  QComboBox *ComboBox1;
  QPushButton *Button1;
  QPushButton *Button2;
  QPushButton *Button3;
  QPushButton *Button4;
  QPushButton *Button5;
  QStatusBar *StatusBar1;

protected:
  // Every way of closing the window stops the run first.
  void done(int result) override;

private:
  // WaveIn1 → FastResampler1 → AudioConverter1 → WaveOut1, with the output's events.
  void ConnectPipeline();
  QGroupBox *CreateInputGroup();
  QGroupBox *CreateOutputGroup();
  void SetStatus(const std::string &text);
  void ShowInput();
  // Runs a button's handler; what it raises is shown in an error box.
  void Guarded(void (TfrmResample::*handler)());

  QLabel *FStatusPanel;
  TAuOutput *Output = nullptr; // the chosen output; none until an output file is chosen
  std::string FOutputName;     // the name the converted file takes
  std::unique_ptr<plat::TPartFile> FPart;
  bool FConverting = false;
  bool FAborted = false;
};

// The encoding name shown for a WAV input's kind.
const char *EncodingName(TWavType wavType);

// Opens the converter modally over parent.
void ShowResampleWav(QWidget *parent = nullptr);
