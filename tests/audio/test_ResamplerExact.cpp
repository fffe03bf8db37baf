// The resampler's exact output. Files converted before and after a change of the filter code
// must not differ by a single bit, so these runs pin a digest of every output byte. 32-bit
// samples carry nearly every bit of the filter's float arithmetic through to the output; the
// signal has noise, a tone, clipped peaks and a silent tail in which the filter state decays
// towards the smallest floats. Should a digest change, the arithmetic has changed.
#include "AuConverters.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace wavetest;

namespace {

// Little-endian samples of the given width, full scale ±1 mapped to the width's range.
TBytes Signal(int frames, int channels, int bits, double rate) {
  std::uint64_t state = 0x9e3779b97f4a7c15u;
  auto noise = [&state] { // xorshift64*, uniform in -1 ... 1
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return double((state * 0x2545f4914f6cdd1du) >> 11) / double(1ull << 52) - 1;
  };
  const int bytes = bits / 8;
  const double full = std::ldexp(1.0, bits - 1) - 1;
  TBytes out;
  for (int i = 0; i < frames; ++i) {
    const double t = i / rate;
    const bool silent = i >= frames * 3 / 4;
    const bool loud = i % 9000 < 300; // clipped peaks
    for (int c = 0; c < channels; ++c) {
      double x = silent ? 0
                        : 0.4 * noise() + 0.4 * std::sin(2 * M_PI * (300 + 2000 * c) * t) +
                              (loud ? 0.9 : 0);
      x = std::max(-1.0, std::min(1.0, x));
      std::int64_t v = std::llround(x * full);
      if (bits == 8)
        v += 128;
      for (int b = 0; b < bytes; ++b)
        out.push_back(std::uint8_t(std::uint64_t(v) >> (8 * b)));
    }
  }
  return out;
}

std::uint64_t Digest(const TBytes &data) { // FNV-1a
  std::uint64_t h = 0xcbf29ce484222325u;
  for (std::uint8_t b : data)
    h = (h ^ b) * 0x100000001b3u;
  return h;
}

} // namespace

TEST(ResamplerExact, OutputBytesArePinned) {
  struct Case {
    std::uint16_t bits, channels;
    std::uint32_t from, to;
    std::size_t frames; // output frames
    std::uint64_t digest;
  } cases[] = {
      // Down by half and up by two on 16-bit stereo, as the converter windows use them.
      {16, 2, 44100, 22050, 14926, 0xfb7a4b07a8b1a1d6u},
      {16, 2, 22050, 44100, 29848, 0xb03e2eb342f86482u},
      // Odd channel counts (a channel without a partner) and uneven rate ratios.
      {32, 3, 48000, 44100, 29852, 0xab296c31160dc801u},
      {32, 3, 16000, 44100, 29842, 0x501a96a30bf53838u},
      {32, 1, 44100, 32000, 21661, 0xc0a542f4f337fe37u},
      {24, 5, 96000, 22050, 14926, 0x11b40227f415a68bu},
      {8, 1, 11025, 8000, 5415, 0xeb52c889888e3980u},
  };
  // The filter has a build for the x86-64 baseline and one for wider vector units, chosen by the
  // processor: both must give these bytes.
  for (bool wide : {true, false})
    for (const Case &c : cases) {
      SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) + " channels, " +
                   std::to_string(c.from) + " -> " + std::to_string(c.to) +
                   (wide ? "" : ", baseline"));
      TFastResampler::UseWideKernel(wide);
      // Three blocks and a part of one, so that the filter state runs on across blocks.
      const int frames = int(c.from / 5 * 3 + c.from / 13);
      TPcmSource source(c.bits, c.channels, c.from, Signal(frames, c.channels, c.bits, c.from));
      TFastResampler r;
      r.SetInput(&source.Input);
      r.SetOutSampleRate(c.to);
      const TDecoded d = ReadAll(r, 5000);
      EXPECT_EQ(d.Data.size() / (c.bits / 8 * c.channels), c.frames);
      EXPECT_EQ(Digest(d.Data), c.digest);
    }
  TFastResampler::UseWideKernel(true);
}
