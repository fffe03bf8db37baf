#include "AuWaveOut.h"

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

constexpr std::uint32_t PCMBlockBytes = 16384;
constexpr std::int64_t LargestField = 0xFFFFFFFF;

// A length for a 32-bit header field; one that does not fit is held at the largest value, never
// wrapped. An unknown length (-1) stays the customary 0xFFFFFFFF.
std::uint32_t Field(std::int64_t value) {
  return static_cast<std::uint32_t>(std::min(value, LargestField));
}

// Frames the input announces: its Size in 16-bit (or other) samples per channel.
std::uint32_t AnnouncedFrames(std::int64_t size, std::uint32_t bits, std::uint32_t channels) {
  return Field(size / (bits / 8) / channels);
}

std::uint32_t ChannelMask(std::uint32_t channels) {
  return channels <= 18 ? (1u << channels) - 1 : 0;
}

} // namespace

TWaveOut::TWaveOut(TComponent *owner) : TAuFileOut(owner) {}

TWaveOut::~TWaveOut() { ShutDown(); }

void TWaveOut::SetWavType(TWavType value) {
  if (!FBusy && (value == wtPCM || value == wtDVIADPCM))
    FWavType = value;
}

void TWaveOut::SetBlockSize(std::uint16_t value) {
  if (!FBusy && value != 0 && value % 4 == 0)
    FBlockSize = value;
}

// Exceptions leave cleaning up to Done, which then finds no header of this run to finish: a
// file refused for appending is left exactly as it was.
void TWaveOut::Prepare() {
  FEndReached = false;
  FAppending = false;
  FHeaderWritten = false;
  FFailed = false;
  FImaBlocks = 0;
  FImaPadding = 0;
  OpenFileStream();
  FInput->Init();
  FChannels = FInput->Channels();
  FBits = FInput->BitsPerSample() & 0x7F; // without a source's marker bit
  // Only PCM has an extensible form: asked-for ADPCM is encoded or refused, never replaced.
  if ((FChannels > 2 || FBits > 16) && !FCreateNonMsHeaders && FWavType == wtPCM)
    FWavType = wtExtPCM;
  bool appendTo = FFileMode == foAppend && FStream->Size() > 0;
  if (appendTo) {
    ReadAppendHeader();
    if (FAppendType != wtPCM && FAppendType != wtDVIADPCM)
      throw EAuException("Cannot append data to this .wav file.");
    FWavType = FAppendType;
  }
  std::uint32_t rate = FInput->SampleRate();
  switch (FWavType) {
  case wtDVIADPCM:
    if (FBits != 16)
      throw EAuException("Cannot encode 8 bit sound into ADPCM.");
    if (appendTo)
      return PrepareAppend(rate == FAppendRate && FChannels == FAppendChannels);
    CheckImaFormat();
    WriteHeader();
    FIndexL = 0;
    FIndexR = 0;
    break;
  case wtPCM:
    if (appendTo)
      return PrepareAppend(rate == FAppendRate && FBits == FAppendBits &&
                           FChannels == FAppendChannels);
    WriteHeader();
    break;
  default: WriteHeader(); break;
  }
}

// The encoder knows mono and stereo blocks; stereo codes come in 8-byte groups. A block needs
// codes after its channel headers, and the format chunk counts its samples in 16 bits: the
// reader refuses any other block.
void TWaveOut::CheckImaFormat() {
  if (FChannels < 1 || FChannels > 2)
    throw EAuException("Cannot encode this channel count into ADPCM.");
  if (FBlockSize <= 4 * FChannels || (FChannels == 2 && FBlockSize % 8 != 0) ||
      wav::ImaSamplesPerBlock(FChannels, FBlockSize) > 0xFFFF)
    throw EAuException("Invalid ADPCM block size");
}

void TWaveOut::PrepareAppend(bool sameFormat) {
  if (!sameFormat)
    throw EAuException("Cannot append data in different audio format.");
  std::int64_t length = FStream->Size();
  std::int64_t dataEnd = std::int64_t(FDataStart) + FAppendDataSize;
  // Audio added behind a chunk that follows the data would become part of the data, and
  // ADPCM added behind a cut block would be decoded out of step: refuse both. A data length
  // beyond the file (a header never finished) is corrected in Done.
  if (dataEnd + 1 < length ||
      (FWavType == wtDVIADPCM && (std::min(dataEnd, length) - FDataStart) % FBlockSize != 0))
    throw EAuException("Cannot append data to this .wav file.");
  std::int64_t end = std::min(dataEnd, length);
  if (end < length)
    FStream->SetSize(end); // a pad byte
  FStream->Seek(end, TSeekOrigin::soBeginning);
  FAppending = true;
  FHeaderWritten = true;
}

void TWaveOut::ReadAppendHeader() {
  FAppendType = wtUnsupported;
  std::vector<std::uint8_t> h(8192);
  FStream->SetPosition(0);
  const std::size_t n = static_cast<std::size_t>(FStream->Read(h.data(), 8192));
  std::size_t p = 0;
  auto find = [&](const char *id) {
    while (p + 4 <= n && !wav::SameId(&h[p], id))
      ++p;
    if (p + 4 > n)
      return false;
    p += 4;
    return true;
  };
  if (!find("RIFF"))
    return;
  p += 4;
  if (!find("WAVE"))
    return;
  enum { expectFmt, expectFact, expectData } expect = expectFmt;
  TWavType type = wtUnsupported;
  while (p + 8 <= n) {
    const std::uint8_t *chunk = &h[p];
    const std::size_t body = p + 8;
    if (expect == expectFmt && wav::SameId(chunk, "fmt ")) {
      if (body + 16 > n)
        return;
      std::uint16_t tag = wav::GetU16(&h[body]);
      if (tag != wav::TagPCM && tag != wav::TagIMAADPCM)
        return;
      type = tag == wav::TagPCM ? wtPCM : wtDVIADPCM;
      FAppendChannels = wav::GetU16(&h[body + 2]);
      FAppendRate = wav::GetU32(&h[body + 4]);
      std::uint16_t align = wav::GetU16(&h[body + 12]);
      FAppendBits = wav::GetU16(&h[body + 14]);
      if (type == wtDVIADPCM) {
        // Only blocks this writer can continue; the block size of a PCM file means nothing
        // to a later ADPCM run, so the property keeps its value then.
        bool usable =
            FAppendBits == 4 && align > 4 * FAppendChannels &&
            ((FAppendChannels == 1 && align % 4 == 0) || (FAppendChannels == 2 && align % 8 == 0));
        if (!usable)
          return;
        FBlockSize = align;
      }
      expect = type == wtDVIADPCM ? expectFact : expectData;
    } else if (expect == expectFact && wav::SameId(chunk, "fact")) {
      if (body + 4 > n)
        return;
      FAppendFactSamples = wav::GetU32(&h[body]);
      FFactValueOffset = static_cast<std::uint32_t>(body);
      expect = expectData;
    } else if (expect == expectData && wav::SameId(chunk, "data")) {
      FDataSizeOffset = static_cast<std::uint32_t>(p + 4);
      FAppendDataSize = wav::GetU32(&h[p + 4]);
      FDataStart = static_cast<std::uint32_t>(body);
      FAppendType = type;
      return;
    }
    const std::uint32_t length = wav::GetU32(&h[p + 4]);
    p = body + length;
    if (length % 2 == 1 && !(p + 5 <= n && wav::PadByteOmitted(&h[p])))
      ++p;
  }
}

void TWaveOut::WriteHeader() {
  const std::int64_t size = FInput->Size();
  const std::uint32_t rate = FInput->SampleRate();
  const std::uint32_t align = FBits * FChannels / 8;
  std::uint8_t h[wav::ExtPCMHeaderSize] = {};
  std::uint32_t length;
  wav::PutId(h, "RIFF");
  wav::PutId(h + 8, "WAVE");
  wav::PutId(h + 12, "fmt ");
  wav::PutU16(h + 22, static_cast<std::uint16_t>(FChannels));
  wav::PutU32(h + 24, rate);
  if (FWavType == wtDVIADPCM) {
    const std::uint32_t s = wav::ImaSamplesPerBlock(FChannels, FBlockSize);
    const std::uint32_t frames = AnnouncedFrames(size, FBits, FChannels);
    const std::uint32_t dataLength = Field(au::Round(double(frames) / s) * FBlockSize);
    length = wav::IMAHeaderSize;
    wav::PutU32(h + 4, Field(std::int64_t(dataLength) + 52));
    wav::PutU32(h + 16, 20);
    wav::PutU16(h + 20, wav::TagIMAADPCM);
    wav::PutU32(h + 28, rate / s * FBlockSize);
    wav::PutU16(h + 32, FBlockSize);
    wav::PutU16(h + 34, 4);
    wav::PutU16(h + 36, 2);
    wav::PutU16(h + 38, static_cast<std::uint16_t>(s));
    wav::PutId(h + 40, "fact");
    wav::PutU32(h + 44, 4);
    wav::PutU32(h + 48, frames);
    wav::PutId(h + 52, "data");
    wav::PutU32(h + 56, dataLength);
  } else {
    const bool extensible = FWavType == wtExtPCM;
    const std::uint32_t fmtLength = extensible ? 40 : 16;
    length = extensible ? wav::ExtPCMHeaderSize : wav::PCMHeaderSize;
    wav::PutU32(h + 4, Field(size + length - 8));
    wav::PutU32(h + 16, fmtLength);
    wav::PutU16(h + 20, extensible ? wav::TagExtensible : wav::TagPCM);
    wav::PutU32(h + 28, rate * align);
    wav::PutU16(h + 32, static_cast<std::uint16_t>(align));
    wav::PutU16(h + 34, static_cast<std::uint16_t>(FBits));
    if (extensible) {
      wav::PutU16(h + 36, 22);
      wav::PutU16(h + 38, static_cast<std::uint16_t>(FBits));
      wav::PutU32(h + 40, ChannelMask(FChannels));
      std::memcpy(h + 44, wav::SubFormatPCM.data(), 16);
    }
    wav::PutId(h + length - 8, "data");
    wav::PutU32(h + length - 4, Field(size));
  }
  Write(h, length);
  FHeaderWritten = true;
}

// The header's 32-bit lengths, and the frame count of ADPCM, can describe a file this long.
bool TWaveOut::HeaderCanHold(std::int64_t length) const {
  if (length - 8 > LargestField)
    return false;
  if (FWavType != wtDVIADPCM)
    return true;
  const std::int64_t blocks =
      (length - (FAppending ? FDataStart : wav::IMAHeaderSize)) / FBlockSize;
  return blocks * wav::ImaSamplesPerBlock(FChannels, FBlockSize) <= LargestField;
}

// Appends at the file's end. A block that does not fit on the disk, or that the header's lengths
// could not describe, is refused whole: the data ends on a block boundary and the header
// describes it exactly.
void TWaveOut::Write(const void *data, std::uint32_t count) {
  std::int64_t before = FStream->Position();
  if (!HeaderCanHold(before + count))
    throw EAuException("The wave file has reached the largest length its header can hold");
  if (FStream->Write(data, count) == count)
    return;
  try {
    FStream->SetSize(before);
  } catch (...) {
  }
  FStream->Seek(before, TSeekOrigin::soBeginning);
  throw EAuException("Error writing wave file");
}

// A header field in place: the file never gets shorter for it.
bool TWaveOut::WriteFieldAt(std::uint32_t offset, std::int64_t value) {
  std::uint8_t field[4];
  wav::PutU32(field, Field(value));
  return FStream->WriteAt(offset, field, 4) == 4;
}

bool TWaveOut::DoOutput(bool abort) {
  if (!FCanOutput)
    return true;
  if (abort || FEndReached)
    return false;
  // A block that cannot be read or written ends the run; Done then describes what is there.
  try {
    if (FWavType == wtDVIADPCM)
      return WriteImaBlock();
    std::uint8_t *data = nullptr;
    std::uint32_t bytes = PCMBlockBytes;
    FInput->GetData(data, bytes);
    if (bytes > 0)
      Write(data, bytes);
    return bytes > 0;
  } catch (...) {
    FFailed = true;
    throw;
  }
}

bool TWaveOut::WriteImaBlock() {
  const std::uint32_t k = FChannels;
  const std::uint32_t s = wav::ImaSamplesPerBlock(k, FBlockSize);
  const std::uint32_t bytes = s * k * 2;
  FSamples.assign(s * k, 0);
  FBlock.resize(FBlockSize);
  std::uint32_t got = 0;
  while (got < bytes) {
    std::uint32_t n =
        FInput->CopyData(reinterpret_cast<std::uint8_t *>(FSamples.data()) + got, bytes - got);
    if (n == 0) {
      FEndReached = true;
      break;
    }
    got += n;
  }
  // An input that ends on a block boundary adds no block of pure silence.
  if (got == 0)
    return false;
  FSampleL = FSamples[0];
  if (k == 2)
    FSampleR = FSamples[1];
  EncodeImaBlock(FSamples.data(), FBlock.data());
  Write(FBlock.data(), FBlockSize);
  ++FImaBlocks;
  FImaPadding = s - (got + 2 * k - 1) / (2 * k);
  return true;
}

void TWaveOut::EncodeImaBlock(const std::int16_t *samples, std::uint8_t *block) {
  const std::uint32_t k = FChannels;
  const std::uint32_t s = wav::ImaSamplesPerBlock(k, FBlockSize);
  std::fill(block, block + FBlockSize, 0);
  wav::PutU16(block, static_cast<std::uint16_t>(FSampleL));
  block[2] = FIndexL;
  if (k == 2) {
    wav::PutU16(block + 4, static_cast<std::uint16_t>(FSampleR));
    block[6] = FIndexR;
  }
  for (std::uint32_t c = 0; c < k; ++c) {
    int predictor = c == 0 ? FSampleL : FSampleR;
    int index = c == 0 ? FIndexL : FIndexR;
    for (std::uint32_t i = 0; i + 1 < s; ++i) {
      const int x = samples[(i + 1) * k + c];
      const int step = wav::ImaStepTable[index];
      int diff = x - predictor;
      int code = diff < 0 ? 8 : 0;
      int m = diff < 0 ? -diff : diff;
      if (m >= step) {
        code |= 4;
        m -= step;
      }
      if (m >= step / 2) {
        code |= 2;
        m -= step / 2;
      }
      if (m >= step / 4)
        code |= 1;
      // Follow the decoder, so the error never accumulates.
      int delta = step / 8;
      if (code & 4)
        delta += step;
      if (code & 2)
        delta += step / 2;
      if (code & 1)
        delta += step / 4;
      predictor = std::clamp(code & 8 ? predictor - delta : predictor + delta, -32767, 32767);
      index = std::clamp(index + wav::ImaIndexTable[code], 0, 88);
      const std::uint32_t byte = k == 1 ? 4 + i / 2 : 8 + (i / 8) * 8 + c * 4 + (i % 8) / 2;
      block[byte] |= static_cast<std::uint8_t>(i % 2 == 0 ? code : code << 4);
    }
    (c == 0 ? FIndexL : FIndexR) = static_cast<std::uint8_t>(index);
  }
}

void TWaveOut::Done() {
  std::exception_ptr error;
  if (FStream && FHeaderWritten) {
    try {
      // ADPCM is always corrected: the announced length is only an estimate of the blocks.
      if (FInput->Size() < 0 || FFileMode == foAppend || FStopped || FFailed ||
          FWavType == wtDVIADPCM)
        PatchHeader();
      else
        PadData();
    } catch (...) {
      error = std::current_exception();
    }
  }
  FreeOwnStream();
  try {
    FInput->Flush();
  } catch (...) {
    if (!error)
      error = std::current_exception();
  }
  if (error)
    std::rethrow_exception(error);
}

// Lengths from what the file really holds. Every field is tried; one that cannot be written is
// reported, and the audio stays.
void TWaveOut::PatchHeader() {
  const std::int64_t length = FStream->Size();
  bool written = true;
  switch (FWavType) {
  case wtDVIADPCM: {
    const std::int64_t data = length - (FAppending ? FDataStart : wav::IMAHeaderSize);
    written &= WriteFieldAt(FAppending ? FDataSizeOffset : 56, data);
    const std::int64_t s = wav::ImaSamplesPerBlock(FChannels, FBlockSize);
    const std::int64_t frames = FImaBlocks > 0 ? data / FBlockSize * s - FImaPadding
                                               : (FAppending ? FAppendFactSamples : 0);
    written &= WriteFieldAt(FAppending ? FFactValueOffset : 48, frames);
    break;
  }
  case wtExtPCM: written &= WriteFieldAt(64, length - wav::ExtPCMHeaderSize); break;
  default:
    written &= WriteFieldAt(FAppending ? FDataSizeOffset : 40,
                            length - (FAppending ? FDataStart : wav::PCMHeaderSize));
    break;
  }
  written &= WriteFieldAt(4, length - 8);
  if (!written)
    throw EAuException("Error writing wave file");
}

// The input delivered less than it announced: silence up to the announced length, so the
// file matches its header (an input that tells at its end that it holds less, as a damaged
// file does, announces what it held and is not padded). More than announced, or more than a header
// can describe: the header follows the file instead.
void TWaveOut::PadData() {
  const std::int64_t length = FStream->Size();
  const std::int64_t headerLength =
      FWavType == wtExtPCM ? wav::ExtPCMHeaderSize : wav::PCMHeaderSize;
  const std::int64_t missing = FInput->Size() - (length - headerLength);
  if (missing <= 0 || !HeaderCanHold(headerLength + FInput->Size()))
    return PatchHeader();
  FStream->Seek(0, TSeekOrigin::soEnd);
  std::vector<std::uint8_t> zeros(static_cast<std::size_t>(std::min<std::int64_t>(missing, 65536)));
  try {
    for (std::int64_t left = missing; left > 0;) {
      std::uint32_t n = static_cast<std::uint32_t>(std::min<std::int64_t>(left, zeros.size()));
      Write(zeros.data(), n);
      left -= n;
    }
  } catch (...) {
    try {
      FStream->SetSize(length);
      PatchHeader();
    } catch (...) {
    }
    throw;
  }
}
