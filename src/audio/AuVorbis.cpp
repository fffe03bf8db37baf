#include "AuVorbis.h"

#include "OggPages.h"
#include "VorbisComments.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <random>

using namespace vorbislib;

namespace {

constexpr std::uint32_t InputBlockBytes = 24576;
constexpr int AnalysisFrames = 24576;
constexpr std::size_t DecodeBufferBytes = 12288;

constexpr std::array<long, bitrate499 + 1> BitsPerSecond = {
    -1,     24000,  32000,  45000,  48000,  56000,  64000,  80000,  96000,
    112000, 128000, 144000, 160000, 192000, 224000, 256000, 320000, 499000};

// One sample of interleaved little-endian PCM as the encoder's float, -1 ... 1.
float SampleAt(const std::uint8_t *p, std::uint32_t bytesPerSample) {
  switch (bytesPerSample) {
  case 1: return (p[0] - 128) / 128.0f;
  case 2: return static_cast<std::int16_t>(p[0] | p[1] << 8) / 32768.0f;
  case 3: return (p[0] | static_cast<std::int16_t>(p[1] | p[2] << 8) * 256) / 8388608.0f;
  default:
    return static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24) /
           2147483648.0f;
  }
}

// The decoder's refusal in words: it answers with a number.
std::string OggRefusal(int result) {
  switch (result) {
  case OV_ENOTVORBIS: return "it is an Ogg file, but holds no Vorbis stream";
  case OV_EVERSION: return "its Vorbis stream is of a version that cannot be read";
  case OV_EBADHEADER: return "the headers of its Vorbis stream are damaged";
  case OV_EREAD: return "it could not be read";
  default:
    return "it is not an Ogg Vorbis file that can be read (decoder error " +
           std::to_string(result) + ")";
  }
}

} // namespace

long VorbisBitsPerSecond(TVorbisBitRate rate) { return BitsPerSecond.at(rate); }

TVorbisOut::TVorbisOut(TComponent *owner) : TAuFileOut(owner) {}

TVorbisOut::~TVorbisOut() { ShutDown(); }

void TVorbisOut::SetDesiredNominalBitrate(TVorbisBitRate value) {
  FNominal = value;
  if (value == brAutoSelect) {
    FMaximum = brAutoSelect;
    return;
  }
  if (FMinimum > value)
    FMinimum = value;
  if (FMaximum != brAutoSelect && FMaximum < value)
    FMaximum = value;
}

void TVorbisOut::SetDesiredMaximumBitrate(TVorbisBitRate value) {
  if (FNominal != brAutoSelect && (value == brAutoSelect || value >= FNominal))
    FMaximum = value;
}

void TVorbisOut::SetMinimumBitrate(TVorbisBitRate value) {
  if (value <= FNominal)
    FMinimum = value;
}

void TVorbisOut::Prepare() {
  LoadVorbisLibraries();
  OpenFileStream();
  FInput->Init();
  if (FFileMode == foAppend)
    FStream->Seek(0, TSeekOrigin::soEnd);
  FEndOfStream = false;
  FChannels = FInput->Channels();
  FBytesPerSample = (FInput->BitsPerSample() & 0x7F) / 8; // without a source's marker bit
  if (FBytesPerSample < 1 || FBytesPerSample > 4)
    throw EAuException("Cannot encode this sample format into Vorbis.");
  SetUpEncoder(FChannels, FInput->SampleRate());
  WriteHeaders();
}

void TVorbisOut::SetUpEncoder(std::uint32_t channels, std::uint32_t rate) {
  Vorbis().vorbis_info_init(&FInfo);
  FInfoReady = true;
  if (FNominal == brAutoSelect) {
    // An input format the encoder has no mode for would leave it unusable: refuse it here.
    if (VorbisEnc().vorbis_encode_setup_vbr(&FInfo, channels, rate, FCompression) != 0 ||
        VorbisEnc().vorbis_encode_setup_init(&FInfo) != 0)
      throw EAuException("Vorbis codec setup with the requested quality failed.");
    return;
  }
  const long minimum =
      FMinimum == brAutoSelect ? VorbisBitsPerSecond(FNominal) : VorbisBitsPerSecond(FMinimum);
  if (VorbisEnc().vorbis_encode_init(&FInfo, channels, rate, VorbisBitsPerSecond(FMaximum),
                                     VorbisBitsPerSecond(FNominal), minimum) != 0)
    throw EAuException(
        "Vorbis codec setup with the requested bitrate failed. Try a lower bitrate.");
}

void TVorbisOut::WriteHeaders() {
  Vorbis().vorbis_comment_init(&FComment);
  FCommentReady = true;
  for (int i = 0; i < FComments.Count(); ++i) {
    const std::string name = FComments.Names(i);
    const std::string value = FComments.AsString(name);
    if (!value.empty())
      Vorbis().vorbis_comment_add_tag(&FComment, name.c_str(), value.c_str());
  }
  Vorbis().vorbis_analysis_init(&FDsp, &FInfo);
  Vorbis().vorbis_block_init(&FDsp, &FBlock);
  FDspReady = true;
  if (FRandomSerial)
    FSerial = static_cast<std::int32_t>(std::random_device{}());
  Ogg().ogg_stream_init(&FOggStream, FSerial);
  FStreamReady = true;
  ogg_packet identification, comment, codebooks;
  Vorbis().vorbis_analysis_headerout(&FDsp, &FComment, &identification, &comment, &codebooks);
  for (ogg_packet *packet : {&identification, &comment, &codebooks})
    Ogg().ogg_stream_packetin(&FOggStream, packet);
  ogg_page page;
  while (Ogg().ogg_stream_flush(&FOggStream, &page) != 0)
    WritePage(page);
}

void TVorbisOut::WritePage(const ogg_page &page) {
  if (FStream->Write(page.header, page.header_len) != page.header_len ||
      FStream->Write(page.body, page.body_len) != page.body_len)
    throw EAuException("Error writing ogg file");
}

bool TVorbisOut::DoOutput(bool abort) {
  if (!FCanOutput)
    return true;
  if (abort || FEndOfStream)
    return false;
  std::uint8_t *data = nullptr;
  std::uint32_t bytes = InputBlockBytes;
  FInput->GetData(data, bytes);
  const std::uint32_t frameBytes = FChannels * FBytesPerSample;
  const int frames = static_cast<int>(bytes / frameBytes);
  float **buffer = Vorbis().vorbis_analysis_buffer(&FDsp, AnalysisFrames);
  for (int i = 0; i < frames; ++i)
    for (std::uint32_t j = 0; j < FChannels; ++j)
      buffer[j][i] = SampleAt(data + i * frameBytes + j * FBytesPerSample, FBytesPerSample);
  // No frames tells the encoder the input has ended: it then finishes the stream.
  Vorbis().vorbis_analysis_wrote(&FDsp, frames);
  WritePages();
  return true;
}

void TVorbisOut::WritePages() {
  while (Vorbis().vorbis_analysis_blockout(&FDsp, &FBlock) == 1) {
    Vorbis().vorbis_analysis(&FBlock, nullptr);
    Vorbis().vorbis_bitrate_addblock(&FBlock);
    ogg_packet packet;
    while (Vorbis().vorbis_bitrate_flushpacket(&FDsp, &packet) == 1) {
      Ogg().ogg_stream_packetin(&FOggStream, &packet);
      ogg_page page;
      while (!FEndOfStream && Ogg().ogg_stream_pageout(&FOggStream, &page) != 0) {
        WritePage(page);
        if (Ogg().ogg_page_eos(&page) != 0)
          FEndOfStream = true;
      }
    }
  }
}

void TVorbisOut::Done() {
  FreeOwnStream();
  std::exception_ptr error;
  try {
    FInput->Flush();
  } catch (...) {
    error = std::current_exception();
  }
  FComments.Clear();
  if (FStreamReady)
    Ogg().ogg_stream_clear(&FOggStream);
  if (FDspReady) {
    Vorbis().vorbis_block_clear(&FBlock);
    Vorbis().vorbis_dsp_clear(&FDsp);
  }
  if (FCommentReady)
    Vorbis().vorbis_comment_clear(&FComment);
  if (FInfoReady)
    Vorbis().vorbis_info_clear(&FInfo);
  FStreamReady = FDspReady = FCommentReady = FInfoReady = false;
  if (error)
    std::rethrow_exception(error);
}

TVorbisIn::TVorbisIn(TComponent *owner) : TAuTaggedFileIn(owner), FBuffer(DecodeBufferBytes) {}

TVorbisIn::~TVorbisIn() { CloseFile(); }

std::size_t TVorbisIn::ReadCallback(void *buffer, std::size_t size, std::size_t count,
                                    void *source) {
  auto *self = static_cast<TVorbisIn *>(source);
  if (size == 0)
    return 0;
  const std::int64_t read = self->FStream->Read(buffer, static_cast<std::int64_t>(size * count));
  return read > 0 ? static_cast<std::size_t>(read) / size : 0;
}

// The decoder only tells -1 (failure) from anything else; 0 stands for success because the
// new position of a file beyond 2 GB does not fit the result.
int TVorbisIn::SeekCallback(void *source, ogg_int64_t offset, int whence) {
  auto *self = static_cast<TVorbisIn *>(source);
  if (!self->FSeekable)
    return -1;
  return self->FStream->Seek(offset, SeekOriginOf(whence)) < 0 ? -1 : 0;
}

int TVorbisIn::CloseCallback(void *source) {
  static_cast<TVorbisIn *>(source)->ReleaseStream();
  return 0;
}

long TVorbisIn::TellCallback(void *source) {
  return static_cast<long>(static_cast<TVorbisIn *>(source)->FStream->Position());
}

void TVorbisIn::OpenFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount > 0)
    return;
  LoadVorbisLibraries();
  if (!OpenSourceStream())
    return;
  const TOggLayout layout = WalkOggPages(*FStream);
  std::uint32_t rate = 0, channels = 0;
  for (const TOggLink &link : layout.Links) {
    std::uint32_t linkRate = 0, linkChannels = 0;
    if (!VorbisIdentification(link.FirstPacket, linkRate, linkChannels))
      continue;
    if (rate == 0) {
      rate = linkRate;
      channels = linkChannels;
    } else if (linkRate != rate || linkChannels != channels) {
      FValid = false;
      ReleaseStream();
      throw EAuException("its chained streams differ in sample rate or channels (" +
                         std::to_string(rate) + " Hz, " + std::to_string(channels) +
                         " channels, then " + std::to_string(linkRate) + " Hz, " +
                         std::to_string(linkChannels) + " channels)");
    }
  }
  // The decoder's seeking finds links by their serial numbers and so takes links that share
  // one for a single stream: such a chain is read from start to end, link after link.
  FSeekable = !layout.SerialRepeats;
  const ov_callbacks callbacks = {ReadCallback, SeekCallback, CloseCallback, TellCallback};
  FFile = OggVorbis_File{};
  int result = VorbisFile().ov_test_callbacks(this, &FFile, nullptr, 0, callbacks);
  // A refused file is already cleared by the decoder, which then leaves the stream to us.
  if (result == 0)
    result = VorbisFile().ov_test_open(&FFile);
  if (result != 0) {
    FValid = false;
    ReleaseStream();
    throw EAuException(OggRefusal(result));
  }
  ReadComments();
  const vorbis_info *info = VorbisFile().ov_info(&FFile, -1);
  FChannels = static_cast<std::uint32_t>(info->channels);
  FSampleRate = static_cast<std::uint32_t>(info->rate);
  FBitsPerSample = 16;
  FUpperBitrate = info->bitrate_upper;
  FNominalBitrate = info->bitrate_nominal;
  FLowerBitrate = info->bitrate_lower;
  if (const std::string refusal = SampleRateRefusal(); !refusal.empty()) {
    FValid = false;
    VorbisFile().ov_clear(&FFile); // gives the stream up through CloseCallback
    throw EAuException(refusal);
  }
  std::int64_t total = VorbisFile().ov_pcm_total(&FFile, -1);
  if (layout.SerialRepeats) {
    total = 0;
    for (const TOggLink &link : layout.Links)
      total += link.LastGranule;
  }
  FSize = DecodedSize(total, FChannels);
  FAnnouncedSize = -1;
  FEndMissing = !layout.Links.empty() && !layout.EndsWhole;
  FCurrentSection = -1;
  FDecoderDone = false;
  ++FOpenCount;
}

void TVorbisIn::ReadComments() {
  FVorbisTags.Clear();
  const vorbis_comment *comments = VorbisFile().ov_comment(&FFile, -1);
  for (int i = 0; comments && i < comments->comments; ++i)
    ReadVorbisComment({comments->user_comments[i], std::size_t(comments->comment_lengths[i])},
                      FVorbisTags);
  CommonTagsOf(FVorbisTags, FCommonTags);
}

void TVorbisIn::CloseFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount <= 0)
    return;
  VorbisFile().ov_clear(&FFile); // closes the stream through CloseCallback
  FOpenCount = 0;
}

void TVorbisIn::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart > FBufEnd) {
    FBufStart = 1;
    FBufEnd = 0;
    while (!FDecoderDone && FOpenCount > 0 && FBufEnd < static_cast<std::int32_t>(FBuffer.size())) {
      int section = FCurrentSection;
      const long n = VorbisFile().ov_read(
          &FFile, reinterpret_cast<char *>(BufferAt(FBuffer.data(), FBufEnd + 1)),
          static_cast<int>(FBuffer.size()) - FBufEnd, 0, 2, 1, &section);
      FCurrentSection = section;
      if (n == OV_HOLE)
        continue; // a damaged page is skipped: the decoder goes on after it
      if (n <= 0) {
        FDecoderDone = true;
        break;
      }
      FBufEnd += static_cast<std::int32_t>(n);
      // The last page may decode to more samples than the stream announces.
      if (FSize >= 0 && FPosition + FBufEnd >= FSize) {
        FBufEnd = static_cast<std::int32_t>(std::max<std::int64_t>(FSize - FPosition, 0));
        FDecoderDone = true;
        break;
      }
    }
  }
  const std::uint32_t available = FBufEnd >= FBufStart ? FBufEnd - FBufStart + 1 : 0;
  bytes = std::min(bytes, available);
  buffer = bytes > 0 ? BufferAt(FBuffer.data(), FBufStart) : nullptr;
  FBufStart += static_cast<std::int32_t>(bytes);
}

bool TVorbisIn::Seek(std::int64_t &sample) {
  OpenFile();
  FBufStart = 1;
  FBufEnd = 0;
  FDecoderDone = false;
  return FOpenCount > 0 && VorbisFile().ov_pcm_seek(&FFile, sample) == 0;
}
