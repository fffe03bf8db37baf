#pragma once
// Converters between pipeline stages: sample width and channel count, and the stereo balance of
// a player. The sample-rate converter has its own file; it comes with this one.
#include "AuClasses.h"
#include "FastResampler.h"

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
  // Serves a request from produce(buffer, bytes), through the rest when it is shorter than a
  // frame of frameBytes.
  template <typename TProduce>
  void Serve(std::uint32_t frameBytes, std::uint8_t *&buffer, std::uint32_t &bytes,
             TProduce produce) {
    if (Take(buffer, bytes))
      return;
    if (bytes >= frameBytes)
      return produce(buffer, bytes);
    std::uint8_t *frame = nullptr;
    std::uint32_t got = frameBytes;
    produce(frame, got);
    Keep(frame, got, buffer, bytes);
  }

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
