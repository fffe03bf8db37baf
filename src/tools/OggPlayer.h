#pragma once
// The Ogg player: plays one Ogg Vorbis, FLAC or Opus file at a time through its reader
// (VorbisIn1, FLACIn1 or OpusIn1, by the file's extension) → StereoBalance1 → DXAudioOut1 (the
// players' sound path, Player.h) with a position bar to seek, pause and resume, stop, a balance
// slider, the elapsed and total time and the file's tags. The output's progress and end reach the
// handlers on the user-interface thread through the pipeline's event thread. Every way of closing
// the window stops the sound first and waits until the output is idle; the idle state needs no help
// from the user-interface thread. The handlers are public so that tests can drive them; the widgets
// are the view.
#include <QDialog>

#include <cstdint>
#include <memory>
#include <string>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;
class TAuTaggedFileIn;
class TDXAudioOut;
class TFLACIn;
class TOpusIn;
class TStereoBalance;
class TVorbisIn;

// The sample rate as the player shows it, in the chosen language: "44100 bps".
std::string SampleRateText(std::uint32_t rate);

class TfrmOggPlayer : public QDialog {
  Q_OBJECT

public:
  explicit TfrmOggPlayer(QWidget *parent = nullptr);
  ~TfrmOggPlayer() override;

  // Open and play: asks for a file; one whose name does not end in ".ogg", ".flac" or ".opus"
  // (any case), or that is not of the format its name gives, gets "Ogg file is not valid." and
  // the player stays idle. Any other failure is ignored.
  void BitBtn1Click();
  // Pause when playing; otherwise resume, and the time display runs.
  void BitBtn2Click();
  // Stops the sound; the end comes through AudioOut1Done.
  void bStopClick();
  // Stops, waits until the output is idle, then asks the window to close.
  void bCloseClick();
  void TrackBar1Change();
  // The position bar moved to position (0 ... 100): the sound and the time display follow.
  void ScrollBar1Scroll(int position);
  void Timer2Timer();
  void AudioOut1Progress();
  void AudioOut1Done();

  std::int32_t PlayMs = 0; // the elapsed time shown, in milliseconds
  bool Closing = false;

  std::unique_ptr<TVorbisIn> VorbisIn1;
  std::unique_ptr<TFLACIn> FLACIn1;
  std::unique_ptr<TOpusIn> OpusIn1;
  std::unique_ptr<TStereoBalance> StereoBalance1;
  std::unique_ptr<TDXAudioOut> DXAudioOut1; // last: destroyed first, while its inputs exist

  QLabel *lFileName;
  QLabel *lSampleRate;
  QLabel *lCurrentTime;
  QLabel *lTotalTime;
  QScrollBar *ScrollBar1;
  QPushButton *BitBtn1;
  QPushButton *BitBtn2;
  QPushButton *bStop;
  QSlider *TrackBar1;
  QPushButton *bClose;
  QPlainTextEdit *Memo1;
  QTimer *Timer2;

protected:
  void showEvent(QShowEvent *event) override;
  // Refused, and bCloseClick run instead, until Closing is set.
  void done(int result) override;

private:
  // VorbisIn1 → StereoBalance1 → DXAudioOut1, with the output's events.
  void ConnectPipeline();
  // The file's name, sample rate, position and length.
  QFrame *CreateInfoPanel();
  void Play(const std::string &file);
  // The reader of a file's name; none for a name the player does not take.
  TAuTaggedFileIn *ReaderFor(const std::string &file) const;
  void ShowTags(TAuTaggedFileIn &input);

  std::int32_t FTotalSeconds = 0; // of the file playing
};

// Opens the player modally over parent.
void ShowOggPlayer(QWidget *parent = nullptr);
