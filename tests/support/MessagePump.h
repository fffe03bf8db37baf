#pragma once
// Running the user-interface thread's window messages in a test without Qt's event loop.
#include "Messages.h"

#include <chrono>
#include <functional>

// Runs the messages until the condition holds; false when it still does not after two minutes
// (a guard that keeps a broken build from hanging the suite; it measures nothing).
inline bool PumpUntil(const std::function<bool()> &condition) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > limit)
      return false;
    plat::WaitMessages(5);
  }
  return true;
}

// Runs whatever is queued for a moment, so that an event that should not come has its chance.
inline void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end)
    plat::WaitMessages(5);
}
