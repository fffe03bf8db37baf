#include "AuClasses.h"

#include "AuEventHandler.h"
#include "Messages.h"

#include <algorithm>
#include <chrono>
#include <cstring>

// ---- TAuInput ----

TAuInput::TAuInput(TComponent *owner) : TComponent(owner) {}

TAuInput::~TAuInput() = default;

void TAuInput::Init() {
  std::string error;
  {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FEndOfStream = false;
    FShortened = false;
    try {
      InitInternal();
      return;
    } catch (const std::exception &e) {
      FEndOfStream = true;
      error = e.what();
    }
  }
  throw EAuException(error);
}

void TAuInput::Flush() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  FPrefetchEnd = 0;
  FPrefetchOffset = 0;
  FlushInternal();
}

bool TAuInput::TakePrefetched(std::uint8_t *&buffer, std::uint32_t &bytes) {
  if (FPrefetchEnd == 0)
    return false;
  bytes = std::min(bytes, FPrefetchEnd - FPrefetchOffset);
  buffer = FPrefetchBuffer.data() + FPrefetchOffset;
  FPrefetchOffset += bytes;
  FPosition += bytes;
  if (FPrefetchOffset == FPrefetchEnd) {
    FPrefetchEnd = 0;
    FPrefetchOffset = 0;
  }
  return true;
}

void TAuInput::Advance(std::uint32_t &bytes) {
  if (bytes == 0) {
    FEndOfStream = true;
    return;
  }
  FPosition += bytes;
  std::int64_t size = FSize;
  if (size > 0 && FPosition >= size) {
    FEndOfStream = true;
    std::int64_t excess = FPosition - size;
    bytes -= static_cast<std::uint32_t>(std::min<std::int64_t>(excess, bytes));
    FPosition = size;
  }
}

void TAuInput::GetData(std::uint8_t *&buffer, std::uint32_t &bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (!TakePrefetched(buffer, bytes))
    GetDataInternal(buffer, bytes);
}

std::uint32_t TAuInput::CopyData(void *buffer, std::uint32_t bufferSize) {
  std::uint8_t *data = nullptr;
  std::uint32_t bytes = bufferSize;
  GetData(data, bytes);
  if (bytes > 0)
    std::memcpy(buffer, data, bytes);
  return bytes;
}

std::uint32_t TAuInput::FillBuffer(void *buffer, std::uint32_t bufferSize, bool &endOfInput) {
  auto *out = static_cast<std::uint8_t *>(buffer);
  std::uint32_t filled = 0;
  endOfInput = false;
  while (filled < bufferSize) {
    std::uint32_t n = CopyData(out + filled, bufferSize - filled);
    if (n == 0) {
      endOfInput = true;
      break;
    }
    filled += n;
  }
  return filled;
}

void TAuInput::Reset() {
  try {
    Flush();
  } catch (...) {
  }
  FBusy = false;
}

void TAuInput::Prefetch(std::uint32_t bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (FEndOfStream)
    return;
  std::uint32_t want;
  if (FPrefetchEnd == 0) {
    if (FPrefetchBuffer.size() < bytes)
      FPrefetchBuffer.resize(bytes);
    want = bytes;
  } else if (FPrefetchEnd < FPrefetchBuffer.size()) {
    std::uint32_t unread = FPrefetchEnd - FPrefetchOffset;
    std::memmove(FPrefetchBuffer.data(), FPrefetchBuffer.data() + FPrefetchOffset, unread);
    FPrefetchEnd = unread;
    FPrefetchOffset = 0;
    want = static_cast<std::uint32_t>(FPrefetchBuffer.size()) - unread;
  } else
    return;
  // Never read ahead past the announced end: GetData would hand it out uncut.
  std::int64_t size = FSize;
  if (size > 0)
    want = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(size - FPosition - (FPrefetchEnd - FPrefetchOffset), 0, want));
  // Some producers advance Position themselves; read-ahead must not count until handed out.
  std::int64_t position = FPosition;
  std::uint32_t got = 0;
  try {
    while (got < want) {
      std::uint8_t *data = nullptr;
      std::uint32_t n = want - got;
      ReadAhead(data, n);
      if (n == 0)
        break;
      std::memcpy(FPrefetchBuffer.data() + FPrefetchEnd + got, data, n);
      got += n;
    }
  } catch (...) {
    FPosition = position;
    throw;
  }
  FPosition = position;
  FPrefetchEnd += got;
}

void TAuInput::MutePrefetched() {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  std::fill(FPrefetchBuffer.begin(), FPrefetchBuffer.end(), 0);
  FPrefetchEnd = static_cast<std::uint32_t>(FPrefetchBuffer.size());
  FPrefetchOffset = 0;
}

void TAuInput::FollowMove(std::int64_t position, std::int64_t size) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  const std::int64_t own = FSize;
  if (own <= 0 || size <= 0)
    return;
  const std::int64_t frame = std::max<std::int64_t>(1, Channels() * (BitsPerSample() / 8));
  const auto share = static_cast<std::int64_t>(static_cast<double>(position) / size * own);
  FPosition = std::min(share, own) / frame * frame;
  FEndOfStream = false;
}

// ---- TAuConverter ----

TAuConverter::TAuConverter(TComponent *owner) : TAuInput(owner) {}

TAuConverter::~TAuConverter() {
  if (FInput)
    FInput->RemoveFreeNotification(this);
}

void TAuConverter::SetInput(TAuInput *input) {
  if (input == this)
    return;
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (input == FInput)
    return;
  if (FBusy) {
    // The old input goes first: the new stage may pull from the same upstream input.
    if (FInput)
      FInput->Flush();
    try {
      if (input)
        input->Init();
    } catch (...) {
      // Nothing is left to read: the run ends where it is, its sink intact.
      FEndOfStream = true;
      throw;
    }
  }
  if (FInput)
    FInput->RemoveFreeNotification(this);
  FInput = input;
  if (FInput)
    FInput->FreeNotification(this);
}

void TAuConverter::GetData(std::uint8_t *&buffer, std::uint32_t &bytes) {
  std::lock_guard<std::recursive_mutex> lock(FLock);
  if (TakePrefetched(buffer, bytes))
    return;
  if (FEndOfStream) {
    buffer = nullptr;
    bytes = 0;
    return;
  }
  GetDataInternal(buffer, bytes);
  Delivered(bytes);
  if (bytes == 0)
    EndWithInput(FPosition);
}

void TAuConverter::EndWithInput(std::int64_t delivered) {
  if (FInput && FInput->Shortened() && delivered < FSize) {
    FSize = delivered;
    FShortened = true;
  }
}

void TAuConverter::Pause() {
  if (FInput)
    FInput->Pause();
}

void TAuConverter::Resume() {
  if (FInput)
    FInput->Resume();
}

std::uint32_t TAuConverter::GetBitsPerSample() {
  if (!FInput)
    return 0;
  std::uint32_t bits = FInput->BitsPerSample();
  return FKeepMarker ? bits : bits & ~128u;
}

std::uint32_t TAuConverter::GetChannels() { return FInput ? FInput->Channels() : 0; }

std::uint32_t TAuConverter::GetSampleRate() { return FInput ? FInput->SampleRate() : 0; }

void TAuConverter::Notification(TComponent *component, TOperation operation) {
  if (operation == TOperation::opRemove && component == FInput) {
    std::lock_guard<std::recursive_mutex> lock(FLock);
    FInput = nullptr;
  }
}

// ---- TAuOutput ----

TAuOutput::TAuOutput(TComponent *owner) : TComponent(owner) {
  TEventHandler::Register();
  FThread = std::make_unique<TAuThread>(this);
}

TAuOutput::~TAuOutput() {
  ShutDown();
  if (FInput)
    FInput->RemoveFreeNotification(this);
  TEventHandler::Unregister(this);
}

void TAuOutput::ShutDown() {
  if (!FThread)
    return;
  Stop(false);
  FThread.reset();
}

void TAuOutput::SetInput(TAuInput *input) {
  if (FInput)
    FInput->RemoveFreeNotification(this);
  if (FBusy) {
    Stop(false);
    FInput = input;
    if (FInput)
      Run();
  } else
    FInput = input;
  if (FInput)
    FInput->FreeNotification(this);
}

void TAuOutput::Notification(TComponent *component, TOperation operation) {
  if (operation == TOperation::opRemove && component == FInput)
    SetInput(nullptr);
}

void TAuOutput::Run() {
  std::lock_guard<std::recursive_mutex> lock(FRunLock);
  if (FBusy)
    throw EAuException("Component is Busy");
  // Cleared only for a run that starts: a refused Run must not hide the message of the
  // run in progress.
  SetExceptionMessage("");
  if (!FInput)
    throw EAuException("Input is not assigned");
  FStopped = false;
  FBusy = true;
  FThread->StopFlag = false;
  FThread->RequestRun();
}

void TAuOutput::Stop(bool async) {
  FStopped = true;
  if (!FThread)
    return;
  TAuThread &thread = *FThread;
  thread.DoNotify = async;
  thread.StopFlag = true;
  while (thread.Paused) {
    thread.RunEvent.Set();
    std::this_thread::yield();
  }
  if (async)
    return;
  TEventHandler::Block(this);
  TEventHandler::RemoveEvents(this);
  // The output thread never waits for the user-interface thread, but the event thread may
  // be delivering to a handler here; keep running its synchronized calls meanwhile.
  while (!thread.Idle()) {
    plat::CheckSynchronize();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  TEventHandler::RemoveEvents(this);
  TEventHandler::Unblock(this);
  thread.DoNotify = true;
}

void TAuOutput::Pause() {
  if (!FInput)
    throw EAuException("Input is not assigned.");
  // A second request would hold the thread again right after the Resume that follows.
  if (!FBusy || FThread->Paused)
    return;
  FThread->PauseEvent.Reset();
  FThread->PauseRequest = FThread->RunsRequested.load();
  // The run may end before the thread gets to pausing: stop waiting then.
  for (int waited = 0; waited < 5000 && FBusy; waited += 20)
    if (FThread->PauseEvent.WaitFor(20))
      break;
  FInput->Pause();
}

void TAuOutput::Resume() {
  if (!FBusy || !FThread->Paused)
    return;
  if (FInput)
    FInput->Resume();
  while (FThread->Paused) {
    FThread->RunEvent.Set();
    std::this_thread::yield();
  }
}

int TAuOutput::Status() const {
  if (!FBusy)
    return 2;
  return FThread->Paused ? 1 : 0;
}

int TAuOutput::Progress() const {
  if (!FInput)
    return 0;
  std::int64_t size = FInput->Size();
  if (size == -1)
    return -1;
  if (size == 0)
    return 0;
  return static_cast<int>(au::Round(static_cast<double>(FInput->Position()) / size * 100));
}

std::string TAuOutput::ExceptionMessage() const {
  std::lock_guard<std::mutex> lock(FMessageLock);
  return FExceptionMessage;
}

void TAuOutput::SetExceptionMessage(const std::string &message) {
  std::lock_guard<std::mutex> lock(FMessageLock);
  FExceptionMessage = message;
}

void TAuOutput::WhenDone() {
  if (!FBusy)
    return;
  FCanOutput = false;
  struct TIdle {
    TAuOutput *Self;
    ~TIdle() {
      Self->FStopped = false;
      Self->FBusy = false;
    }
  } idle{this};
  Done();
}
