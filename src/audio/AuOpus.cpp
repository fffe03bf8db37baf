#include "AuOpus.h"

#include "AuProcs.h"
#include "OggPages.h"
#include "VorbisComments.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr std::uint32_t DecodedRate = 48000;
constexpr std::size_t DecodeBufferSamples = 11520; // 120 ms of stereo: the longest packet

} // namespace

TOpusOut::TOpusOut(TComponent *owner) : TAuLibraryOutput(owner, "Opus") {}

TOpusOut::~TOpusOut() { ShutDown(); }

void TOpusOut::SetBitRate(int value) {
  FBitRate = std::clamp(value, OpusLowestBitRate, OpusHighestBitRate);
}

void TOpusOut::Fail(const char *what, int error) {
  throw EAuException(std::string(what) + ": " + ope_strerror(error));
}

void TOpusOut::OpenEncoder() {
  OggOpusComments *comments = ope_comments_create();
  if (!comments)
    throw EAuException("The Opus encoder could not be created.");
  for (const std::string &entry : VorbisCommentEntries(FComments))
    ope_comments_add_string(comments, entry.c_str());
  const OpusEncCallbacks callbacks = {WriteCallback, CloseCallback};
  int error = OPE_OK;
  // Mapping family 0 holds mono and stereo; family 1 the surround layouts up to eight.
  FEncoder = ope_encoder_create_callbacks(
      &callbacks, this, comments, static_cast<opus_int32>(FInput->SampleRate()),
      static_cast<int>(FChannels), FChannels > 2 ? 1 : 0, &error);
  ope_comments_destroy(comments); // the encoder keeps its own copy
  if (!FEncoder)
    Fail("Opus encoder setup failed", error);
  ope_encoder_ctl(FEncoder, OPUS_SET_VBR(1));
  error = ope_encoder_ctl(FEncoder, OPUS_SET_BITRATE(FBitRate * 1000));
  if (error != OPE_OK)
    Fail("Opus encoder setup failed", error);
}

int TOpusOut::WriteCallback(void *output, const unsigned char *data, opus_int32 bytes) {
  auto *self = static_cast<TOpusOut *>(output);
  try {
    return self->FStream->Write(data, bytes) == bytes ? 0 : 1;
  } catch (const std::exception &) {
    return 1;
  }
}

// The stream is this output's to close, in Done.
int TOpusOut::CloseCallback(void *) { return 0; }

void TOpusOut::Encode(const std::uint8_t *data, std::uint32_t frames) {
  FSamples.resize(std::size_t{frames} * FChannels);
  ConvertToFloat(static_cast<int>(FBytesPerSample), data, FSamples.data(), FSamples.size());
  if (const int error =
          ope_encoder_write_float(FEncoder, FSamples.data(), static_cast<int>(frames));
      error != OPE_OK)
    Fail("Error writing Opus file", error);
}

// Encodes what the encoder still holds and writes the last page, marked as the end.
void TOpusOut::FinishEncoder() {
  if (const int error = ope_encoder_drain(FEncoder); error != OPE_OK)
    Fail("Error writing Opus file", error);
}

void TOpusOut::CloseEncoder() {
  if (FEncoder)
    ope_encoder_destroy(FEncoder);
  FEncoder = nullptr;
}

TOpusIn::TOpusIn(TComponent *owner) : TAuTaggedFileIn(owner), FBuffer(DecodeBufferSamples) {}

TOpusIn::~TOpusIn() { CloseFile(); }

int TOpusIn::ReadCallback(void *source, unsigned char *buffer, int bytes) {
  auto *self = static_cast<TOpusIn *>(source);
  try {
    return static_cast<int>(self->FStream->Read(buffer, bytes));
  } catch (const std::exception &) {
    return -1;
  }
}

int TOpusIn::SeekCallback(void *source, opus_int64 offset, int whence) {
  auto *self = static_cast<TOpusIn *>(source);
  if (!self->FSeekable)
    return -1;
  return self->FStream->Seek(offset, SeekOriginOf(whence)) < 0 ? -1 : 0;
}

opus_int64 TOpusIn::TellCallback(void *source) {
  return static_cast<TOpusIn *>(source)->FStream->Position();
}

void TOpusIn::OpenFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount > 0)
    return;
  if (!OpenSourceStream())
    return;
  const TOggLayout layout = WalkOggPages(*FStream);
  // No close callback: the stream is this input's, given up in CloseFile.
  const OpusFileCallbacks callbacks = {ReadCallback, SeekCallback, TellCallback, nullptr};
  int error = 0;
  FFile = op_open_callbacks(this, &callbacks, nullptr, 0, &error);
  if (!FFile) {
    FValid = false;
    ReleaseStream();
    throw EAuException(error == OP_ENOTFORMAT || error == OP_EBADHEADER
                           ? "it is not an Opus file that can be read: its headers are missing "
                             "or damaged"
                           : "it is not an Opus file that can be read (decoder error " +
                                 std::to_string(error) + ")");
  }
  FVorbisTags.Clear();
  if (const OpusTags *tags = op_tags(FFile, 0))
    for (int i = 0; i < tags->comments; ++i)
      ReadVorbisComment({tags->user_comments[i], std::size_t(tags->comment_lengths[i])},
                        FVorbisTags);
  CommonTagsOf(FVorbisTags, FCommonTags);
  const int channels = op_channel_count(FFile, 0);
  FStereo = false;
  for (int link = 1; link < op_link_count(FFile); ++link)
    FStereo = FStereo || op_channel_count(FFile, link) != channels;
  FChannels = FStereo ? 2 : static_cast<std::uint32_t>(channels);
  FSampleRate = DecodedRate;
  FBitsPerSample = 16;
  const ogg_int64_t total = op_pcm_total(FFile, -1);
  FSize = DecodedSize(total, FChannels);
  FAnnouncedSize = -1;
  FEndMissing = !layout.Links.empty() && !layout.EndsWhole;
  FDecoderDone = false;
  ++FOpenCount;
}

void TOpusIn::CloseFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount <= 0)
    return;
  op_free(FFile);
  FFile = nullptr;
  ReleaseStream();
  FOpenCount = 0;
}

void TOpusIn::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart > FBufEnd) {
    FBufStart = 1;
    FBufEnd = 0;
    const int room = static_cast<int>(FBuffer.size());
    // A damaged packet (a hole in the file) is skipped; the end of the data ends the run.
    int frames = OP_HOLE;
    while (!FDecoderDone && FOpenCount > 0 && frames == OP_HOLE)
      frames = FStereo ? op_read_stereo(FFile, FBuffer.data(), room)
                       : op_read(FFile, FBuffer.data(), room, nullptr);
    if (frames <= 0)
      FDecoderDone = true;
    else
      FBufEnd = frames * static_cast<std::int32_t>(FChannels) * 2;
  }
  const std::uint32_t available = FBufEnd >= FBufStart ? FBufEnd - FBufStart + 1 : 0;
  bytes = std::min(bytes, available);
  buffer =
      bytes > 0 ? BufferAt(reinterpret_cast<std::uint8_t *>(FBuffer.data()), FBufStart) : nullptr;
  FBufStart += static_cast<std::int32_t>(bytes);
}

bool TOpusIn::Seek(std::int64_t &sample) {
  OpenFile();
  FBufStart = 1;
  FBufEnd = 0;
  FDecoderDone = false;
  return FOpenCount > 0 && op_pcm_seek(FFile, sample) == 0;
}
