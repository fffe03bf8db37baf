#include "CDRip.h"

#include "AuCDROM.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "AudioDisc.h"
#include "DeemphasizeWav.h"
#include "Dialogs.h"
#include "FileShare.h"
#include "Folders.h"
#include "Global.h"
#include "Mp3EncodeThread.h"
#include "MusicBrainz.h"
#include "ParanoiaMode.h"
#include "PartFile.h"
#include "RipLog.h"
#include "TrackId3Tag.h"
#include "WMAEncodeThread.h"
#include "ripthread.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string OutputFolder() { return plat::IncludeTrailingSlash(GlobalOptions.OutputFolder); }

int64_t FileSize(const std::string &name) {
  std::error_code ec;
  const auto size = fs::file_size(name, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

void PostJobInfo(TWindowHandle window, int32_t code, int32_t subCode) {
  plat::PostMessage(window, WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(TProcessInfo{code, "", "", subCode}));
}

QLabel *NamedLabel(const char *name, const QString &text, QWidget *parent) {
  auto *label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

} // namespace

TfrmCDRip::TfrmCDRip(QWidget *owner, TCDIn &cdIn, const std::vector<std::string> &entries,
                     TMp3EncodeProcess &mp3, TWMAEncodeProcess &wma)
    : QDialog(owner), FCDIn(cdIn), FMp3(mp3), FWma(wma),
      JobList(std::make_unique<std::vector<std::string>>(entries)),
      FItemCount(static_cast<int>(entries.size())), FFormat(RipOutput()),
      FFileTitles(entries.size()) {
  CreateWidgets();
  LayOutWidgets();
  CreateComponents();
  StartJob(entries);
}

// The window's widgets, each named for the tests.
void TfrmCDRip::CreateWidgets() {
  setObjectName("frmCDRip");
  setModal(true);
  setWindowTitle(product::Name);
  lCurrentTrack = NamedLabel("lCurrentTrack", "", this);
  lOutputFormat = NamedLabel("lOutputFormat", QString::fromStdString(GetFormatName()), this);
  lSelectedTracks = NamedLabel("lSelectedTracks", QString::number(FItemCount), this);
  lCompleted = NamedLabel("lCompleted", "0", this);
  lProgressHint = NamedLabel("lProgressHint", "", this);
  lProgressHint->setWordWrap(true); // the summary at the end is long
  ProgressBar2 = new QProgressBar(this);
  ProgressBar2->setObjectName("ProgressBar2");
  ProgressBar2->setRange(0, 100);
  ProgressBar2->setValue(0);
  bStop = new QPushButton("Stop", this);
  bStop->setObjectName("bStop");
  bOpenLog = new QPushButton("Open log", this);
  bOpenLog->setObjectName("bOpenLog");
  bOpenLog->setVisible(false);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
}

// The captions beside their values, the hint, the bar and the buttons below, and what they do.
void TfrmCDRip::LayOutWidgets() {
  auto *grid = new QGridLayout;
  const std::pair<const char *, const char *> captions[] = {{"Label1", "Current track:"},
                                                            {"Label2", "Output format:"},
                                                            {"Label3", "Selected tracks:"},
                                                            {"Label4", "Completed:"}};
  QLabel *values[] = {lCurrentTrack, lOutputFormat, lSelectedTracks, lCompleted};
  for (int row = 0; row < 4; ++row) {
    grid->addWidget(NamedLabel(captions[row].first, captions[row].second, this), row, 0);
    grid->addWidget(values[row], row, 1);
  }
  auto *layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addWidget(lProgressHint);
  layout->addWidget(ProgressBar2);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(bOpenLog);
  buttons->addWidget(bStop);
  layout->addLayout(buttons);
  setMinimumWidth(380);
  connect(bStop, &QPushButton::clicked, this, [this] { bStopClick(); });
  connect(bOpenLog, &QPushButton::clicked, this, [this] { plat::ShellOpen(FJobLog.Path); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

// The CD's WAV writer and the encode step that reads its file.
void TfrmCDRip::CreateComponents() {
  WaveIn1 = std::make_unique<TWaveIn>();
  WaveIn1->SetName("WaveIn1");
  WaveOut1 = std::make_unique<TWaveOut>();
  WaveOut1->SetName("WaveOut1");
  WaveOut1->SetInput(&FCDIn);
  WaveOut1->SetWavType(wtPCM);
  WaveOut1->SetBlockSize(512);
  WaveOut1->SetCreateNonMsHeaders(false);
  WaveOut1->SetFileMode(foRewrite);
  WaveOut1->OnProgress = [this](TComponent *) { WaveOut1Progress(); };
  WaveOut1->OnDone = [this](TComponent *) { WaveOut1Done(); };
  Encode = std::make_unique<TEncodeStep>(
      Handle(), *WaveIn1, FMp3, FWma, [this] { VorbisOut1Progress(); },
      [this] { VorbisOut1Done(); });
}

// Starts ripping the first entry, with the log naming the drive and the disc; without entries
// the window ends at once.
void TfrmCDRip::StartJob(const std::vector<std::string> &entries) {
  FCDIn.Reset();
  FCDIn.LockTray = true;
  if (Count() > 0) {
    // Asked first: the drive's name may switch jitter correction on.
    FCDIn.DriveName();
    // The drive as the raw rip's log names it.
    FJobLog.Log = NewRipLog(
        entries,
        "Secure, " + cd::ParanoiaModeName(cd::ParanoiaModeOf(FCDIn.EnableJitterCorrection,
                                                             FCDIn.Paranoid, FCDIn.ParanoiaMode)),
        cd::DriveTextAt(FCDIn.CurrentDrive()));
    FJobLog.Log->ReadOffset = FCDIn.ReadOffset;
    FJobLog.Log->Toc = FCDIn.VerificationToc();
    if (TToc toc{}; cd::ReadDriveToc(FCDIn.CurrentDrive(), toc))
      FJobLog.Log->MusicBrainzId = mb::DiscId(mb::TocOf(toc));
    TDiscCodes codes;
    cd::ReadDriveCodes(FCDIn.CurrentDrive(), codes);
    UseDiscCodes(*FJobLog.Log, codes);
    ShowStep("Extracting...");
    lCurrentTrack->setText(QString::fromStdString(Title(0)));
    StartTrack(0);
  } else {
    FinishJob();
    CloseLater();
  }
}

TfrmCDRip::~TfrmCDRip() { FinishJob(); }

std::string TfrmCDRip::Title(int k) const { return TitleOfEntry((*JobList)[k]); }

std::string TfrmCDRip::FilePath(int k, const char *extension) const {
  return OutputFolder() + FFileTitles[k] + extension;
}

void TfrmCDRip::ShowError(const std::string &text) { ShowJobError(text); }

void TfrmCDRip::ShowStep(const std::string &hint) {
  lProgressHint->setText(QString::fromStdString(hint));
  ProgressBar2->setToolTip(
      QString::fromStdString(hint == "Extracting..." ? "Initializing..." : hint));
  ProgressBar2->setValue(0);
}

bool TfrmCDRip::AllSucceeded() const { return static_cast<int>(FFinished.size()) == FItemCount; }

void TfrmCDRip::FileFinished(const std::string &file) {
  FFinished.push_back(file);
  if (OnFileFinished)
    OnFileFinished(file);
}

// Ripping
// ------------------------------------------------------------------------------------

void TfrmCDRip::StartTrack(int k) {
  std::vector<std::string> extensions{".wav"};
  if (const char *encoded = EncodedExtension(FFormat))
    extensions.push_back(encoded);
  FFileTitles[k] = FNames.Take(OutputFolder(), Title(k), extensions);
  const int track = TrackPosition(k);
  FPart = std::make_unique<plat::TPartFile>(FilePath(k, ".wav"));
  if (IsDataTrack(track) || !FPart->Claimed()) {
    const int32_t result = IsDataTrack(track) ? ripDataTrack
                           : FPart->InUse()   ? ripFileInUse
                                              : ripCannotCreate;
    FPart.reset();
    if (OutputFolderGone())
      return;
    FJobLog.Log->Tracks[k].ReadResult = ReadResultText(result);
    ShowError(RipFailureText(FilePath(k, ".wav"), result));
    PostJobInfo(Handle(), JobRipEnded, result);
    return;
  }
  try {
    FCDIn.SetStartTrack(track);
    FCDIn.SetEndTrack(track);
    WaveOut1->SetFileName(FPart->PartName());
    CurrentOutput = WaveOut1.get();
    WaveOut1->Run();
  } catch (const std::exception &e) {
    FPart.reset();
    FJobLog.Log->Tracks[k].ReadResult = std::string("Read failed: ") + e.what();
    ShowError(e.what());
    PostJobInfo(Handle(), JobRipEnded, ripReadFailed);
  }
}

void TfrmCDRip::WaveOut1Progress() { PostJobInfo(Handle(), WaveOut1->Progress(), 0); }

void TfrmCDRip::WaveOut1Done() {
  if (!JobList || !FPart)
    return;
  PostJobInfo(Handle(), JobRipEnded, KeepRip(RipCount) ? ripDone : ripReadFailed);
}

int TfrmCDRip::TrackPosition(int k) { return TrackOfEntry((*JobList)[k]) - FCDIn.FirstTrack() + 1; }

bool TfrmCDRip::IsDataTrack(int position) {
  try {
    return FCDIn.GetTrackInfo(position).TrackType == 1;
  } catch (const std::exception &) {
    return false; // no such track: the rip says why
  }
}

bool TfrmCDRip::RipComplete(int k) {
  int64_t expected = 0;
  try {
    const TCDTrackInfo length = FCDIn.GetTrackInfo(TrackPosition(k));
    expected = (length.Minute * 4500 + length.Second * 75 + length.Frame) * int64_t{CDSectorSize};
  } catch (const std::exception &) {
    return false; // the disc is gone or changed: what was read cannot be checked
  }
  // The WAV output fills a read that ended early with silence up to the size the input announced,
  // so only the bytes the CD input delivered tell whether the whole track came.
  if (FCDIn.Position() != expected)
    return false;
  // That size is one sector more than the track: the WAV ends where the track does.
  const std::string part = FPart->PartName();
  std::error_code ec;
  if (FileSize(part) < WavHeaderSize + expected)
    return false;
  fs::resize_file(part, WavHeaderSize + expected, ec);
  const auto header = CDWavHeader(static_cast<uint32_t>(expected));
  std::fstream file(part, std::ios::in | std::ios::out | std::ios::binary);
  file.write(reinterpret_cast<const char *>(header.data()), header.size());
  return !ec && file.good();
}

bool TfrmCDRip::OutputFolderGone() {
  return ::OutputFolderGone([this](const std::string &message) {
    ShowError(message);
    FinishJob();
    CloseLater();
  });
}

bool TfrmCDRip::KeepRip(int k) {
  if (OutputFolderGone())
    return false;
  const std::string wav = FilePath(k, ".wav");
  const std::string failure = WaveOut1->ExceptionMessage();
  TRipLogTrack &logged = FJobLog.Log->Tracks[k];
  logged.Sums = FCDIn.TrackSums();
  logged.EncoderResult = "Not encoded";
  if (!failure.empty() || !RipComplete(k)) {
    logged.ReadResult = "Read failed" + (failure.empty() ? "" : ": " + failure);
    FPart.reset();
    ShowError(wav + " could not be ripped in full" + (failure.empty() ? "" : ": " + failure) +
              ". Please check the disc and the drive and extract the track again.");
    return false;
  }
  // Sectors paranoia could not correct: the audio is kept for the user to judge, but the track is
  // not taken as ripped (no encoding, not counted as made).
  // Read in full: whether it came right is what the verification tells.
  logged.Whole = true;
  const int32_t jitter = FCDIn.JitterErrors(), uncorrected = FCDIn.UncorrectedSectors();
  // Without jitter correction nothing is checked: no count of errors can be claimed.
  logged.ReadResult = FCDIn.EnableJitterCorrection
                          ? "Read in full, " + std::to_string(jitter) +
                                " jitter errors corrected, " + std::to_string(uncorrected) +
                                " sectors not corrected"
                          : ReadResultText(ripDone);
  if (uncorrected > 0) {
    FPart->Complete();
    FPart.reset();
    ShowError(wav + " holds " + std::to_string(uncorrected) +
              " sectors that could not be read right even after retries; it is kept as read. "
              "Please clean the disc and extract the track again.");
    return false;
  }
  // Only a whole track is filtered and scaled; one that cannot be is kept as it was read.
  if (GlobalOptions.Deemphasis && logged.PreEmphasis && !DeemphasizeWav(FPart->PartName()))
    ShowError(wav + " could not be de-emphasised; it is kept as it was read.");
  if (GlobalOptions.IsNormalize &&
      !TCDRipThread::ScaleVolume(FPart->PartName(), GlobalOptions.NormalizePercent, 0))
    ShowError(wav + " could not be normalized; it is kept as it was read.");
  const bool kept = FPart->Complete();
  FPart.reset();
  if (!kept)
    ShowError(CannotMakeText(wav));
  else
    logged.EncoderResult.clear();
  return kept;
}

void TfrmCDRip::RipEnded() {
  RipCount += 1;
  const int k = RipCount - 1;
  if (OutputFormatOf(FFormat).Encoder == TEncoderKind::None) {
    FJobLog.Log->Tracks[k].Ended = true;
    FJobLog.Log->Tracks[k].File = FilePath(k, ".wav");
    FileFinished(FilePath(k, ".wav"));
    NextTrack();
  } else {
    StartEncoding(k);
  }
}

// Encoding
// -----------------------------------------------------------------------------------

void TfrmCDRip::StartEncoding(int k) {
  ShowStep("Encoding...");
  const std::string wav = FilePath(k, ".wav");
  const std::string output = FilePath(k, EncodedExtension(FFormat));
  const TEncoderKind encoder = OutputFormatOf(FFormat).Encoder;
  if (encoder == TEncoderKind::Mp3Process) {
    Encode->StartProcess(FMp3, wav, output, true, 1);
  } else if (encoder == TEncoderKind::WmaProcess) {
    WmaStart = Clock::now();
    WmaInputSize = FileSize(wav);
    Timer1->start();
    Encode->StartProcess(FWma, wav, output, true, 1);
  } else {
    WaveIn1->SetFileName(wav);
    const TTrackTags tags{GlobalOptions.UseID3, Title(k), TrackOfEntry((*JobList)[k]),
                          FCDIn.TracksCount()};
    if (TAuFileOut *running = Encode->StartPipeline(FFormat, tags, output, JobMp3Ended))
      CurrentOutput = running;
  }
}

void TfrmCDRip::VorbisOut1Progress() {
  if (CurrentOutput)
    PostJobInfo(Handle(), CurrentOutput->Progress(), 0);
}

// Every encoding of this window ends with 2000, the pipeline's as the MP3 process's.
void TfrmCDRip::VorbisOut1Done() {
  if (!JobList || !Encode->PipelineHeld())
    return;
  const std::string failure = Encode->PipelineFailure();
  if (!failure.empty())
    ShowError(failure);
  PostJobInfo(Handle(), JobMp3Ended, failure.empty() ? encodeMade : encodeSkipped);
}

bool TfrmCDRip::KeepEncoding(int k) {
  switch (OutputFormatOf(FFormat).Encoder) {
  case TEncoderKind::Mp3Process:
    // Tagged whatever "Use ID3 tag" says, while still a part file: under its final name the MP3
    // never lacks its tag.
    WriteTrackId3Tag(Title(k), TrackOfEntry((*JobList)[k]), FMp3.WrittenFile());
    return FMp3.Complete();
  case TEncoderKind::WmaProcess: return FWma.Complete();
  default: return Encode->CompletePipeline();
  }
}

void TfrmCDRip::EncodingEnded(const TProcessInfo &info) {
  Timer1->stop();
  if (OutputFolderGone())
    return;
  const int k = RipCount - 1;
  const std::string wav = FilePath(k, ".wav");
  const std::string encoded = FilePath(k, EncodedExtension(FFormat));
  const bool made = info.SubCode == encodeMade && KeepEncoding(k);
  FJobLog.Log->Tracks[k].Ended = true;
  FJobLog.Log->Tracks[k].File = made ? encoded : "";
  FJobLog.Log->Tracks[k].EncoderResult = made ? "OK" : "Failed: no file was made";
  if (made) {
    FileFinished(encoded);
    std::error_code ec;
    if (!GlobalOptions.IsKeepWav && fs::exists(wav, ec) && !plat::FileInUse(wav))
      fs::remove(wav, ec);
  } else {
    ShowError(encoded + " could not be made. The ripped track is kept in " + wav + ".");
  }
  if (JobList) // whoever was told of the file may have stopped the job
    NextTrack();
}

void TfrmCDRip::NextTrack() {
  lCompleted->setText(QString::number(RipCount));
  if (RipCount == Count()) {
    JobDone();
    return;
  }
  ShowStep("Extracting...");
  lCurrentTrack->setText(QString::fromStdString(Title(RipCount)));
  StartTrack(RipCount);
}

void TfrmCDRip::JobDone() {
  ShowStep(GetLanString("RES_Verifying", "Verifying the rip with AccurateRip..."));
  FVerified = VerifyLater(*FJobLog.Log, GlobalOptions.AccurateRipUrl, Handle());
}

void TfrmCDRip::Verified() {
  *FJobLog.Log = *FVerified;
  FJobLog.Write(OnLogWritten);
  FinishJob();
  const QString outcome = QString::fromStdString(FJobLog.Log->Outcome(GetLanString));
  setWindowTitle(QString::fromStdString(GetLanString("RES_Job_Done", "Done")));
  lProgressHint->setText(outcome);
  lProgressHint->setToolTip(outcome);
  ProgressBar2->setValue(100);
  ProgressBar2->setToolTip(outcome);
  if (!StayAtEnd) {
    CloseLater();
    return;
  }
  bOpenLog->setVisible(!FJobLog.Path.empty());
  bStop->setText(QString::fromStdString(GetLanString("RES_Close", "Close")));
}

// Messages
// -----------------------------------------------------------------------------------

void TfrmCDRip::WndProc(TMessage &message) {
  if (message.Msg == WM_JOBINFO)
    if (const TProcessInfo *info = message.PayloadAs<TProcessInfo>())
      JobInfo(*info);
}

void TfrmCDRip::JobInfo(const TProcessInfo &info) {
  // News of a step that ran on while the job was ending changes nothing.
  if (!JobList)
    return;
  switch (info.Code) {
  case JobRipEnded:
    if (info.SubCode == ripDone) {
      RipEnded();
    } else {
      FJobLog.Log->Tracks[RipCount].Ended = true;
      RipCount += 1;
      NextTrack();
    }
    break;
  case JobMp3Ended:
  case JobWmaEnded: EncodingEnded(info); break;
  case JobVerified: Verified(); break;
  default:
    if (info.Code >= 1 && info.Code <= 100)
      ProgressBar2->setValue(info.Code);
    break;
  }
}

void TfrmCDRip::Timer1Timer() {
  const auto elapsed = static_cast<int64_t>(
      std::nearbyint(std::chrono::duration<double>(Clock::now() - WmaStart).count()));
  if (!FWma.Busy)
    return;
  std::optional<int64_t> total =
      WmaTotalSeconds(WmaInputSize, FileSize(FWma.WrittenFile()), elapsed, WmaProfileSetting());
  if (!total)
    return;
  *total = std::max(*total, elapsed + 1);
  ProgressBar2->setToolTip(QString::fromStdString(MinutesSeconds(static_cast<int>(*total))));
  const auto percent = static_cast<int>(std::nearbyint(elapsed * 100.0 / *total));
  ProgressBar2->setValue(std::max(ProgressBar2->value(), percent));
}

// Ending
// -------------------------------------------------------------------------------------

void TfrmCDRip::FinishJob() {
  if (!JobList)
    return;
  JobList.reset();
  Timer1->stop();
  FCDIn.Abort(); // a read never makes the stop wait for the drive's retries
  if (WaveOut1->Busy()) {
    WaveOut1->Pause();
    WaveOut1->Stop(false);
  }
  FPart.reset(); // what the stopped rip wrote goes
  Encode->Stop();
  WaveIn1->SetFileName("");
}

void TfrmCDRip::StopJob() {
  FJobLog.Stop(
      JobList != nullptr, [this] { FinishJob(); }, OnLogWritten);
}

void TfrmCDRip::bStopClick() {
  StopJob();
  close();
}

void TfrmCDRip::CloseLater() {
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TfrmCDRip::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  // The job may have ended while the window was being created.
  if (!JobList)
    CloseLater();
}

void TfrmCDRip::done(int result) {
  StopJob();
  QDialog::done(result);
}
