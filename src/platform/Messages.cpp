#include "Messages.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace {

// Static initialisation runs on the thread that starts the program.
const std::thread::id mainThread = std::this_thread::get_id();

struct TSyncCall {
  std::function<void()> Fn;
  std::exception_ptr Error;
  bool Done = false;
};

struct TPosted {
  TWindowHandle Window;
  TMessage Message;
};

struct TQueue {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<std::shared_ptr<TSyncCall>> Calls;
  std::deque<TPosted> Posted;
  std::unordered_map<TWindowHandle, TMessageWindow *> Windows; // touched on the UI thread
  std::function<void()> WakeUp;
  // A wake-up is on its way to the user-interface thread: one is enough however many messages
  // follow it, so a worker reporting thousands of blocks does not flood the event loop.
  bool WakePending = false;
  TWindowHandle NextHandle = 1;
};

// Never destroyed: a worker that is still ending while the program exits (an event thread
// freed from inside its own handler) may still wake the queue after static destruction.
TQueue &Queue() {
  static TQueue *q = new TQueue;
  return *q;
}

void WakeUp(TQueue &q) {
  std::function<void()> wake;
  {
    std::lock_guard<std::mutex> lock(q.Mutex);
    if (!q.WakePending && q.WakeUp) {
      q.WakePending = true;
      wake = q.WakeUp;
    }
  }
  q.Changed.notify_all();
  if (wake)
    wake();
}

TMessageWindow *FindWindow(TWindowHandle window) {
  TQueue &q = Queue();
  std::lock_guard<std::mutex> lock(q.Mutex);
  auto it = q.Windows.find(window);
  return it == q.Windows.end() ? nullptr : it->second;
}

bool RunOneCall(TQueue &q) {
  std::shared_ptr<TSyncCall> call;
  {
    std::lock_guard<std::mutex> lock(q.Mutex);
    if (q.Calls.empty())
      return false;
    call = q.Calls.front();
    q.Calls.pop_front();
  }
  try {
    call->Fn();
  } catch (...) {
    call->Error = std::current_exception();
  }
  {
    std::lock_guard<std::mutex> lock(q.Mutex);
    call->Done = true;
  }
  q.Changed.notify_all();
  return true;
}

} // namespace

TMessageWindow::TMessageWindow() {
  TQueue &q = Queue();
  std::lock_guard<std::mutex> lock(q.Mutex);
  FHandle = q.NextHandle++;
  q.Windows[FHandle] = this;
}

TMessageWindow::~TMessageWindow() {
  TQueue &q = Queue();
  std::lock_guard<std::mutex> lock(q.Mutex);
  q.Windows.erase(FHandle);
}

namespace plat {

bool IsMainThread() { return std::this_thread::get_id() == mainThread; }

bool PostMessage(TWindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                 std::shared_ptr<void> payload) {
  TQueue &q = Queue();
  {
    std::lock_guard<std::mutex> lock(q.Mutex);
    if (!q.Windows.count(window))
      return false;
    q.Posted.push_back({window, TMessage{msg, wParam, lParam, std::move(payload), 0}});
  }
  WakeUp(q);
  return true;
}

std::intptr_t SendMessage(TWindowHandle window, unsigned msg, std::uintptr_t wParam,
                          std::intptr_t lParam, std::shared_ptr<void> payload) {
  TMessage message{msg, wParam, lParam, std::move(payload), 0};
  auto deliver = [&] {
    if (TMessageWindow *w = FindWindow(window))
      w->WndProc(message);
  };
  if (IsMainThread())
    deliver();
  else
    Synchronize(deliver);
  return message.Result;
}

void Synchronize(const std::function<void()> &fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  TQueue &q = Queue();
  auto call = std::make_shared<TSyncCall>();
  call->Fn = fn;
  {
    std::lock_guard<std::mutex> lock(q.Mutex);
    q.Calls.push_back(call);
  }
  WakeUp(q);
  std::exception_ptr error;
  {
    std::unique_lock<std::mutex> lock(q.Mutex);
    q.Changed.wait(lock, [&] { return call->Done; });
    // Take the exception out under the lock so that the caller holds its last reference and
    // frees it; the UI thread drops the finished call without touching the exception again.
    error = std::move(call->Error);
  }
  if (error)
    std::rethrow_exception(error);
}

bool CheckSynchronize() {
  if (!IsMainThread())
    return false;
  TQueue &q = Queue();
  bool ran = false;
  while (RunOneCall(q))
    ran = true;
  return ran;
}

void ProcessMessages() {
  if (!IsMainThread())
    return;
  TQueue &q = Queue();
  {
    // From here on whatever is queued is drained by this call, or needs a new wake-up when
    // it is queued while a handler below runs a nested event loop.
    std::lock_guard<std::mutex> lock(q.Mutex);
    q.WakePending = false;
  }
  CheckSynchronize();
  for (;;) {
    TPosted posted;
    {
      std::lock_guard<std::mutex> lock(q.Mutex);
      if (q.Posted.empty())
        break;
      posted = std::move(q.Posted.front());
      q.Posted.pop_front();
    }
    if (TMessageWindow *w = FindWindow(posted.Window))
      w->WndProc(posted.Message);
    CheckSynchronize();
  }
}

void WaitMessages(unsigned timeoutMs) {
  TQueue &q = Queue();
  {
    std::unique_lock<std::mutex> lock(q.Mutex);
    q.Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return !q.Calls.empty() || !q.Posted.empty(); });
  }
  ProcessMessages();
}

void SetMessageWakeUp(std::function<void()> wakeUp) {
  TQueue &q = Queue();
  std::lock_guard<std::mutex> lock(q.Mutex);
  q.WakeUp = std::move(wakeUp);
}

} // namespace plat
