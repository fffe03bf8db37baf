#include "EncodeStep.h"

#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "Dialogs.h"
#include "DiscInfo.h"
#include "FileShare.h"
#include "Folders.h"
#include "Global.h"
#include "Mp3EncodeThread.h"
#include "OggOptions.h"
#include "PartFile.h"
#include "RipLog.h"
#include "WMAEncodeThread.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

namespace {

// Size of the WAV input over the size of the WMA output, times 1000, for each WMA profile.
constexpr std::array<int64_t, 33> WmaRatio = {
    7315,  8770,  10949, 7316,   8772,   10954,  14581,  17471,  21790,  28963,  43174,
    28963, 43134, 28999, 34720,  43214,  68873,  43134,  62208,  68264,  68264,  84458,
    67963, 84150, 84150, 110460, 131113, 133765, 165296, 113717, 167692, 220395, 261485};

// A file below this size encodes in about two seconds.
constexpr int64_t SmallWmaInput = 2000000;

void PostEnd(TWindowHandle window, int32_t code, TEncodeEnd end) {
  plat::PostMessage(window, WM_JOBINFO, 0,
                    std::make_unique<TProcessInfo>(TProcessInfo{code, "", "", end}));
}

} // namespace

void ShowJobError(const std::string &text) {
  plat::MessageBox(text, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Error);
}

int WmaProfileSetting() {
  int &index = GlobalOptions.WMABitRate;
  if (index < 0 || index >= static_cast<int>(WmaProfiles.size()))
    index = 8;
  return index;
}

TEncoderSettings EncoderRunSettings() {
  const TGlobalOptions &o = GlobalOptions;
  TEncoderSettings s;
  s.StallTime = o.StallTime;
  s.BitRate = o.BitRate;
  s.StereoMode = o.StereoMode;
  s.MpegQuality = o.MpegQuality;
  s.IsSelectVBR = o.IsSelectVBR;
  s.VBRQuality = o.VBRQuality;
  s.MaxBitRate = o.MaxBitRate;
  s.IsVBRHead = o.IsVBRHead;
  s.WMABitRate = WmaProfileSetting();
  s.UseID3 = o.UseID3;
  s.Artist = DiscInfo.Artist;
  s.Comment = DiscInfo.Comment;
  return s;
}

std::optional<int64_t> WmaTotalSeconds(int64_t inputSize, int64_t outputSize, int64_t elapsed,
                                       int bitRateIndex) {
  if (inputSize < SmallWmaInput)
    return 2;
  int64_t expected = static_cast<int64_t>(
      std::nearbyint(static_cast<double>(inputSize) * 1000.0 / WmaRatio[bitRateIndex]));
  expected = std::max(expected, outputSize);
  if (outputSize <= 0)
    return std::nullopt;
  return expected * elapsed / outputSize;
}

TEncodeStep::TEncodeStep(TWindowHandle window, TAuInput &input, TMp3EncodeProcess &mp3,
                         TWMAEncodeProcess &wma, std::function<void()> onProgress,
                         std::function<void()> onDone)
    : VorbisOut1(std::make_unique<TVorbisOut>()), FLACOut1(std::make_unique<TFLACOut>()),
      OpusOut1(std::make_unique<TOpusOut>()), FWindow(window), FMp3(mp3), FWma(wma) {
  VorbisOut1->SetName("VorbisOut1");
  VorbisOut1->SetCompression(0.2f);
  FLACOut1->SetName("FLACOut1");
  OpusOut1->SetName("OpusOut1");
  for (TAuFileOut *output :
       {static_cast<TAuFileOut *>(VorbisOut1.get()), static_cast<TAuFileOut *>(FLACOut1.get()),
        static_cast<TAuFileOut *>(OpusOut1.get())}) {
    output->SetInput(&input);
    output->SetFileMode(foRewrite);
    output->OnProgress = [onProgress](TComponent *) { onProgress(); };
    output->OnDone = [onDone](TComponent *) { onDone(); };
  }
}

TEncodeStep::~TEncodeStep() = default;

void TEncodeStep::StartProcess(TEncodeProcess &encoder, const std::string &input,
                               const std::string &output, bool encode, int mode) {
  encoder.SetUp(FWindow, input, output, encode, mode, EncoderRunSettings());
  std::error_code ec;
  if (std::filesystem::exists(output, ec) && !encoder.OverwriteWithoutAsking()) {
    const int answer =
        plat::MessageBox(output + GetLanString("RES_File_Exist", " has existed,overite it?"),
                         product::Name, plat::TMsgButtons::YesNo, plat::TMsgIcon::Information);
    if (answer != plat::idYes) {
      encoder.EndUnstarted(encodeDeclined);
      return;
    }
    if (plat::FileInUse(output)) {
      encoder.EndUnstarted(encodeInUse);
      return;
    }
  }
  if (const std::string missing = encoder.MissingEncoderText(); !missing.empty()) {
    plat::MessageBox(missing, product::Name, plat::TMsgButtons::OK, plat::TMsgIcon::Information);
    encoder.EndUnstarted(encodeDeclined);
    return;
  }
  try {
    encoder.Start();
  } catch (const std::exception &e) {
    ShowJobError(e.what());
    PostEnd(FWindow, encoder.EndCode(), encodeSkipped);
  }
}

TAuFileOut *TEncodeStep::PreparedEncoder(TFormat format, const TTrackTags &tags) {
  switch (format) {
  case fmtOGG:
    SetOggOptions(*VorbisOut1, tags.Tagged, tags.Title, tags.Track, tags.TrackTotal);
    return VorbisOut1.get();
  case fmtFLAC:
    SetFLACOptions(*FLACOut1, tags.Tagged, tags.Title, tags.Track, tags.TrackTotal);
    return FLACOut1.get();
  case fmtOpus:
    SetOpusOptions(*OpusOut1, tags.Tagged, tags.Title, tags.Track, tags.TrackTotal);
    return OpusOut1.get();
  default: return nullptr;
  }
}

TAuFileOut *TEncodeStep::StartPipeline(TFormat format, const TTrackTags &tags,
                                       const std::string &output, int32_t endCode) {
  FOutput = output;
  FPart = std::make_unique<plat::TPartFile>(output);
  if (FPart->InUse()) { // another job is making the same file
    ShowJobError(output + GetLanString("RES_Operate_Fail", "maybe be used,operate fail!"));
    FPart.reset();
    PostEnd(FWindow, endCode, encodeSkipped);
    return nullptr;
  }
  FRunning = PreparedEncoder(format, tags);
  try {
    FRunning->SetFileName(FPart->PartName());
    FRunning->Run();
  } catch (const std::exception &e) {
    FPart.reset();
    ShowJobError(e.what());
    PostEnd(FWindow, endCode, encodeSkipped);
    return nullptr;
  }
  return FRunning;
}

std::string TEncodeStep::PipelineFailure() {
  const std::string failure = FRunning ? FRunning->ExceptionMessage() : "";
  if (!failure.empty())
    FPart.reset();
  return failure;
}

bool TEncodeStep::CompletePipeline() {
  const bool kept = FPart && FPart->Complete();
  FPart.reset();
  return kept;
}

void TEncodeStep::Stop() {
  for (TAuFileOut *output :
       {static_cast<TAuFileOut *>(VorbisOut1.get()), static_cast<TAuFileOut *>(FLACOut1.get()),
        static_cast<TAuFileOut *>(OpusOut1.get())}) {
    if (output->Busy()) {
      output->Pause();
      output->Stop(false);
    }
    output->SetFileName("");
  }
  FPart.reset(); // what the stopped encoding wrote goes
  // A stopped job stops its encoder too: its end notice would find no window to keep the file.
  if (FMp3.Busy)
    FMp3.Stop(0);
  if (FWma.Busy)
    FWma.Stop(0);
}

void TJobLog::Write(const TOnWritten &onWritten) {
  Path = WriteRipLogOrSay(*Log, plat::IncludeTrailingSlash(GlobalOptions.OutputFolder),
                          [](const std::string &why) { ShowJobError(why); });
  if (onWritten)
    onWritten(*Log, Path);
}

void TJobLog::Stop(bool running, const std::function<void()> &finish, const TOnWritten &onWritten) {
  const bool logged = Log && running;
  finish();
  if (logged) {
    Log->MarkStopped();
    Write(onWritten);
  }
}
