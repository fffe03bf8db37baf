#pragma once
// Running Qt's event loop in a window test until a condition holds.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <chrono>
#include <functional>

// Runs the event loop until done() holds. The deadline only keeps a broken job from hanging
// the suite; it measures nothing.
inline bool RunUntil(const std::function<bool()> &done) {
  using namespace std::chrono_literals;
  QDeadlineTimer guard(180s);
  QTimer heartbeat; // wakes the loop to look at done() again
  heartbeat.start(100);
  while (!done()) {
    if (guard.hasExpired())
      return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}
