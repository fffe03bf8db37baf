#include "rip.h"

#include "ApplyLanguage.h"
#include "AuConverters.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "AudioDisc.h"
#include "Dialogs.h"
#include "FileShare.h"
#include "Folders.h"
#include "Global.h"
#include "Id3Tag.h"
#include "Language.h"
#include "Mp3EncodeThread.h"
#include "MusicBrainz.h"
#include "RipFormats.h"
#include "RipLog.h"
#include "Text.h"
#include "TrackId3Tag.h"
#include "WMAEncodeThread.h"
#include "ripthread.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string OutputFolder() { return plat::IncludeTrailingSlash(GlobalOptions.OutputFolder); }

int64_t FileSize(const std::string &name) {
  std::error_code ec;
  const auto size = fs::file_size(name, ec);
  return ec ? -1 : static_cast<int64_t>(size);
}

// Device and inode of a file; zeros when it cannot be read.
std::pair<std::uint64_t, std::uint64_t> FileId(const std::string &name) {
  struct stat st {};
  if (stat(name.c_str(), &st) != 0)
    return {0, 0};
  return {st.st_dev, st.st_ino};
}

std::string WithExtension(const std::string &name, const char *extension) {
  return fs::path(name).replace_extension(extension).string();
}

} // namespace

TRipForm::TRipForm(QWidget *owner, int mode, int32_t cdHandle,
                   const std::vector<std::string> &items, TMp3EncodeProcess &mp3,
                   TWMAEncodeProcess &wma)
    : QDialog(owner), Mode(mode), CDHandle(cdHandle), FMp3(mp3), FWma(wma),
      JobList(std::make_unique<std::vector<std::string>>(items)), FEncoded(items.size()),
      FFileTitles(items.size()), FWavIds(items.size()), FItemCount(static_cast<int>(items.size())) {
  CreateWidgets();
  CreatePipeline();
  StartJob();
  Label1->clear();
  Label2->clear();
  FlatGauge1->setTextVisible(false);
}

// The window's widgets, each named for the tests, laid out, and what the buttons do.
void TRipForm::CreateWidgets() {
  setObjectName("RipForm");
  setModal(true);
  GroupBox1 = new QGroupBox("Extracting", this);
  GroupBox1->setObjectName("GroupBox1");
  Label3 = new QLabel("Initializing...", GroupBox1);
  Label3->setObjectName("Label3");
  Label3->setWordWrap(true); // the summary at the end is long
  FlatGauge1 = new QProgressBar(GroupBox1);
  FlatGauge1->setObjectName("FlatGauge1");
  FlatGauge1->setRange(0, 100);
  FlatGauge1->setValue(0);
  auto *elapsedCaption = new QLabel("Elapsed time:", GroupBox1);
  elapsedCaption->setObjectName("lElapsed");
  auto *estimatedCaption = new QLabel("Estimated time:", GroupBox1);
  estimatedCaption->setObjectName("lEstimated");
  Label1 = new QLabel(GroupBox1);
  Label1->setObjectName("Label1");
  Label2 = new QLabel(GroupBox1);
  Label2->setObjectName("Label2");
  btStop = new QPushButton("Stop", this);
  btStop->setObjectName("btStop");
  btOpenLog = new QPushButton("Open log", this);
  btOpenLog->setObjectName("btOpenLog");
  btOpenLog->setVisible(false);
  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);

  auto *grid = new QGridLayout(GroupBox1);
  grid->addWidget(Label3, 0, 0, 1, 2);
  grid->addWidget(FlatGauge1, 1, 0, 1, 2);
  grid->addWidget(elapsedCaption, 2, 0);
  grid->addWidget(Label1, 2, 1);
  grid->addWidget(estimatedCaption, 3, 0);
  grid->addWidget(Label2, 3, 1);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(GroupBox1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btOpenLog);
  buttons->addWidget(btStop);
  layout->addLayout(buttons);
  setMinimumWidth(420);

  connect(btStop, &QPushButton::clicked, this, [this] { btStopClick(); });
  connect(btOpenLog, &QPushButton::clicked, this, [this] { plat::ShellOpen(FJobLog.Path); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

// Starts the job's first entry as its mode asks; without entries the window ends at once.
void TRipForm::StartJob() {
  if (Count() > 0) {
    if (Mode == jmCDRip) {
      FJobLog.Log =
          NewRipLog(*JobList, "Raw, without error correction", cd::HandleDriveText(CDHandle));
      FJobLog.Log->ReadOffset = GetCDReadOffset(CDHandle);
      TToc toc{};
      if (cd::ReadHandleToc(CDHandle, toc)) {
        FJobLog.Log->Toc = cd::VerificationToc(toc);
        FJobLog.Log->MusicBrainzId = mb::DiscId(mb::TocOf(toc));
      }
      TDiscCodes codes;
      GetCDCodes(CDHandle, codes);
      UseDiscCodes(*FJobLog.Log, codes);
      setWindowTitle(QString::fromStdString(Caption("Extracting", 1, Title(0))));
      ShowInitializing();
      StartRip(0);
    } else if (Mode == jmWavToMp3 || Mode == jmWavToOgg) {
      StartPipelineItem(0, true);
    } else {
      const char *stage = Mode == jmMp3ToWav      ? "Decoding MP3 to WAV"
                          : Mode == jmRecordToMp3 ? "Encoding WAV to MP3"
                                                  : "Encoding WAV to WMA";
      const char *key = Mode == jmMp3ToWav      ? "RES_MP3_TO_WAV"
                        : Mode == jmRecordToMp3 ? "RES_WAV_TO_MP3"
                                                : "RES_WAV_TO_WMA";
      SetStage(GetLanString(key, stage));
      StartConversion();
    }
  } else {
    FinishJob();
    CloseLater();
  }
}

TRipForm::~TRipForm() { FinishJob(); }

std::string TRipForm::Title(int k) const { return TitleOfEntry(Item(k)); }

int TRipForm::TrackOfEntry(int k) const { return ::TrackOfEntry(Item(k)); }

std::string TRipForm::WavOfEntry(int k) const { return OutputFolder() + FFileTitles[k] + ".wav"; }

std::string TRipForm::TakeOutput(const std::string &folder, const std::string &name,
                                 const char *extension) {
  return folder + FNames.Take(folder, name, {extension}) + extension;
}

std::string TRipForm::Caption(const char *word, int n, const std::string &item) const {
  return std::string(word) + "(" + TwoDigits(n) + "/" + TwoDigits(Count()) + "): " + item;
}

void TRipForm::SetStage(const std::string &stage) {
  GroupBox1->setTitle(QString::fromStdString(stage));
}

void TRipForm::ShowInitializing() {
  Label3->setText(QString::fromStdString(GetLanString("RES_Initing", "Initializing...")));
  Label3->setVisible(true);
}

void TRipForm::ShowError(const std::string &text) { ShowJobError(text); }

bool TRipForm::AllSucceeded() const { return static_cast<int>(FFinished.size()) == FItemCount; }

void TRipForm::FileFinished(const std::string &file) {
  FFinished.push_back(file);
  if (OnFileFinished)
    OnFileFinished(file);
}

// Steps --------------------------------------------------------------------------------------

void TRipForm::StartRip(int k) {
  RipThread.reset();
  std::vector<std::string> extensions{".wav"};
  if (const char *encoded = EncodedExtension(RipOutput()))
    extensions.push_back(encoded);
  FFileTitles[k] = FNames.Take(OutputFolder(), Title(k), extensions);
  RipThread = std::make_unique<TCDRipThread>(TrackOfEntry(k), FFileTitles[k], RipSettings());
  RipThread->CDHandle = CDHandle;
  RipThread->NotifyWindow = Handle();
  RipThread->Resume();
}

void TRipForm::NextRip() {
  setWindowTitle(QString::fromStdString(Caption("Extracting", RipCount + 1, Title(RipCount))));
  ShowInitializing();
  SetStage(GetLanString("RES_Extracting", "Extracting"));
  StartRip(RipCount);
}

void TRipForm::PostSkipped(int32_t endCode) {
  plat::PostMessage(Handle(), WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(TProcessInfo{endCode, "", "", encodeSkipped}));
}

void TRipForm::StartMp3(const std::string &input, const std::string &output, bool encode) {
  Encode->StartProcess(FMp3, input, output, encode, Mode);
}

void TRipForm::StartWma(const std::string &input, const std::string &output) {
  // Set before Start, which may deliver the end notice (and start the next item) itself.
  WmaStart = Clock::now();
  FlatGauge1->setValue(0);
  Timer1->start();
  WmaInputSize = FileSize(input);
  Encode->StartProcess(FWma, input, output, true, Mode);
}

// The step of modes 3, 4 and 6 for item EncodeCount.
void TRipForm::StartConversion() {
  const int k = EncodeCount;
  const fs::path item(Item(k));
  switch (Mode) {
  case jmMp3ToWav:
    setWindowTitle(QString::fromStdString(Caption("Decoding", k + 1, Item(k))));
    StartMp3(Item(k), TakeOutput(OutputFolder(), item.stem().string(), ".wav"), false);
    break;
  case jmRecordToMp3:
    setWindowTitle(QString::fromStdString(Caption("Encoding", k + 1, Item(k))));
    StartMp3(Item(k), TakeOutput(fs::path(item).remove_filename(), item.stem(), ".mp3"), true);
    break;
  case jmWavToWma:
    setWindowTitle(QString::fromStdString(Caption("Encoding", k + 1, Item(k))));
    StartWma(Item(k), TakeOutput(OutputFolder(), item.stem().string(), ".wma"));
    break;
  default: break; // modes 2 and 5 run through the audio pipeline
  }
}

// Messages -----------------------------------------------------------------------------------

void TRipForm::WndProc(TMessage &message) {
  if (message.Msg == WM_JOBINFO) {
    if (const TProcessInfo *info = message.PayloadAs<TProcessInfo>())
      JobInfo(*info);
  } else if (message.Msg == WM_RIPERROR) {
    RipError(message.LParam);
  }
}

void TRipForm::JobInfo(const TProcessInfo &info) {
  // News of a step that ran on while the job was ending changes nothing.
  if (!JobList)
    return;
  switch (info.Code) {
  case JobNormalizing:
    setWindowTitle(QString::fromStdString(Caption("Normalizing", RipCount + 1, Title(RipCount))));
    break;
  case JobRipEnded: RipEnded(info); break;
  case JobMp3Ended: Mp3Ended(info); break;
  case JobPipelineEnded: PipelineEncodingEnded(info); break;
  case JobResampled: Resampled(); break;
  case JobWmaEnded: WmaEnded(info); break;
  case JobVerified: Verified(); break;
  default: Progress(info); break;
  }
}

bool TRipForm::OutputFolderGone() {
  return Mode != jmRecordToMp3 && ::OutputFolderGone([this](const std::string &message) {
           ShowError(message);
           FinishJob();
           CloseLater();
         });
}

void TRipForm::RipEnded(const TProcessInfo &info) {
  const std::string wav = WavOfEntry(RipCount);
  if (OutputFolderGone())
    return;
  TRipLogTrack &logged = FJobLog.Log->Tracks[RipCount];
  if (RipThread) {
    logged.Sums = RipThread->Sums();
    logged.Whole = RipThread->WholeTrack();
  }
  logged.ReadResult = ReadResultText(info.SubCode);
  if (const std::string failure = RipFailureText(wav, info.SubCode); !failure.empty())
    ShowError(failure);
  if (info.SubCode == ripDone)
    FWavIds[RipCount] = FileId(wav);
  RipCount += 1;
  const TFormat format = RipOutput();
  const TEncoderKind encoder = OutputFormatOf(format).Encoder;
  if (encoder == TEncoderKind::None) {
    logged.Ended = true;
    if (info.SubCode == ripDone) {
      logged.File = wav;
      FileFinished(wav);
    }
    if (RipCount == Count()) {
      JobDone();
    } else {
      NextRip();
    }
    return;
  }
  if (info.SubCode != ripDone) {
    logged.EncoderResult = "Not encoded";
    if (encoder == TEncoderKind::WmaProcess)
      RipThread.reset();
    ProgressSeen = true;
    PostSkipped(encoder == TEncoderKind::Mp3Process   ? JobMp3Ended
                : encoder == TEncoderKind::WmaProcess ? JobWmaEnded
                                                      : JobPipelineEnded);
    return;
  }
  setWindowTitle(QString::fromStdString(Caption("Encoding", RipCount, Title(RipCount - 1))));
  SetStage(GetLanString("RES_Encoding", "Encoding"));
  if (encoder == TEncoderKind::Mp3Process) {
    StartMp3(wav, WithExtension(wav, EncodedExtension(format)), true);
  } else if (encoder == TEncoderKind::WmaProcess) {
    RipThread.reset();
    StartWma(wav, WithExtension(wav, EncodedExtension(format)));
  } else {
    WaveIn1->SetFileName(wav);
    StartPipelineEncoding(format, WithExtension(wav, EncodedExtension(format)));
  }
}

void TRipForm::Mp3Ended(const TProcessInfo &info) {
  const int k = EncodeCount;
  if (OutputFolderGone())
    return;
  // In a rip the progress seen was the rip's: the encoding's output file in use is named.
  if (info.SubCode == encodeInUse && (!ProgressSeen || Mode == jmCDRip))
    ShowError((Mode == jmCDRip ? FMp3.OutputFile : Item(k)) +
              GetLanString("RES_Operate_Fail", "maybe be used,operate fail!"));
  // A lame that failed made no MP3 even when progress was shown. A lame ended for want of
  // progress says so in Elapsed.
  if (info.SubCode == encodeFailed && !info.Elapsed.empty())
    ShowError(info.Elapsed);
  else if ((info.SubCode == encodeMade && !ProgressSeen) || info.SubCode == encodeFailed) {
    // Named, and in a rip with the WAV that stays, so that a batch user knows what to redo.
    std::string text = FMp3.OutputFile + ": " +
                       GetLanString("RES_Check_Mp3Options",
                                    "Create MP3 file error!\r\nPlease check the output and lame "
                                    "options or run application again.");
    if (Mode == jmCDRip)
      text += " " + GetLanText("RES_Wav_Kept", "The WAV file %s is kept.", {FMp3.InputFile});
    ShowError(text);
  }
  const bool made = info.SubCode == encodeMade;
  // Tagged while still a part file: under its final name the MP3 never lacks its tag.
  if (Mode == jmCDRip && made && ProgressSeen && GlobalOptions.UseID3)
    WriteId3Tag(RipCount - 1, FMp3.WrittenFile());
  ItemDone(EncodeCount, k, made && KeepOutput(FMp3), FMp3.OutputFile);
}

void TRipForm::WmaEnded(const TProcessInfo &info) {
  const int k = EncodeCount;
  Timer1->stop();
  if (OutputFolderGone())
    return;
  if (info.SubCode == encodeInUse && !ProgressSeen)
    ShowError(Item(k) + GetLanString("RES_Operate_Fail", "maybe be used,operate fail!"));
  if (info.SubCode == encodeError)
    ShowError(info.Elapsed);
  ItemDone(EncodeCount, k, info.SubCode == encodeMade && KeepOutput(FWma), FWma.OutputFile);
}

bool TRipForm::KeepOutput(TEncodeProcess &encoder) {
  if (encoder.Complete())
    return true;
  ShowError(CannotMakeText(encoder.OutputFile));
  return false;
}

void TRipForm::ItemDone(int &counter, int k, bool succeeded, const std::string &output) {
  FEncoded[k] = succeeded;
  if (FJobLog.Log) {
    TRipLogTrack &logged = FJobLog.Log->Tracks[k];
    logged.Ended = true;
    if (logged.EncoderResult.empty()) {
      logged.File = succeeded ? output : "";
      logged.EncoderResult = succeeded ? "OK" : "Failed: no file was made";
    }
  }
  if (succeeded)
    FileFinished(output);
  if (!JobList)
    return; // whoever was told of the file stopped the job
  ProgressSeen = false;
  counter += 1;
  if (counter == Count()) {
    JobDone();
  } else if (Mode == jmCDRip) {
    NextRip();
  } else {
    NextConversion();
  }
}

void TRipForm::NextConversion() {
  if (Mode == jmWavToMp3 || Mode == jmWavToOgg) {
    StartPipelineItem(Mode == jmWavToMp3 ? EncodeCount : VorbisCount, false);
    return;
  }
  SetStage(GetLanString(Mode == jmMp3ToWav ? "RES_Decoding" : "RES_Encoding",
                        Mode == jmMp3ToWav ? "Decoding" : "Encoding"));
  if (Mode == jmWavToWma)
    Label2->clear();
  StartConversion();
}

void TRipForm::Progress(const TProcessInfo &info) {
  Timer1->stop();
  ProgressSeen = true;
  Label1->setText(QString::fromStdString(info.Elapsed));
  Label2->setText(QString::fromStdString(info.Estimated));
  if (info.Code > 0) {
    Label3->setVisible(false);
    FlatGauge1->setTextVisible(true);
    FlatGauge1->setValue(std::min(info.Code, 100));
  }
}

void TRipForm::RipError(std::intptr_t code) {
  if (!JobList)
    return;
  switch (code) {
  case RipErrorMsf:
    ShowError(GetLanString("RES_ModifyCDParmsError", "CD extract failed!Please try again."));
    break;
  case RipErrorToc:
    ShowError(GetLanString("RES_ReadTocError", "Error while reading TOC information!"));
    break;
  case RipErrorFileInUse:
    ShowError(GetLanString("RES_CreateFileError",
                           "WAV file will be created maybe is been using,extract failed!"));
    break;
  default: break;
  }
}

void TRipForm::WriteId3Tag(int k, const std::string &mp3) {
  const uint16_t result = WriteTrackId3Tag(Title(k), TrackOfEntry(k), mp3);
  if (result >= id3OpenError)
    plat::MessageBox("Error #" + std::to_string(result) + "! Could not save Tag!", product::Name,
                     plat::TMsgButtons::OK, plat::TMsgIcon::None);
}

// The WMA time estimate --------------------------------------------------------------------

void TRipForm::Timer1Timer() { WmaEstimate(Clock::now()); }

void TRipForm::WmaEstimate(Clock::time_point now) {
  const auto elapsed =
      static_cast<int64_t>(std::nearbyint(std::chrono::duration<double>(now - WmaStart).count()));
  Label1->setText(QString::fromStdString(MinutesSeconds(static_cast<int>(elapsed))));
  if (!FWma.Busy)
    return;
  Label3->setVisible(false);
  std::optional<int64_t> total =
      WmaTotalSeconds(WmaInputSize, FileSize(FWma.WrittenFile()), elapsed, WmaProfileSetting());
  if (!total)
    return;
  if (elapsed >= *total)
    *total = elapsed + 1;
  Label2->setText(QString::fromStdString(MinutesSeconds(static_cast<int>(*total))));
  FlatGauge1->setTextVisible(true);
  const auto percent = static_cast<int>(std::nearbyint(elapsed * 100.0 / *total));
  FlatGauge1->setValue(std::max(FlatGauge1->value(), percent));
}

// Ending -------------------------------------------------------------------------------------

void TRipForm::FinishJob() {
  if (!JobList)
    return;
  if (RipThread) {
    RipThread->StopRequested = true;
    RipThread.reset();
  }
  StopPipeline();
  // Only the WAV files whose encoding made its file go: a failed or stopped encoding keeps
  // the audio it came from.
  if (Mode == jmCDRip && RipCount == Count() &&
      OutputFormatOf(RipOutput()).Encoder != TEncoderKind::None && !GlobalOptions.IsKeepWav)
    for (int k = 0; k < Count(); ++k) {
      const std::string wav = WavOfEntry(k);
      std::error_code ec;
      if (FEncoded[k] && FileId(wav) == FWavIds[k] && !plat::FileInUse(wav))
        fs::remove(wav, ec);
    }
  JobList.reset();
  Timer1->stop();
  RemoveTempCopy();
}

void TRipForm::JobDone() {
  if (!FJobLog.Log) {
    FinishJob();
    CloseLater();
    return;
  }
  Label3->setText(QString::fromStdString(
      GetLanString("RES_Verifying", "Verifying the rip with AccurateRip...")));
  Label3->setVisible(true);
  FVerified = VerifyLater(*FJobLog.Log, GlobalOptions.AccurateRipUrl, Handle());
}

void TRipForm::Verified() {
  *FJobLog.Log = *FVerified;
  FJobLog.Write(OnLogWritten);
  FinishJob();
  const QString outcome = QString::fromStdString(FJobLog.Log->Outcome(GetLanString));
  setWindowTitle(QString::fromStdString(GetLanString("RES_Job_Done", "Done")));
  SetStage(GetLanString("RES_Job_Done", "Done"));
  FlatGauge1->setValue(100);
  FlatGauge1->setTextVisible(true);
  Label2->clear();
  Label3->setText(outcome);
  Label3->setToolTip(outcome);
  Label3->setVisible(true);
  if (!StayAtEnd) {
    CloseLater();
    return;
  }
  btOpenLog->setVisible(!FJobLog.Path.empty());
  btStop->setText(QString::fromStdString(GetLanString("RES_Close", "Close")));
}

void TRipForm::StopJob() {
  FJobLog.Stop(
      JobList != nullptr, [this] { FinishJob(); }, OnLogWritten);
}

void TRipForm::btStopClick() {
  StopJob();
  close();
}

void TRipForm::CloseLater() {
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TRipForm::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  ApplyChosenLanguage(this);
  // The job may have ended while the window was being created.
  if (!JobList)
    CloseLater();
}

void TRipForm::done(int result) {
  StopJob();
  QDialog::done(result);
}
