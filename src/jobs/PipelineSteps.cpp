// The job window's steps that run through the audio pipeline: Ogg Vorbis, FLAC and Opus
// encoding (CD rip with those outputs, and WAV to OGG) and the resampling of WAV files below
// 44100 Hz into a temporary copy before they are encoded (WAV to MP3 and WAV to OGG).
#include "rip.h"

#include "AuConverters.h"
#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "Dialogs.h"
#include "FileShare.h"
#include "Folders.h"
#include "Global.h"
#include "Language.h"
#include "Mp3EncodeThread.h"
#include "OggOptions.h"
#include "PartFile.h"
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
  VorbisOut1 = std::make_unique<TVorbisOut>();
  VorbisOut1->SetName("VorbisOut1");
  VorbisOut1->SetFileMode(foRewrite);
  VorbisOut1->SetCompression(0.2f);
  FLACOut1 = std::make_unique<TFLACOut>();
  FLACOut1->SetName("FLACOut1");
  OpusOut1 = std::make_unique<TOpusOut>();
  OpusOut1->SetName("OpusOut1");
  for (TAuFileOut *encoder :
       {static_cast<TAuFileOut *>(VorbisOut1.get()), static_cast<TAuFileOut *>(FLACOut1.get()),
        static_cast<TAuFileOut *>(OpusOut1.get())}) {
    encoder->SetInput(WaveIn1.get());
    encoder->OnProgress = [this](TComponent *) { EncoderProgress(); };
    encoder->OnDone = [this](TComponent *) { EncoderDone(); };
  }
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
  const int32_t endCode = Mode == jmWavToMp3 ? JobMp3Ended : JobOggEnded;
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
    StartOgg(TakeOutput(OutputFolder(), Stem(item), ".ogg"));
}

void TRipForm::StartResample() {
  WaveOut1->SetFileName(TempCopy());
  StepStart = Clock::now();
  try {
    WaveOut1->Run();
  } catch (const std::exception &e) {
    ShowError(e.what());
    PostSkipped(Mode == jmWavToMp3 ? JobMp3Ended : JobOggEnded);
  }
}

void TRipForm::StartOgg(const std::string &output) {
  FOggName = output;
  FOggPart = std::make_unique<plat::TPartFile>(output);
  if (FOggPart->InUse()) {
    ShowError(output + GetLanString("RES_Operate_Fail", "maybe be used,operate fail!"));
    FOggPart.reset();
    PostSkipped(JobOggEnded);
    return;
  }
  FEncoder = &PreparedEncoder(plat::LowerCase(fs::path(output).extension().string()));
  FEncoder->SetFileName(FOggPart->PartName());
  StepStart = Clock::now();
  try {
    FEncoder->Run();
  } catch (const std::exception &e) {
    FOggPart.reset();
    ShowError(e.what());
    PostSkipped(JobOggEnded);
  }
}

TAuFileOut &TRipForm::PreparedEncoder(const std::string &extension) {
  // Only a rip has a track (the last one ripped) to tag; a WAV file to encode has none.
  const bool tagged = Mode == jmCDRip && GlobalOptions.UseID3;
  const std::string title = tagged ? Title(RipCount - 1) : "";
  const int track = tagged ? TrackOfEntry(RipCount - 1) : 0;
  const int total = tagged ? TrackTotal() : 0;
  if (extension == OutputFormatOf(fmtFLAC).Extension) {
    SetFLACOptions(*FLACOut1, tagged, title, track, total);
    return *FLACOut1;
  }
  if (extension == OutputFormatOf(fmtOpus).Extension) {
    SetOpusOptions(*OpusOut1, tagged, title, track, total);
    return *OpusOut1;
  }
  SetOggOptions(*VorbisOut1, tagged, title, track, total);
  return *VorbisOut1;
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
  if (FEncoder)
    PostPipelineProgress(FEncoder->Progress());
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
    PostSkipped(Mode == jmWavToMp3 ? JobMp3Ended : JobOggEnded);
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
    StartOgg(TakeOutput(OutputFolder(), Stem(Item(k)), ".ogg"));
  }
}

void TRipForm::EncoderDone() {
  if (!JobList || !FOggPart || OutputFolderGone())
    return;
  const std::string failure = FEncoder->ExceptionMessage();
  bool made = false;
  if (!failure.empty())
    ShowError(failure);
  else if (!(made = FOggPart->Complete()))
    ShowError(CannotMakeText(FOggName));
  FOggPart.reset();
  plat::PostMessage(Handle(), WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(
                        TProcessInfo{JobOggEnded, "", "", made ? OggMade : EncodeSkipped}));
}

void TRipForm::OggEnded(const TProcessInfo &info) {
  ItemDone(VorbisCount, VorbisCount, info.SubCode == OggMade, FOggName);
}

void TRipForm::StopPipeline() {
  for (TAuOutput *output :
       {static_cast<TAuOutput *>(VorbisOut1.get()), static_cast<TAuOutput *>(FLACOut1.get()),
        static_cast<TAuOutput *>(OpusOut1.get()), static_cast<TAuOutput *>(WaveOut1.get())})
    if (output->Busy()) {
      output->Pause();
      output->Stop(false);
    }
  FOggPart.reset(); // what the stopped encoding wrote goes
}
