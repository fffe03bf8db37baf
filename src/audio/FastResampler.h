#pragma once
#include "AuClasses.h"

#include <array>
#include <cstdint>
#include <vector>

// Changes the sample rate: a 4-pole Chebyshev low-pass run four times over nearest-sample
// expansion (up) or before nearest-sample decimation (down), a fifth of a second at a time.
class TFastResampler : public TAuConverter {
public:
  static constexpr std::uint32_t MaxChannels = 8;

  explicit TFastResampler(TComponent *owner = nullptr) : TAuConverter(owner) {}

  std::uint32_t OutSampleRate() const { return FOutSampleRate; }
  void SetOutSampleRate(std::uint32_t value) { FOutSampleRate = value; }

  // The filter's coefficients once Init has designed them: y[n] = Σ a[k] x[n-k] (k = 0 ... 4)
  // + Σ b[k-1] y[n-k] (k = 1 ... 4).
  const std::array<float, 5> &A() const { return FA; }
  const std::array<float, 4> &B() const { return FB; }

  // The filter runs on AVX2 where the processor has it, else on the x86-64 baseline; both give
  // the same bits. false keeps every resampler on the baseline (to check that it does).
  static void UseWideKernel(bool use);

protected:
  // Position follows the input's progress, scaled to this converter's Size.
  void Delivered(std::uint32_t &bytes) override;
  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  std::uint32_t GetSampleRate() override;
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;

private:
  static constexpr int Passes = 4;
  // The filter state of one channel: the last 4 values, newest first, of the input and of the
  // output of every pass (the output of a pass is the input of the next).
  using THistory = std::array<std::array<float, 4>, Passes + 1>;

  void DesignFilter(float cutoff);
  // Filters a block of FFloats and changes its rate; returns the frames made.
  template <typename Round, bool Up> std::uint32_t Filter(std::uint32_t frames);
  template <typename Round, bool Pair, bool Up>
  std::uint32_t FilterChannels(const float *in, float *out, std::uint32_t frames,
                               std::uint32_t first);
  TAuInput &CheckedInput() const;

  std::uint32_t FOutSampleRate = 0;
  bool FPassThrough = false;
  std::array<float, 5> FA{};
  std::array<float, 4> FB{};
  std::array<THistory, MaxChannels> FHistory{};
  std::uint32_t FInRate5 = 0, FOutRate5 = 0;
  std::uint32_t FInStep = 0, FOutStep = 0;
  std::uint32_t FCapacity = 0; // frames of one block, before or after the rate change
  std::vector<float> FFloats;
  std::vector<float> FExpanded; // upsampling: the block repeated to the output rate
  std::uint32_t FBytesPerSample = 0, FFrameBytes = 0, FChannelCount = 0;
  std::vector<std::uint8_t> FBytes;
  std::int64_t FDelivered = 0;
};
