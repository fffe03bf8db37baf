#include "Convert.h"

#include "AuConverters.h"
#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "AuWaveOut.h"
#include "FormatCodecs.h"
#include "Messages.h"
#include "PartFile.h"
#include "SoundFiles.h"
#include "Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// The comments of an input that has them.
const TVorbisTags *CommentsOf(TAuFileIn *input) {
  if (auto *vorbis = dynamic_cast<TVorbisIn *>(input))
    return &vorbis->VorbisTags();
  if (auto *flac = dynamic_cast<TFLACIn *>(input))
    return &flac->VorbisTags();
  if (auto *opus = dynamic_cast<TOpusIn *>(input))
    return &opus->VorbisTags();
  return nullptr;
}

bool HasWriter(const TOutputFormat &format) { return CodecOf(format.Number).MakeWriter; }

} // namespace

TConvertWriter WriterFor(const std::string &outputName) {
  const TOutputFormat *format =
      FormatOfExtension(plat::LowerCase(std::filesystem::path(outputName).extension().string()));
  return format && HasWriter(*format) ? static_cast<TConvertWriter>(format->Number)
                                      : TConvertWriter::None;
}

std::string FixedChannelsText(std::uint32_t channels) {
  return "the channel count of a file of " + std::to_string(channels) +
         " channels cannot be changed";
}

TConversion::TConversion(const TConvertOptions &options) : FOptions(options) {}

TConversion::~TConversion() {
  if (FRunning)
    FOutput->Stop(false); // no end is delivered to this half-destroyed object
}

void TConversion::Start() {
  if (WriterFor(FOptions.Output) == TConvertWriter::None)
    throw EAuException(FOptions.Output + ": the output must be a " +
                       ListOfFormats(&TOutputFormat::Extension, ", ", " or ", HasWriter) + " file");
  OpenInput();
  BuildChain();
  FPart = std::make_unique<plat::TPartFile>(FOptions.Output);
  if (!FPart->Claimed())
    throw EAuException(FOptions.Output + ": " +
                       (FPart->InUse() ? std::string("another job is making this file")
                                       : plat::SysErrorMessage(FPart->Error())));
  FOutput->SetFileName(FPart->PartName());
  FOutput->OnDone = [this](TComponent *) { Finished(); };
  FError.clear();
  FStopped = false;
  FRunning = true;
  try {
    FOutput->Run();
  } catch (...) {
    FRunning = false;
    FPart.reset();
    throw;
  }
}

// The reader goes by what the file holds: its name may say anything.
void TConversion::OpenInput() {
  try {
    FInput = OpenSoundFile(FOptions.Input);
  } catch (const EAuException &e) {
    throw EAuException(FOptions.Input + ": " + e.what());
  }
  FBytesPerSecond = BytesPerSecond(*FInput);
}

void TConversion::BuildChain() {
  const bool wave = WriterFor(FOptions.Output) == TConvertWriter::Wave;
  const std::uint32_t channels = FInput->Channels();
  const std::uint32_t bits = FInput->BitsPerSample();
  TAuInput *last = FInput.get();
  if (FOptions.SampleRate != 0 && FOptions.SampleRate != FInput->SampleRate()) {
    FResampler = std::make_unique<TFastResampler>();
    FResampler->SetInput(last);
    FResampler->SetOutSampleRate(FOptions.SampleRate);
    last = FResampler.get();
  }
  // IMA ADPCM encodes 16-bit samples only.
  const std::uint32_t wantedBits = FOptions.BitsPerSample != 0 ? FOptions.BitsPerSample
                                   : wave && FOptions.Ima      ? 16
                                                               : bits;
  const std::uint32_t wantedChannels = FOptions.Channels != 0 ? FOptions.Channels : channels;
  // The format converter would pass other counts than mono and stereo on unchanged.
  if (wantedChannels != channels && channels > 2)
    throw EAuException(FOptions.Input + ": " + FixedChannelsText(channels));
  // The writer would fall back to PCM for more channels than IMA ADPCM holds.
  if (wave && FOptions.Ima && wantedChannels > 2)
    throw EAuException("Cannot encode this channel count into ADPCM.");
  if (wantedBits != bits || wantedChannels != channels) {
    FConverter = std::make_unique<TAudioConverter>();
    FConverter->SetInput(last);
    FConverter->SetMode(msmMonoToBoth);
    FConverter->SetOutBitsPerSample(wantedBits != bits ? static_cast<std::int32_t>(wantedBits) : 0);
    FConverter->SetOutChannels(
        wantedChannels != channels ? static_cast<std::int32_t>(wantedChannels) : 0);
    last = FConverter.get();
  }
  // A file with comments keeps them in a format that has them.
  const TVorbisTags *comments = CommentsOf(FInput.get());
  const TVorbisTags none;
  FOutput = CodecOf(static_cast<TFormat>(WriterFor(FOptions.Output)))
                .MakeWriter(comments ? *comments : none);
  if (auto *out = dynamic_cast<TWaveOut *>(FOutput.get())) {
    out->SetWavType(FOptions.Ima ? wtDVIADPCM : wtPCM);
    out->SetBlockSize(512);
    out->SetCreateNonMsHeaders(false);
  } else if (auto *vorbis = dynamic_cast<TVorbisOut *>(FOutput.get())) {
    vorbis->SetCompression(FOptions.Quality);
  }
  FOutput->SetInput(last);
}

void TConversion::Stop() {
  if (!FRunning || FStopped)
    return;
  FStopped = true;
  FOutput->Stop();
}

int TConversion::Progress() const { return FOutput ? FOutput->Progress() : 0; }

double TConversion::Seconds() const {
  return FInput && FBytesPerSecond > 0 && FInput->Size() > 0
             ? static_cast<double>(FInput->Size()) / static_cast<double>(FBytesPerSecond)
             : 0;
}

void TConversion::Finished() {
  FRunning = false;
  const std::string failure = FOutput->ExceptionMessage();
  if (FStopped)
    FError = "The conversion was stopped.";
  else if (FInput->Position() == 0) // a writer's failure then only follows from it
    FError = NoAudioText(*FInput, FBytesPerSecond);
  else if (!failure.empty()) // the writer's text names the hidden part file, if any
    FError = FOptions.Output + ": " + failure;
  else if (!FPart->Complete())
    FError = "The converted file could not be named " + FOptions.Output + ".";
  else // made from what the input holds, which may be less than it announces
    FError = CutShortText(*FInput, FBytesPerSecond);
  FPart.reset(); // removes the part file of a run that did not complete
}

std::string ConvertFile(const TConvertOptions &options,
                        const std::function<void(int, double)> &progress,
                        const std::atomic<bool> *stop) {
  TConversion conversion(options);
  try {
    conversion.Start();
  } catch (const std::exception &e) {
    return e.what();
  }
  int shown = -1;
  while (conversion.Running()) {
    if (stop && *stop)
      conversion.Stop();
    plat::WaitMessages(50);
    const int now = conversion.Progress();
    if (progress && now > shown) {
      shown = now;
      progress(now, conversion.Seconds());
    }
  }
  // A run quicker than a look at its progress is still complete.
  if (progress && conversion.Error().empty() && shown < 100)
    progress(100, conversion.Seconds());
  return conversion.Error();
}
