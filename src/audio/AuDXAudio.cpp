#include "AuDXAudio.h"

#include "AuEventHandler.h"

#include <chrono>
#include <cmath>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Empty polls after which the device counts as no longer playing.
constexpr int MaxEmptyPolls = 16;

std::uint32_t ChannelMask(std::uint32_t channels) {
  switch (channels) {
  case 2: return 3;
  case 6: return 63;
  case 8: return 255;
  default: return 0;
  }
}

// Playback is the one output that must not fall behind: its thread asks for a higher
// priority, which a system that does not allow it simply refuses.
void RaiseThreadPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10); }

} // namespace

TDXAudioOut::TDXAudioOut(TComponent *owner) : TAuOutput(owner), FDevices(ds::EnumerateDevices()) {}

TDXAudioOut::~TDXAudioOut() { ShutDown(); }

void TDXAudioOut::SetFramesInBuffer(std::uint32_t value) {
  if (!Busy())
    FFramesInBuffer = value;
}

void TDXAudioOut::SetVolume(std::int32_t value) {
  FVolume = value;
  ds::SetVolume(FOut, value);
}

void TDXAudioOut::Prepare() {
  FReleased = false;
  if (FDeviceNumber < 0 || FDeviceNumber >= DeviceCount())
    throw EAuException("Invalid device number");
  RaiseThreadPriority();
  FInput->Init();
  FChannels = FInput->Channels();
  FSampleRate = FInput->SampleRate();
  FBitsPerSample = FInput->BitsPerSample();
  if (FSpeedFactor != 1.0f)
    FSampleRate = static_cast<std::uint32_t>(std::lround(FSampleRate * FSpeedFactor));
  if (FLatency != 0) {
    FLatency = std::max<std::uint32_t>(FLatency, 10);
    FFramesInBuffer =
        static_cast<std::uint32_t>(static_cast<std::uint64_t>(FLatency) * FSampleRate / 1000);
    FPollingInterval = FLatency / 3;
  }
  FOut.UnderflowCount = 0;
  FDeviceFailure.clear();
  if (!ds::Create(FOut, FDevices[FDeviceNumber])) {
    FDeviceFailure = SDL_GetError();
    throw EAuException("Failed to create DirectSound device");
  }
  FBufferBytes = FBitsPerSample / 8 * FFramesInBuffer * FChannels;
  FBlock.assign(FBufferBytes, 0);
  FSilenceByte = FBitsPerSample == 8 ? 128 : 0;

  ds::TFormat format;
  const bool extensible = FChannels > 2 || FBitsPerSample == 24;
  format.Tag = extensible ? 0xFFFE : 1;
  format.ExtensionSize = extensible ? 22 : 0;
  format.ChannelMask = extensible ? ChannelMask(FChannels) : 0;
  format.Channels = static_cast<std::uint16_t>(FChannels);
  format.SampleRate = FSampleRate;
  format.BlockAlign = static_cast<std::uint16_t>(FChannels * FBitsPerSample / 8);
  format.BytesPerSecond = FSampleRate * format.BlockAlign;
  format.BitsPerSample = static_cast<std::uint16_t>(FBitsPerSample);
  FFormat = format;
  if (const std::uint32_t result = ds::InitOutputBuffer(FOut, format, FBufferBytes)) {
    FDeviceFailure = SDL_GetError();
    char code[9];
    std::snprintf(code, sizeof code, "%.8X", result);
    throw EAuException(std::string("Failed to create DirectSound buffer") + code);
  }
  FFirstBlock = true;
  FEndOfInput = false;
  FLastUnderruns = 0;
  FUnderruns = 0;
}

bool TDXAudioOut::DoOutput(bool abort) {
  if (!Busy())
    return true;
  if (!FCanOutput)
    return false;
  if (FFirstBlock) {
    bool end = false;
    const std::uint32_t got = FInput->FillBuffer(FBlock.data(), FBufferBytes, end);
    std::fill(FBlock.begin() + got, FBlock.end(), FSilenceByte);
    FEndOfInput = end;
    ds::WriteBlock(FOut, FBlock.data(), FBufferBytes);
    ds::SetVolume(FOut, FVolume);
    ds::StartOutput(FOut);
    FFirstBlock = false;
  }
  if (abort) {
    ds::StopOutput(FOut);
    FCanOutput = false;
    return false;
  }
  if (!FEndOfInput) {
    const std::uint32_t space = WaitForSpace();
    if (space == 0) {
      SetExceptionMessage("Audio output error");
      TEventHandler::PostThreadException(this);
      return false;
    }
    WriteInput(space);
    if (FOut.UnderflowCount != FLastUnderruns)
      HandleUnderrun();
    return true;
  }
  FCanOutput = false;
  Drain();
  ds::StopOutput(FOut);
  return false;
}

std::uint32_t TDXAudioOut::WaitForSpace() {
  for (int polls = 0; polls < MaxEmptyPolls; ++polls) {
    WaitInterval();
    std::uint32_t space = ds::QueryOutputSpace(FOut);
    space -= space % FOut.BytesPerFrame;
    if (space > 0)
      return space;
  }
  return 0;
}

void TDXAudioOut::WaitInterval() {
  const auto start = Clock::now();
  if (FPrefetchData) {
    const std::uint32_t frameBytes = FBitsPerSample / 8 * FChannels;
    const std::uint32_t bytes =
        frameBytes * static_cast<std::uint32_t>(static_cast<std::uint64_t>(FPollingInterval) *
                                                FSampleRate / 1000);
    std::uint32_t ahead = bytes + bytes / 4;
    if (frameBytes != 0)
      ahead -= ahead % frameBytes;
    FInput->Prefetch(ahead);
  }
  std::this_thread::sleep_until(start + std::chrono::milliseconds(FPollingInterval));
}

void TDXAudioOut::WriteInput(std::uint32_t space) {
  const std::uint32_t want = std::min(space, FBufferBytes);
  std::uint32_t bytes = want;
  std::uint8_t *data = nullptr;
  if (FPrefetchData) {
    FInput->GetData(data, bytes);
  } else {
    bool end = false;
    bytes = FInput->FillBuffer(FBlock.data(), want, end);
    data = FBlock.data();
  }
  FEndOfInput = bytes == 0;
  // An input that hands out part of a frame would shift every later frame.
  bytes -= bytes % FOut.BytesPerFrame;
  if (bytes > 0)
    ds::WriteBlock(FOut, data, bytes);
  if (FEndOfInput)
    ds::FillEmptySpace(FOut, FSilenceByte);
}

void TDXAudioOut::HandleUnderrun() {
  FUnderruns = FOut.UnderflowCount;
  FLastUnderruns = FOut.UnderflowCount;
  ds::StopOutput(FOut);
  ds::FillEmptySpace(FOut, FSilenceByte);
  if (OnUnderrun)
    TEventHandler::PostUnderrun(this);
  ds::RestartOutput(FOut);
}

// Lets the buffered audio play out: for the whole buffer's time and one device period more,
// topping the buffer up with silence behind the play cursor at least every polling interval,
// so that a short buffer is never played round twice.
void TDXAudioOut::Drain() {
  const auto bytesPerSecond = std::max<std::uint32_t>(1, FFormat.BytesPerSecond);
  const auto total = std::chrono::milliseconds(
      1000 * (std::int64_t(FBufferBytes) + FOut.Lead.load()) / bytesPerSecond + 1);
  const auto step = std::chrono::milliseconds(std::clamp<std::uint32_t>(FPollingInterval, 1, 100));
  const auto end = Clock::now() + total;
  while (Clock::now() < end) {
    std::this_thread::sleep_for(step);
    ds::FillEmptySpace(FOut, FSilenceByte);
  }
}

void TDXAudioOut::Done() {
  if (!FReleased) {
    ds::Done(FOut);
    FBlock.clear();
    FBlock.shrink_to_fit();
  }
  FInput->Flush();
  FReleased = true;
}

// The device is touched from here only while the output thread is held paused, between two
// blocks; a run that ended meanwhile has closed it.
bool TDXAudioOut::HeldWithSound() const { return Status() == 1 && !FEndOfInput && !FFirstBlock; }

void TDXAudioOut::Pause() {
  TAuOutput::Pause();
  if (HeldWithSound())
    ds::StopOutput(FOut);
}

void TDXAudioOut::Resume() {
  if (HeldWithSound())
    ds::RestartOutput(FOut);
  TAuOutput::Resume();
}

void TDXAudioOut::Jump(int offset) {
  Pause();
  if (HeldWithSound())
    ds::FillEmptySpace(FOut, FSilenceByte);
  TAuInput *input = FInput;
  if (input) {
    input->MutePrefetched();
    std::vector<TAuConverter *> converters;
    while (auto *converter = dynamic_cast<TAuConverter *>(input)) {
      converters.push_back(converter);
      input = converter->Input();
    }
    if (auto *streamed = dynamic_cast<TAuStreamedInput *>(input)) {
      streamed->Jump(offset);
      for (TAuConverter *converter : converters)
        converter->FollowMove(streamed->Position(), streamed->Size());
    }
  }
  Resume();
}
