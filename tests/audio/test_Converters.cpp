// The sample conversion routines, the width and channel converter and the stereo balance.
#include "AuConverters.h"
#include "AuProcs.h"
#include "PipelineSources.h"
#include "WaveTestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace wavetest;

namespace {

template <typename T> TBytes Pack(std::initializer_list<T> values) {
  TBytes b(values.size() * sizeof(T));
  std::memcpy(b.data(), values.begin(), b.size());
  return b;
}

template <typename T> std::vector<T> Unpack(const TBytes &b) {
  std::vector<T> v(b.size() / sizeof(T));
  std::memcpy(v.data(), b.data(), v.size() * sizeof(T));
  return v;
}

TBytes Pack24(std::initializer_list<int> values) {
  TBytes b;
  for (int v : values)
    b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
  return b;
}

std::vector<int> Unpack24(const TBytes &b) {
  std::vector<int> v;
  for (std::size_t i = 0; i + 3 <= b.size(); i += 3)
    v.push_back((b[i] | (b[i + 1] << 8) | (b[i + 2] << 16)) << 8 >> 8);
  return v;
}

TDecoded Convert(TPcmSource &source, int outBits, int outChannels) {
  TAudioConverter c;
  c.SetInput(&source.Input);
  c.SetOutBitsPerSample(outBits);
  c.SetOutChannels(outChannels);
  return ReadAll(c);
}

TDecoded Balance(TPcmSource &source, float balance) {
  TStereoBalance b;
  b.SetInput(&source.Input);
  b.SetBalance(balance);
  return ReadAll(b);
}

} // namespace

TEST(AuProcs, IntegerSamplesToFloat) {
  float f[4];
  TBytes u8 = {0, 128, 255, 64};
  Convert8ToFloat(u8.data(), f, 4);
  EXPECT_EQ(f[0], -1.0f);
  EXPECT_EQ(f[1], 0.0f);
  EXPECT_EQ(f[2], 127.0f / 128);
  EXPECT_EQ(f[3], -0.5f);
  TBytes s16 = Pack<std::int16_t>({-32768, 32767, 1, -1});
  Convert16ToFloat(s16.data(), f, 4);
  EXPECT_EQ(f[0], -1.0f);
  EXPECT_EQ(f[1], 32767.0f / 32768);
  EXPECT_EQ(f[2], 0x1p-15f);
  TBytes s24 = Pack24({-8388608, 8388607, 256, -2});
  Convert24ToFloat(s24.data(), f, 4);
  EXPECT_EQ(f[0], -1.0f);
  EXPECT_EQ(f[1], 8388607.0f / 8388608);
  EXPECT_EQ(f[2], 256 * 0x1p-23f);
  EXPECT_EQ(f[3], -2 * 0x1p-23f);
  TBytes s32 = Pack<std::int32_t>({std::numeric_limits<std::int32_t>::min(), 1 << 30, -256, 0});
  Convert32ToFloat(s32.data(), f, 4);
  EXPECT_EQ(f[0], -1.0f);
  EXPECT_EQ(f[1], 0.5f);
  EXPECT_EQ(f[2], -0x1p-23f);
  EXPECT_FALSE(ConvertToFloat(5, s32.data(), f, 1));
}

TEST(AuProcs, FloatToIntegerSamplesClampAndRoundAsTabled) {
  // 8-bit: floor((x + 1) × 128); just below 1 must not wrap to 0.
  const float in8[] = {1.0f, 0.99999994f, 0.0f, -0.5f, -1.0f, -3.0f, 0.00390625f};
  TBytes out8(7);
  ConvertFloatTo8(in8, out8.data(), 7);
  EXPECT_EQ(out8, (TBytes{255, 255, 128, 64, 0, 0, 128}));
  // 16-bit: x × 32767 in single precision, ties to the even neighbour.
  const float in16[] = {1.5f, -1.0f, 0.5f, 1.5f / 32767, 2.5f / 32767, -2.5f / 32767, 0.0f};
  TBytes out16(14);
  ConvertFloatTo16(in16, out16.data(), 7);
  EXPECT_EQ(Unpack<std::int16_t>(out16),
            (std::vector<std::int16_t>{32767, -32767, 16384, 2, 2, -2, 0}));
  // 24-bit: floor(x × 8388607).
  const float in24[] = {1.0f, -1.0f, 0.5f, -0.5f, 2.0f, -0x1p-30f};
  TBytes out24(18);
  ConvertFloatTo24(in24, out24.data(), 6);
  EXPECT_EQ(Unpack24(out24), (std::vector<int>{8388607, -8388607, 4194303, -4194304, 8388607, -1}));
  // 32-bit: x × 2147483647 in double precision, ties to even.
  const float in32[] = {1.0f, -1.0f, 0.5f, -4.0f};
  TBytes out32(16);
  ConvertFloatTo32(in32, out32.data(), 4);
  EXPECT_EQ(Unpack<std::int32_t>(out32),
            (std::vector<std::int32_t>{2147483647, -2147483647, 1073741824, -2147483647}));
}

TEST(AuProcs, FileFloatsToInt32FloorExactly) {
  // Against integer arithmetic over a spread of magnitudes, including values whose product
  // with 2^31 − 1 lands a hair below an integer.
  std::uint64_t seed = 99;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    double x = std::ldexp(double(seed >> 11) * 0x1p-53, -int(seed % 40));
    if (seed & 1)
      x = -x;
    ASSERT_EQ(FloatSampleToInt32(x), ReferenceFloatToInt32(x)) << x;
    float f = static_cast<float>(x);
    ASSERT_EQ(FloatSampleToInt32(f), ReferenceFloatToInt32(f)) << f;
  }
  for (double k : {1.0, 2.0, 3.0, 1073741823.0}) {
    double x = k / 2147483647.0; // rounds to either side of the exact quotient
    EXPECT_EQ(FloatSampleToInt32(x), ReferenceFloatToInt32(x)) << k;
    EXPECT_EQ(FloatSampleToInt32(std::nextafter(x, 0.0)),
              ReferenceFloatToInt32(std::nextafter(x, 0.0)));
  }
  EXPECT_EQ(FloatSampleToInt32(std::nan("")), 0);
  // In place: 64-bit values packed to the front.
  TBytes b = Pack<double>({0.5, -1.5, 1e-300});
  ConvertFloat64ToInt32(b.data(), 3);
  EXPECT_EQ(Unpack<std::int32_t>(TBytes(b.begin(), b.begin() + 12)),
            (std::vector<std::int32_t>{1073741823, -2147483647 - 1, 0}));
}

TEST(AuProcs, ChannelMixing) {
  float stereo[] = {1, 3, -2, 4, 0.5f, 0.5f};
  ConvertStereoToMono(stereo, stereo, 3);
  EXPECT_EQ(stereo[0], 2);
  EXPECT_EQ(stereo[1], 1);
  EXPECT_EQ(stereo[2], 0.5f);
  float mono[6] = {7, 8, 9};
  ConvertMonoToStereo(mono, 3);
  EXPECT_EQ(std::vector<float>(mono, mono + 6), (std::vector<float>{7, 7, 8, 8, 9, 9}));
}

TEST(AuProcs, TwentyFourBitRoundTripWithinOneStep) {
  std::vector<int> values;
  for (int v = -8388608; v <= 8388607; v += 4093)
    values.push_back(v);
  values.insert(values.end(), {-8388608, -1, 0, 1, 8388607});
  TBytes in;
  for (int v : values)
    in.insert(in.end(), {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16)});
  std::vector<float> f(values.size());
  Convert24ToFloat(in.data(), f.data(), f.size());
  TBytes out(in.size());
  ConvertFloatTo24(f.data(), out.data(), f.size());
  std::vector<int> back = Unpack24(out);
  for (std::size_t i = 0; i < values.size(); ++i)
    ASSERT_LE(std::abs(back[i] - values[i]), 1) << values[i];
}

TEST(AudioConverter, WidthsAndChannels) {
  // 16 → 8 bits: 0 is 128, full scale 255.
  TPcmSource s16(16, 1, 44100, Pack<std::int16_t>({0, 32767, -32768, 16384}));
  TDecoded d = Convert(s16, 8, 0);
  EXPECT_EQ(d.Bits, 8u);
  EXPECT_EQ(d.Size, 4);
  EXPECT_EQ(d.Data, (TBytes{128, 255, 0, 192}));
  // Stereo to mono averages; mono to stereo copies.
  TPcmSource stereo(16, 2, 44100, Pack<std::int16_t>({1000, 3000, -200, 200, 32767, 32767}));
  d = Convert(stereo, 0, 1);
  EXPECT_EQ(d.Channels, 1u);
  EXPECT_EQ(d.Size, 6);
  std::vector<std::int16_t> mono = Unpack<std::int16_t>(d.Data);
  ASSERT_EQ(mono.size(), 3u);
  EXPECT_NEAR(mono[0], 2000, 1);
  EXPECT_EQ(mono[1], 0);
  EXPECT_EQ(mono[2], 32766); // 32767 × 2^-15 × 32767 rounds to 32766
  TPcmSource single(16, 1, 44100, Pack<std::int16_t>({-12000, 5}));
  d = Convert(single, 0, 2);
  EXPECT_EQ(d.Channels, 2u);
  EXPECT_EQ(d.Size, 8);
  std::vector<std::int16_t> both = Unpack<std::int16_t>(d.Data);
  ASSERT_EQ(both.size(), 4u);
  EXPECT_EQ(both[0], both[1]);
  EXPECT_EQ(both[2], both[3]);
  EXPECT_NEAR(both[0], -12000, 1);
  // Six channels asked of stereo input: stereo stays.
  TPcmSource wide(16, 2, 44100, Pack<std::int16_t>({1, 2, 3, 4}));
  d = Convert(wide, 0, 6);
  EXPECT_EQ(d.Channels, 2u);
  EXPECT_EQ(d.Data.size(), 8u);
  // 24 bits through float and back stays within one step.
  TPcmSource s24(24, 2, 44100, Pack24({8388607, -8388608, 12345, -12345}));
  d = Convert(s24, 24, 0);
  std::vector<int> back = Unpack24(d.Data);
  std::vector<int> expected = {8388607, -8388608, 12345, -12345};
  ASSERT_EQ(back.size(), 4u);
  for (int i = 0; i < 4; ++i)
    EXPECT_LE(std::abs(back[i] - expected[i]), 1);
  // 8-bit stereo to 32-bit mono: Size scales with width and channels.
  TPcmSource s8(8, 2, 44100, TBytes(1000, 128));
  d = Convert(s8, 32, 1);
  EXPECT_EQ(d.Size, 2000);
  EXPECT_EQ(d.Data, TBytes(2000, 0));
}

TEST(AudioConverter, PassesThroughAndAnswersWithoutInput) {
  TBytes data = Pack<std::int16_t>({1, 2, 3, 32767});
  TPcmSource source(16, 2, 44100, data);
  EXPECT_TRUE(Convert(source, 0, 0).Data == data);
  TAudioConverter idle;
  idle.SetInput(&source.Input);
  idle.SetOutBitsPerSample(8);
  std::uint8_t *buffer;
  std::uint32_t bytes = 100;
  ExpectMessage([&] { idle.GetData(buffer, bytes); }, "The Stream is not opened");
  TAudioConverter c;
  c.SetOutBitsPerSample(8);
  EXPECT_EQ(c.BitsPerSample(), 0u);
  EXPECT_EQ(c.Channels(), 0u);
  ExpectMessage([&] { c.Init(); }, "Input is not assigned");
  // An unknown Size stays unknown.
  pipetest::TToneInput tone(400, -1);
  c.SetInput(&tone);
  EXPECT_EQ(ReadAll(c).Size, -1);
  // Widths the routines do not know are refused rather than garbled.
  c.SetOutBitsPerSample(12);
  EXPECT_THROW(c.Init(), EAuException);
}

// An empty answer ends a stream, so a request shorter than one frame still gets data; the
// stream reads the same in any request size.
TEST(AudioConverter, RequestsShorterThanAFrameDoNotEndTheStream) {
  const TBytes data = Samples16(KnownSignal(2000, 2));
  TPcmSource mono(16, 1, 44100, data), stereo(16, 2, 44100, data);
  TAudioConverter toStereo, to24, unchanged;
  toStereo.SetInput(&mono.Input);
  toStereo.SetOutChannels(2);
  to24.SetInput(&stereo.Input);
  to24.SetOutBitsPerSample(24);
  unchanged.SetInput(&stereo.Input);
  TStereoBalance monoBalance, stereoBalance;
  monoBalance.SetInput(&mono.Input);
  monoBalance.SetBalance(0.3f);
  stereoBalance.SetInput(&stereo.Input);
  stereoBalance.SetBalance(0.7f);
  struct Case {
    const char *name;
    TAuConverter &converter;
    std::uint32_t request;
  } cases[] = {
      {"mono to stereo", toStereo, 2},  {"mono to stereo", toStereo, 3},
      {"16 to 24 bits", to24, 4},       {"no conversion", unchanged, 1},
      {"mono balance", monoBalance, 2}, {"stereo balance", stereoBalance, 3},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.request) + " bytes at a time");
    const TBytes whole = ReadAll(c.converter).Data;
    ASSERT_FALSE(whole.empty());
    EXPECT_TRUE(ReadAll(c.converter, c.request).Data == whole);
  }
}

TEST(StereoBalance, AttenuatesOneChannel) {
  TBytes data = Pack<std::int16_t>({1000, 3, -1001, -5});
  TPcmSource s1(16, 2, 44100, data), s0(16, 2, 44100, data), sHalf(16, 2, 44100, data),
      sQuarter(16, 2, 44100, data);
  EXPECT_EQ(Unpack<std::int16_t>(Balance(s1, 1).Data), (std::vector<std::int16_t>{0, 3, 0, -5}));
  EXPECT_EQ(Unpack<std::int16_t>(Balance(s0, 0).Data),
            (std::vector<std::int16_t>{1000, 0, -1001, 0}));
  // The centre changes nothing; halfway to the right the left is halved (-500.5 rounds to the
  // even neighbour).
  EXPECT_EQ(Unpack<std::int16_t>(Balance(sHalf, 0.5f).Data),
            (std::vector<std::int16_t>{1000, 3, -1001, -5}));
  EXPECT_EQ(Unpack<std::int16_t>(Balance(sQuarter, 0.75f).Data),
            (std::vector<std::int16_t>{500, 3, -500, -5}));
  // 8-bit about 128, 24-bit keeping the sign.
  TPcmSource s8(8, 2, 44100, {200, 20, 100, 255});
  EXPECT_EQ(Balance(s8, 1).Data, (TBytes{128, 20, 128, 255}));
  TPcmSource s24(24, 2, 44100, Pack24({-8000000, -8000000}));
  EXPECT_EQ(Unpack24(Balance(s24, 0.25f).Data), (std::vector<int>{-8000000, -4000000}));
  // Values outside 0 ... 1 are ignored.
  TStereoBalance b;
  b.SetBalance(1.5f);
  EXPECT_EQ(b.Balance(), 0.5f);
}

TEST(StereoBalance, MonoBecomesStereo) {
  std::vector<std::int16_t> samples;
  for (int i = 0; i < 20000; ++i)
    samples.push_back(std::int16_t(i * 3));
  TPcmSource mono(16, 1, 44100, Samples16(samples));
  TStereoBalance b;
  b.SetInput(&mono.Input);
  b.SetBalance(0.6f);
  EXPECT_EQ(b.Channels(), 2u);
  TDecoded d = ReadAll(b, 30000);
  EXPECT_EQ(d.Size, 80000);
  std::vector<std::int16_t> out = Unpack<std::int16_t>(d.Data);
  ASSERT_EQ(out.size(), 40000u);
  for (int i = 0; i < 20000; ++i) {
    ASSERT_EQ(out[2 * i + 1], samples[i]);
    ASSERT_EQ(out[2 * i], std::int16_t(au::Round(samples[i] * 2 * (1.0 - 0.6f))));
  }
}

TEST(StereoBalance, ManyChannelsPassAndMisuseIsReported) {
  TBytes data = Pack<std::int16_t>({1, 2, 3, 4, 5, 6});
  TPcmSource three(16, 3, 44100, data);
  EXPECT_TRUE(Balance(three, 1).Data == data);
  TStereoBalance b;
  ExpectMessage([&] { b.Channels(); }, "Input not assigned");
  ExpectMessage([&] { b.Init(); }, "Input not assigned");
  TStereoBalance idle;
  idle.SetInput(&three.Input);
  std::uint8_t *buffer;
  std::uint32_t bytes = 100;
  ExpectMessage([&] { idle.GetData(buffer, bytes); }, "The Stream is not opened");
}
