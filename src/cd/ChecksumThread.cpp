#include "ChecksumThread.h"

#include <system_error>

namespace accuraterip {

TChecksumThread::TChecksumThread(TTrackChecksum checksum) : FChecksum(checksum) {
  try {
    FThread = std::thread([this] { Run(); });
  } catch (const std::system_error &) {
  }
}

TChecksumThread::~TChecksumThread() {
  {
    std::lock_guard<std::mutex> lock(FLock);
    FQuit = true;
  }
  FChanged.notify_all();
  if (FThread.joinable())
    FThread.join();
}

void TChecksumThread::Add(const uint8_t *data, std::size_t bytes) {
  if (!FThread.joinable()) {
    FChecksum.Add(data, bytes);
    return;
  }
  std::unique_lock<std::mutex> lock(FLock);
  WaitIdle(lock);
  FData = data;
  FBytes = bytes;
  lock.unlock();
  FChanged.notify_all();
}

TTrackSums TChecksumThread::Sums() {
  std::unique_lock<std::mutex> lock(FLock);
  WaitIdle(lock);
  return FChecksum.Sums();
}

void TChecksumThread::WaitIdle(std::unique_lock<std::mutex> &lock) {
  FChanged.wait(lock, [this] { return FData == nullptr; });
}

void TChecksumThread::Run() {
  std::unique_lock<std::mutex> lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return FData != nullptr || FQuit; });
    if (FData == nullptr)
      return;
    // The reader waits for FData to clear before it touches the bytes or the sums again.
    const uint8_t *data = FData;
    const std::size_t bytes = FBytes;
    lock.unlock();
    FChecksum.Add(data, bytes);
    lock.lock();
    FData = nullptr;
    FChanged.notify_all();
  }
}

} // namespace accuraterip
