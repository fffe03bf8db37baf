#pragma once
// An event that wakes one waiter and resets itself, with a time-out on the wait.
#include <chrono>
#include <condition_variable>
#include <mutex>

class TAutoResetEvent {
public:
  static constexpr unsigned Infinite = 0xFFFFFFFFu;

  void Set() {
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FSignalled = true;
    }
    FCondition.notify_one();
  }
  void Reset() {
    std::lock_guard<std::mutex> lock(FMutex);
    FSignalled = false;
  }
  // True when signalled within the time-out (milliseconds; Infinite waits for ever).
  bool WaitFor(unsigned timeoutMs = Infinite) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (timeoutMs == Infinite)
      FCondition.wait(lock, [this] { return FSignalled; });
    else if (!FCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [this] { return FSignalled; }))
      return false;
    FSignalled = false;
    return true;
  }

private:
  std::mutex FMutex;
  std::condition_variable FCondition;
  bool FSignalled = false;
};
