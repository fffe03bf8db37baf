#include "AuProcs.h"

#include <cmath>
#include <cstring>

namespace {

template <typename T> T Load(const uint8_t *p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T> void Store(uint8_t *p, T v) { std::memcpy(p, &v, sizeof v); }

float Clamp(float x) { return x >= 1.0f ? 1.0f : (x > -1.0f ? x : -1.0f); }

// Round to nearest, ties to even, as nearbyint does under the default rounding mode: adding
// and removing 1.5 × 2^23 (2^52 for double) leaves the rounded value for magnitudes well below
// that, without a library call per sample. (Valid without -ffast-math, which would fold it.)
float RoundHalfEven(float v) { return (v + 0x1.8p23f) - 0x1.8p23f; }

double RoundHalfEven(double v) { return (v + 0x1.8p52) - 0x1.8p52; }

} // namespace

void Convert8ToFloat(const void *in, float *out, std::size_t count) {
  auto p = static_cast<const uint8_t *>(in);
  for (std::size_t i = 0; i < count; ++i)
    out[i] = p[i] * (1.0f / 128) - 1.0f;
}

void Convert16ToFloat(const void *in, float *out, std::size_t count) {
  auto p = static_cast<const uint8_t *>(in);
  for (std::size_t i = 0; i < count; ++i)
    out[i] = Load<int16_t>(p + 2 * i) * 0x1p-15f;
}

void Convert24ToFloat(const void *in, float *out, std::size_t count) {
  auto p = static_cast<const uint8_t *>(in);
  for (std::size_t i = 0; i < count; ++i, p += 3)
    out[i] = (Load<int16_t>(p + 1) * 256 + p[0]) * 0x1p-23f;
}

void Convert32ToFloat(const void *in, float *out, std::size_t count) {
  auto p = static_cast<const uint8_t *>(in);
  for (std::size_t i = 0; i < count; ++i)
    out[i] = static_cast<float>(Load<int32_t>(p + 4 * i) * 0x1p-31);
}

void ConvertFloatTo8(const float *in, void *out, std::size_t count) {
  auto p = static_cast<uint8_t *>(out);
  for (std::size_t i = 0; i < count; ++i) {
    float x = in[i];
    if (x >= 1.0f)
      p[i] = 255;
    else if (x > -1.0f)
      // In double the sum and product are exact, so a value just below 1 cannot round up to 256.
      // The value is positive: truncation floors it, without a library call per sample.
      p[i] = static_cast<uint8_t>(static_cast<int>((static_cast<double>(x) + 1.0) * 128.0));
    else
      p[i] = 0;
  }
}

void ConvertFloatTo16(const float *in, void *out, std::size_t count) {
  auto p = static_cast<uint8_t *>(out);
  for (std::size_t i = 0; i < count; ++i)
    Store(p + 2 * i, static_cast<int16_t>(RoundHalfEven(Clamp(in[i]) * 32767.0f)));
}

void ConvertFloatTo24(const float *in, void *out, std::size_t count) {
  auto p = static_cast<uint8_t *>(out);
  for (std::size_t i = 0; i < count; ++i, p += 3) {
    // Exact in double: a 24-bit mantissa times a 23-bit factor.
    auto v = static_cast<int32_t>(std::floor(static_cast<double>(Clamp(in[i])) * 8388607.0));
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
  }
}

void ConvertFloatTo32(const float *in, void *out, std::size_t count) {
  auto p = static_cast<uint8_t *>(out);
  for (std::size_t i = 0; i < count; ++i)
    Store(p + 4 * i,
          static_cast<int32_t>(RoundHalfEven(static_cast<double>(Clamp(in[i])) * 2147483647.0)));
}

bool ConvertToFloat(int bytesPerSample, const void *in, float *out, std::size_t count) {
  switch (bytesPerSample) {
  case 1: Convert8ToFloat(in, out, count); return true;
  case 2: Convert16ToFloat(in, out, count); return true;
  case 3: Convert24ToFloat(in, out, count); return true;
  case 4: Convert32ToFloat(in, out, count); return true;
  default: return false;
  }
}

bool ConvertFromFloat(int bytesPerSample, const float *in, void *out, std::size_t count) {
  switch (bytesPerSample) {
  case 1: ConvertFloatTo8(in, out, count); return true;
  case 2: ConvertFloatTo16(in, out, count); return true;
  case 3: ConvertFloatTo24(in, out, count); return true;
  case 4: ConvertFloatTo32(in, out, count); return true;
  default: return false;
  }
}

int32_t FloatSampleToInt32(double x) {
  if (x >= 1.0)
    return 2147483647;
  if (x <= -1.0)
    return -2147483647 - 1;
  if (!(x != 0.0 && x == x)) // zero, or not a number
    return 0;
  // floor(x × (2^31 − 1)) exactly: x × 2^31 is exact, and the rounding error of subtracting x
  // is recovered (two-sum) so that a sum rounded up onto an integer is floored correctly.
  double a = x * 0x1p31;
  double s = a - x;
  double back = s - a;
  double err = (a - (s - back)) + (-x - back);
  double f = std::floor(s);
  if (f == s && err < 0)
    f -= 1.0;
  return static_cast<int32_t>(f);
}

void ConvertFloat32ToInt32(void *buffer, std::size_t count) {
  auto p = static_cast<uint8_t *>(buffer);
  for (std::size_t i = 0; i < count; ++i)
    Store(p + 4 * i, FloatSampleToInt32(Load<float>(p + 4 * i)));
}

void ConvertFloat64ToInt32(void *buffer, std::size_t count) {
  // Front to back: sample i is read at 8 i before its result is written at 4 i.
  auto p = static_cast<uint8_t *>(buffer);
  for (std::size_t i = 0; i < count; ++i)
    Store(p + 4 * i, FloatSampleToInt32(Load<double>(p + 8 * i)));
}

void ConvertStereoToMono(const float *in, float *out, std::size_t frames) {
  for (std::size_t i = 0; i < frames; ++i)
    out[i] = (in[2 * i] + in[2 * i + 1]) / 2;
}

void ConvertMonoToStereo(float *buffer, std::size_t frames) {
  for (std::size_t i = frames; i-- > 0;) {
    float v = buffer[i];
    buffer[2 * i] = v;
    buffer[2 * i + 1] = v;
  }
}
