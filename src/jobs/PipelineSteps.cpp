// The job window's steps that run through the audio pipeline: the resampling of WAV files below
// 44100 Hz into a temporary copy before they are encoded (WAV to MP3 and WAV to OGG), and the
// window's side of the encode step's Ogg Vorbis, FLAC and Opus encodings (CD rip with those
// outputs, and WAV to OGG).
#include "rip.h"

#include "AuConverters.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "FileShare.h"
#include "Folders.h"
#include "Global.h"
#include "Language.h"
#include "RipFormats.h"
#include "Text.h"
#include "akrip32.h"

#include <QGroupBox>
#include <QLabel>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string OutputFolder() { return plat::IncludeTrailingSlash(GlobalOptions.OutputFolder); }

std::string Stem(const std::string &path) { return fs::path(path).stem().string(); }

} // namespace

void TRipForm::CreatePipeline() {
  WaveIn1 = std::make_unique<TWaveIn>();
  WaveIn1->SetName("WaveIn1");
  FastResampler1 = std::make_unique<TFastResampler>();
  FastResampler1->SetName("FastResampler1");
  FastResampler1->SetInput(WaveIn1.get());
  FastResampler1->SetOutSampleRate(EncodedSampleRate);
  WaveOut1 = std::make_unique<TWaveOut>();
  WaveOut1->SetName("WaveOut1");
  WaveOut1->SetInput(FastResampler1.get());
  WaveOut1->SetWavType(wtPCM);
  WaveOut1->SetBlockSize(512);
  WaveOut1->SetCreateNonMsHeaders(true);
  WaveOut1->SetFileMode(foRewrite);
  WaveOut1->OnProgress = [this](TComponent *) { WaveOut1Progress(); };
  WaveOut1->OnDone = [this](TComponent *) { WaveOut1Done(); };
  Encode = std::make_unique<TEncodeStep>(
      Handle(), *WaveIn1, FMp3, FWma, [this] { EncoderProgress(); }, [this] { EncoderDone(); });
}

std::string TRipForm::TempCopy() {
  if (FTempCopy.empty()) {
    // A file of the job's name that the job did not make is the user's: it is neither
    // overwritten nor deleted.
    const std::string name = Mode == jmWavToMp3 ? "MyMP3ReTemp" : "MyReTemp";
    std::string copy = OutputFolder() + name + ".wav";
    std::error_code ec;
    for (int n = 2; fs::exists(copy, ec); ++n)
      copy = OutputFolder() + name + " (" + std::to_string(n) + ").wav";
    FTempCopy = copy;
  }
  return FTempCopy;
}

void TRipForm::RemoveTempCopy() {
  std::error_code ec;
  if (!FTempCopy.empty() && fs::exists(FTempCopy, ec) && !plat::FileInUse(FTempCopy))
    fs::remove(FTempCopy, ec);
}

void TRipForm::StartPipelineItem(int k, bool first) {
  const std::string &item = Item(k);
  const int32_t endCode = Mode == jmWavToMp3 ? JobMp3Ended : JobPipelineEnded;
  WaveIn1->SetFileName(item);
  if (!WaveIn1->Valid()) {
    setWindowTitle(QString::fromStdString(Caption("Encoding", k + 1, item)));
    ShowError(item + " is not a WAV file that can be read.");
    PostSkipped(endCode);
    return;
  }
  if (WaveIn1->SampleRate() < EncodedSampleRate) {
    setWindowTitle(QString::fromStdString(Caption("Resampling", k + 1, item)));
    SetStage(GetLanString("RES_WAV_RESAMPLE", "Resampling WAV"));
    StartResample();
    return;
  }
  setWindowTitle(QString::fromStdString(Caption("Encoding", k + 1, item)));
  if (!first)
    SetStage(GetLanString("RES_Encoding", "Encoding"));
  else if (Mode == jmWavToMp3)
    SetStage(GetLanString("RES_WAV_TO_MP3", "Encoding WAV to MP3"));
  else
    SetStage(GetLanString("RES_WAV_TO_OGG", "Encoding WAV to OGG"));
  if (Mode == jmWavToMp3)
    StartMp3(item, TakeOutput(OutputFolder(), Stem(item), ".mp3"), true);
  else
    StartPipelineEncoding(fmtOGG, TakeOutput(OutputFolder(), Stem(item), EncodedExtension(fmtOGG)));
}

void TRipForm::StartResample() {
  WaveOut1->SetFileName(TempCopy());
  StepStart = Clock::now();
  try {
    WaveOut1->Run();
  } catch (const std::exception &e) {
    ShowError(e.what());
    PostSkipped(Mode == jmWavToMp3 ? JobMp3Ended : JobPipelineEnded);
  }
}

void TRipForm::StartPipelineEncoding(TFormat format, const std::string &output) {
  // Only a rip has a track (the last one ripped) to tag; a WAV file to encode has none.
  TTrackTags tags;
  if (Mode == jmCDRip && GlobalOptions.UseID3)
    tags = {true, Title(RipCount - 1), TrackOfEntry(RipCount - 1), TrackTotal()};
  StepStart = Clock::now();
  Encode->StartPipeline(format, tags, output, JobPipelineEnded);
}

int TRipForm::TrackTotal() {
  if (FTrackTotal < 0) {
    TToc toc{};
    FTrackTotal = ReadTOC(CDHandle, &toc) == 1 ? toc.LastTrack : 0;
  }
  return FTrackTotal;
}

// Progress -----------------------------------------------------------------------------------

void TRipForm::WaveOut1Progress() { PostPipelineProgress(WaveOut1->Progress()); }

void TRipForm::EncoderProgress() {
  if (const TAuFileOut *encoder = Encode->Running())
    PostPipelineProgress(encoder->Progress());
}

void TRipForm::PostPipelineProgress(int percent) {
  auto info = std::make_unique<TProcessInfo>(TProcessInfo{percent, "", "", 0});
  const auto elapsed = static_cast<int>(
      std::lround(std::chrono::duration<double>(Clock::now() - StepStart).count()));
  if (percent > 0) {
    info->Elapsed = MinutesSeconds(elapsed);
    info->Estimated = MinutesSeconds(static_cast<int>(std::lround(elapsed * 100.0 / percent)));
  }
  plat::PostMessage(Handle(), WM_JOBINFO, 0, std::move(info));
}

// Ends of the steps --------------------------------------------------------------------------

void TRipForm::WaveOut1Done() {
  if (!JobList)
    return;
  const std::string failure = WaveOut1->ExceptionMessage();
  if (!failure.empty()) {
    ShowError(failure);
    PostSkipped(Mode == jmWavToMp3 ? JobMp3Ended : JobPipelineEnded);
    return;
  }
  JobInfo(TProcessInfo{JobResampled, "", "", 0});
}

void TRipForm::Resampled() {
  const int k = Mode == jmWavToMp3 ? EncodeCount : VorbisCount;
  const fs::path item(Item(k));
  setWindowTitle(QString::fromStdString(Caption("Encoding", k + 1, Item(k))));
  SetStage(GetLanString("RES_Encoding", "Encoding"));
  if (Mode == jmWavToMp3) {
    StartMp3(TempCopy(), TakeOutput(OutputFolder(), Stem(Item(k)), ".mp3"), true);
  } else {
    WaveIn1->SetFileName(TempCopy());
    StartPipelineEncoding(fmtOGG,
                          TakeOutput(OutputFolder(), Stem(Item(k)), EncodedExtension(fmtOGG)));
  }
}

void TRipForm::EncoderDone() {
  if (!JobList || !Encode->PipelineHeld() || OutputFolderGone())
    return;
  const std::string failure = Encode->PipelineFailure();
  bool made = false;
  if (!failure.empty())
    ShowError(failure);
  else if (!(made = Encode->CompletePipeline()))
    ShowError(CannotMakeText(Encode->PipelineOutput()));
  plat::PostMessage(Handle(), WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(
                        TProcessInfo{JobPipelineEnded, "", "", made ? encodeMade : encodeSkipped}));
}

void TRipForm::PipelineEncodingEnded(const TProcessInfo &info) {
  ItemDone(VorbisCount, VorbisCount, info.SubCode == encodeMade, Encode->PipelineOutput());
}

void TRipForm::StopPipeline() {
  if (WaveOut1->Busy()) {
    WaveOut1->Pause();
    WaveOut1->Stop(false);
  }
  Encode->Stop();
}
