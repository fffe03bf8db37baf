// Streamed and file inputs and outputs.
#include "AuClasses.h"
#include "Text.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>

// ---- TAuStreamedInput ----

TAuStreamedInput::TAuStreamedInput(TComponent *owner) : TAuInput(owner) { FSeekable = true; }

void TAuStreamedInput::SetStream(TStream *stream) {
  FStream = stream;
  FStreamAssigned = stream != nullptr;
}

void TAuStreamedInput::FreeOwnStream() {
  if (FStreamAssigned)
    return;
  delete FStream;
  FStream = nullptr;
}

void TAuStreamedInput::GetData(std::uint8_t *&buffer, std::uint32_t &bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (TakePrefetched(buffer, bytes))
    return;
  const std::uint32_t wanted = bytes;
  // The data of the last block before the end is handed out first; the loop restarts on the
  // call after it. A range that yields nothing even after a restart ends the run.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (FEndOfStream) {
      if (!FLoop || FSize == 0)
        break;
      FEndOfStream = false;
      if (FSeekable) {
        std::int64_t start = FStartSample;
        Seek(start);
      } else {
        Flush();
        Init();
      }
      FPosition = 0;
    }
    bytes = wanted;
    GetDataInternal(buffer, bytes);
    Advance(bytes);
    if (bytes > 0)
      return;
  }
  buffer = nullptr;
  bytes = 0;
}

bool TAuStreamedInput::SeekSample(std::int64_t offset) {
  if (!FSeekable || offset < 0)
    return false;
  std::int64_t total = FTotalSamples;
  if (total != 0 && offset > total)
    return false;
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!FBusy) {
    FStartSample = offset;
    FEndSample = -1;
    FPosition = offset * FFrameSize;
    return true;
  }
  FPrefetchEnd = 0;
  FPrefetchOffset = 0;
  std::int64_t target = FStartSample + offset;
  bool result;
  try {
    result = Seek(target);
  } catch (...) {
    return false;
  }
  FPosition = (target - FStartSample) * FFrameSize;
  // Data is there again after a seek back from the end.
  FEndOfStream = false;
  return result;
}

void TAuStreamedInput::Jump(int offset) {
  std::int64_t size = FSize;
  if (!FSeekable || size <= 0) // nowhere to go in a length that is not known
    return;
  double f = static_cast<double>(FPosition) / size + offset / 1000.0;
  f = std::clamp(f, 0.0, 1.0);
  SeekSample(au::Round(static_cast<double>(FTotalSamples) * f));
}

// ---- TAuFileIn ----

TAuFileIn::TAuFileIn(TComponent *owner) : TAuStreamedInput(owner) {}

TAuFileIn::~TAuFileIn() {
  // Subclasses close their file; a stream they left open is still ours to free.
  FreeOwnStream();
}

void TAuFileIn::SetFileName(const std::string &fileName) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  CheckIdle();
  CloseFile();
  FFileName = fileName;
  FAnnouncedSize = -1;
  FEndMissing = false;
}

void TAuFileIn::SetStream(TStream *stream) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  CheckIdle();
  CloseFile();
  TAuStreamedInput::SetStream(stream);
}

// Closing the file of a run would cut the run's output short without a word.
bool TAuFileIn::OpenSourceStream() {
  FValid = true;
  if (!FStreamAssigned && !NameAssigned()) {
    FValid = false;
    return false;
  }
  if (!FStreamAssigned && !FStream) {
    try {
      FStream = new TAuFileStream(FFileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EAuException &) {
      FValid = false;
      throw EAuException("Failed to open stream");
    }
  }
  return true;
}

void TAuFileIn::ReleaseStream() {
  if (FStreamAssigned)
    FStream->Seek(0, TSeekOrigin::soBeginning);
  else
    FreeOwnStream();
}

void TAuFileIn::CheckIdle() const {
  if (FBusy)
    throw EAuException("The component is Busy");
}

std::int64_t TAuFileIn::DecodedSize(std::int64_t frames, std::uint32_t channels) {
  const std::int64_t frameBytes = 2 * std::int64_t(channels);
  if (frames < 0 || frameBytes == 0 || frames > INT64_MAX / frameBytes)
    return -1;
  return frames * frameBytes;
}

void TAuFileIn::GetData(std::uint8_t *&buffer, std::uint32_t &bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  TAuStreamedInput::GetData(buffer, bytes);
  if (bytes == 0 && FPosition < FSize) {
    FSize = FPosition.load();
    FShortened = true;
  }
}

std::string TAuFileIn::SampleRateRefusal() const {
  if (FSampleRate >= LowestFileSampleRate && FSampleRate <= HighestFileSampleRate)
    return "";
  return "its header gives a sample rate of " + std::to_string(FSampleRate) +
         " Hz, which no sound file has (1000 to 768000 Hz)";
}

void TAuFileIn::Reset() {
  TAuStreamedInput::Reset();
  // A failed Flush may have left the file open: close it rather than forget it.
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  if (FOpenCount > 0) {
    try {
      CloseFile();
    } catch (...) {
    }
    FOpenCount = 0;
  }
}

bool TAuFileIn::Valid() {
  if (!FStreamAssigned && !NameAssigned())
    return false;
  std::lock_guard<std::recursive_mutex> lock(FFileLock);
  try {
    OpenFile();
  } catch (...) {
    FValid = false;
  }
  if (!FValid) {
    if (FOpenCount > 0) {
      try {
        CloseFile();
      } catch (...) {
      }
    } else
      FreeOwnStream();
  }
  return FValid;
}

std::uint32_t TAuFileIn::GetBitsPerSample() {
  OpenFile();
  return FBitsPerSample;
}

std::uint32_t TAuFileIn::GetChannels() {
  OpenFile();
  return FChannels;
}

std::uint32_t TAuFileIn::GetSampleRate() {
  OpenFile();
  return FSampleRate;
}

std::uint32_t TAuFileIn::GetTotalTime() {
  OpenFile();
  std::uint64_t bytesPerSecond = std::uint64_t(FSampleRate) * FChannels * (FBitsPerSample / 8);
  if (bytesPerSecond == 0)
    return 0;
  return static_cast<std::uint32_t>(
      au::Round(static_cast<double>(FSize) / static_cast<double>(bytesPerSecond)));
}

std::int64_t TAuFileIn::GetTotalSamples() {
  OpenFile();
  std::int64_t frameSize = FChannels * FBitsPerSample / 8;
  FTotalSamples = FSize > 0 && frameSize > 0 ? FSize / frameSize : -1;
  return FTotalSamples;
}

void TAuFileIn::InitInternal() {
  if (FBusy)
    throw EAuException("The component is Busy");
  if (!FStreamAssigned && !NameAssigned())
    throw EAuException("The file name is not assigned");
  FBusy = true;
  FPosition = 0;
  try {
    OpenFile();
  } catch (...) {
    FBusy = false;
    throw;
  }
  FFrameSize = static_cast<std::uint16_t>(FChannels * FBitsPerSample / 8);
  // A header without a usable format is treated as an unrecognised file, never divided by.
  if (!FValid || FFrameSize == 0 || FSampleRate == 0) {
    FFrameSize = 8;
    FSampleRate = 8000;
    FBitsPerSample = 8;
    FChannels = 1;
    FTotalSamples = 0;
    FSize = 0;
    FTotalTime = 0;
    FEndOfStream = true;
    return;
  }
  FTotalSamples = FSize / FFrameSize;
  FTotalTime = static_cast<std::uint32_t>(FTotalSamples / FSampleRate);
  // A source that cannot seek starts at the beginning whatever the range says.
  if (FStartSample > 0) {
    if (!SeekSample(0))
      FStartSample = 0;
    FPosition = 0;
  }
  FBufStart = 1;
  FBufEnd = 0;
  if ((FStartSample <= 0 && FEndSample == -1) || FSize < 0)
    return;
  if (FEndSample >= FTotalSamples)
    FEndSample = -1;
  std::int64_t last = FEndSample == -1 ? FTotalSamples - 1 : FEndSample.load();
  FTotalSamples = std::max<std::int64_t>(0, last - FStartSample + 1);
  FSize = FTotalSamples * FFrameSize;
  if (FTotalSamples == 0)
    FEndOfStream = true;
}

void TAuFileIn::FlushInternal() {
  CloseFile();
  FStartSample = 0;
  FEndSample = -1;
  FBusy = false;
}

// ---- TAuStreamedOutput, TAuFileOut ----

TAuStreamedOutput::TAuStreamedOutput(TComponent *owner) : TAuOutput(owner) {}

void TAuStreamedOutput::SetStream(TStream *stream) {
  FStream = stream;
  FStreamAssigned = stream != nullptr;
}

void TAuStreamedOutput::FreeOwnStream() {
  if (FStreamAssigned)
    return;
  delete FStream;
  FStream = nullptr;
}

TAuFileOut::TAuFileOut(TComponent *owner) : TAuStreamedOutput(owner) {}

void TAuFileOut::SetFileName(const std::string &fileName) { FFileName = fileName; }

void TAuFileOut::OpenFileStream() {
  if (FStreamAssigned)
    return;
  if (FFileName.empty())
    throw EAuException("File name is not assigned.");
  std::error_code error;
  if (FFileMode == foAppend && std::filesystem::exists(FFileName, error))
    FStream = new TAuFileStream(FFileName, FShareMode | fmOpenReadWrite);
  else
    FStream = new TAuFileStream(FFileName, fmCreate);
}
