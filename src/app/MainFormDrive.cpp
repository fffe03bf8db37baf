// The main window's drive: opening it through the drive library or reading it in CD-input mode,
// listing the table of contents of its disc, following disc changes and changing drives.
#include "MainForm.h"

#include "ApplyLanguage.h"
#include "AuCDROM.h"
#include "AudioDisc.h"
#include "CDDBInfo.h"
#include "DiscInfo.h"
#include "Global.h"
#include "Language.h"
#include "MainFormShared.h"
#include "Mci.h"
#include "NoDeviceHint.h"
#include "TrackList.h"
#include "akrip32.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>

using namespace mainform;

namespace {

std::string NotFoundCDRom() { return GetLanString("RES_NotFound_CDRom", "No CD devices found!"); }

} // namespace

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

int32_t TMainForm::DriveReadOffset(int drive) const {
  return RunReadOffset ? *RunReadOffset : StoredReadOffset(cd::DriveKey(drive));
}

void TMainForm::ApplyReadOffset() {
  if (CDInputMode())
    CDIn1->ReadOffset = DriveReadOffset(CDIn1->CurrentDrive());
  else
    ModifyCDParms(CDHandle, CDParmReadOffset, DriveReadOffset(FOpenDrive));
}
