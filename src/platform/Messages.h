#pragma once
// Window messages and calls onto the user-interface thread.
//
// A window that receives messages derives from TMessageWindow and is reached through its
// handle, which stays valid as a number after the window is gone: a message posted to a
// closed window is dropped and its payload freed. Posted messages and synchronized calls run
// on the user-interface thread (the thread that started the program) when it pumps messages:
// under Qt that happens in the event loop once InstallQtMessagePump() has been called; without
// Qt (tests, batch runs) the thread calls ProcessMessages() or WaitMessages().
#include <cstdint>
#include <functional>
#include <memory>

using TWindowHandle = std::uint64_t; // 0 = no window

constexpr unsigned WM_USER = 0x0400;

struct TMessage {
  unsigned Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::shared_ptr<void> Payload; // owned data passed with the message, freed after handling
  std::intptr_t Result = 0;

  template <class T> T *PayloadAs() const { return static_cast<T *>(Payload.get()); }
};

class TMessageWindow {
public:
  TMessageWindow();
  virtual ~TMessageWindow();
  TMessageWindow(const TMessageWindow &) = delete;
  TMessageWindow &operator=(const TMessageWindow &) = delete;

  TWindowHandle Handle() const { return FHandle; }

  // Runs on the user-interface thread for every message delivered to this window.
  virtual void WndProc(TMessage &message) = 0;

private:
  TWindowHandle FHandle;
};

namespace plat {

// True on the user-interface thread.
bool IsMainThread();

// Queues the message for the window; false (and the payload freed) when the window is gone.
bool PostMessage(TWindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                 std::shared_ptr<void> payload = {});

template <class T>
bool PostMessage(TWindowHandle window, unsigned msg, std::uintptr_t wParam,
                 std::unique_ptr<T> payload) {
  return PostMessage(window, msg, wParam, 0, std::shared_ptr<void>(std::move(payload)));
}

// Delivers the message and returns its Result: directly on the user-interface thread, else
// queued there while the caller waits. 0 when the window is gone.
std::intptr_t SendMessage(TWindowHandle window, unsigned msg, std::uintptr_t wParam,
                          std::intptr_t lParam, std::shared_ptr<void> payload = {});

// Runs fn on the user-interface thread and waits for it; an exception fn throws is rethrown
// in the caller.
void Synchronize(const std::function<void()> &fn);

// On the user-interface thread: runs the synchronized calls that are waiting (not posted
// messages). True when it ran at least one.
bool CheckSynchronize();

// On the user-interface thread: runs waiting synchronized calls and delivers posted messages.
void ProcessMessages();

// On the user-interface thread: waits up to timeoutMs for work, then ProcessMessages().
void WaitMessages(unsigned timeoutMs);

// Called whenever work is queued for the user-interface thread, from any thread.
void SetMessageWakeUp(std::function<void()> wakeUp);

// Lets the Qt event loop of the running QApplication pump the messages.
void InstallQtMessagePump();

} // namespace plat
