#include "MciWaveAudio.h"

#include "Mci.h"
#include "PartFile.h"
#include "SdlAudio.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>

namespace plat::waveaudio {

namespace {

struct TFormat {
  std::uint16_t Channels = 0;
  std::uint32_t Rate = 0;
  std::uint16_t Bits = 0;
  std::uint32_t BlockAlign() const { return Channels * (Bits / 8u); }
};

struct TDevice {
  std::string Alias;
  std::string File;
  TFormat Format;
  std::vector<std::uint8_t> Audio;
  std::uint32_t Position = 0; // byte offset where a play or record without "from" starts
  SDL_AudioDeviceID Player = 0;
  std::uint32_t PlayStart = 0;
  SDL_AudioDeviceID Recorder = 0;
};

std::mutex gLock;
std::optional<TDevice> gDevice;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::uint32_t Get32(const std::uint8_t *p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}
std::uint16_t Get16(const std::uint8_t *p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

void Put(std::vector<std::uint8_t> &out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The PCM format and audio of a WAV file; MciErrInvalidFile for anything else. A data chunk
// that claims more than the file holds gives what is there.
int ReadWav(const std::string &file, TFormat &format, std::vector<std::uint8_t> &audio) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return MciErrFileNotFound;
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return MciErrInvalidFile;
  bool haveFormat = false;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint8_t *chunk = bytes.data() + at;
    const std::size_t size = std::min<std::size_t>(Get32(chunk + 4), bytes.size() - at - 8);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      format = {Get16(chunk + 10), Get32(chunk + 12), Get16(chunk + 22)};
      haveFormat = Get16(chunk + 8) == 1 && format.Channels > 0 && format.Rate > 0 &&
                   (format.Bits == 8 || format.Bits == 16);
      if (!haveFormat)
        return MciErrInvalidFile;
    } else if (std::memcmp(chunk, "data", 4) == 0 && haveFormat) {
      const std::size_t whole = size - size % format.BlockAlign();
      audio.assign(chunk + 8, chunk + 8 + whole);
      return 0;
    }
    at += 8 + size + size % 2;
  }
  return MciErrInvalidFile;
}

int WriteWav(const std::string &file, const TFormat &format,
             const std::vector<std::uint8_t> &audio) {
  std::vector<std::uint8_t> header;
  header.insert(header.end(), {'R', 'I', 'F', 'F'});
  Put(header, static_cast<std::uint32_t>(36 + audio.size()), 4);
  header.insert(header.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put(header, 16, 4);
  Put(header, 1, 2);
  Put(header, format.Channels, 2);
  Put(header, format.Rate, 4);
  Put(header, format.Rate * format.BlockAlign(), 4);
  Put(header, format.BlockAlign(), 2);
  Put(header, format.Bits, 2);
  header.insert(header.end(), {'d', 'a', 't', 'a'});
  Put(header, static_cast<std::uint32_t>(audio.size()), 4);
  // Written beside the file and renamed over it, so a full disk never leaves it cut short.
  TPartFile part(file);
  std::ofstream out(part.PartName(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char *>(header.data()), std::streamsize(header.size()));
  out.write(reinterpret_cast<const char *>(audio.data()), std::streamsize(audio.size()));
  out.close();
  return part.Claimed() && out && part.Complete() ? 0 : MciErrHardware;
}

std::uint32_t Ms(const TDevice &d, std::size_t bytes) {
  return static_cast<std::uint32_t>(bytes / d.Format.BlockAlign() * 1000 / d.Format.Rate);
}

// The byte offset of a time, on a whole frame and never past the end; nullopt when ms is not
// a number.
std::optional<std::uint32_t> Offset(const TDevice &d, const std::string &ms) {
  char *end = nullptr;
  const unsigned long long value = std::strtoull(ms.c_str(), &end, 10);
  if (ms.empty() || *end != 0 || ms[0] == '-')
    return std::nullopt;
  const unsigned long long frames = std::min(value, 1ull << 32) * d.Format.Rate / 1000;
  return static_cast<std::uint32_t>(
      std::min<unsigned long long>(frames * d.Format.BlockAlign(), d.Audio.size()));
}

SDL_AudioDeviceID OpenSdl(const TFormat &format, bool capture) {
  if (!StartSdlAudio())
    return 0;
  SDL_AudioSpec want{};
  want.freq = static_cast<int>(format.Rate);
  want.format = format.Bits == 8 ? AUDIO_U8 : AUDIO_S16LSB; // WAV's own sample forms
  want.channels = static_cast<Uint8>(format.Channels);
  want.samples = 1024;
  const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, nullptr, 0);
  if (id == 0)
    StopSdlAudio();
  else
    SDL_PauseAudioDevice(id, 0);
  return id;
}

// False when the sound system cannot start or knows no device to record from.
bool HaveCaptureDevice() {
  if (!StartSdlAudio())
    return false;
  const int count = SDL_GetNumAudioDevices(1); // -1: the driver cannot list them
  StopSdlAudio();
  return count != 0;
}

void CloseSdl(SDL_AudioDeviceID &id) {
  if (id == 0)
    return;
  SDL_CloseAudioDevice(id);
  StopSdlAudio();
  id = 0;
}

// Moves what the input has captured so far onto the end of the audio.
void TakeCaptured(TDevice &d) {
  std::uint8_t buffer[16384];
  while (const Uint32 got = SDL_DequeueAudio(d.Recorder, buffer, sizeof buffer))
    d.Audio.insert(d.Audio.end(), buffer, buffer + got);
}

bool Playing(const TDevice &d) { return d.Player != 0 && SDL_GetQueuedAudioSize(d.Player) > 0; }

// Where a play has got to, or where the next one starts.
std::uint32_t Current(const TDevice &d) {
  if (d.Player == 0)
    return d.Position;
  const std::size_t left = std::min<std::size_t>(SDL_GetQueuedAudioSize(d.Player), d.Audio.size());
  return static_cast<std::uint32_t>(d.Audio.size() - left);
}

void StopAll(TDevice &d) {
  if (d.Recorder != 0) {
    TakeCaptured(d);
    CloseSdl(d.Recorder);
    d.Position = static_cast<std::uint32_t>(d.Audio.size());
  }
  d.Position = Current(d);
  CloseSdl(d.Player);
}

// The system took the capture device away (unplugged, or its sound server went): what it had
// captured is still queued, so the recording ends as if stopped and keeps all of it.
void EndLostRecording(TDevice &d) {
  if (d.Recorder != 0 && SDL_GetAudioDeviceStatus(d.Recorder) == SDL_AUDIO_STOPPED)
    StopAll(d);
}

// The start of a play or record: "from MS" or the current position; nullopt for other words.
std::optional<std::uint32_t> Start(const TDevice &d, const std::vector<std::string> &words) {
  if (words.size() == 2)
    return d.Position;
  if (words.size() == 4 && Lower(words[2]) == "from")
    return Offset(d, words[3]);
  return std::nullopt;
}

int Play(TDevice &d, const std::vector<std::string> &words) {
  const auto from = Start(d, words);
  if (!from)
    return MciErrOutOfRange;
  StopAll(d);
  d.Player = OpenSdl(d.Format, false);
  if (d.Player == 0)
    return MciErrHardware;
  d.Position = *from;
  SDL_QueueAudio(d.Player, d.Audio.data() + *from, static_cast<Uint32>(d.Audio.size() - *from));
  return 0;
}

int Record(TDevice &d, const std::vector<std::string> &words) {
  if (d.Recorder != 0 && words.size() == 2) // already recording: go on
    return 0;
  const auto from = Start(d, words);
  if (!from)
    return MciErrOutOfRange;
  StopAll(d);
  d.Recorder = OpenSdl(d.Format, true);
  if (d.Recorder == 0)
    return HaveCaptureDevice() ? MciErrHardware : MciErrWaveInputsUnsuitable;
  d.Audio.resize(*from);
  return 0;
}

int Save(TDevice &d, const std::vector<std::string> &words) {
  if (words.size() > 3)
    return MciErrUnrecognizedCommand;
  if (d.Recorder != 0)
    TakeCaptured(d);
  return WriteWav(words.size() == 3 ? words[2] : d.File, d.Format, d.Audio);
}

std::string Mode(const TDevice &d) {
  if (d.Recorder != 0)
    return "recording";
  return Playing(d) ? "playing" : "stopped";
}

} // namespace

bool Owns(const std::string &name) {
  std::lock_guard lock(gLock);
  return gDevice && (Lower(name) == Lower(gDevice->Alias) || name == gDevice->File);
}

int Open(const std::vector<std::string> &words) {
  if (words.size() < 2)
    return MciErrUnrecognizedCommand;
  TDevice d;
  d.File = words[1];
  d.Alias = d.File;
  for (std::size_t i = 2; i < words.size(); i += 2) {
    const std::string key = Lower(words[i]);
    if (i + 1 >= words.size() || (key != "type" && key != "alias"))
      return MciErrUnrecognizedCommand;
    if (key == "type" && Lower(words[i + 1]) != "waveaudio")
      return MciErrUnrecognizedCommand;
    if (key == "alias")
      d.Alias = words[i + 1];
  }
  std::lock_guard lock(gLock);
  if (gDevice)
    return MciErrDeviceOpen;
  if (const int error = ReadWav(d.File, d.Format, d.Audio))
    return error;
  gDevice = std::move(d);
  return 0;
}

int Command(const std::vector<std::string> &words, std::string *result) {
  std::lock_guard lock(gLock);
  if (!gDevice || words.size() < 2)
    return MciErrNoDevice;
  TDevice &d = *gDevice;
  EndLostRecording(d);
  std::vector<std::string> lower(words.size());
  std::transform(words.begin(), words.end(), lower.begin(), Lower);
  const std::string &verb = lower[0];
  const auto n = words.size();
  auto answer = [result](std::string text) {
    if (result)
      *result = std::move(text);
    return 0;
  };
  if (verb == "close" && n == 2) {
    StopAll(d);
    gDevice.reset();
    return 0;
  }
  if (verb == "set" && n == 5 && lower[2] == "time" && lower[3] == "format" &&
      (lower[4] == "milliseconds" || lower[4] == "ms"))
    return 0;
  if (verb == "status" && n == 3 && lower[2] == "length") {
    if (d.Recorder != 0) // a recording grows as it goes
      TakeCaptured(d);
    return answer(std::to_string(Ms(d, d.Audio.size())));
  }
  if (verb == "status" && n == 3 && lower[2] == "position")
    return answer(std::to_string(Ms(d, Current(d))));
  if (verb == "status" && n == 3 && lower[2] == "mode")
    return answer(Mode(d));
  if (verb == "play")
    return Play(d, words);
  if (verb == "record")
    return Record(d, words);
  if (verb == "save")
    return Save(d, words);
  if (verb == "stop" && n == 2) {
    StopAll(d);
    return 0;
  }
  if (verb == "seek" && n == 4 && lower[2] == "to" && (lower[3] == "start" || lower[3] == "end")) {
    StopAll(d);
    d.Position = lower[3] == "start" ? 0 : static_cast<std::uint32_t>(d.Audio.size());
    return 0;
  }
  return MciErrUnrecognizedCommand;
}

} // namespace plat::waveaudio
