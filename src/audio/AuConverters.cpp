#include "AuConverters.h"

#include "AuProcs.h"

#include <algorithm>
#include <cstring>

// ---- TFrameRest ----

bool TFrameRest::Take(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (FOffset >= FEnd)
    return false;
  bytes = std::min(bytes, FEnd - FOffset);
  buffer = FData.data() + FOffset;
  FOffset += bytes;
  return true;
}

void TFrameRest::Keep(const std::uint8_t *data, std::uint32_t count, std::uint8_t *&buffer,
                      std::uint32_t &bytes) {
  if (count == 0) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  FData.assign(data, data + count);
  FOffset = 0;
  FEnd = count;
  Take(buffer, bytes);
}

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
  const std::uint32_t inBits = InputBits();
  FInBytes = inBits / 8;
  FOutBytes = GetBitsPerSample() / 8;
  FOutput.clear();
  FFloats.clear();
  FCapacity = 0;
  FRest.Clear();
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
  FRest.Serve(FOutBytes * FOutChannelCount, buffer, bytes,
              [this](std::uint8_t *&b, std::uint32_t &n) { Convert(b, n); });
}

void TAudioConverter::Convert(std::uint8_t *&buffer, std::uint32_t &bytes) {
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
  FFrameBytes = GetChannels() * std::max<std::uint32_t>(InputBits() / 8, 1);
  FRest.Clear();
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
  FRest.Serve(FFrameBytes, buffer, bytes,
              [this](std::uint8_t *&b, std::uint32_t &n) { BalanceBlock(b, n); });
}

void TStereoBalance::BalanceBlock(std::uint8_t *&buffer, std::uint32_t &bytes) {
  const std::uint32_t channels = FInput->Channels();
  if (channels >= 3) {
    FInput->GetData(buffer, bytes);
    return;
  }
  const std::uint32_t sampleBytes = std::max<std::uint32_t>(InputBits() / 8, 1);
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
  // The centre leaves the sound as it is; towards one side the other channel fades out.
  const double balance = FBalance;
  if (balance > 0.5)
    Scale(data, count, sampleBytes, 0, 2 * (1.0 - balance));
  else if (balance < 0.5)
    Scale(data, count, sampleBytes, 1, 2 * balance);
  buffer = data;
  bytes = count;
}
