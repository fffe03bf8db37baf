// The rate converter: block arithmetic, pass-through, the filter's gain and its attenuation of
// what the new rate cannot carry.
#include "AuConverters.h"
#include "PipelineSources.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <iostream>

using namespace wavetest;

namespace {

TBytes Tone(int frames, int channels, double frequency, double rate, double amplitude) {
  std::vector<std::int16_t> s;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.push_back(std::int16_t(std::lround(amplitude * std::sin(2 * M_PI * frequency * i / rate))));
  return Samples16(s);
}

TDecoded Resample(TPcmSource &source, std::uint32_t rate, std::uint32_t blockBytes = 16384) {
  TFastResampler r;
  r.SetInput(&source.Input);
  r.SetOutSampleRate(rate);
  return ReadAll(r, blockBytes);
}

// The gain of one pass of the filter at a frequency given as a fraction of its rate.
double Gain(const TFastResampler &r, double fraction) {
  const std::complex<double> z1 = std::polar(1.0, -2 * M_PI * fraction);
  std::complex<double> num = 0, den = 1, zk = 1;
  for (int k = 0; k <= 4; ++k, zk *= z1) {
    num += double(r.A()[k]) * zk;
    if (k > 0)
      den -= double(r.B()[k - 1]) * zk;
  }
  return std::abs(num / den);
}

} // namespace

TEST(Resampler, EqualRatesPassThroughUntouched) {
  TBytes data = Tone(5000, 2, 1000, 44100, 20000);
  for (std::uint32_t rate : {44100u, 44102u}) { // rates equal in steps of 5 Hz
    SCOPED_TRACE(rate);
    TPcmSource source(16, 2, 44100, data);
    TDecoded d = Resample(source, rate);
    EXPECT_EQ(d.Rate, rate);
    EXPECT_EQ(d.Size, std::int64_t(data.size()));
    EXPECT_TRUE(d.Data == data);
  }
  // Pass-through needs no filter state, so it takes any number of channels.
  TPcmSource many(16, 10, 44100, TBytes(2000, 3));
  EXPECT_EQ(Resample(many, 44100).Data, TBytes(2000, 3));
}

TEST(Resampler, BlockArithmetic) {
  // 22050 → 44100: each block of 4410 frames becomes 8819 (frame 0 once, the rest twice).
  TPcmSource up(16, 2, 22050, Tone(4410 * 3, 2, 500, 22050, 8000));
  TDecoded d = Resample(up, 44100);
  EXPECT_EQ(d.Size, 4410 * 3 * 2 * 4);
  EXPECT_EQ(d.Data.size(), 3u * 8819 * 4);
  // 48000 → 44100: a block of 9600 frames yields 8820.
  TPcmSource down(16, 1, 48000, Tone(9600 * 2 + 960, 1, 500, 48000, 8000));
  d = Resample(down, 44100);
  EXPECT_EQ(d.Size, std::int64_t(std::lround((9600 * 2 + 960) * 2 * 8820.0 / 9600)));
  EXPECT_EQ(d.Data.size(), (2u * 8820 + 882) * 2);
  // The reader's block size does not change the sound.
  TPcmSource again(16, 1, 48000, Tone(9600 * 2 + 960, 1, 500, 48000, 8000));
  EXPECT_TRUE(Resample(again, 44100, 1000).Data == d.Data);
}

TEST(Resampler, KeepsWidthAndChannels) {
  struct Case {
    std::uint16_t bits, channels;
  } cases[] = {{8, 1}, {16, 2}, {24, 2}, {32, 1}, {16, 6}, {16, 8}};
  for (const Case &c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + " bits, " + std::to_string(c.channels) + " channels");
    TPcmSource source(c.bits, c.channels, 32000,
                      TBytes(std::size_t(c.bits / 8) * c.channels * 6400, 0));
    TDecoded d = Resample(source, 16000);
    EXPECT_EQ(d.Bits, c.bits);
    EXPECT_EQ(d.Channels, c.channels);
    EXPECT_EQ(d.Rate, 16000u);
    EXPECT_EQ(d.Data.size(), std::size_t(c.bits / 8) * c.channels * 3200);
  }
}

TEST(Resampler, ConstantInputComesOutConstant) {
  for (std::uint32_t rate : {22050u, 96000u}) {
    SCOPED_TRACE(rate);
    std::vector<std::int16_t> dc(44100 * 2, 10000);
    TPcmSource source(16, 2, 44100, Samples16(dc));
    std::vector<std::int16_t> out = As16(Resample(source, rate).Data);
    ASSERT_GT(out.size(), rate / 2);
    for (std::size_t i = rate / 5 * 2; i < out.size(); ++i)
      ASSERT_NEAR(out[i], 10000, 1) << i;
  }
  TPcmSource eight(8, 1, 44100, TBytes(44100, 200));
  TBytes out = Resample(eight, 11025).Data;
  for (std::size_t i = 2205; i < out.size(); ++i)
    ASSERT_NEAR(out[i], 200, 1);
}

TEST(Resampler, FilterDesign) {
  TPcmSource source(16, 1, 44100, TBytes(100, 0));
  TFastResampler r;
  r.SetInput(&source.Input);
  r.SetOutSampleRate(22050);
  r.Init();
  // Cut-off 0.85 × the new Nyquist frequency: 0.2125 of the rate the filter runs at. A
  // Chebyshev low-pass of 5 percent ripple, normalised to 1 at DC, peaks at 1 / 0.95 in the
  // pass band, is 3 dB down at the cut-off and falls away above it.
  EXPECT_NEAR(Gain(r, 0), 1.0, 1e-5);
  double peak = 0;
  for (double f = 0; f <= 0.2125; f += 0.0025)
    peak = std::max(peak, Gain(r, f));
  EXPECT_NEAR(peak, 1 / 0.95, 0.01);
  EXPECT_NEAR(Gain(r, 0.2125) / peak, 1 / std::sqrt(2.0), 0.02); // the -3 dB point
  EXPECT_LT(Gain(r, 0.3), 0.05);
  r.Flush();
}

TEST(Resampler, AttenuatesWhatTheNewRateCannotCarry) {
  // 44100 → 22050 on 32-bit samples, so that quantisation does not hide the filter: a tone
  // below the new Nyquist frequency passes, tones above it are removed.
  const double amplitude = 1e9;
  struct Case {
    double frequency, minDb, maxDb;
  } cases[] = {
      {1000, -1, 1}, {9000, -6, 0}, {11025, -65, -40}, {13000, -200, -95}, {15000, -200, -130}};
  for (const Case &c : cases) {
    std::vector<std::int32_t> s;
    for (int i = 0; i < 44100; ++i)
      s.push_back(
          std::int32_t(std::lround(amplitude * std::sin(2 * M_PI * c.frequency * i / 44100))));
    TBytes data(s.size() * 4);
    std::memcpy(data.data(), s.data(), data.size());
    TPcmSource source(32, 1, 44100, data);
    TBytes out = Resample(source, 22050).Data;
    std::vector<std::int32_t> o(out.size() / 4);
    std::memcpy(o.data(), out.data(), out.size());
    double sum = 0;
    for (std::size_t i = 2205; i < o.size(); ++i)
      sum += double(o[i]) * o[i];
    double rms = std::sqrt(sum / double(o.size() - 2205));
    double db = 20 * std::log10(std::max(rms, 1e-3) / (amplitude / std::sqrt(2.0)));
    std::cout << "tone " << c.frequency << " Hz, 44100 -> 22050: " << db << " dB\n";
    RecordProperty("gain_db_" + std::to_string(int(c.frequency)), std::to_string(db));
    EXPECT_GE(db, c.minDb) << c.frequency;
    EXPECT_LE(db, c.maxDb) << c.frequency;
  }
}

TEST(Resampler, PositionFollowsTheInputAndMisuseIsReported) {
  TPcmSource source(16, 2, 44100, Tone(44100, 2, 440, 44100, 1000));
  TFastResampler r;
  r.SetInput(&source.Input);
  r.SetOutSampleRate(22050);
  r.Init();
  std::uint8_t *buffer;
  std::uint32_t bytes = 4000;
  r.GetData(buffer, bytes);
  EXPECT_EQ(bytes, 4000u);
  // One block of a fifth of a second read: Position is that share of the Size.
  EXPECT_EQ(r.Position(), r.Size() / 5);
  r.Flush();

  TFastResampler lone;
  ExpectMessage([&] { lone.SampleRate(); }, "Input is not assigned");
  ExpectMessage([&] { lone.Channels(); }, "Input is not assigned");
  ExpectMessage([&] { lone.Init(); }, "Input is not assigned");
  TPcmSource nine(16, 9, 44100, TBytes(1800, 0));
  TFastResampler wide;
  wide.SetInput(&nine.Input);
  wide.SetOutSampleRate(22050);
  ExpectMessage([&] { wide.Init(); }, "Too many channels");
  for (std::uint32_t rate : {0u, 4000000000u}) {
    TPcmSource mono(16, 1, 44100, TBytes(200, 0));
    TFastResampler odd;
    odd.SetInput(&mono.Input);
    odd.SetOutSampleRate(rate);
    ExpectMessage([&] { odd.Init(); }, "Unsupported sample rate");
  }
  TFastResampler idle;
  idle.SetInput(&nine.Input);
  idle.SetOutSampleRate(22050);
  ExpectMessage([&] { idle.GetData(buffer, bytes); }, "The Stream is not opened");
  // An unknown input Size stays unknown and data still flows.
  pipetest::TToneInput tone(44100 * 4, -1);
  TFastResampler open;
  open.SetInput(&tone);
  open.SetOutSampleRate(22050);
  TDecoded d = ReadAll(open);
  EXPECT_EQ(d.Size, -1);
  EXPECT_EQ(d.Data.size(), 22050u * 4);
}

// Read-ahead counts against the Size like any block handed out: an input that delivers more
// than it announced is cut at the Size all the same.
TEST(Resampler, PrefetchedDataCountsAgainstTheSize) {
  pipetest::TToneInput tone(44100 * 4 * 4, 44100 * 4 * 2);
  TFastResampler r;
  r.SetInput(&tone);
  r.SetOutSampleRate(22050);
  r.Init();
  r.Prefetch(40000);
  std::int64_t total = 0;
  for (;;) {
    std::uint8_t *buffer = nullptr;
    std::uint32_t bytes = 16384;
    r.GetData(buffer, bytes);
    if (bytes == 0)
      break;
    total += bytes;
  }
  EXPECT_EQ(total, r.Size());
  EXPECT_EQ(r.Position(), r.Size());
  r.Flush();
}
