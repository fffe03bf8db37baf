#include "FastResampler.h"

#include "AuProcs.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

// x86 processors get vector conversions and an AVX2 build of the filter kernel (through GCC's
// target pragmas); elsewhere, and in clang's fuzzing builds, the plain build serves, with the
// same results.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(__clang__)
#define PLINDAR_X86_KERNELS 1
#include <immintrin.h>
#endif

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
  const std::uint32_t bits = InputBits();
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

// The filter kernel is built twice, for the x86-64 baseline and for processors with AVX2, which
// holds a whole step of the kernel in two registers. The higher optimisation level lets the
// compiler keep the filter state in registers across the loop; neither build contracts or
// reorders floating-point operations, so both give the same bits.
#pragma GCC push_options
#pragma GCC optimize("O3")
// Vectors of four doubles pass only between functions inlined into one another, so the calling
// convention for them (which the compiler warns of, late) does not matter.
#pragma GCC diagnostic ignored "-Wpsabi"
namespace {

// Four lanes: the two channels of a pair in two neighbouring passes. Every lane goes through
// exactly the scalar IEEE operations, so the lanes give the same values as one channel and one
// pass at a time.
using TLanes = double __attribute__((vector_size(32)));
using TMask = long long __attribute__((vector_size(32)));

// Rounding each lane to single precision, as a stored float sample would be, on the baseline.
struct TBaseRound {
  static TLanes Apply(const TLanes &v) {
#ifdef PLINDAR_X86_KERNELS
    const __m128d low = _mm_cvtps_pd(_mm_cvtpd_ps(__m128d{v[0], v[1]}));
    const __m128d high = _mm_cvtps_pd(_mm_cvtpd_ps(__m128d{v[2], v[3]}));
    return TLanes{low[0], low[1], high[0], high[1]};
#else
    return TLanes{double(float(v[0])), double(float(v[1])), double(float(v[2])),
                  double(float(v[3]))};
#endif
  }
};

// Shifts v into a history of four values, newest first, in the lanes where keep is set.
template <bool Masked> void Push(TLanes (&h)[4], const TLanes &v, const TMask &keep) {
  if (Masked) {
    h[3] = keep ? h[2] : h[3];
    h[2] = keep ? h[1] : h[2];
    h[1] = keep ? h[0] : h[1];
    h[0] = keep ? v : h[0];
  } else {
    h[3] = h[2], h[2] = h[1], h[1] = h[0], h[0] = v;
  }
}

// The four passes over a pair of channels, a block at a time, joined with the rate change so
// that a block is read and written once. Signal 0 is the input and signal s the output of pass
// s. A pass's rounding to float ends a long chain of dependent operations, so the passes run one
// frame apart: pass s works on the frame pass s - 1 finished in the step before, and the four
// passes of a step, independent of each other, share instructions and overlap in the processor.
// U holds passes 1 and 2, W passes 3 and 4.
template <typename Round, bool Pair, bool Up> struct TCascade {
  TLanes A[5], B[4];
  TLanes XU[4], YU[4], XW[4], YW[4]; // the passes' inputs and outputs, newest first
  TLanes VU = {}, VW = {};           // the passes' new inputs, made in the step before
  const float *In;
  float *Out;
  std::uint32_t Channels;
  // Up: the input frame advances when the accumulator runs below zero. Down: the output frame.
  std::int64_t Take, Give, S = 0;
  std::uint32_t I = 0, Q = 0;

  // The sum is formed in double precision from float values, the term of the new input last.
  TLanes Pass(const TLanes (&x)[4], const TLanes (&y)[4], const TLanes &v) const {
    return Round::Apply(A[4] * x[3] + A[3] * x[2] + A[2] * x[1] + A[1] * x[0] + B[3] * y[3] +
                        B[2] * y[2] + B[1] * y[1] + B[0] * y[0] + A[0] * v);
  }
  std::uint32_t Next() {
    S -= Take;
    const bool step = S < 0;
    S += step ? Give : 0;
    return step;
  }
  // One step; pass 1 takes the next input frame if there is one. Masked, only the passes set in
  // onU and onW take a step. Pass 4's new value is written out when it has one.
  template <bool Masked> void Step(bool input, const TMask &onU, const TMask &onW) {
    if (input) {
      const float *sample = In + std::size_t(I) * Channels;
      I += Up ? Next() : 1;
      VU = TLanes{sample[0], Pair ? sample[1] : 0.0f, VU[2], VU[3]};
    }
    const TLanes u = Pass(XU, YU, VU), w = Pass(XW, YW, VW);
    Push<Masked>(XU, VU, onU);
    Push<Masked>(YU, u, onU);
    Push<Masked>(XW, VW, onW);
    Push<Masked>(YW, w, onW);
    VU = TLanes{0, 0, u[0], u[1]};
    VW = TLanes{u[2], u[3], w[0], w[1]};
    if (!Masked || onW[2]) {
      float *target = Out + std::size_t(Q) * Channels;
      target[0] = static_cast<float>(w[2]);
      if (Pair)
        target[1] = static_cast<float>(w[3]);
      Q += Up ? 1 : Next();
    }
  }
  // A step at the start or the end of a block, in which some passes have no frame: in step t,
  // pass p works on frame t + 1 - p of the n frames.
  void Partial(std::uint32_t t, std::uint32_t n, bool input) {
    auto on = [&](std::uint32_t p) -> long long { return t + 1 >= p && t + 1 - p < n ? -1 : 0; };
    Step<true>(input, TMask{on(1), on(1), on(2), on(2)}, TMask{on(3), on(3), on(4), on(4)});
  }
  // Filters a block of the given input frames; returns the frames written.
  std::uint32_t Run(std::uint32_t frames) {
    std::uint32_t t = 0;
    for (; t < 3 && I < frames; ++t)
      Partial(t, ~0u, true);
    for (; I < frames; ++t)
      Step<false>(true, TMask{}, TMask{});
    const std::uint32_t n = t;
    for (int k = 0; k < 3; ++k, ++t)
      Partial(t, n, false);
    return Q;
  }
};

// Everything the kernel calls is inlined here, so that it is built for this target.
template <bool Pair, bool Up>
[[gnu::flatten]] std::uint32_t RunBase(TCascade<TBaseRound, Pair, Up> &c, std::uint32_t frames) {
  auto local = c; // a local copy can live in registers
  const std::uint32_t q = local.Run(frames);
  c = local;
  return q;
}

} // namespace

#ifdef PLINDAR_X86_KERNELS
#pragma GCC push_options
#pragma GCC target("avx2")
namespace {

struct TWideRound {
  static TLanes Apply(const TLanes &v) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(v)); }
};

template <bool Pair, bool Up>
[[gnu::flatten]] std::uint32_t RunWide(TCascade<TWideRound, Pair, Up> &c, std::uint32_t frames) {
  auto local = c;
  const std::uint32_t q = local.Run(frames);
  c = local;
  return q;
}

} // namespace
#pragma GCC pop_options

namespace {

bool HasAvx2() {
  __builtin_cpu_init(); // needed before main
  return __builtin_cpu_supports("avx2");
}
#else
namespace {

// One build only: the wide kernel is never chosen.
using TWideRound = TBaseRound;

template <bool Pair, bool Up>
std::uint32_t RunWide(TCascade<TWideRound, Pair, Up> &c, std::uint32_t frames) {
  return RunBase(c, frames);
}

bool HasAvx2() { return false; }
#endif

std::atomic<bool> WideKernel{HasAvx2()};

} // namespace

void TFastResampler::UseWideKernel(bool use) { WideKernel = use && HasAvx2(); }

// A pair of channels (a lone last channel shares its pair with an unused lane). Upsampling
// repeats input frames by nearest sample and filters every repetition; downsampling filters every
// input frame and keeps, in place, those its accumulator picks. Either accumulator restarts with
// every block; the filter state runs on.
template <typename Round, bool Pair, bool Up>
std::uint32_t TFastResampler::FilterChannels(const float *in, float *out, std::uint32_t frames,
                                             std::uint32_t first) {
  THistory &left = FHistory[first];
  THistory &right = FHistory[Pair ? first + 1 : first];
  TCascade<Round, Pair, Up> c;
  for (int k = 0; k < 5; ++k)
    c.A[k] = TLanes{FA[k], FA[k], FA[k], FA[k]};
  for (int k = 0; k < 4; ++k)
    c.B[k] = TLanes{FB[k], FB[k], FB[k], FB[k]};
  auto signals = [&](int s, int k) {
    return TLanes{left[s][k], right[s][k], left[s + 1][k], right[s + 1][k]};
  };
  for (int k = 0; k < 4; ++k) {
    c.XU[k] = signals(0, k);
    c.YU[k] = signals(1, k);
    c.XW[k] = signals(2, k);
    c.YW[k] = signals(3, k);
  }
  c.In = in + first;
  c.Out = out + first;
  c.Channels = FChannelCount;
  c.Take = Up ? FInStep : FOutStep;
  c.Give = Up ? FOutStep : FInStep;
  std::uint32_t q;
  if constexpr (std::is_same_v<Round, TWideRound>)
    q = RunWide(c, frames);
  else
    q = RunBase(c, frames);
  // The pipeline has drained: every signal's history is complete.
  for (int k = 0; k < 4; ++k) {
    const TLanes s0 = c.XU[k], s12 = c.YU[k], s34 = c.YW[k];
    const float values[Passes + 1][2] = {{float(s0[0]), float(s0[1])},
                                         {float(s12[0]), float(s12[1])},
                                         {float(s12[2]), float(s12[3])},
                                         {float(s34[0]), float(s34[1])},
                                         {float(s34[2]), float(s34[3])}};
    for (int r = 0; r <= Passes; ++r) {
      left[r][k] = values[r][0];
      if (Pair)
        right[r][k] = values[r][1];
    }
  }
  return q;
}

template <typename Round, bool Up> std::uint32_t TFastResampler::Filter(std::uint32_t frames) {
  const float *in = FFloats.data();
  float *out = Up ? FExpanded.data() : FFloats.data();
  std::uint32_t c = 0, q = 0;
  for (; c + 1 < FChannelCount; c += 2)
    q = FilterChannels<Round, true, Up>(in, out, frames, c);
  if (c < FChannelCount)
    q = FilterChannels<Round, false, Up>(in, out, frames, c);
  return q;
}
#pragma GCC pop_options

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
    const bool wide = WideKernel;
    const std::uint32_t q =
        wide ? (up ? Filter<TWideRound, true>(frames) : Filter<TWideRound, false>(frames))
             : (up ? Filter<TBaseRound, true>(frames) : Filter<TBaseRound, false>(frames));
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

void TFastResampler::Delivered(std::uint32_t &bytes) {
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
  if (bytes == 0)
    EndWithInput(FDelivered);
}
