#pragma once
// WAV files for the reader and converter suites: a known signal, files made from it by
// independent tools (sox, ffmpeg) and their decodes, WAV images built byte by byte for header
// cases, and a reader that pulls a whole file through TWaveIn.
#include "AuWave.h"
#include "AuWaveIn.h"
#include "FileContents.h"
#include "Streams.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace wavetest {

using TBytes = std::vector<std::uint8_t>;

inline void WriteBytes(const std::string &name, const TBytes &data) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char *>(data.data()), static_cast<std::streamsize>(data.size()));
}

// Runs a peer tool through the shell; its complaints go to the test's output.
inline void Run(const std::string &command) {
  int status = std::system(command.c_str());
  ASSERT_EQ(status, 0) << command;
}

// The known signal, 16-bit interleaved: two tones per channel, a sweep and a little
// deterministic noise, loud enough to use most of the range without clipping.
inline std::vector<std::int16_t> KnownSignal(int frames, int channels, double rate = 44100) {
  std::vector<std::int16_t> s(static_cast<std::size_t>(frames) * channels);
  std::uint32_t noise = 12345;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      double t = i / rate;
      noise = noise * 1664525u + 1013904223u;
      double v = 9000 * std::sin(2 * M_PI * (330 + 110 * c) * t) +
                 6000 * std::sin(2 * M_PI * 2500 * t * (1 + t)) +
                 3000 * std::sin(2 * M_PI * 7000 * t + c) + double(noise >> 20) - 2048;
      s[static_cast<std::size_t>(i) * channels + c] = static_cast<std::int16_t>(std::lround(v));
    }
  return s;
}

// The signal as headerless little-endian 16-bit samples, the tools' common input.
inline std::string WriteRawSignal(const TTempDir &dir, int frames, int channels) {
  std::vector<std::int16_t> s = KnownSignal(frames, channels);
  TBytes raw(s.size() * 2);
  std::memcpy(raw.data(), s.data(), raw.size());
  std::string name = dir.File("signal" + std::to_string(channels) + ".raw");
  WriteBytes(name, raw);
  return name;
}

inline std::string SoxRawInput(const std::string &raw, int channels) {
  return "sox -t raw -r 44100 -e signed -b 16 -c " + std::to_string(channels) + " " + raw;
}

inline std::string FfmpegRawInput(const std::string &raw, int channels) {
  return "ffmpeg -v error -y -f s16le -ar 44100 -ac " + std::to_string(channels) + " -i " + raw;
}

// A WAV file from sox, with sox's output options (e.g. "-e ima-adpcm").
inline std::string SoxWav(const TTempDir &dir, const std::string &raw, int channels,
                          const std::string &options, const std::string &name) {
  std::string file = dir.File(name);
  Run(SoxRawInput(raw, channels) + " " + options + " " + file);
  return file;
}

// A WAV file from ffmpeg, with ffmpeg's output options (e.g. "-c:a adpcm_ms").
inline std::string FfmpegWav(const TTempDir &dir, const std::string &raw, int channels,
                             const std::string &options, const std::string &name) {
  std::string file = dir.File(name);
  Run(FfmpegRawInput(raw, channels) + " " + options + " " + file);
  return file;
}

// What sox decodes a file to, as headerless samples of the given type.
inline TBytes SoxDecode(const TTempDir &dir, const std::string &file, const std::string &type) {
  std::string out = dir.File("sox-decoded.raw");
  Run("sox " + file + " -t raw " + type + " " + out);
  return ReadFileBytes(out);
}

// What ffmpeg decodes a file to, in a raw format such as s16le or f64le.
inline TBytes FfmpegDecode(const TTempDir &dir, const std::string &file,
                           const std::string &format) {
  std::string out = dir.File("ffmpeg-decoded.raw");
  Run("ffmpeg -v error -y -i " + file + " -f " + format + " " + out);
  return ReadFileBytes(out);
}

// A WAV image built chunk by chunk.
class TWavImage {
public:
  TWavImage &Bytes(const TBytes &b) {
    Data.insert(Data.end(), b.begin(), b.end());
    return *this;
  }
  TWavImage &Id(const char *id) { return Bytes({TBytes(id, id + 4)}); }
  TWavImage &U16(std::uint16_t v) { return Bytes({std::uint8_t(v), std::uint8_t(v >> 8)}); }
  TWavImage &U32(std::uint32_t v) { return U16(std::uint16_t(v)).U16(std::uint16_t(v >> 16)); }
  TWavImage &Chunk(const char *id, const TBytes &body) {
    return Id(id).U32(std::uint32_t(body.size())).Bytes(body);
  }
  // "RIFF", a length and "WAVE".
  TWavImage &Riff(const char *riff = "RIFF", const char *wave = "WAVE") {
    return Id(riff).U32(0).Id(wave);
  }
  // Sets the RIFF length from the image's size.
  TWavImage &Close() {
    if (Data.size() >= 8)
      wav::PutU32(Data.data() + 4, std::uint32_t(Data.size() - 8));
    return *this;
  }
  TBytes Data;
};

inline TBytes FormatBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
                         std::uint16_t bits, std::uint16_t blockAlign, const TBytes &extra = {}) {
  TWavImage f;
  f.U16(tag).U16(channels).U32(rate).U32(rate * blockAlign).U16(blockAlign).U16(bits);
  if (!extra.empty())
    f.U16(std::uint16_t(extra.size())).Bytes(extra);
  return f.Data;
}

// A plain PCM file image holding data.
inline TBytes PcmWav(std::uint16_t bits, std::uint16_t channels, std::uint32_t rate,
                     const TBytes &data) {
  return TWavImage()
      .Riff()
      .Chunk("fmt ", FormatBody(1, channels, rate, bits, std::uint16_t(channels * bits / 8)))
      .Chunk("data", data)
      .Close()
      .Data;
}

inline TBytes Samples16(const std::vector<std::int16_t> &s) {
  TBytes b(s.size() * 2);
  std::memcpy(b.data(), s.data(), b.size());
  return b;
}

inline std::vector<std::int16_t> As16(const TBytes &b) {
  std::vector<std::int16_t> s(b.size() / 2);
  std::memcpy(s.data(), b.data(), s.size() * 2);
  return s;
}

// A memory stream holding bytes, positioned at the start.
inline std::unique_ptr<TMemoryStream> MemoryOf(const TBytes &bytes) {
  auto m = std::make_unique<TMemoryStream>();
  m->Write(bytes.data(), std::int64_t(bytes.size()));
  m->Seek(0, TSeekOrigin::soBeginning);
  return m;
}

// What an input delivers from Init to its end, and the format it announced.
struct TDecoded {
  std::uint32_t Bits = 0, Channels = 0, Rate = 0;
  std::int64_t Size = 0;
  TBytes Data;
};

inline TDecoded ReadAll(TAuInput &input, std::uint32_t blockBytes = 16384) {
  TDecoded d;
  input.Init();
  d.Bits = input.BitsPerSample();
  d.Channels = input.Channels();
  d.Rate = input.SampleRate();
  d.Size = input.Size();
  for (;;) {
    std::uint8_t *buffer = nullptr;
    std::uint32_t bytes = blockBytes;
    input.GetData(buffer, bytes);
    if (bytes == 0)
      break;
    d.Data.insert(d.Data.end(), buffer, buffer + bytes);
  }
  input.Flush();
  return d;
}

inline TDecoded ReadFile(const std::string &name) {
  TWaveIn in;
  in.SetFileName(name);
  return ReadAll(in);
}

inline TDecoded ReadImage(const TBytes &image) {
  auto stream = MemoryOf(image);
  TWaveIn in;
  in.SetStream(stream.get());
  return ReadAll(in);
}

// A WAV input over an in-memory PCM image, kept alive with it.
struct TPcmSource {
  std::unique_ptr<TMemoryStream> Stream;
  TWaveIn Input;
  TPcmSource(std::uint16_t bits, std::uint16_t channels, std::uint32_t rate, const TBytes &data)
      : Stream(MemoryOf(PcmWav(bits, channels, rate, data))) {
    Input.SetStream(Stream.get());
  }
};

// Runs fn and expects an EAuException with exactly this message.
template <typename Fn> void ExpectMessage(Fn fn, const char *message) {
  try {
    fn();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const EAuException &e) {
    EXPECT_STREQ(e.what(), message);
  }
}

// Highest normalised correlation of channel 0 of a against b over lags up to maxLag frames:
// the same sound, perhaps shifted by a decoder's delay.
inline double BestCorrelation(const std::vector<std::int16_t> &a,
                              const std::vector<std::int16_t> &b, int channels, int maxLag) {
  double best = -1;
  const long frames = long(std::min(a.size(), b.size()) / channels) - maxLag;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    double ab = 0, aa = 0, bb = 0;
    for (long i = maxLag; i < frames; ++i) {
      double x = a[i * channels], y = b[(i + lag) * channels];
      ab += x * y;
      aa += x * x;
      bb += y * y;
    }
    if (aa > 0 && bb > 0)
      best = std::max(best, ab / std::sqrt(aa * bb));
  }
  return best;
}

// The "data" chunk of a WAV image: the offset of its body and its declared length.
inline std::size_t DataOffset(const TBytes &image) {
  auto data = std::search(image.begin(), image.end(), std::begin("data"), std::end("data") - 1);
  return std::size_t(data - image.begin()) + 8;
}

inline TBytes DataChunk(const TBytes &image) {
  std::size_t offset = DataOffset(image);
  if (offset > image.size())
    return {};
  std::size_t length =
      std::min<std::size_t>(wav::GetU32(image.data() + offset - 4), image.size() - offset);
  return TBytes(image.begin() + std::ptrdiff_t(offset),
                image.begin() + std::ptrdiff_t(offset + length));
}

// floor(x × (2^31 − 1)) for -1 < x < 1, the extremes beyond, in integers: x = m × 2^e
// exactly, and a shift of the product floors.
__extension__ typedef __int128 TInt128;

inline std::int32_t ReferenceFloatToInt32(double x) {
  if (x >= 1)
    return 2147483647;
  if (x <= -1)
    return -2147483647 - 1;
  if (x == 0)
    return 0;
  int exponent;
  double fraction = std::frexp(x, &exponent);
  auto mantissa = static_cast<TInt128>(std::ldexp(fraction, 53));
  TInt128 product = mantissa * 2147483647;
  int shift = 53 - exponent;
  if (shift > 120)
    return product < 0 ? -1 : 0;
  return static_cast<std::int32_t>(product >> shift);
}

} // namespace wavetest
