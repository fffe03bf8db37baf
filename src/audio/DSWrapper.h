#pragma once
// The sound card as a looping play buffer, over SDL2 audio: the output writes blocks at its own
// write offset and the device's callback plays the buffer round and round from the play
// cursor, leaving silence where it played. The write cursor runs one device period (the
// callback's chunk) ahead of the play cursor while playing: the bytes between them are on their
// way to the card and must not be written. Both sides count their bytes from the start, so the
// writer sees how far the card has really played, however often the buffer went round between
// two queries: a writer that falls behind the play cursor is an underrun (the card plays
// silence, never audio heard before), counted when the free space is queried, and a pause of
// the whole process (a loaded machine, a stopped debugger) that stalled the card too is none.
// Only the output thread writes; the callback runs on SDL's audio thread, under the device
// lock.
#include <SDL2/SDL.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace ds {

// One playback device. The first entry of the table is the system's default device (empty
// Name); the others are opened by their SDL name.
struct TDevice {
  std::string Name;
  std::string Description; // at most 127 characters
};

constexpr std::size_t MaxDevices = 16;

// The devices SDL lists, after the default one; at most MaxDevices.
std::vector<TDevice> EnumerateDevices();

// The format of the play buffer. Samples are little-endian PCM of 8 (unsigned), 16, 24 or 32
// bits; 24-bit samples are widened to 32 bits for the card.
struct TFormat {
  std::uint16_t Tag = 1; // 1 PCM, 0xFFFE extensible
  std::uint16_t Channels = 2;
  std::uint32_t SampleRate = 44100;
  std::uint32_t BytesPerSecond = 176400;
  std::uint16_t BlockAlign = 4;
  std::uint16_t BitsPerSample = 16;
  std::uint16_t ExtensionSize = 0;
  std::uint16_t ValidBits = 0;
  std::uint32_t ChannelMask = 0;
};

// Result of an InitOutputBuffer that cannot open the device (a generic failure code).
constexpr std::uint32_t ResultOpenFailed = 0x80004005;

// The wrapper record of one output. Create and Done bracket its use.
struct TOutput {
  SDL_AudioDeviceID Device = 0;
  std::string DeviceName;
  std::vector<std::uint8_t> Buffer; // the looping play buffer
  // Bytes written since the buffer was opened; the next ones go at Written % BufferSize.
  std::uint64_t Written = 0;
  std::uint32_t BufferSize = 0;
  std::uint32_t BytesPerFrame = 0;
  std::uint32_t UnderflowCount = 0;
  bool Playing = false;
  bool AudioStarted = false; // the SDL audio subsystem is held for this output

  // Shared with the callback.
  // Bytes the card has taken since the start; the play cursor is Played % BufferSize.
  std::atomic<std::uint64_t> Played{0};
  std::atomic<std::uint32_t> Lead{0}; // bytes of the buffer one callback takes
  std::atomic<float> Gain{1.0f};
  std::uint32_t DeviceFrameBytes = 0;
  std::uint32_t DeviceBits = 16; // 8 (unsigned), 16 or 32
  bool Widen24 = false;
  std::uint8_t Silence = 0; // the byte of silence: 128 for 8-bit samples, else 0
};

// Starts the sound system for the device; false when it cannot be used.
bool Create(TOutput &out, const TDevice &device);
// Opens the device with a looping play buffer of bufferSize bytes of the format, all
// silence; 0 on success, else a failure code.
std::uint32_t InitOutputBuffer(TOutput &out, const TFormat &format, std::uint32_t bufferSize);
// Plays from the start of the buffer, where the first data written since it was opened went.
void StartOutput(TOutput &out);
void StopOutput(TOutput &out);
// Plays on from where the play cursor stands.
void RestartOutput(TOutput &out);
// The bytes that can be written now; counts an underrun when the card has played into the
// bytes not yet written.
std::uint32_t QueryOutputSpace(TOutput &out);
void WriteBlock(TOutput &out, const std::uint8_t *data, std::uint32_t bytes);
void FillEmptySpace(TOutput &out, std::uint8_t byte);
// Volume in hundredths of a decibel, -10000 (silent) to 0 (as recorded).
void SetVolume(TOutput &out, std::int32_t volume);
// Stops and closes the device and releases the sound system.
void Done(TOutput &out);

} // namespace ds
