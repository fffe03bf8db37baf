#include "Convert.h"

#include "AuConverters.h"
#include "AuFLAC.h"
#include "AuOpus.h"
#include "AuVorbis.h"
#include "AuWaveIn.h"
#include "AuWaveOut.h"
#include "Messages.h"
#include "PartFile.h"
#include "Text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// The longest an Ogg page can be: its header, 255 lacing values and 255 segments of 255 bytes.
constexpr std::size_t LongestOggPage = 27 + 255 + 255 * 255;

std::uint32_t OggCrc(const std::uint8_t *data, std::size_t length) {
  std::uint32_t crc = 0;
  for (std::size_t i = 0; i < length; ++i) {
    crc ^= std::uint32_t(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Whether a whole page, checksum and all, starts at page and ends at end.
bool WholePageUpTo(const std::uint8_t *page, const std::uint8_t *end) {
  const std::size_t room = static_cast<std::size_t>(end - page);
  if (room < 27 || room < 27u + page[26])
    return false;
  std::size_t length = 27u + page[26];
  for (int i = 0; i < page[26]; ++i)
    length += page[27 + i];
  if (length != room)
    return false;
  std::vector<std::uint8_t> copy(page, end);
  std::memset(copy.data() + 22, 0, 4); // the checksum is taken with its own field zeroed
  return OggCrc(copy.data(), copy.size()) ==
         (page[22] | page[23] << 8 | page[24] << 16 | static_cast<std::uint32_t>(page[25]) << 24);
}

// A whole Ogg file ends with a whole page that marks the end of its stream. The decoder takes
// a file cut short for a complete but shorter one, so the cut is found here.
bool OggFileEndsWhole(std::ifstream &file) {
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  const std::streamoff tail = std::min<std::streamoff>(size, LongestOggPage);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(tail));
  file.seekg(size - tail);
  if (!file.read(reinterpret_cast<char *>(bytes.data()), tail))
    return false;
  const std::uint8_t *end = bytes.data() + bytes.size();
  for (std::size_t at = bytes.size(); at-- > 0;)
    if (bytes.size() - at >= 27 && std::memcmp(&bytes[at], "OggS", 4) == 0 &&
        WholePageUpTo(&bytes[at], end))
      return (bytes[at + 5] & 4) != 0;
  return false;
}

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

// Opens input with its reader, naming the file in the reader's refusal.
void OpenWith(TAuFileIn &input, const std::string &name) {
  input.SetFileName(name);
  try {
    input.SampleRate(); // opens the file, raising the decoder's refusal
  } catch (const EAuException &e) {
    throw EAuException(name + ": " + e.what());
  }
}

} // namespace

TConvertWriter WriterFor(const std::string &outputName) {
  const std::string extension =
      plat::LowerCase(std::filesystem::path(outputName).extension().string());
  return extension == ".wav"    ? TConvertWriter::Wave
         : extension == ".ogg"  ? TConvertWriter::Vorbis
         : extension == ".flac" ? TConvertWriter::FLAC
         : extension == ".opus" ? TConvertWriter::Opus
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
    throw EAuException(FOptions.Output + ": the output must be a .wav, .ogg, .flac or .opus file");
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
  const std::string &name = FOptions.Input;
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec))
    throw EAuException(name + ": " + plat::SysErrorMessage(EISDIR));
  std::ifstream file(name, std::ios::binary);
  if (!file)
    throw EAuException(name + ": " + plat::SysErrorMessage(errno));
  // Long enough for an Ogg page's header and the start of the packet it holds.
  char start[64] = {};
  file.read(start, sizeof start);
  const std::string_view head(start, static_cast<std::size_t>(file.gcount()));
  if (head.empty())
    throw EAuException(name + ": the file is empty");
  file.clear();
  if (head.starts_with("OggS")) {
    // An Ogg Opus stream starts with its identification packet, "OpusHead".
    if (head.find("OpusHead") != std::string_view::npos)
      FInput = std::make_unique<TOpusIn>();
    else
      FInput = std::make_unique<TVorbisIn>();
    OpenWith(*FInput, name);
    if (!OggFileEndsWhole(file))
      throw EAuException(name + ": the Ogg file is cut short (its stream has no end)");
  } else if (head.starts_with("fLaC")) {
    FInput = std::make_unique<TFLACIn>();
    OpenWith(*FInput, name);
  } else {
    auto wave = std::make_unique<TWaveIn>();
    wave->SetFileName(name);
    wave->SetLoop(false);
    if (!wave->Valid())
      throw EAuException(name + (head.starts_with("RIFF")
                                     ? ": not a WAV file that can be read"
                                     : ": not a WAV, Ogg Vorbis, FLAC or Opus file"));
    FInput = std::move(wave);
  }
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
  if (wave) {
    auto out = std::make_unique<TWaveOut>();
    out->SetWavType(FOptions.Ima ? wtDVIADPCM : wtPCM);
    out->SetBlockSize(512);
    out->SetCreateNonMsHeaders(false);
    FOutput = std::move(out);
  } else {
    // A file with comments keeps them in a format that has them.
    const TVorbisTags *comments = CommentsOf(FInput.get());
    const TVorbisTags none;
    const TVorbisTags &tags = comments ? *comments : none;
    if (WriterFor(FOptions.Output) == TConvertWriter::FLAC) {
      auto out = std::make_unique<TFLACOut>();
      out->SetComments(tags);
      FOutput = std::move(out);
    } else if (WriterFor(FOptions.Output) == TConvertWriter::Opus) {
      auto out = std::make_unique<TOpusOut>();
      out->SetComments(tags);
      FOutput = std::move(out);
    } else {
      auto out = std::make_unique<TVorbisOut>();
      out->SetCompression(FOptions.Quality);
      out->SetComments(tags);
      FOutput = std::move(out);
    }
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

void TConversion::Finished() {
  FRunning = false;
  const std::string failure = FOutput->ExceptionMessage();
  if (FStopped)
    FError = "The conversion was stopped.";
  else if (!failure.empty())
    FError = failure;
  else if (dynamic_cast<TFLACIn *>(FInput.get()) && FInput->Position() < FInput->Size())
    FError = FOptions.Input + ": the FLAC file is cut short (it holds less than it announces)";
  else if (!FPart->Complete())
    FError = "The converted file could not be named " + FOptions.Output + ".";
  FPart.reset(); // removes the part file of a run that did not complete
}

std::string ConvertFile(const TConvertOptions &options, const std::function<void(int)> &progress,
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
      progress(now);
    }
  }
  if (progress && conversion.Error().empty() && shown < 100)
    progress(100); // a run quicker than a look at its progress is still complete
  return conversion.Error();
}
