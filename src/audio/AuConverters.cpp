#include "AuConverters.h"

#include "AuProcs.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The sample width an input delivers, without the source's marker bit.
std::uint32_t InputBits(TAuInput &input) { return input.BitsPerSample() & ~128u; }

// The widths the conversion routines know: 8, 16, 24 and 32 bits.
bool IsSupportedWidth(std::uint32_t bits) { return bits % 8 == 0 && bits >= 8 && bits <= 32; }

} // namespace

// ---- TAudioConverter ----

std::uint32_t TAudioConverter::GetBitsPerSample() {
  if (!FInput)
    return 0;
  return FOutBitsPerSample != 0 ? static_cast<std::uint32_t>(FOutBitsPerSample)
                                : TAuConverter::GetBitsPerSample();
}

std::uint32_t TAudioConverter::GetChannels() {
  if (!FInput)
    return 0;
  std::uint32_t in = FInput->Channels();
  if ((FOutChannels == 1 || FOutChannels == 2) && (in == 1 || in == 2))
    return static_cast<std::uint32_t>(FOutChannels);
  return in;
}

void TAudioConverter::InitInternal() {
  if (!FInput)
    throw EAuException("Input is not assigned");
  FInput->Init();
  FBusy = true;
  FPosition = 0;
  FOutChannelCount = GetChannels();
  FInChannels = FInput->Channels();
  const std::uint32_t inBits = InputBits(*FInput);
  FInBytes = inBits / 8;
  FOutBytes = GetBitsPerSample() / 8;
  FOutput.clear();
  FFloats.clear();
  FCapacity = 0;
  const bool passThrough = FOutBitsPerSample == 0 && FOutChannels == 0;
  if (!passThrough && (!IsSupportedWidth(inBits) || !IsSupportedWidth(GetBitsPerSample()) ||
                       FInChannels == 0 || FOutChannelCount == 0))
    throw EAuException("Unsupported audio format");
  const std::int64_t inSize = FInput->Size();
  if (inSize < 0 || passThrough) {
    FSize = inSize < 0 ? -1 : inSize;
    return;
  }
  const double ratio =
      double(FOutBytes * 8) * FOutChannelCount / (double(FInBytes * 8) * FInChannels);
  const std::int64_t outFrame = FOutBytes * FOutChannelCount;
  const std::int64_t size = au::Round(static_cast<double>(inSize) * ratio);
  FSize = size - size % outFrame;
}

void TAudioConverter::FlushInternal() {
  if (FInput)
    FInput->Flush();
  FOutput.clear();
  FOutput.shrink_to_fit();
  FFloats.clear();
  FFloats.shrink_to_fit();
  FCapacity = 0;
  FBusy = false;
}

void TAudioConverter::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FOutBitsPerSample == 0 && FOutChannels == 0) {
    FInput->GetData(buffer, bytes);
    return;
  }
  const std::uint32_t wanted = bytes / FOutBytes / FOutChannelCount;
  std::uint8_t *in = nullptr;
  std::uint32_t got = wanted * FInBytes * FInChannels;
  FInput->GetData(in, got);
  const std::uint32_t frames = got / FInBytes / FInChannels;
  if (frames == 0) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  bytes = frames * FOutBytes * FOutChannelCount;
  if (frames > FCapacity) {
    FOutput.resize(bytes);
    FFloats.resize(std::size_t(frames) * std::max(FInChannels, FOutChannelCount));
    FCapacity = frames;
  }
  float *floats = FFloats.data();
  ConvertToFloat(static_cast<int>(FInBytes), in, floats, std::size_t(frames) * FInChannels);
  if (FOutChannelCount == 2 && FInChannels == 1)
    ConvertMonoToStereo(floats, frames);
  else if (FOutChannelCount == 1 && FInChannels == 2)
    ConvertStereoToMono(floats, floats, frames);
  ConvertFromFloat(static_cast<int>(FOutBytes), floats, FOutput.data(),
                   std::size_t(frames) * FOutChannelCount);
  buffer = FOutput.data();
}

// ---- TFastResampler ----

TAuInput &TFastResampler::CheckedInput() const {
  if (!FInput)
    throw EAuException("Input is not assigned");
  return *FInput;
}

std::uint32_t TFastResampler::GetBitsPerSample() {
  CheckedInput();
  return TAuConverter::GetBitsPerSample();
}

std::uint32_t TFastResampler::GetChannels() { return CheckedInput().Channels(); }

std::uint32_t TFastResampler::GetSampleRate() {
  CheckedInput();
  return FOutSampleRate;
}

// A Chebyshev low-pass of 4 poles and 5 percent ripple, cut-off a fraction of the rate it runs
// at, designed in single precision through the bilinear transform, pole pair by pole pair.
void TFastResampler::DesignFilter(float cutoff) {
  constexpr int NP = 4;
  constexpr float PR = 5;
  constexpr float Pi = 3.14159265358979f;
  std::array<float, NP + 4> A{}, B{};
  A[2] = 1;
  B[2] = 1;
  for (int p = 1; p <= NP / 2; ++p) {
    const float theta = Pi / (2 * NP) + (p - 1) * Pi / NP;
    float RP = -std::cos(theta);
    float IP = std::sin(theta);
    const float ES = std::sqrt((100 / (100 - PR)) * (100 / (100 - PR)) - 1);
    const float VX = std::log(1 / ES + std::sqrt(1 / (ES * ES) + 1)) / NP;
    float KX = std::log(1 / ES + std::sqrt(1 / (ES * ES) - 1)) / NP;
    KX = (std::exp(KX) + std::exp(-KX)) / 2;
    RP = RP * ((std::exp(VX) - std::exp(-VX)) / 2) / KX;
    IP = IP * ((std::exp(VX) + std::exp(-VX)) / 2) / KX;
    // s-domain to z-domain
    const float T = 2 * std::tan(0.5f);
    const float M = RP * RP + IP * IP;
    const float D = 4 - 4 * RP * T + M * T * T;
    const float X0 = T * T / D;
    const float X1 = 2 * T * T / D;
    const float X2 = X0;
    const float Y1 = (8 - 2 * M * T * T) / D;
    const float Y2 = (-4 - 4 * RP * T - M * T * T) / D;
    // low-pass to low-pass at the cut-off
    const float W = 2 * Pi * cutoff;
    const float K = std::sin(0.5f - W / 2) / std::sin(0.5f + W / 2);
    const float DK = 1 + Y1 * K - Y2 * K * K;
    const float a0 = (X0 - X1 * K + X2 * K * K) / DK;
    const float a1 = (-2 * X0 * K + X1 + X1 * K * K - 2 * X2 * K) / DK;
    const float a2 = (X0 * K * K - X1 * K + X2) / DK;
    const float b1 = (2 * K + Y1 + Y1 * K * K - 2 * Y2 * K) / DK;
    const float b2 = (-K * K - Y1 * K + Y2) / DK;
    const auto TA = A, TB = B;
    for (int i = 2; i <= NP + 2; ++i) {
      A[i] = a0 * TA[i] + a1 * TA[i - 1] + a2 * TA[i - 2];
      B[i] = TB[i] - b1 * TB[i - 1] - b2 * TB[i - 2];
    }
  }
  B[2] = 0;
  for (int i = 0; i <= NP; ++i) {
    A[i] = A[i + 2];
    B[i] = -B[i + 3];
  }
  float SA = 0, SB = 0;
  for (int i = 0; i <= NP; ++i) {
    SA += A[i];
    SB += B[i];
  }
  const float G = SA / (1 - SB);
  for (int i = 0; i <= NP; ++i)
    FA[i] = A[i] / G;
  for (int i = 0; i < NP; ++i)
    FB[i] = B[i];
}

void TFastResampler::InitInternal() {
  TAuInput &input = CheckedInput();
  input.Init();
  FBusy = true;
  const std::uint32_t bits = InputBits(input);
  FBytesPerSample = bits / 8;
  FChannelCount = input.Channels();
  FFrameBytes = FChannelCount * FBytesPerSample;
  FPosition = 0;
  FDelivered = 0;
  FInRate5 = input.SampleRate() / 5;
  FOutRate5 = FOutSampleRate / 5;
  FInStep = FInRate5 * FFrameBytes;
  FOutStep = FOutRate5 * FFrameBytes;
  FBufStart = FBufEnd = 0;
  const std::int64_t inSize = input.Size();
  FSize = inSize;
  FPassThrough = FOutStep == FInStep;
  if (FPassThrough)
    return;
  if (FChannelCount > MaxChannels)
    throw EAuException("Too many channels");
  if (!IsSupportedWidth(bits) || FChannelCount == 0)
    throw EAuException("Unsupported audio format");
  // Rates up to a megahertz keep a block's byte counts well inside 32 bits.
  if (FInRate5 == 0 || FOutRate5 == 0 || FInRate5 > 200000 || FOutRate5 > 200000)
    throw EAuException("Unsupported sample rate");
  if (inSize > 0) {
    const std::int64_t size =
        au::Round(static_cast<double>(inSize) * FOutStep / static_cast<double>(FInStep));
    FSize = size - size % FFrameBytes; // whole frames, as a WAV header needs
  }
  // A block holds a fifth of a second of input, and when upsampling its expansion.
  std::uint32_t expandedFrames = 0;
  if (FInRate5 < FOutRate5) {
    // The smallest whole factor from 2 up that reaches the output rate.
    const std::uint32_t L = std::max(2u, (FOutRate5 + FInRate5 - 1) / FInRate5);
    expandedFrames = L * FInRate5;
  }
  FCapacity = std::max(FInRate5, expandedFrames);
  FBytes.assign(std::size_t(FFrameBytes) * FCapacity, 0);
  FFloats.assign(std::size_t(FChannelCount) * FInRate5, 0);
  FExpanded.assign(std::size_t(FChannelCount) * expandedFrames, 0);
  const float ratio = static_cast<float>(std::min(FInStep, FOutStep)) /
                      static_cast<float>(std::max(FInStep, FOutStep));
  DesignFilter(ratio * 0.85f / 2);
  for (THistory &channel : FHistory)
    channel = THistory{};
}

void TFastResampler::FlushInternal() {
  if (FInput)
    FInput->Flush();
  FBytes = {};
  FFloats = {};
  FExpanded = {};
  FBusy = false;
}

namespace {

// Two channels side by side: every lane goes through exactly the scalar IEEE operations, so the
// pair gives the same values as one channel at a time, in half the instructions.
using TLanes = double __attribute__((vector_size(16)));
using TFloatLanes = float __attribute__((vector_size(8)));

// Rounds each lane to single precision, as a stored float sample would be.
TLanes ToFloat(TLanes v) {
  return __builtin_convertvector(__builtin_convertvector(v, TFloatLanes), TLanes);
}

} // namespace

// The four passes of the filter, two channels at a time (a lone last channel shares its pair
// with an unused lane), joined with the rate change so that a block is read and written once.
// Upsampling repeats input frames by nearest sample and filters every repetition; downsampling
// filters every input frame and keeps those its accumulator picks, in place. Either accumulator
// restarts with every block. Pass p's input history is pass p - 1's output history, so five
// signals of four past values each hold the whole state, which runs on across blocks. The sums
// are formed in double precision from float values, the term of the new input last: it is the
// one the pass before has just made. Returns the frames written.
template <bool Pair, bool Up>
std::uint32_t TFastResampler::FilterChannels(const float *in, float *out, std::uint32_t frames,
                                             std::uint32_t first) {
  const std::uint32_t channels = FChannelCount;
  auto lanes = [](float v) { return TLanes{v, v}; };
  const TLanes a0 = lanes(FA[0]), a1 = lanes(FA[1]), a2 = lanes(FA[2]), a3 = lanes(FA[3]),
               a4 = lanes(FA[4]);
  const TLanes b1 = lanes(FB[0]), b2 = lanes(FB[1]), b3 = lanes(FB[2]), b4 = lanes(FB[3]);
  THistory &left = FHistory[first];
  THistory &right = FHistory[Pair ? first + 1 : first];
  TLanes h[Passes + 1][4]; // h[q][k]: signal q, k + 1 frames ago; signal 0 is the input
  for (int q = 0; q <= Passes; ++q)
    for (int k = 0; k < 4; ++k)
      h[q][k] = TLanes{left[q][k], right[q][k]};
  // Up: the input frame advances when the accumulator runs below zero. Down: the output frame.
  const std::int64_t take = Up ? FInStep : FOutStep, give = Up ? FOutStep : FInStep;
  std::int64_t s = 0;
  std::uint32_t i = 0, q = 0;
  while (i < frames) {
    const float *sample = in + std::size_t(i) * channels + first;
    TLanes v = {sample[0], Pair ? sample[1] : 0.0f};
#pragma GCC unroll 4
    for (int p = 0; p < Passes; ++p) {
      TLanes(&x)[4] = h[p];
      const TLanes(&y)[4] = h[p + 1];
      const TLanes acc = a4 * x[3] + a3 * x[2] + a2 * x[1] + a1 * x[0] + b4 * y[3] + b3 * y[2] +
                         b2 * y[1] + b1 * y[0] + a0 * v;
      x[3] = x[2], x[2] = x[1], x[1] = x[0], x[0] = v;
      v = ToFloat(acc);
    }
    TLanes(&y)[4] = h[Passes];
    y[3] = y[2], y[2] = y[1], y[1] = y[0], y[0] = v;
    float *target = out + std::size_t(q) * channels + first;
    target[0] = static_cast<float>(v[0]);
    if (Pair)
      target[1] = static_cast<float>(v[1]);
    s -= take;
    const bool step = s < 0;
    s += step ? give : 0;
    if (Up) {
      i += step;
      ++q;
    } else {
      ++i;
      q += step;
    }
  }
  for (int r = 0; r <= Passes; ++r)
    for (int k = 0; k < 4; ++k) {
      left[r][k] = static_cast<float>(h[r][k][0]);
      if (Pair)
        right[r][k] = static_cast<float>(h[r][k][1]);
    }
  return q;
}

template <bool Up> std::uint32_t TFastResampler::Filter(std::uint32_t frames) {
  const float *in = FFloats.data();
  float *out = Up ? FExpanded.data() : FFloats.data();
  std::uint32_t c = 0, q = 0;
  for (; c + 1 < FChannelCount; c += 2)
    q = FilterChannels<true, Up>(in, out, frames, c);
  if (c < FChannelCount)
    q = FilterChannels<false, Up>(in, out, frames, c);
  return q;
}

void TFastResampler::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (FPassThrough) {
    FInput->GetData(buffer, bytes);
    return;
  }
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  if (FBufStart >= FBufEnd) {
    FBufStart = 0;
    FBufEnd = 0;
    bool endOfInput = false;
    const std::uint32_t frames =
        FInput->FillBuffer(FBytes.data(), FInStep, endOfInput) / FFrameBytes;
    if (frames == 0) {
      buffer = nullptr;
      bytes = 0;
      return;
    }
    ConvertToFloat(static_cast<int>(FBytesPerSample), FBytes.data(), FFloats.data(),
                   std::size_t(frames) * FChannelCount);
    const bool up = FInRate5 < FOutRate5;
    const std::uint32_t q = up ? Filter<true>(frames) : Filter<false>(frames);
    const float *out = up ? FExpanded.data() : FFloats.data();
    ConvertFromFloat(static_cast<int>(FBytesPerSample), out, FBytes.data(),
                     std::size_t(q) * FChannelCount);
    FBufEnd = static_cast<std::int32_t>(q * FFrameBytes);
  }
  bytes = std::min<std::uint32_t>(bytes, static_cast<std::uint32_t>(FBufEnd - FBufStart));
  buffer = FBytes.data() + FBufStart;
  FBufStart += static_cast<std::int32_t>(bytes);
  const std::int64_t inSize = FInput->Size();
  if (inSize > 0)
    FPosition = au::Round(static_cast<double>(FSize) / static_cast<double>(inSize) *
                          static_cast<double>(FInput->Position()));
}

void TFastResampler::GetData(std::uint8_t *&buffer, std::uint32_t &bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (TakePrefetched(buffer, bytes))
    return;
  if (FEndOfStream) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  GetDataInternal(buffer, bytes);
  if (FPassThrough) {
    Advance(bytes);
    return;
  }
  // Never more than the announced Size; Position itself follows the input.
  const std::int64_t size = FSize;
  if (size > 0 && FDelivered + bytes > size)
    bytes = static_cast<std::uint32_t>(std::max<std::int64_t>(size - FDelivered, 0));
  FDelivered += bytes;
  if (FInput->Size() <= 0)
    FPosition = FDelivered;
  if (bytes == 0 || (size > 0 && FDelivered >= size))
    FEndOfStream = true;
}

// ---- TStereoBalance ----

void TStereoBalance::SetBalance(float value) {
  if (value >= 0 && value <= 1)
    FBalance = value;
}

std::uint32_t TStereoBalance::GetChannels() {
  if (!FInput)
    throw EAuException("Input not assigned");
  std::uint32_t channels = FInput->Channels();
  return channels <= 2 ? 2 : channels;
}

void TStereoBalance::InitInternal() {
  if (!FInput)
    throw EAuException("Input not assigned");
  FInput->Init();
  FBusy = true;
  const std::int64_t inSize = FInput->Size();
  FSize = FInput->Channels() == 1 && inSize > 0 ? 2 * inSize : inSize;
  FPosition = 0;
}

void TStereoBalance::FlushInternal() {
  if (FInput)
    FInput->Flush();
  FBusy = false;
}

namespace {

template <typename T> void ScaleSample(std::uint8_t *p, double factor) {
  T v;
  std::memcpy(&v, p, sizeof v);
  v = static_cast<T>(au::Round(v * factor));
  std::memcpy(p, &v, sizeof v);
}

} // namespace

// Scales one channel of interleaved stereo samples, rounding to the nearest integer; 8-bit
// samples about their midpoint 128.
void TStereoBalance::Scale(std::uint8_t *data, std::uint32_t bytes, std::uint32_t sampleBytes,
                           int channel, double factor) const {
  const std::uint32_t frame = 2 * sampleBytes;
  for (std::uint8_t *p = data + channel * sampleBytes; p + sampleBytes <= data + bytes;
       p += frame) {
    switch (sampleBytes) {
    case 1: *p = static_cast<std::uint8_t>(128 + au::Round((*p - 128) * factor)); break;
    case 2: ScaleSample<std::int16_t>(p, factor); break;
    case 4: ScaleSample<std::int32_t>(p, factor); break;
    default: { // 24-bit
      std::int32_t v = static_cast<std::int32_t>((p[2] << 24) | (p[1] << 16) | (p[0] << 8)) >> 8;
      v = static_cast<std::int32_t>(au::Round(v * factor));
      p[0] = static_cast<std::uint8_t>(v);
      p[1] = static_cast<std::uint8_t>(v >> 8);
      p[2] = static_cast<std::uint8_t>(v >> 16);
    }
    }
  }
}

void TStereoBalance::GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (!FBusy)
    throw EAuException("The Stream is not opened");
  const std::uint32_t channels = FInput->Channels();
  if (channels >= 3) {
    FInput->GetData(buffer, bytes);
    return;
  }
  const std::uint32_t sampleBytes = std::max<std::uint32_t>(InputBits(*FInput) / 8, 1);
  std::uint8_t *data = FBuffer.data();
  std::uint32_t count = std::min<std::uint32_t>(bytes, FBuffer.size());
  if (channels == 2) {
    std::uint8_t *in = nullptr;
    FInput->GetData(in, count);
    if (count > 0)
      std::memcpy(data, in, count); // the input's memory is not ours to change
  } else {
    // Half of the room in whole samples, each then written to both channels from the end.
    std::uint32_t half = count / 2 / sampleBytes * sampleBytes;
    half = FInput->CopyData(data, half) / sampleBytes * sampleBytes;
    for (std::uint32_t i = half / sampleBytes; i-- > 0;) {
      std::memmove(data + 2 * i * sampleBytes, data + i * sampleBytes, sampleBytes);
      std::memmove(data + (2 * i + 1) * sampleBytes, data + i * sampleBytes, sampleBytes);
    }
    count = 2 * half;
  }
  if (count == 0) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  const float balance = FBalance;
  if (balance > 0.5f)
    Scale(data, count, sampleBytes, 0, 1.0 - balance);
  else
    Scale(data, count, sampleBytes, 1, balance);
  buffer = data;
  bytes = count;
}
