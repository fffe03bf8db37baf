#include "AuFLAC.h"

#include "Text.h"
#include "VorbisComments.h"

#include <FLAC/metadata.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>

namespace {

constexpr std::uint32_t SeekPointSeconds = 10;

// Interleaved little-endian PCM as the encoder's signed integers, one width per loop.
void IntegerSamples(const std::uint8_t *p, std::uint32_t bytesPerSample, FLAC__int32 *out,
                    std::size_t count) {
  switch (bytesPerSample) {
  case 1:
    for (std::size_t i = 0; i < count; ++i)
      out[i] = p[i] - 128;
    break;
  case 2:
    for (std::size_t i = 0; i < count; ++i, p += 2)
      out[i] = static_cast<std::int16_t>(p[0] | p[1] << 8);
    break;
  case 3:
    for (std::size_t i = 0; i < count; ++i, p += 3)
      out[i] = static_cast<std::int32_t>(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                                         std::uint32_t(p[2]) << 24) >>
               8;
    break;
  default:
    for (std::size_t i = 0; i < count; ++i, p += 4)
      out[i] = static_cast<std::int32_t>(p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24);
  }
}

} // namespace

TFLACOut::TFLACOut(TComponent *owner) : TAuLibraryOutput(owner, "FLAC") {}

TFLACOut::~TFLACOut() { ShutDown(); }

void TFLACOut::SetCompressionLevel(int value) {
  FLevel = std::clamp(value, FLACFastest, FLACSmallest);
}

void TFLACOut::OpenEncoder() {
  FWriteError = 0;
  FEncoder = FLAC__stream_encoder_new();
  if (!FEncoder)
    throw EAuException("The FLAC encoder could not be created.");
  const std::uint32_t rate = FInput->SampleRate();
  FLAC__stream_encoder_set_verify(FEncoder, true);
  FLAC__stream_encoder_set_compression_level(FEncoder, static_cast<std::uint32_t>(FLevel));
  FLAC__stream_encoder_set_channels(FEncoder, FChannels);
  FLAC__stream_encoder_set_bits_per_sample(FEncoder, FBytesPerSample * 8);
  FLAC__stream_encoder_set_sample_rate(FEncoder, rate);
  const std::int64_t size = FInput->Size();
  const std::uint64_t frames = size > 0 ? std::uint64_t(size) / (FChannels * FBytesPerSample) : 0;
  FLAC__stream_encoder_set_total_samples_estimate(FEncoder, frames);
  AddMetadata(frames);
  const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
      FEncoder, WriteCallback, SeekCallback, TellCallback, nullptr, this);
  if (status == FLAC__STREAM_ENCODER_INIT_STATUS_ENCODER_ERROR)
    Fail("FLAC encoder setup failed");
  if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
    throw EAuException(std::string("FLAC encoder setup failed: ") +
                       FLAC__StreamEncoderInitStatusString[status]);
}

void TFLACOut::AddMetadata(std::uint64_t totalFrames) {
  int count = 0;
  FMetadata[count] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
  for (const std::string &entry : VorbisCommentEntries(FComments)) {
    FLAC__StreamMetadata_VorbisComment_Entry comment;
    comment.length = static_cast<FLAC__uint32>(entry.size());
    comment.entry = reinterpret_cast<FLAC__byte *>(const_cast<char *>(entry.data()));
    FLAC__metadata_object_vorbiscomment_append_comment(FMetadata[count], comment, true);
  }
  ++count;
  // Seek points need the length: the encoder fills in where each frame went as it writes.
  if (totalFrames > 0) {
    FMetadata[count] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
        FMetadata[count], FInput->SampleRate() * SeekPointSeconds, totalFrames);
    FLAC__metadata_object_seektable_template_sort(FMetadata[count], true);
    ++count;
  }
  FLAC__stream_encoder_set_metadata(FEncoder, FMetadata, static_cast<std::uint32_t>(count));
}

void TFLACOut::Fail(const char *what) {
  // The encoder names only its own state; a write that failed has the system's reason.
  throw EAuException(std::string(what) + ": " +
                     (FWriteError != 0
                          ? plat::SysErrorMessage(FWriteError)
                          : std::string(FLAC__stream_encoder_get_resolved_state_string(FEncoder))));
}

FLAC__StreamEncoderWriteStatus TFLACOut::WriteCallback(const FLAC__StreamEncoder *,
                                                       const FLAC__byte buffer[], size_t bytes,
                                                       uint32_t, uint32_t, void *output) {
  auto *self = static_cast<TFLACOut *>(output);
  errno = 0;
  try {
    if (self->FStream->Write(buffer, static_cast<std::int64_t>(bytes)) ==
        static_cast<std::int64_t>(bytes))
      return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
  } catch (const std::exception &) {
  }
  self->FWriteError = errno != 0 ? errno : EIO;
  return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus TFLACOut::SeekCallback(const FLAC__StreamEncoder *,
                                                     FLAC__uint64 offset, void *output) {
  auto *self = static_cast<TFLACOut *>(output);
  try {
    if (self->FStream->Seek(static_cast<std::int64_t>(offset), TSeekOrigin::soBeginning) >= 0)
      return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
  } catch (const std::exception &) {
  }
  return FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
}

FLAC__StreamEncoderTellStatus TFLACOut::TellCallback(const FLAC__StreamEncoder *,
                                                     FLAC__uint64 *offset, void *output) {
  const std::int64_t position = static_cast<TFLACOut *>(output)->FStream->Position();
  if (position < 0)
    return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
  *offset = static_cast<FLAC__uint64>(position);
  return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

void TFLACOut::Encode(const std::uint8_t *data, std::uint32_t frames) {
  FSamples.resize(std::size_t{frames} * FChannels);
  IntegerSamples(data, FBytesPerSample, FSamples.data(), FSamples.size());
  if (!FLAC__stream_encoder_process_interleaved(FEncoder, FSamples.data(), frames))
    Fail("Error writing FLAC file");
}

// Writes the last frames, then the length, the checksum and the seek points in front.
void TFLACOut::FinishEncoder() {
  if (!FLAC__stream_encoder_finish(FEncoder))
    Fail("Error writing FLAC file");
}

void TFLACOut::CloseEncoder() {
  // An encoder deleted before it finished finishes into its file first: that file is given
  // up with the run, so the stream goes only after it.
  if (FEncoder)
    FLAC__stream_encoder_delete(FEncoder);
  FEncoder = nullptr;
  for (FLAC__StreamMetadata *&block : FMetadata) {
    if (block)
      FLAC__metadata_object_delete(block);
    block = nullptr;
  }
}

TFLACIn::TFLACIn(TComponent *owner) : TAuTaggedFileIn(owner) {}

TFLACIn::~TFLACIn() { CloseFile(); }

FLAC__StreamDecoderReadStatus TFLACIn::ReadCallback(const FLAC__StreamDecoder *,
                                                    FLAC__byte buffer[], size_t *bytes,
                                                    void *input) {
  auto *self = static_cast<TFLACIn *>(input);
  std::int64_t read = -1;
  try {
    read = self->FStream->Read(buffer, static_cast<std::int64_t>(*bytes));
  } catch (const std::exception &) {
  }
  *bytes = read > 0 ? static_cast<size_t>(read) : 0;
  return read < 0    ? FLAC__STREAM_DECODER_READ_STATUS_ABORT
         : read == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                     : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderSeekStatus TFLACIn::SeekCallback(const FLAC__StreamDecoder *,
                                                    FLAC__uint64 offset, void *input) {
  auto *self = static_cast<TFLACIn *>(input);
  if (!self->FSeekable)
    return FLAC__STREAM_DECODER_SEEK_STATUS_UNSUPPORTED;
  return self->FStream->Seek(static_cast<std::int64_t>(offset), TSeekOrigin::soBeginning) < 0
             ? FLAC__STREAM_DECODER_SEEK_STATUS_ERROR
             : FLAC__STREAM_DECODER_SEEK_STATUS_OK;
}

FLAC__StreamDecoderTellStatus TFLACIn::TellCallback(const FLAC__StreamDecoder *,
                                                    FLAC__uint64 *offset, void *input) {
  const std::int64_t position = static_cast<TFLACIn *>(input)->FStream->Position();
  if (position < 0)
    return FLAC__STREAM_DECODER_TELL_STATUS_ERROR;
  *offset = static_cast<FLAC__uint64>(position);
  return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus TFLACIn::LengthCallback(const FLAC__StreamDecoder *,
                                                        FLAC__uint64 *length, void *input) {
  const std::int64_t size = static_cast<TFLACIn *>(input)->FStream->Size();
  if (size < 0)
    return FLAC__STREAM_DECODER_LENGTH_STATUS_ERROR;
  *length = static_cast<FLAC__uint64>(size);
  return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool TFLACIn::EofCallback(const FLAC__StreamDecoder *, void *input) {
  TStream *stream = static_cast<TFLACIn *>(input)->FStream;
  return stream->Position() >= stream->Size();
}

// Each frame goes into the buffer as interleaved little-endian PCM, the file's width rounded
// up to whole bytes (shifted to the top, 8 bits unsigned).
FLAC__StreamDecoderWriteStatus TFLACIn::WriteCallback(const FLAC__StreamDecoder *,
                                                      const FLAC__Frame *frame,
                                                      const FLAC__int32 *const channels[],
                                                      void *input) {
  auto *self = static_cast<TFLACIn *>(input);
  const std::uint32_t width = self->FBitsPerSample / 8;
  const std::uint32_t count = self->FChannels;
  // A frame of another format than the stream's would be read as the wrong sound.
  if (frame->header.channels != count || frame->header.bits_per_sample != self->FFileBits)
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  const std::uint32_t shift = width * 8 - self->FFileBits;
  const std::size_t at = self->FBuffer.size();
  self->FBuffer.resize(at + std::size_t{frame->header.blocksize} * count * width);
  std::uint8_t *out = self->FBuffer.data() + at;
  for (std::uint32_t i = 0; i < frame->header.blocksize; ++i)
    for (std::uint32_t c = 0; c < count; ++c) {
      std::uint32_t value = static_cast<std::uint32_t>(channels[c][i]) << shift;
      if (width == 1)
        value += 128;
      for (std::uint32_t b = 0; b < width; ++b)
        *out++ = static_cast<std::uint8_t>(value >> (8 * b));
    }
  return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void TFLACIn::MetadataCallback(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *metadata,
                               void *input) {
  auto *self = static_cast<TFLACIn *>(input);
  if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
    const FLAC__StreamMetadata_StreamInfo &info = metadata->data.stream_info;
    self->FHasStreamInfo = true;
    self->FFileBits = info.bits_per_sample;
    self->FChannels = info.channels;
    self->FSampleRate = info.sample_rate;
    self->FBitsPerSample = (info.bits_per_sample + 7) / 8 * 8;
    const std::int64_t frameBytes = std::int64_t{info.channels} * ((info.bits_per_sample + 7) / 8);
    self->FSize =
        info.total_samples > 0 ? static_cast<std::int64_t>(info.total_samples) * frameBytes : -1;
    self->FAnnouncedSize = self->FSize.load();
  } else if (metadata->type == FLAC__METADATA_TYPE_VORBIS_COMMENT) {
    const FLAC__StreamMetadata_VorbisComment &comments = metadata->data.vorbis_comment;
    for (FLAC__uint32 i = 0; i < comments.num_comments; ++i)
      ReadVorbisComment(
          {reinterpret_cast<const char *>(comments.comments[i].entry), comments.comments[i].length},
          self->FVorbisTags);
  }
}

// A damaged frame is skipped by the decoder, which then looks for the next one.
void TFLACIn::ErrorCallback(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *) {}

void TFLACIn::Release() {
  if (FDecoder)
    FLAC__stream_decoder_delete(FDecoder);
  FDecoder = nullptr;
  ReleaseStream();
}

void TFLACIn::OpenFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount > 0)
    return;
  if (!OpenSourceStream())
    return;
  // The decoder would search a file of another kind to its end for a frame: look at the
  // start first (a FLAC file may begin with an ID3v2 tag).
  char start[4] = {};
  const bool known = FStream->Read(start, 4) == 4 &&
                     (std::memcmp(start, "fLaC", 4) == 0 || std::memcmp(start, "ID3", 3) == 0);
  FStream->Seek(0, TSeekOrigin::soBeginning);
  FVorbisTags.Clear();
  FHasStreamInfo = false;
  FAnnouncedSize = -1;
  FDecoder = known ? FLAC__stream_decoder_new() : nullptr;
  if (FDecoder) {
    FLAC__stream_decoder_set_metadata_respond(FDecoder, FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (FLAC__stream_decoder_init_stream(FDecoder, ReadCallback, SeekCallback, TellCallback,
                                         LengthCallback, EofCallback, WriteCallback,
                                         MetadataCallback, ErrorCallback,
                                         this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(FDecoder))
      FHasStreamInfo = false;
  }
  if (!FHasStreamInfo || FChannels == 0 || FSampleRate == 0) {
    FValid = false;
    Release();
    throw EAuException("Not a FLAC file that can be read.");
  }
  if (const std::string refusal = SampleRateRefusal(); !refusal.empty()) {
    FValid = false;
    Release();
    throw EAuException(refusal);
  }
  CommonTagsOf(FVorbisTags, FCommonTags);
  FBuffer.clear();
  FSeekFrame = false;
  FDecoderDone = false;
  ++FOpenCount;
}

void TFLACIn::CloseFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount <= 0)
    return;
  Release();
  FOpenCount = 0;
}

void TFLACIn::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart > FBufEnd) {
    if (!FSeekFrame)
      FBuffer.clear();
    FSeekFrame = false;
    // One frame at a time; a file cut short ends after its last whole frame.
    while (!FDecoderDone && FOpenCount > 0 && FBuffer.empty())
      if (!FLAC__stream_decoder_process_single(FDecoder) ||
          FLAC__stream_decoder_get_state(FDecoder) >= FLAC__STREAM_DECODER_END_OF_STREAM)
        FDecoderDone = true;
    FBufStart = 1;
    FBufEnd = static_cast<std::int32_t>(FBuffer.size());
  }
  const std::uint32_t available = FBufEnd >= FBufStart ? FBufEnd - FBufStart + 1 : 0;
  bytes = std::min(bytes, available);
  buffer = bytes > 0 ? BufferAt(FBuffer.data(), FBufStart) : nullptr;
  FBufStart += static_cast<std::int32_t>(bytes);
}

bool TFLACIn::Seek(std::int64_t &sample) {
  OpenFile();
  // The decoder hands the frame from the sample on to the write callback as it seeks.
  FBuffer.clear();
  FDecoderDone = false;
  bool result = FOpenCount > 0 &&
                FLAC__stream_decoder_seek_absolute(FDecoder, static_cast<FLAC__uint64>(sample));
  if (!result && FOpenCount > 0 &&
      FLAC__stream_decoder_get_state(FDecoder) == FLAC__STREAM_DECODER_SEEK_ERROR) {
    FBuffer.clear();
    FLAC__stream_decoder_flush(FDecoder);
  }
  FSeekFrame = !FBuffer.empty();
  FBufStart = 1;
  FBufEnd = 0;
  return result;
}
