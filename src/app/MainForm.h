#pragma once
// The main window: the CD drive, the track list of its disc, the disc information cache and
// the commands that start every other window and job. The logic lives in the public methods
// below, which the command line and the tests drive directly; the widgets are their view.
#include "Messages.h"
#include <QKeySequence>

#include <QMainWindow>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TCDDBInfo;
class TCDIn;
class TMp3EncodeProcess;
class TRipForm;
class TfrmCDRip;
class TWMAEncodeProcess;
struct TCddbLookup;
struct TDiscText;
namespace mb {
struct TLookup;
struct TRelease;
} // namespace mb
struct TToc;
struct TTrackLength;

class TMainForm;

// Receives the media device's notifications for the main window.
class TMciNotifyWindow : public TMessageWindow {
public:
  explicit TMciNotifyWindow(TMainForm &form) : FForm(form) {}
  void WndProc(TMessage &message) override;

private:
  TMainForm &FForm;
};

class TMainForm : public QMainWindow {
  Q_OBJECT

public:
  // FormCreate: loads the settings and builds the window.
  explicit TMainForm(QWidget *parent = nullptr);
  ~TMainForm() override;

  // Start-up and the track list.
  // The last imageCount drives of the list are the disc images named on the command line:
  // while no drive has been chosen in the options, the first of them is the one FormShow opens,
  // for this run only: the saved choice stays as it was.
  void PreferImages(std::size_t imageCount);
  // Opens the drive through the drive library, or enters CD-input mode when it gives no handle
  // or the secure rip is asked for.
  void FormShow();
  // In CD-input mode lists the disc of the chosen drive (the list stays as it is while it
  // shows that disc, so titles edited in it survive); otherwise the no-device hint, once.
  void FormActivate();
  int32_t OpenCDDrive(int index);
  // Whether the drive the window opened holds a disc with an audio track.
  bool IsAudioCDPresent();
  void LoadTracksFromTOC();
  // CD-input mode: the list from the CD input's drive, titles from the disc cache.
  void LoadTracksFromCDIn();
  bool CDInputMode() const { return CDIn1 != nullptr; }
  void bRefreshClick();
  // What a media change seen by the poll does: a new disc refreshes, a removed one clears. In
  // CD-input mode a disc other than the one listed counts as a change.
  void CheckMediaChange();

  // Commands.
  void ActionExtractExecute();
  void ActionSelectAllExecute();
  void ActionNoSelectExecute();
  void ActionExitExecute();
  void Openoutputdirectory1Click();
  void mnuHelpClick();
  void HomePageClick();
  void EjectCDClick();
  void CloseCDClick();
  void aID3EditExecute();
  // The options window; a drive chosen there is opened at once and its disc listed.
  void ActionOptionSetExecute();
  // Edits the title of the selected row in the title editor.
  void aEditTrackNameExecute();
  void ListView1DblClick();
  // Opens the drive at this position of the drive list in place of the open one and lists its
  // disc; the titles of the disc listed before are kept in the cache first. The choice
  // replaces a drive chosen for this run only. The secure rip, or a drive the drive library
  // cannot open, reads it in CD-input mode.
  void ChangeDrive(int drive);
  // Reads the table of contents and opens the CDDB query window on the open drive; in CD-input
  // mode looks the disc up through CDDBInfo1 and says so when nothing was found.
  void aQueryCDDBExecute();
  // The lookup of CD-input mode, blocking with the window kept painted; the list is not touched.
  TCddbLookup LookUpCDIn();
  // Writes what a lookup found into the list's titles (TTITLE0 is the first row, whatever its
  // track number) and the disc information; a field the entry leaves empty keeps its value.
  // source: where the titles came from, as the rip log names it.
  void ApplyCddbLookup(const TCddbLookup &lookup, const char *source = "freedb");
  // Looks the listed disc up on MusicBrainz; one release is taken as it is, of several the
  // user chooses one in the release window; a disc not found or a failed lookup is said and
  // changes nothing.
  void aQueryMusicBrainzExecute();
  // The MusicBrainz lookup of the listed disc at the service's base URL, blocking with the
  // window kept painted; the list is not touched.
  mb::TLookup LookUpMusicBrainz(const std::string &baseUrl);
  // Writes a release's titles, album, artist, year and track artists into the list and the
  // disc information as a CDDB lookup does.
  void ApplyRelease(const mb::TRelease &release);
  // The wave file converter, modally.
  void miWAVtoWAVClick();
  // The Ogg player, modally; whatever fails while it runs is ignored.
  void OGGPlayer1Click();
  void ActionRecordExecute();
  // File conversions in the job window: MP3 files to WAV, WAV files to WMA.
  void ActionWavToMp3Execute();
  void mnuMp3ToWavClick();
  void miWAVtoOGGClick();
  void miWAVtoWMAClick();
  // The AccurateRip verification of one disc's rips, chosen in an open dialog.
  void miVerifyFilesClick();
  void miEnglishClick(QAction *item);
  // CD playback of the selected row's track, and the end of its range.
  void aPlayExecute();
  void aPauseExecute();
  void aStopExecute();
  void MediaPlayer1Notify(unsigned how);
  // The desktop's mixer.
  void VolumeControlMenuClick();
  // The media players' recent-file lists in the registry stand-in.
  void miRealOnePlayerClick();
  void miWindowsMediaPlayerClick();
  static std::string RegistryFile();
  void ListView1Click(bool ctrlHeld);
  bool CheckOutputFolder();
  // The enabled rules of the actions.
  void UpdateActions();

  // Closing: FormClose saves the disc information and the settings and closes the drive.
  bool FormCloseQuery();
  void FormClose();

  // The track list, row by row from 0.
  int RowCount() const;
  std::string RowText(int row, int column) const; // 0 No., 1 Title, 2 Length, 3 Size
  std::string RowTitle(int row) const { return RowText(row, 1); }
  // Also the disc information's title of the row's track, with where it came from.
  void SetRowTitle(int row, const std::string &title, const char *source = "typed");
  bool RowChecked(int row) const;
  void SetRowChecked(int row, bool checked);
  void ClearTrackList();

  std::string StatusText() const;
  void SetStatus(const std::string &text);

  // The language menu's items, in menu order (the separator left out).
  const std::vector<QAction *> &LanguageItems() const { return FLanguageItems; }

  int32_t CDHandle = 0; // 0: no drive opened
  std::string DriveDescription;
  std::string SavedStatus;
  bool NoAudioCD = false;
  bool Playing = false;
  bool Paused = false;
  // The encoder processes every job of the run shares.
  std::unique_ptr<TMp3EncodeProcess> Mp3Encoder;
  std::unique_ptr<TWMAEncodeProcess> WmaEncoder;
  // Called with each job window just before it is shown (the command line's batch run
  // watches the job through it); the same for the pipeline rip window of CD-input mode.
  std::function<void(TRipForm &)> OnJobWindow;
  std::function<void(TfrmCDRip &)> OnCDRipWindow;
  // Whether a rip window stays open at its end with the rip's summary and its log (a person
  // is watching), or closes by itself.
  bool RipSummaryStays = false;
  // --secure: CD-input mode for this run, whatever the setting says; never saved. Set before
  // FormShow.
  bool SecureRun = false;
  // --offset: the read offset of this run, whatever the drive; never saved.
  std::optional<int32_t> RunReadOffset;
  // CD-input mode's CD input and CDDB component; none in drive-library mode.
  std::unique_ptr<TCDIn> CDIn1;
  std::unique_ptr<TCDDBInfo> CDDBInfo1;

  QTreeWidget *ListView1 = nullptr;
  QLabel *StatusPanel1 = nullptr;
  QToolBar *ToolBar1 = nullptr;
  QMenu *PopupMenu1 = nullptr;
  QAction *ActionExtract = nullptr;
  QAction *ActionSelectAll = nullptr;
  QAction *ActionNoSelect = nullptr;
  QAction *ActionExit = nullptr;
  QAction *aID3Edit = nullptr;
  QAction *ActionWavToMp3 = nullptr;
  QAction *ActionRecord = nullptr;
  QAction *aPlay = nullptr;
  QAction *aPause = nullptr;
  QAction *aStop = nullptr;
  QAction *ActionOptionSet = nullptr;
  QAction *aEditTrackName = nullptr;
  QAction *aQueryCDDB = nullptr;
  QAction *aQueryMusicBrainz = nullptr;

protected:
  // Extract's last step: runs the job entries (track position as two digits, then the file
  // title) in the job window.
  virtual void RunJobs(const std::vector<std::string> &entries);

  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void changeEvent(QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  QAction *MakeAction(const char *name, const QString &caption, const QString &hint,
                      const QKeySequence &shortcut, void (TMainForm::*handler)());
  void CreateActions();
  void CreatePlaybackActions();
  void UpdatePlaybackActions();
  QMenu *AddMenu(const char *name, const QString &caption);
  // The menu bar's menus, in their order, and the list's pop-up menu.
  void CreateMenus();
  void CreateFileMenu();
  void CreateActionsMenu();
  void CreateLanguageMenu();
  void CreateToolBar();
  QAction *AddItem(QMenu *menu, const char *name, const QString &caption,
                   void (TMainForm::*handler)(), const QKeySequence &shortcut = {});
  QToolButton *AddToolButton(const char *name, const QString &caption, int icon,
                             void (TMainForm::*handler)());
  void CheckLanguageItem(const std::string &lan);
  // A checked row with the track's title from the disc information ("TrackNN" when it has
  // none), its length and its size.
  // control: the control nibble of the track's TOC entry (its pre-emphasis is marked).
  void AddRow(int track, const TTrackLength &length, uint8_t control);
  void ArrangeControls();
  int CheckedCount() const;
  // Gives the open drive back; false when the library refuses the handle.
  bool CloseDrive();
  // CD-input mode is asked for: by the setting or for this run.
  bool SecureWanted() const;
  void EnterCDInputMode();
  void LeaveCDInputMode();
  // The drive of the CD input as activation chooses it: the drive of the run or of the
  // settings, else the first.
  void SelectCDInDrive();
  // Makes the drive at index of the list the CD input's (ignored out of range) and the one
  // played.
  void UseCDInDrive(int index);
  // The CD input's drive holds a disc with an audio track.
  bool CDInAudioPresent();
  // The cache identifier of the disc in the CD input's drive; "" when it cannot be read.
  std::string CDInDiscID();
  // Lists the disc of the CD input's drive, or says there is no audio CD.
  void ListCDInDisc();
  // Lists the disc of the CD input's drive again unless the list shows it already.
  void FollowCDInDisc();
  // The names of the CD input's drives; the current drive stays as it was.
  std::vector<std::string> CDInDriveNames();
  // A disc the cache does not hold takes its titles, album and performers from its CD-Text.
  void TakeDiscText(const TDiscText &text);
  // The table of contents of the listed disc; false when it cannot be read.
  bool ReadListedToc(TToc &toc);
  // Puts the list's titles into DiscInfo, where the rips' tags take them from.
  void StoreListTitles();
  // Stores the list's titles and saves them under the listed disc's identifier.
  // False when the changed cache could not be written.
  bool SaveListInfo();
  // The read offset the drive at this position of the drive list reads with: the run's, else
  // the one stored for the drive.
  int32_t DriveReadOffset(int drive) const;
  // Has the open drive (either CD access mode) read with its read offset.
  void ApplyReadOffset();
  // Shows the job window over items, modally.
  void RunJobWindow(int mode, int32_t cdHandle, const std::vector<std::string> &items);
  // Asks for files with the filter and converts them in the job window's mode.
  void ConvertFiles(int mode, const std::string &filter);

  std::vector<QAction *> FLanguageItems;
  QToolButton *FExtractButton = nullptr;
  QTimer *FMediaPoll = nullptr;
  // The identifier of the disc whose tracks the list shows; its titles are saved under it.
  std::string FListDiscID;
  // The drive PreferImages chose for this run, in CD-input mode also the one chosen since;
  // -1: the one chosen in the options.
  int FRunCDIndex = -1;
  // The position in the drive list of the drive CDHandle belongs to.
  int FOpenDrive = 0;
  bool FNoDeviceHintShown = false;
  bool FShown = false;
  bool FClosed = false;
  std::unique_ptr<TMciNotifyWindow> FMciNotify;
};
