#include "AuWaveIn.h"

#include "Acm.h"
#include "AuProcs.h"
#include "WaveConverter.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint32_t DecodeBufferBytes = 16384;
constexpr std::int64_t LongestHeader = 65535;
constexpr TFileMode ReadSharingReads = fmOpenRead | fmShareDenyWrite;
constexpr std::uint16_t MaxMsCoefs = 32;

constexpr std::array<int, 16> MsAdaptation = {230, 230, 230, 230, 307, 409, 512, 614,
                                              768, 614, 512, 409, 307, 230, 230, 230};
// Keeps delta × 768 within an int; real encoders stay far below it.
constexpr int MsLargestDelta = 0x7FFFFFFF / 768;

std::int16_t GetI16(const std::uint8_t *p) { return static_cast<std::int16_t>(wav::GetU16(p)); }

void PutI16(std::uint8_t *p, int v) { wav::PutU16(p, static_cast<std::uint16_t>(v)); }

// The header walk's reads, counted so that the walk gives up past LongestHeader bytes. Bytes
// looked at ahead are handed out again, so streams that cannot seek walk the same way.
class THeaderReader {
public:
  explicit THeaderReader(TStream &stream) : FStream(stream) {}

  std::int64_t Walked() const { return FWalked; }

  bool Read(void *buffer, std::int64_t count) {
    if (FWalked + count > LongestHeader)
      return false;
    auto *out = static_cast<std::uint8_t *>(buffer);
    const auto ahead = static_cast<std::uint32_t>(std::min<std::int64_t>(count, FAheadCount));
    if (ahead > 0) // an empty chunk's body may have no buffer at all
      std::memcpy(out, FAhead + FAheadStart, ahead);
    FAheadStart += ahead;
    FAheadCount -= ahead;
    std::int64_t got = ahead + FStream.Read(out + ahead, count - ahead);
    FWalked += got;
    return got == count;
  }

  // A chunk body and its pad byte.
  bool SkipChunk(std::int64_t length) {
    if (FWalked + length > LongestHeader)
      return false;
    std::vector<std::uint8_t> scratch(static_cast<std::size_t>(length));
    return Read(scratch.data(), length) && SkipPad(length);
  }

  bool ReadChunk(std::vector<std::uint8_t> &body, std::int64_t length) {
    if (FWalked + length > LongestHeader)
      return false;
    body.resize(static_cast<std::size_t>(length));
    return Read(body.data(), length) && SkipPad(length);
  }

  // RIFF keeps chunks at even offsets, but some writers omit the pad byte: the next chunk
  // header (8 bytes, so at least 5 follow) tells.
  bool SkipPad(std::int64_t length) {
    if ((length & 1) == 0)
      return true;
    std::uint8_t next[5];
    if (!Read(next, 5))
      return false;
    std::memcpy(FAhead, next, 5);
    FAheadStart = wav::PadByteOmitted(next) ? 0 : 1;
    FAheadCount = 5 - FAheadStart;
    FWalked -= FAheadCount;
    return true;
  }

  // Slides forward one byte at a time until the last four bytes read are id.
  bool Find(const char *id) {
    std::uint8_t w[4];
    if (!Read(w, 4))
      return false;
    while (!wav::SameId(w, id)) {
      std::memmove(w, w + 1, 3);
      if (!Read(w + 3, 1))
        return false;
    }
    return true;
  }

  // The next chunk header: its identifier and length.
  bool Chunk(std::uint8_t *id, std::uint32_t &length) {
    std::uint8_t head[8];
    if (!Read(head, 8))
      return false;
    std::memcpy(id, head, 4);
    length = wav::GetU32(head + 4);
    return true;
  }

  // Skips chunks until one called id; its length is returned.
  bool FindChunk(const char *id, std::uint32_t &length) {
    std::uint8_t found[4];
    while (Chunk(found, length)) {
      if (wav::SameId(found, id))
        return true;
      if (!SkipChunk(length))
        return false;
    }
    return false;
  }

private:
  TStream &FStream;
  std::int64_t FWalked = 0;
  // Bytes read from the stream but not yet walked.
  std::uint8_t FAhead[5] = {};
  std::uint32_t FAheadStart = 0, FAheadCount = 0;
};

bool IsCompressed(TWavType type) {
  return type == wtDVIADPCM || type == wtMSADPCM || type == wtACM;
}

// Standard IMA ADPCM: each 4-bit code adds a multiple of the current step to the sample and
// moves the step index. Both depend only on the index and the code, so they are worked out
// once for all 89 × 16 pairs: decoding a code is then two table reads and a clamp, the least
// a chain of samples that each depend on the one before can cost.
struct TImaDecodeTable {
  // Entry index × 16 + code: the signed change of the sample, and the next index × 16.
  std::array<std::int32_t, 89 * 16> Delta{};
  std::array<std::uint16_t, 89 * 16> NextRow{};
};

constexpr TImaDecodeTable MakeImaDecodeTable() {
  TImaDecodeTable table;
  for (int index = 0; index < 89; ++index)
    for (int code = 0; code < 16; ++code) {
      const int step = wav::ImaStepTable[index];
      int delta = step >> 3;
      if (code & 4)
        delta += step;
      if (code & 2)
        delta += step >> 1;
      if (code & 1)
        delta += step >> 2;
      table.Delta[16 * index + code] = code & 8 ? -delta : delta;
      table.NextRow[16 * index + code] =
          static_cast<std::uint16_t>(16 * std::clamp(index + wav::ImaIndexTable[code], 0, 88));
    }
  return table;
}

constexpr TImaDecodeTable ImaDecode = MakeImaDecodeTable();

// Inlined: it runs for every sample. row is the step index × 16.
[[gnu::always_inline]] inline int DecodeImaNibble(int code, int &sample, int &row) {
  const int at = row + code;
  sample = std::clamp(sample + ImaDecode.Delta[at], -32767, 32767);
  row = ImaDecode.NextRow[at];
  return sample;
}

} // namespace

TWaveIn::TWaveIn(TComponent *owner) : TAuFileIn(owner) {}

TWaveIn::~TWaveIn() { CloseFile(); }

TWavType TWaveIn::WavType() {
  try {
    OpenFile();
  } catch (const EAuException &) {
    return wtUnsupported;
  }
  return FWavType;
}

bool TWaveIn::ReadFormatChunk(const std::vector<std::uint8_t> &body) {
  if (body.size() < 16)
    return false;
  const std::uint8_t *f = body.data();
  switch (wav::GetU16(f)) {
  case wav::TagPCM: FWavType = wtPCM; break;
  case wav::TagMSADPCM: FWavType = wtMSADPCM; break;
  case wav::TagIEEEFloat: FWavType = wtIEEEFloat; break;
  case wav::TagIMAADPCM: FWavType = wtDVIADPCM; break;
  case wav::TagMPEGLayer3: FWavType = wtACM; break;
  case wav::TagExtensible: FWavType = wtExtPCM; break;
  default: return false;
  }
  FChannels = wav::GetU16(f + 2);
  FSampleRate = wav::GetU32(f + 4);
  (FWavType == wtDVIADPCM ? FImaBlockAlign : FMsBlockAlign) = wav::GetU16(f + 12);
  FBitsPerSample = FStoredBits = wav::GetU16(f + 14);
  if (FWavType == wtExtPCM) {
    // The sub-format follows the extension length, valid bits and channel mask.
    if (body.size() < 40)
      return false;
    if (std::memcmp(f + 24, wav::SubFormatIEEEFloat.data(), 16) == 0)
      FWavType = wtExtIEEEFloat;
    else if (std::memcmp(f + 24, wav::SubFormatPCM.data(), 16) != 0)
      return false;
  }
  if (IsCompressed(FWavType) && body.size() >= 20)
    (FWavType == wtDVIADPCM ? FImaSamplesPerBlock : FMsSamplesPerBlock) = wav::GetU16(f + 18);
  if (FWavType == wtMSADPCM) {
    if (body.size() < 22)
      return false;
    FMsCoefCount = wav::GetU16(f + 20);
    if (FMsCoefCount > MaxMsCoefs || body.size() < 22u + 4u * FMsCoefCount)
      return false;
    for (int i = 0; i < FMsCoefCount; ++i) {
      FMsCoefs[i][0] = GetI16(f + 22 + 4 * i);
      FMsCoefs[i][1] = GetI16(f + 24 + 4 * i);
    }
  }
  return true;
}

bool TWaveIn::ReadHeader() {
  FSize = 0;
  FAnnouncedSize = -1;
  FBitsPerSample = FChannels = FSampleRate = 0;
  FWavType = wtUnsupported;
  THeaderReader r(*FStream);
  std::uint8_t skipped[4];
  std::uint32_t length = 0;
  std::vector<std::uint8_t> body;
  if (!r.Find("RIFF") || !r.Read(skipped, 4) || !r.Find("WAVE") || !r.FindChunk("fmt ", length) ||
      !r.ReadChunk(body, length) || !ReadFormatChunk(body)) {
    FWavType = wtUnsupported;
    return false;
  }
  if (IsCompressed(FWavType)) {
    if (!r.FindChunk("fact", length) || length < 4 || !r.ReadChunk(body, length)) {
      FWavType = wtUnsupported;
      return false;
    }
    auto samples = static_cast<std::int32_t>(wav::GetU32(body.data()));
    (FWavType == wtDVIADPCM ? FImaFactSamples : FMsFactSamples) = samples;
  }
  if (!r.FindChunk("data", length)) {
    FWavType = wtUnsupported;
    return false;
  }
  FDataStart = static_cast<std::uint32_t>(r.Walked());
  ClampDataSize(length);
  return true;
}

// Size is the data length, but never more than the file holds after the header; compressed
// files turn it into decoded bytes later.
void TWaveIn::ClampDataSize(std::int64_t declared) {
  // A streamed file (written before its length was known) announces 0 or the largest length.
  FAnnouncedSize = declared == 0 || declared == 0xFFFFFFFF ? -1 : declared;
  FSize = declared;
  if (FSeekableStream) {
    std::int64_t present = FStream->Size() - FDataStart;
    FSize = std::clamp<std::int64_t>(present, 0, declared);
    FStream->Seek(FDataStart, TSeekOrigin::soBeginning);
  }
}

// Settles the delivered format of a recognised file and whether it can be read at all.
void TWaveIn::CheckFormat() {
  const std::uint32_t channels = FChannels;
  std::uint32_t blockBytes = 0; // decoded bytes of one ADPCM block
  switch (FWavType) {
  case wtPCM:
  case wtExtPCM:
    // Samples narrower than their container are stored left-justified in it, so they read
    // as container-wide samples.
    FBitsPerSample = (FStoredBits + 7) / 8 * 8;
    FValid = FValid && FStoredBits > 0 && FBitsPerSample <= 32 && channels > 0 &&
             channels * (FBitsPerSample / 8) <= DecodeBufferBytes;
    break;
  case wtIEEEFloat:
  case wtExtIEEEFloat:
    FValid = FValid && (FStoredBits == 32 || FStoredBits == 64) && channels > 0 &&
             channels * 8 <= DecodeBufferBytes;
    FFloat32 = FStoredBits == 32;
    if (!FFloat32) {
      FSize = FSize / 2;
      if (FAnnouncedSize > 0)
        FAnnouncedSize = FAnnouncedSize / 2;
    }
    FBitsPerSample = 32;
    break;
  case wtDVIADPCM:
    FBitsPerSample = 16;
    // A stereo block holds its codes in 8-byte groups, 4 bytes per channel.
    FValid = FValid && FStoredBits == 4 && (channels == 1 || channels == 2) &&
             FImaBlockAlign > 4 * channels && FImaSamplesPerBlock > 0 && FImaFactSamples >= 0 &&
             (channels == 1 || (FImaBlockAlign - 8) % 8 == 0);
    break;
  case wtMSADPCM:
    FBitsPerSample = 16;
    // Every sample past the two of the header needs a 4-bit code inside the block.
    FValid = FValid && (channels == 1 || channels == 2) && FMsCoefCount > 0 &&
             FMsBlockAlign >= 7 * channels && FMsSamplesPerBlock >= 2 && FMsFactSamples >= 0 &&
             (FMsSamplesPerBlock - 2) * channels <= 2u * (FMsBlockAlign - 7 * channels);
    break;
  default: break;
  }
  if (FWavType == wtDVIADPCM || FWavType == wtMSADPCM) {
    const bool ima = FWavType == wtDVIADPCM;
    const std::uint32_t align = ima ? FImaBlockAlign : FMsBlockAlign;
    const auto frames = [&](std::uint32_t bytes) -> std::int64_t {
      return ima ? ImaBlockFrames(bytes) : MsBlockFrames(bytes);
    };
    // The "fact" count, but never more than the blocks of the data hold: a writer would fill
    // what is missing with silence.
    if (FValid) {
      blockBytes = static_cast<std::uint32_t>(frames(align)) * 2 * channels;
      const std::int64_t present =
          FSize / align * frames(align) + frames(static_cast<std::uint32_t>(FSize % align));
      const std::int64_t announced =
          std::int64_t(channels) * 2 * (ima ? FImaFactSamples : FMsFactSamples);
      FSize = std::min<std::int64_t>(announced, std::int64_t(channels) * 2 * present);
      if (FAnnouncedSize >= 0)
        FAnnouncedSize = announced;
    } else
      FSize = FAnnouncedSize = 0;
  }
  FBuffer.assign(std::max(DecodeBufferBytes, blockBytes), 0);
}

bool TWaveIn::ConvertAcm() {
  auto converter = std::make_unique<TWaveConverter>();
  FStream->Seek(0, TSeekOrigin::soBeginning);
  converter->LoadFromWaveStream(*FStream);
  converter->TargetFormat()->wFormatTag = WAVE_FORMAT_PCM;
  if (acmFormatSuggest(nullptr, converter->ContentFormat(), converter->TargetFormat(),
                       converter->TargetFormatBytes(),
                       ACM_FORMATSUGGESTF_WFORMATTAG) != MMSYSERR_NOERROR ||
      converter->Convert() != MMSYSERR_NOERROR)
    return false;
  auto converted = std::make_unique<TMemoryStream>();
  if (converter->SaveWaveToStream(*converted) != MMSYSERR_NOERROR)
    return false;
  converter.reset();
  FSourceStream = FStream;
  FSourceAssigned = FStreamAssigned;
  FConvertedStream = std::move(converted);
  FStream = FConvertedStream.get();
  FStreamAssigned = true; // owned by FConvertedStream
  FStream->Seek(0, TSeekOrigin::soBeginning);
  FSeekableStream = true;
  if (ReadHeader() && FWavType == wtPCM) {
    FWavType = wtACM;
    return true;
  }
  FStream = FSourceStream;
  FStreamAssigned = FSourceAssigned;
  FSourceStream = nullptr;
  FConvertedStream.reset();
  FWavType = wtACM;
  return false;
}

void TWaveIn::OpenFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount > 0)
    return;
  FValid = true;
  FFloat32 = false;
  FWavType = wtUnsupported;
  if (!FStreamAssigned && !NameAssigned()) {
    FValid = false;
    return;
  }
  if (!FStreamAssigned && !FStream)
    FStream = new TAuFileStream(FFileName, ReadSharingReads);
  FSeekableStream = FStream->Seek(0, TSeekOrigin::soBeginning) == 0;
  const bool known = ReadHeader();
  FRefusal = known ? SampleRateRefusal() : "";
  // Like any file the reader cannot take, one of an impossible rate reads as empty.
  if (!known || !FRefusal.empty())
    FValid = false;
  if (FValid && FWavType == wtACM && !ConvertAcm()) {
    // Not counted as open: the next query tries again.
    FValid = false;
    if (FStreamAssigned)
      FStream->Seek(0, TSeekOrigin::soBeginning);
    else
      FreeOwnStream();
    return;
  }
  CheckFormat();
  ++FOpenCount;
}

void TWaveIn::CloseFile() {
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount <= 0)
    return;
  if (FConvertedStream) {
    FStream = FSourceStream;
    FStreamAssigned = FSourceAssigned;
    FSourceStream = nullptr;
    FConvertedStream.reset();
  }
  if (FStreamAssigned) {
    if (FStream)
      FStream->Seek(0, TSeekOrigin::soBeginning);
  } else
    FreeOwnStream();
  FOpenCount = 0;
}

std::uint32_t TWaveIn::ReadBlock(std::uint32_t blockAlign) {
  FBlock.resize(blockAlign);
  return static_cast<std::uint32_t>(FStream->Read(FBlock.data(), blockAlign));
}

// A short last block yields the samples its codes cover.
std::uint32_t TWaveIn::ImaBlockFrames(std::uint32_t bytes) const {
  if (bytes < 4 * FChannels)
    return 0;
  return FChannels == 1 ? 1 + 2 * (bytes - 4) : 1 + 8 * ((bytes - 8) / 8);
}

std::uint32_t TWaveIn::DecodeImaBlock(std::uint32_t bytes) {
  const std::uint32_t channels = FChannels;
  const std::uint32_t frames = ImaBlockFrames(bytes);
  if (frames == 0)
    return 0;
  const std::uint8_t *block = FBlock.data();
  std::uint8_t *out = FBuffer.data();
  int sample[2], row[2];
  for (std::uint32_t c = 0; c < channels; ++c) {
    sample[c] = GetI16(block + 4 * c);
    row[c] = 16 * std::min<int>(block[4 * c + 2], 88);
    PutI16(out + 2 * c, sample[c]);
  }
  if (channels == 1) {
    std::uint32_t k = 1;
    for (std::uint32_t i = 4; i < bytes; ++i) {
      PutI16(out + 2 * k++, DecodeImaNibble(block[i] & 15, sample[0], row[0]));
      PutI16(out + 2 * k++, DecodeImaNibble(block[i] >> 4, sample[0], row[0]));
    }
    return frames * 2;
  }
  // Stereo: groups of 8 bytes, 4 of the left channel's codes then 4 of the right's. The two
  // channels are decoded side by side, so that their independent chains overlap.
  const std::uint32_t groups = (frames - 1) / 8;
  for (std::uint32_t g = 0; g < groups; ++g) {
    const std::uint8_t *left = block + 8 + 8 * g;
    const std::uint8_t *right = left + 4;
    std::uint8_t *o = out + 4 * (1 + 8 * g);
    for (int j = 0; j < 4; ++j) {
      PutI16(o + 8 * j, DecodeImaNibble(left[j] & 15, sample[0], row[0]));
      PutI16(o + 8 * j + 2, DecodeImaNibble(right[j] & 15, sample[1], row[1]));
      PutI16(o + 8 * j + 4, DecodeImaNibble(left[j] >> 4, sample[0], row[0]));
      PutI16(o + 8 * j + 6, DecodeImaNibble(right[j] >> 4, sample[1], row[1]));
    }
  }
  return frames * 4;
}

std::int16_t TWaveIn::DecodeMsSample(TMsChannel &c, int code) const {
  const int s = code >= 8 ? code - 16 : code;
  const auto &coef = FMsCoefs[c.Predictor];
  // Integer division rounds the prediction toward zero.
  const int predicted = static_cast<int>(
      (std::int64_t(c.Sample1) * coef[0] + std::int64_t(c.Sample2) * coef[1]) / 256);
  const int value = static_cast<int>(
      std::clamp<std::int64_t>(predicted + std::int64_t(s) * c.Delta, -32768, 32767));
  c.Delta = std::clamp(c.Delta * MsAdaptation[code] / 256, 16, MsLargestDelta);
  c.Sample2 = c.Sample1;
  c.Sample1 = value;
  return static_cast<std::int16_t>(value);
}

// A short last block yields the samples its codes cover.
std::uint32_t TWaveIn::MsBlockFrames(std::uint32_t bytes) const {
  const std::uint32_t header = 7 * FChannels;
  if (bytes < header)
    return 0;
  return std::min<std::uint32_t>(FMsSamplesPerBlock, 2 + 2 * (bytes - header) / FChannels);
}

std::uint32_t TWaveIn::DecodeMsBlock(std::uint32_t bytes) {
  const std::uint32_t channels = FChannels;
  const std::uint32_t header = 7 * channels;
  const std::uint32_t frames = MsBlockFrames(bytes);
  if (frames == 0)
    return 0;
  const std::uint8_t *block = FBlock.data();
  TMsChannel state[2];
  for (std::uint32_t c = 0; c < channels; ++c) {
    state[c].Predictor = block[c];
    state[c].Delta = GetI16(block + channels + 2 * c);
    state[c].Sample1 = GetI16(block + 3 * channels + 2 * c);
    state[c].Sample2 = GetI16(block + 5 * channels + 2 * c);
    // A predictor beyond the pairs the file declares makes the block unreadable: the data
    // ends here.
    if (state[c].Predictor >= FMsCoefCount)
      return 0;
  }
  std::uint8_t *out = FBuffer.data();
  for (std::uint32_t c = 0; c < channels; ++c) {
    PutI16(out + 2 * c, state[c].Sample2);
    PutI16(out + 2 * (channels + c), state[c].Sample1);
  }
  // Codes high nibble first; in stereo the high nibble is the left channel's.
  const std::uint32_t codes = (frames - 2) * channels;
  for (std::uint32_t m = 0; m < codes; ++m) {
    const std::uint8_t b = block[header + m / 2];
    const int code = m % 2 == 0 ? b >> 4 : b & 15;
    PutI16(out + 2 * (2 * channels + m), DecodeMsSample(state[m % channels], code));
  }
  return frames * 2 * channels;
}

void TWaveIn::Refill() {
  FBufStart = 1;
  FBufEnd = 0;
  std::uint8_t *buffer = FBuffer.data();
  switch (FWavType) {
  case wtPCM:
  case wtExtPCM: {
    const std::uint32_t frame = FChannels * (FBitsPerSample / 8);
    FBufEnd = static_cast<std::int32_t>(
        FStream->Read(buffer, DecodeBufferBytes - DecodeBufferBytes % frame));
    break;
  }
  case wtACM: FBufEnd = static_cast<std::int32_t>(FStream->Read(buffer, DecodeBufferBytes)); break;
  case wtIEEEFloat:
  case wtExtIEEEFloat: {
    const std::uint32_t frame = FChannels * 8;
    const auto got = static_cast<std::size_t>(
        FStream->Read(buffer, DecodeBufferBytes - DecodeBufferBytes % frame));
    if (FFloat32) {
      ConvertFloat32ToInt32(buffer, got / 4);
      FBufEnd = static_cast<std::int32_t>(got / 4 * 4);
    } else {
      ConvertFloat64ToInt32(buffer, got / 8);
      FBufEnd = static_cast<std::int32_t>(got / 8 * 4);
    }
    break;
  }
  case wtDVIADPCM:
    FBufEnd = static_cast<std::int32_t>(DecodeImaBlock(ReadBlock(FImaBlockAlign)));
    break;
  case wtMSADPCM:
    FBufEnd = static_cast<std::int32_t>(DecodeMsBlock(ReadBlock(FMsBlockAlign)));
    break;
  default: break;
  }
}

void TWaveIn::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart > FBufEnd && FValid && FStream)
    Refill();
  // Whole frames only; a partial frame at the very end is never handed out.
  const std::uint32_t available = FBufEnd >= FBufStart ? FBufEnd - FBufStart + 1 : 0;
  const std::uint32_t frame = std::max<std::uint32_t>(FFrameSize, 1);
  bytes = std::min(bytes, available);
  bytes -= bytes % frame;
  buffer = bytes > 0 ? BufferAt(FBuffer.data(), FBufStart) : nullptr;
  FBufStart += static_cast<std::int32_t>(bytes);
}

bool TWaveIn::Seek(std::int64_t &sample) {
  FBufStart = 1;
  FBufEnd = 0;
  if (!FValid || !FStream || sample < 0)
    return false;
  std::int64_t position;
  switch (FWavType) {
  case wtPCM:
  case wtExtPCM:
  case wtACM: position = FDataStart + sample * (FBitsPerSample / 8) * FChannels; break;
  case wtIEEEFloat:
  case wtExtIEEEFloat: position = FDataStart + sample * (FStoredBits / 8) * FChannels; break;
  case wtDVIADPCM: position = FDataStart + sample / FImaSamplesPerBlock * FImaBlockAlign; break;
  case wtMSADPCM: position = FDataStart + sample / FMsSamplesPerBlock * FMsBlockAlign; break;
  default: return false;
  }
  return FStream->Seek(position, TSeekOrigin::soBeginning) == position;
}
