#pragma once
// The sound recorder: records from the sound card's input into a WAV file through the
// waveaudio media device, plays it back, records over from the slider's point, saves, saves
// as, undoes the changes since the last save and converts the saved file to MP3. A new
// recording goes into MyNoName.wav, an opened file is edited in its copy MyTemp.wav; both live
// in the settings folder. The handlers are public so that tests can drive them; the widgets
// are the view.
#include <QDialog>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QTimer;

// "2.5 Sec" under a minute, else "1Hour2 Min3 Sec" with the zero parts left out.
std::string FormatMs(std::int64_t ms);
// How long a stop waits so that the recording ends on a whole second: lastMs is the
// milliseconds part of the recording time at the last tick; a part of 100 or less is let go.
int RecordEndWait(int lastMs);
// The canonical 44-byte header of a PCM WAV file with no audio yet, written to file.
bool WriteWavHeader(int channels, int bits, const std::string &file, int rate);

class TfrmRecord : public QDialog {
  Q_OBJECT

public:
  // convertToMp3 runs the job window that encodes one WAV file to an MP3 file beside it.
  explicit TfrmRecord(std::function<void(const std::string &wav)> convertToMp3,
                      QWidget *parent = nullptr);
  ~TfrmRecord() override;

  void miNewClick();
  void miOpenClick();
  // With ask, a modified file is offered for saving first; false when the user cancelled.
  bool SaveFile(bool ask);
  void actSaveAsExecute();
  void actUndoExecute();
  void miRecordOptionSetClick();
  void PlayClick();
  void StopClick();
  void NextClick();
  void PrevClick();
  void RecordClick();
  void Timer1Timer();
  void TimerRecordTimer();
  void TrackBar1Change();
  // Enables Save, Save As and Undo as the menu opens.
  void UpdateMenu();

  std::int32_t PlayPos = 0;
  std::string CurrentFile;
  std::string WorkFile;
  std::chrono::steady_clock::time_point RecordStart;
  bool Modified = false;
  bool Mp3Asked = false;
  std::uint16_t LastMs = 0;

  QLabel *lbState;
  QLabel *panRecordTime;
  QLabel *lbPosition;
  QLabel *lbLength;
  QSlider *TrackBar1;
  QPushButton *btPlay;
  QPushButton *btStop;
  QPushButton *btNext;
  QPushButton *btPrev;
  QPushButton *btRecord;
  QPushButton *btStart;
  QMenu *PopupMenu1;
  QAction *actSave;
  QAction *actSaveAs;
  QAction *actUndo;
  QAction *miMp3Format;
  QTimer *Timer1;
  QTimer *TimerRecord;

protected:
  void showEvent(QShowEvent *event) override;
  void done(int result) override;

private:
  // The window's parts: the state, time and position; the media buttons; Start's menu.
  QGroupBox *CreateRecordGroup();
  QWidget *CreateMediaBar();
  void CreatePopupMenu();
  std::string UntitledFile() const;
  bool OpenDevice(const std::string &file);
  void CloseDevice();
  std::int64_t Length() const;
  std::string Mode() const;
  void EnableButtons(std::initializer_list<QPushButton *> enabled);
  // Loads a copy of file as the sound to edit; false, after saying so, when it cannot be copied.
  bool OpenForEdit(const std::string &file);
  // Writes what the device holds into its file; false when that cannot be written.
  bool StoreSound();
  void SaveRecording();
  // Writes what was recorded into the working file and shows its length.
  void ShowRecordOver();
  // The capture device went away mid-recording: end it, keeping what was recorded.
  void InputLost();
  void ConvertToMp3();
  std::string AskSaveTarget();

  std::function<void(const std::string &)> FConvertToMp3;
  bool FDeviceOpen = false;
  bool FUntitled = false; // CurrentFile is a new recording, not yet saved under a name
  bool FClosed = false;
};

// Opens the recorder modally over parent.
void ShowRecorder(std::function<void(const std::string &wav)> convertToMp3,
                  QWidget *parent = nullptr);
