#pragma once
// TDXAudioOut plays the audio of its input on the sound card: the output thread keeps a
// looping play buffer (DSWrapper.h) filled, polling for free space, reports underruns through
// OnUnderrun and lets the buffered audio play out at the end of the input. Jump moves the file
// input at the head of the chain while the sound goes on.
#include "AuClasses.h"
#include "DSWrapper.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

using TUnderrunEvent = std::function<void(TComponent *sender)>;

class TDXAudioOut : public TAuOutput {
public:
  explicit TDXAudioOut(TComponent *owner = nullptr);
  ~TDXAudioOut() override;

  // Index into the device table; 0 is the system's default device.
  std::int32_t DeviceNumber() const { return FDeviceNumber; }
  void SetDeviceNumber(std::int32_t value) { FDeviceNumber = value; }
  // Milliseconds; when not 0 it sets the buffer length and the polling interval of a run.
  std::uint32_t Latency() const { return FLatency; }
  void SetLatency(std::uint32_t value) { FLatency = value; }
  // Read ahead from the input while waiting for buffer space.
  bool PrefetchData() const { return FPrefetchData; }
  void SetPrefetchData(bool value) { FPrefetchData = value; }
  std::uint32_t PollingInterval() const { return FPollingInterval; }
  void SetPollingInterval(std::uint32_t value) { FPollingInterval = value; }
  // Buffer length in frames; kept while busy.
  std::uint32_t FramesInBuffer() const { return FFramesInBuffer; }
  void SetFramesInBuffer(std::uint32_t value);
  // Plays the data at this multiple of its sample rate (faster and higher, or slower and lower).
  float SpeedFactor() const { return FSpeedFactor; }
  void SetSpeedFactor(float value) { FSpeedFactor = value; }
  // Hundredths of a decibel, -10000 to 0; applied at once.
  std::int32_t Volume() const { return FVolume; }
  void SetVolume(std::int32_t value);

  std::int32_t DeviceCount() const { return static_cast<std::int32_t>(FDevices.size()); }
  const std::vector<ds::TDevice> &Devices() const { return FDevices; }
  // Underruns of the current run so far, as last reported.
  std::uint32_t Underruns() const { return FUnderruns; }
  // The sample rate the device plays at, after the speed factor.
  std::uint32_t PlayRate() const { return FSampleRate; }
  // The format the last run opened the device with.
  const ds::TFormat &Format() const { return FFormat; }
  // Why the last run could not open the sound device, in the sound system's words; "" when it
  // could. Read once the run has ended.
  const std::string &DeviceFailure() const { return FDeviceFailure; }

  void Pause() override;
  void Resume() override;
  // Moves by offset thousandths of the whole length.
  void Jump(int offset);

  TUnderrunEvent OnUnderrun;
  std::function<void(TComponent *)> UnderrunHandler() const override { return OnUnderrun; }

protected:
  void Prepare() override;
  bool DoOutput(bool abort) override;
  void Done() override;

private:
  // Sleeps what is left of one polling interval, reading ahead from the input meanwhile.
  void WaitInterval();
  // Waits for free buffer space, whole frames; 0 after 16 empty polls.
  std::uint32_t WaitForSpace();
  void WriteInput(std::uint32_t space);
  void HandleUnderrun();
  void Drain();
  bool HeldWithSound() const;

  std::int32_t FDeviceNumber = 0;
  std::uint32_t FLatency = 100;
  bool FPrefetchData = true;
  std::uint32_t FPollingInterval = 100;
  std::uint32_t FFramesInBuffer = 24576;
  float FSpeedFactor = 1.0f;
  std::string FDeviceFailure;

  std::atomic<bool> FReleased{true};
  ds::TOutput FOut;
  std::vector<ds::TDevice> FDevices;
  ds::TFormat FFormat;
  std::uint32_t FChannels = 0;
  std::uint32_t FSampleRate = 0;
  std::uint32_t FBitsPerSample = 0;
  std::atomic<bool> FEndOfInput{false};
  std::atomic<bool> FFirstBlock{true};
  std::vector<std::uint8_t> FBlock;
  std::uint32_t FBufferBytes = 0;
  std::uint8_t FSilenceByte = 0;
  std::atomic<std::uint32_t> FUnderruns{0};
  std::uint32_t FLastUnderruns = 0;
  std::atomic<std::int32_t> FVolume{0};
};
