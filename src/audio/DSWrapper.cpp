#include "DSWrapper.h"

#include "SdlAudio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ds {

namespace {

template <typename T> void Scale(std::uint8_t *data, std::size_t bytes, float gain) {
  for (std::size_t i = 0; i + sizeof(T) <= bytes; i += sizeof(T)) {
    T sample;
    std::memcpy(&sample, data + i, sizeof(T));
    sample = static_cast<T>(std::lround(static_cast<double>(sample) * gain));
    std::memcpy(data + i, &sample, sizeof(T));
  }
}

// Scales the samples of the device's format in place.
void ApplyGain(std::uint8_t *data, std::size_t bytes, const TOutput &out, float gain) {
  switch (out.DeviceBits) {
  case 8:
    for (std::size_t i = 0; i < bytes; ++i)
      data[i] = static_cast<std::uint8_t>(std::lround((data[i] - 128) * gain) + 128);
    break;
  case 16: Scale<std::int16_t>(data, bytes, gain); break;
  default: Scale<std::int32_t>(data, bytes, gain); break;
  }
}

void Callback(void *user, Uint8 *stream, int len) {
  TOutput &out = *static_cast<TOutput *>(user);
  const std::uint32_t frames = static_cast<std::uint32_t>(len) / out.DeviceFrameBytes;
  std::uint32_t play = static_cast<std::uint32_t>(out.Played.load() % out.BufferSize);
  std::uint8_t *to = stream;
  for (std::uint32_t f = 0; f < frames; ++f) {
    std::uint8_t *const frame = out.Buffer.data() + play;
    const std::uint8_t *from = frame;
    if (out.Widen24) {
      for (std::uint32_t s = 0; s < out.BytesPerFrame / 3; ++s, from += 3, to += 4) {
        to[0] = 0;
        std::memcpy(to + 1, from, 3);
      }
    } else {
      std::memcpy(to, from, out.BytesPerFrame);
      to += out.BytesPerFrame;
    }
    // Played once: a writer that falls behind leaves silence here, not audio heard before.
    std::memset(frame, out.Silence, out.BytesPerFrame);
    play += out.BytesPerFrame;
    if (play >= out.BufferSize)
      play = 0;
  }
  out.Played += std::uint64_t{frames} * out.BytesPerFrame;
  const float gain = out.Gain.load();
  if (gain != 1.0f)
    ApplyGain(stream, static_cast<std::size_t>(len), out, gain);
}

} // namespace

std::vector<TDevice> EnumerateDevices() {
  std::vector<TDevice> devices{{"", "Default sound device"}};
  if (!plat::StartSdlAudio())
    return devices;
  const int count = SDL_GetNumAudioDevices(0);
  for (int i = 0; i < count && devices.size() < MaxDevices; ++i)
    if (const char *name = SDL_GetAudioDeviceName(i, 0))
      devices.push_back({name, std::string(name).substr(0, 127)});
  plat::StopSdlAudio();
  return devices;
}

bool Create(TOutput &out, const TDevice &device) {
  out.DeviceName = device.Name;
  out.AudioStarted = plat::StartSdlAudio();
  return out.AudioStarted;
}

std::uint32_t InitOutputBuffer(TOutput &out, const TFormat &format, std::uint32_t bufferSize) {
  out.BufferSize = bufferSize;
  out.Playing = false;
  out.UnderflowCount = 0;
  out.BytesPerFrame = format.BlockAlign;
  if (out.BytesPerFrame == 0 || bufferSize < out.BytesPerFrame)
    return ResultOpenFailed;
  out.Silence = format.BitsPerSample == 8 ? 128 : 0;
  out.Buffer.assign(bufferSize, out.Silence);
  out.Widen24 = format.BitsPerSample == 24;
  out.DeviceBits = format.BitsPerSample == 8 ? 8 : format.BitsPerSample == 16 ? 16 : 32;
  out.DeviceFrameBytes = out.DeviceBits / 8 * format.Channels;

  SDL_AudioSpec want{};
  want.freq = static_cast<int>(format.SampleRate);
  want.format = out.DeviceBits == 8 ? AUDIO_U8 : out.DeviceBits == 16 ? AUDIO_S16LSB : AUDIO_S32LSB;
  want.channels = static_cast<Uint8>(format.Channels);
  // One period at most a quarter of the buffer, so that the writer always has room.
  const std::uint32_t frames = bufferSize / out.BytesPerFrame;
  Uint16 period = 4096;
  while (period > 64 && period > frames / 4)
    period /= 2;
  want.samples = period;
  want.callback = Callback;
  want.userdata = &out;
  SDL_AudioSpec have{};
  out.Device = SDL_OpenAudioDevice(out.DeviceName.empty() ? nullptr : out.DeviceName.c_str(), 0,
                                   &want, &have, 0);
  if (out.Device == 0)
    return ResultOpenFailed;
  out.Lead = std::min<std::uint32_t>(have.samples * out.BytesPerFrame, bufferSize / 2);
  out.Played = 0;
  out.Written = 0;
  return 0;
}

void StartOutput(TOutput &out) {
  SDL_LockAudioDevice(out.Device);
  out.Played = 0;
  SDL_UnlockAudioDevice(out.Device);
  RestartOutput(out);
}

void StopOutput(TOutput &out) {
  out.Playing = false;
  if (out.Device != 0)
    SDL_PauseAudioDevice(out.Device, 1);
}

void RestartOutput(TOutput &out) {
  SDL_PauseAudioDevice(out.Device, 0);
  out.Playing = true;
}

std::uint32_t QueryOutputSpace(TOutput &out) {
  const std::int64_t size = out.BufferSize;
  const std::int64_t lead = out.Playing ? out.Lead.load() : 0;
  const std::uint64_t played = out.Played.load();
  // The written bytes the card has not yet taken; fewer than the bytes on their way to it
  // means the card plays what was never written for this round.
  const std::int64_t ahead = static_cast<std::int64_t>(out.Written - played);
  if (ahead < lead) {
    if (out.Playing)
      ++out.UnderflowCount;
    out.Written = played + lead;
    return static_cast<std::uint32_t>(size - lead);
  }
  return static_cast<std::uint32_t>(size - ahead);
}

void WriteBlock(TOutput &out, const std::uint8_t *data, std::uint32_t bytes) {
  SDL_LockAudioDevice(out.Device);
  const auto offset = static_cast<std::uint32_t>(out.Written % out.BufferSize);
  const std::uint32_t first = std::min(bytes, out.BufferSize - offset);
  std::memcpy(out.Buffer.data() + offset, data, first);
  std::memcpy(out.Buffer.data(), data + first, bytes - first);
  out.Written += bytes;
  SDL_UnlockAudioDevice(out.Device);
}

void FillEmptySpace(TOutput &out, std::uint8_t byte) {
  const std::uint32_t space = QueryOutputSpace(out);
  SDL_LockAudioDevice(out.Device);
  const auto offset = static_cast<std::uint32_t>(out.Written % out.BufferSize);
  const std::uint32_t first = std::min(space, out.BufferSize - offset);
  std::memset(out.Buffer.data() + offset, byte, first);
  std::memset(out.Buffer.data(), byte, space - first);
  out.Written += space;
  SDL_UnlockAudioDevice(out.Device);
}

void SetVolume(TOutput &out, std::int32_t volume) {
  volume = std::clamp(volume, -10000, 0);
  out.Gain = volume == 0 ? 1.0f : static_cast<float>(std::pow(10.0, volume / 2000.0));
}

void Done(TOutput &out) {
  if (out.Device != 0) {
    SDL_CloseAudioDevice(out.Device);
    out.Device = 0;
  }
  out.Playing = false;
  out.Buffer.clear();
  if (out.AudioStarted) {
    plat::StopSdlAudio();
    out.AudioStarted = false;
  }
}

} // namespace ds

#if defined(__SANITIZE_ADDRESS__)
// SDL's audio start-up keeps a few small blocks of its own for the life of the process; they
// are not ours to free, so the leak check leaves allocations made inside SDL alone.
extern "C" const char *__lsan_default_suppressions() { return "leak:libSDL2\n"; }
// Nor does it list them at exit: a batch run's standard error stays the program's own.
extern "C" const char *__lsan_default_options() { return "print_suppressions=0"; }
#endif
