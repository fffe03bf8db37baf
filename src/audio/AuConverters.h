#pragma once
// Converters between pipeline stages: sample width and channel count, sample rate, and the
// stereo balance of a player.
#include "AuClasses.h"

#include <array>
#include <cstdint>
#include <vector>

enum TMSConverterMode : std::uint8_t { msmMonoToBoth, msmMonoToLeft, msmMonoToRight };

// An empty answer ends a stream, so a request shorter than one frame is served from a whole
// frame, whose rest goes to the next requests.
class TFrameRest {
public:
  // Hands out what is left of a frame when there is some (true).
  bool Take(std::uint8_t *&buffer, std::uint32_t &bytes);
  // Keeps count bytes of data (at least a frame) and hands out the first of them.
  void Keep(const std::uint8_t *data, std::uint32_t count, std::uint8_t *&buffer,
            std::uint32_t &bytes);
  void Clear() { FOffset = FEnd = 0; }

private:
  std::vector<std::uint8_t> FData;
  std::uint32_t FOffset = 0, FEnd = 0;
};

// Changes the sample width (8, 16, 24, 32 bits) and turns mono into stereo or stereo into mono.
class TAudioConverter : public TAuConverter {
public:
  explicit TAudioConverter(TComponent *owner = nullptr) : TAuConverter(owner) {}

  // 0 keeps the input's value.
  std::int32_t OutBitsPerSample() const { return FOutBitsPerSample; }
  void SetOutBitsPerSample(std::int32_t value) { FOutBitsPerSample = value; }
  // 1 or 2 on mono or stereo input; any other value keeps the input's channels.
  std::int32_t OutChannels() const { return FOutChannels; }
  void SetOutChannels(std::int32_t value) { FOutChannels = value; }
  // Stored only: mono input is always copied to both channels.
  TMSConverterMode Mode() const { return FMode; }
  void SetMode(TMSConverterMode value) { FMode = value; }

protected:
  std::uint32_t GetBitsPerSample() override;
  std::uint32_t GetChannels() override;
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;

private:
  void Convert(std::uint8_t *&buffer, std::uint32_t &bytes);

  std::int32_t FOutBitsPerSample = 0;
  std::int32_t FOutChannels = 0;
  TMSConverterMode FMode = msmMonoToBoth;
  std::vector<std::uint8_t> FOutput;
  std::vector<float> FFloats;
  std::uint32_t FCapacity = 0; // frames both buffers hold
  std::uint32_t FInBytes = 0, FOutBytes = 0;
  std::uint32_t FInChannels = 0, FOutChannelCount = 0;
  TFrameRest FRest;
};

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

// Turns mono into stereo and attenuates one channel of a stereo signal.
class TStereoBalance : public TAuConverter {
public:
  explicit TStereoBalance(TComponent *owner = nullptr) : TAuConverter(owner) {}

  // 0 ... 1; 0.5 leaves both channels as they are, above it the left channel is attenuated
  // (silent at 1), below it the right one (silent at 0). Other values are ignored.
  float Balance() const { return FBalance; }
  void SetBalance(float value);

protected:
  std::uint32_t GetChannels() override;
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(std::uint8_t *&buffer, std::uint32_t &bytes) override;

private:
  void BalanceBlock(std::uint8_t *&buffer, std::uint32_t &bytes);
  void Scale(std::uint8_t *data, std::uint32_t bytes, std::uint32_t sampleBytes, int channel,
             double factor) const;

  std::atomic<float> FBalance{0.5f};
  std::vector<std::uint8_t> FBuffer = std::vector<std::uint8_t>(32768);
  std::uint32_t FFrameBytes = 0;
  TFrameRest FRest;
};
