#include "AuEventHandler.h"

#include "AuClasses.h"
#include "AutoResetEvent.h"
#include "Messages.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace {

enum TEventKind : std::uint8_t { ekProgress = 0, ekDone = 1, ekReport = 2 };

struct TEventRecord {
  TEventKind Kind = ekProgress;
  TAuOutput *Sender = nullptr;
  std::function<void(TComponent *)> Handler; // progress and report events
  TAuThread *Thread = nullptr;               // done events
};

class TEventThread {
public:
  TEventThread() : FThread([this] { Execute(); }) {}

  // Ends the thread and frees it. When the last output goes away inside one of its own
  // handlers, the thread is waiting for that handler: it then frees itself once it returns.
  void End() {
    {
      std::lock_guard<std::mutex> lock(FQueueLock);
      FTerminated = true;
      if (FDelivering != nullptr) {
        FThread.detach();
        FFreeItself = true;
        return;
      }
    }
    FSignal.Set();
    FThread.join();
    delete this;
  }

  void Post(TEventRecord record) {
    {
      std::lock_guard<std::mutex> lock(FQueueLock);
      if (FBlocked.count(record.Sender))
        return;
      FEvents.push_back(std::move(record));
    }
    FSignal.Set();
  }

  void Block(TAuOutput *sender) {
    std::lock_guard<std::mutex> lock(FQueueLock);
    FBlocked.insert(sender);
  }

  void Unblock(TAuOutput *sender) {
    std::lock_guard<std::mutex> lock(FQueueLock);
    if (auto it = FBlocked.find(sender); it != FBlocked.end())
      FBlocked.erase(it);
  }

  void Remove(TAuOutput *sender) {
    {
      std::lock_guard<std::mutex> lock(FQueueLock);
      std::erase_if(FEvents, [&](const TEventRecord &r) { return r.Sender == sender; });
    }
    for (;;) {
      {
        std::lock_guard<std::mutex> lock(FQueueLock);
        if (FCurrent != sender || FDelivering == sender)
          return;
      }
      plat::CheckSynchronize();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

private:
  void Execute() {
    while (!FTerminated) {
      for (;;) {
        TEventRecord record;
        {
          std::lock_guard<std::mutex> lock(FQueueLock);
          if (FEvents.empty())
            break;
          record = std::move(FEvents.front());
          FEvents.pop_front();
          FCurrent = record.Sender;
          // After the end of a run, whatever else the sender queued is stale.
          if (record.Kind == ekDone)
            std::erase_if(FEvents, [&](const TEventRecord &r) { return r.Sender == FCurrent; });
        }
        Deliver(record);
        std::lock_guard<std::mutex> lock(FQueueLock);
        FCurrent = nullptr;
      }
      FSignal.WaitFor(100);
    }
    std::unique_lock<std::mutex> lock(FQueueLock);
    if (FFreeItself) {
      lock.unlock();
      delete this;
    }
  }

  // Runs the handler on the user-interface thread; the sender is not touched afterwards,
  // since the handler may have destroyed it.
  void Deliver(const TEventRecord &record) {
    try {
      plat::Synchronize([&] {
        {
          std::lock_guard<std::mutex> lock(FQueueLock);
          if (FBlocked.count(record.Sender))
            return;
          FDelivering = record.Sender;
        }
        struct TEndDelivery {
          TEventThread *Self;
          ~TEndDelivery() {
            std::lock_guard<std::mutex> lock(Self->FQueueLock);
            Self->FDelivering = nullptr;
          }
        } endDelivery{this};
        if (record.Kind == ekDone) {
          // A copy: the handler may free the output that holds it.
          TOutputDoneEvent onDone = record.Sender->OnDone;
          if (onDone && record.Thread->DoNotify)
            onDone(record.Sender);
        } else if (record.Handler)
          record.Handler(record.Sender);
      });
    } catch (...) {
      // A handler's failure is the handler's business; the queue goes on.
    }
  }

  std::mutex FQueueLock;
  std::deque<TEventRecord> FEvents;
  std::multiset<TAuOutput *> FBlocked;
  TAuOutput *FCurrent = nullptr;    // sender of the record being delivered
  TAuOutput *FDelivering = nullptr; // sender whose handler runs on the UI thread right now
  TAutoResetEvent FSignal;
  std::atomic<bool> FTerminated{false};
  bool FFreeItself = false;
  std::thread FThread; // last: starts once the fields above exist
};

std::mutex gLifeLock;
int gOutputCount = 0;
std::atomic<TEventThread *> gInstance{nullptr};

} // namespace

namespace TEventHandler {

void Register() {
  std::lock_guard<std::mutex> lock(gLifeLock);
  if (gOutputCount++ == 0)
    gInstance = new TEventThread;
}

void Unregister(TAuOutput *sender) {
  gInstance.load()->Remove(sender);
  TEventThread *ended = nullptr;
  {
    std::lock_guard<std::mutex> lock(gLifeLock);
    if (--gOutputCount == 0)
      ended = gInstance.exchange(nullptr);
  }
  if (ended)
    ended->End();
}

void PostProgress(TAuOutput *sender, const TOutputProgressEvent &handler) {
  gInstance.load()->Post({ekProgress, sender, handler, nullptr});
}

void PostDone(TAuOutput *sender, TAuThread *thread) {
  gInstance.load()->Post({ekDone, sender, {}, thread});
}

void PostThreadException(TAuOutput *sender, const TThreadExceptionEvent &handler) {
  gInstance.load()->Post({ekReport, sender, handler, nullptr});
}

void Block(TAuOutput *sender) { gInstance.load()->Block(sender); }
void Unblock(TAuOutput *sender) { gInstance.load()->Unblock(sender); }
void RemoveEvents(TAuOutput *sender) { gInstance.load()->Remove(sender); }

} // namespace TEventHandler
