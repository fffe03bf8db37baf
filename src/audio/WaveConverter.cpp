#include "WaveConverter.h"

#include "AuTypes.h"
#include "AuWave.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t FormatBufferBytes = 129;
constexpr std::int64_t LongestFormatChunk = 65536;

struct TFree {
  void operator()(void *p) const { std::free(p); }
};

} // namespace

TWaveConverter::TWaveConverter() {
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &FFormatBytes) != MMSYSERR_NOERROR)
    FFormatBytes = 0;
  std::size_t bytes = std::max<std::size_t>(FormatBufferBytes, FFormatBytes);
  FContentFormat.assign(bytes, 0);
  FTargetFormat.assign(bytes, 0);
}

void TWaveConverter::ReadFormat(TStream &source, std::int64_t length) {
  std::int64_t wanted = std::min(length, LongestFormatChunk);
  if (static_cast<std::size_t>(wanted) > FContentFormat.size())
    FContentFormat.resize(static_cast<std::size_t>(wanted));
  // Zeroed first: a body shorter than the fixed part then ends with a zero extension length.
  std::fill(FContentFormat.begin(), FContentFormat.end(), 0);
  source.Read(FContentFormat.data(), wanted);
}

void TWaveConverter::LoadFromWaveStream(TStream &source) {
  std::uint8_t head[12];
  if (source.Read(head, sizeof head) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return;
  // A byte-wise scan for the chunks, so that junk between chunks is passed over; the file is
  // read in blocks for it.
  const std::int64_t length = source.Size();
  std::vector<std::uint8_t> block;
  std::int64_t blockOffset = 0;
  auto window = [&](std::int64_t offset) -> const std::uint8_t * {
    if (offset < blockOffset || offset + 8 > blockOffset + std::int64_t(block.size())) {
      block.resize(65536);
      blockOffset = offset;
      std::int64_t got = source.Seek(offset, TSeekOrigin::soBeginning) == offset
                             ? source.Read(block.data(), std::int64_t(block.size()))
                             : 0;
      block.resize(static_cast<std::size_t>(std::max<std::int64_t>(got, 0)));
      if (got < 8)
        return nullptr;
    }
    return block.data() + (offset - blockOffset);
  };
  std::int64_t offset = 5;
  while (offset < length - 1) {
    const std::uint8_t *id = window(offset);
    if (!id)
      break;
    const std::int64_t chunk = wav::GetU32(id + 4);
    if (std::memcmp(id, "fmt ", 4) == 0) {
      source.Seek(offset + 8, TSeekOrigin::soBeginning);
      ReadFormat(source, chunk);
      offset += 8 + chunk;
    } else if (std::memcmp(id, "fact", 4) == 0) {
      offset += 8 + chunk;
    } else if (std::memcmp(id, "data", 4) == 0 && chunk != 0) {
      // A length running past the end of the file takes what is there.
      std::int64_t present = std::min(chunk, length - offset - 8);
      SetSize(present);
      SetPosition(0);
      source.Seek(offset + 8, TSeekOrigin::soBeginning);
      SetSize(source.Read(Memory(), present));
      offset += 8 + chunk;
    } else
      ++offset;
  }
  SetPosition(0);
}

MMRESULT TWaveConverter::Convert() {
  HACMSTREAM stream = nullptr;
  MMRESULT result = acmStreamOpen(&stream, nullptr, ContentFormat(), TargetFormat(), nullptr, 0, 0,
                                  ACM_STREAMOPENF_NONREALTIME);
  if (result != MMSYSERR_NOERROR)
    return result;
  DWORD targetBytes = 0;
  if (Size() > UINT32_MAX)
    result = ACMERR_NOTPOSSIBLE;
  else
    result =
        acmStreamSize(stream, static_cast<DWORD>(Size()), &targetBytes, ACM_STREAMSIZEF_SOURCE);
  if (result == MMSYSERR_NOERROR) {
    // calloc: the bound is generous, and pages the decoder never reaches are never touched.
    std::unique_ptr<std::uint8_t, TFree> target(
        static_cast<std::uint8_t *>(std::calloc(targetBytes, 1)));
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof header;
    header.pbSrc = Memory();
    header.cbSrcLength = static_cast<DWORD>(Size());
    header.pbDst = target.get();
    header.cbDstLength = targetBytes;
    result = target ? acmStreamPrepareHeader(stream, &header, 0) : MMSYSERR_NOMEM;
    if (result == MMSYSERR_NOERROR) {
      result = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
      if (result == MMSYSERR_NOERROR) {
        std::memcpy(FContentFormat.data(), FTargetFormat.data(),
                    std::min<std::size_t>(FFormatBytes, FTargetFormat.size()));
        // Only what was decoded: the rest of the estimate would append silence.
        Clear();
        Write(target.get(), header.cbDstLengthUsed);
        SetPosition(0);
      }
      MMRESULT unprepared = acmStreamUnprepareHeader(stream, &header, 0);
      if (result == MMSYSERR_NOERROR)
        result = unprepared;
    }
  }
  acmStreamClose(stream, 0);
  return result;
}

MMRESULT TWaveConverter::SaveWaveToStream(TStream &target) {
  const std::int64_t position = Position();
  MMRESULT result = MMSYSERR_NOERROR;
  try {
    const std::int64_t size = Size();
    if (size > std::int64_t(UINT32_MAX) - 36)
      throw EAuException("The data is too long for a WAV file");
    std::uint8_t header[44];
    wav::PutId(header, "RIFF");
    wav::PutU32(header + 4, 0);
    wav::PutId(header + 8, "WAVE");
    wav::PutId(header + 12, "fmt ");
    wav::PutU32(header + 16, 16);
    std::memcpy(header + 20, FContentFormat.data(), 16);
    wav::PutId(header + 36, "data");
    wav::PutU32(header + 40, static_cast<std::uint32_t>(size));
    target.WriteBuffer(header, sizeof header);
    target.WriteBuffer(Memory(), size);
    const std::int64_t length = target.Size();
    if (target.Seek(0, TSeekOrigin::soBeginning) != 0)
      throw EAuException("The target cannot be rewound");
    wav::PutU32(header + 4, static_cast<std::uint32_t>(length - 8));
    target.WriteBuffer(header, 8);
  } catch (...) {
    result = MCIERR_FILE_NOT_SAVED;
  }
  SetPosition(position);
  return result;
}
