#pragma once
// The options window: seven pages of controls over the settings (GlobalOptions) and the disc
// information that goes into tags (DiscInfo), and the choice of CD drive. Showing fills the
// controls from the records; OK checks the output folder, the rip length and the bit rates,
// and only when all of them hold copies every control into the records (so a refusal changes
// nothing), then has the main window open a newly chosen drive. Cancel changes nothing. The
// window writes no file: options.ini is saved when the main window closes. The handlers are
// public so that tests can drive them; the widgets are the view.
#include "OffsetDetect.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabWidget;

// What the window needs of the main window, which it must not include.
struct TOptionSetHost {
  // The position in the drive list of the drive the main window has open; -1 when it holds
  // no drive handle, which also hides the rip-length group (only the drive rip honours it).
  int OpenDrive = -1;
  // In CD-input mode: the names of the CD input's drives, in order, which the drive page
  // lists instead of the drive library's; the rip-length group is hidden then too.
  std::function<std::vector<std::string>()> DriveNames;
  // Opens the drive at this position of the drive list and rereads its disc.
  std::function<void(int drive)> ChangeDrive;
  // Runs after OK has copied the controls: the main window keeps its status text.
  std::function<void()> Accepted;
  // Finds the read offset of the drive at this position of the drive list with the disc in it;
  // none hides "Detect read offset".
  std::function<TOffsetDetection(int drive)> DetectOffset;
};

class TOptionSetForm : public QDialog {
  Q_OBJECT

public:
  explicit TOptionSetForm(TOptionSetHost host, QWidget *parent = nullptr);

  // Translates the window unless the language is English and fills it from the records.
  void FormShow();
  // Fills the controls from the records and applies the enabling rules.
  void FillControls();
  // The enabling rules of the normalize, rip-length, VBR and keep-WAV controls.
  void UpdateEnabled();
  // Lists the drives (the CD input's in CD-input mode, else the drive library's) and selects
  // the one open (none when it is gone).
  void TabSheet3Show();
  void bDefaultClick();
  void bWMADefaultClick();
  // Offers the folder browser, starting in the folder of editOutputDir when it exists.
  void btBrowserClick();
  // Shows the read offset of the drive chosen in the list, keeping the one shown before for
  // its drive; the offsets are stored on OK, each under its drive's key.
  void cbCDListChange();
  // Finds the chosen drive's read offset and, when the user agrees, shows it for the drive.
  void btDetectOffsetClick();
  // Checks, copies, changes the drive when another one was chosen, and closes; a refusal
  // shows its error box and leaves the window open with the records untouched.
  void btOkClick();

  QTabWidget *PageControl1;
  QLineEdit *editOutputDir;
  QPushButton *btBrowser;
  QCheckBox *ckbKeepWav;
  QComboBox *cbOutputFormat;
  QCheckBox *ckNormalize;
  QSpinBox *SpinEdit1;
  QGroupBox *GroupBox4;
  QCheckBox *cbRipTime;
  QLineEdit *eRipTime;
  QCheckBox *ckbSelectVBR;
  QCheckBox *ckbVBRHead;
  QComboBox *cbBitRate;
  QComboBox *cbMaxBitRate;
  QComboBox *cbVBRQuality;
  QComboBox *cbMpegQuality;
  QComboBox *cbStereoMode;
  QSpinBox *seStallTime;
  QPushButton *bDefault;
  QCheckBox *cbUseCompress;
  QSlider *tbCompression;
  QComboBox *cbOggNomBit;
  QComboBox *cbOggMaxBit;
  QComboBox *cbOggMinBit;
  QComboBox *cbWMABitrate;
  QPushButton *bWMADefault;
  QSpinBox *seFLACLevel;
  QSpinBox *seOpusBitRate;
  QCheckBox *cbUseID3;
  QLineEdit *ID3artist;
  QLineEdit *ID3album;
  QLineEdit *ID3comment;
  QLineEdit *ID3year;
  QComboBox *ID3genre;
  QComboBox *cbCDList;
  QCheckBox *ckbCDDb;
  QCheckBox *ckbSecureRip;
  QCheckBox *ckbDeemphasis;
  QCheckBox *ckbHiddenTrack;
  QSpinBox *seReadOffset;
  QPushButton *btDetectOffset;
  QComboBox *cbTitleSources; // the TitleSources setting, in its order
  QPushButton *btOk;
  QPushButton *btCancel;

  // The drive position and the CDDb and SecureRip settings when the window was filled.
  int OldCDIndex = 0;
  bool OldCDDb = false;
  bool OldSecureRip = false;

protected:
  void showEvent(QShowEvent *event) override;

private:
  QWidget *OutputPage();
  QWidget *Mp3Page();
  QWidget *OggPage();
  QWidget *WmaPage();
  QWidget *Id3Page();
  QWidget *CDRomPage();
  QWidget *FlacOpusPage();
  // Shows a refusal with the error icon and puts the focus into the control at fault when
  // its page is the one shown.
  void Refuse(const std::string &text, QWidget *control);
  // Keeps the offset shown for the drive it was shown for.
  void KeepDriveOffset();
  bool ReadCheckedEntries(std::string &folder, int &ripTime, int (&bitRates)[2]);
  void StoreFormatOptions(const std::string &folder, int ripTime, const int (&bitRates)[2]);

  TOptionSetHost FHost;
  std::map<std::string, int32_t> FReadOffsets; // as edited, by drive key
  std::string FOffsetDrive;                    // the key of the drive whose offset is shown
};

// Opens the options window modally over parent, placed 50 pixels right of and below its
// top-left corner.
void ShowOptionSet(TOptionSetHost host, QWidget *parent);
