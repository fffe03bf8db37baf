#include "AuEventHandler.h"

#include "AuClasses.h"
#include "AutoResetEvent.h"
#include "Messages.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace {

enum TEventKind : std::uint8_t { ekProgress = 0, ekDone = 1, ekReport = 2, ekUnderrun = 3 };

// The handler is looked up when the event is delivered, on the user-interface thread: the
// thread that assigns handlers.
struct TEventRecord {
  TEventKind Kind = ekProgress;
  TAuOutput *Sender = nullptr;
  TAuThread *Thread = nullptr; // done events
};

class TEventThread {
public:
  TEventThread() : FThread([this] { Execute(); }) {}

  // Ends the thread and frees it. While a delivery is under way (the last output went away
  // inside its own handler, or on a thread that the user-interface thread may be waiting
  // for), the thread waits for the user-interface thread: it then frees itself once that
  // has run the call.
  void End() {
    {
      std::lock_guard<std::mutex> lock(FQueueLock);
      FTerminated = true;
      if (FCurrent != nullptr) {
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
      FEvents.push_back(record);
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

  // A delivery for the sender that has not reached the user-interface thread yet is called
  // off rather than waited for: the caller may be a thread that the user-interface thread
  // waits for. A handler of the sender that runs right now is, on the user-interface thread,
  // the caller's own frame; any other thread waits for it to return.
  void Remove(TAuOutput *sender) {
    std::unique_lock<std::mutex> lock(FQueueLock);
    std::erase_if(FEvents, [&](const TEventRecord &r) { return r.Sender == sender; });
    if (FCurrent == sender && FDelivering != sender)
      FCalledOff = true;
    if (!plat::IsMainThread())
      FDeliveryEnded.wait(lock, [&] { return FDelivering != sender; });
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
          // What the sender queued behind the end of a run belongs to its next run: kept.
          record = FEvents.front();
          FEvents.pop_front();
          FCurrent = record.Sender;
          FCalledOff = false;
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
          if (FCalledOff || FBlocked.count(record.Sender))
            return;
          FDelivering = record.Sender;
        }
        struct TEndDelivery {
          TEventThread *Self;
          ~TEndDelivery() {
            {
              std::lock_guard<std::mutex> lock(Self->FQueueLock);
              Self->FDelivering = nullptr;
            }
            Self->FDeliveryEnded.notify_all();
          }
        } endDelivery{this};
        // A copy: the handler may free the output that holds it.
        std::function<void(TComponent *)> handler;
        switch (record.Kind) {
        case ekProgress: handler = record.Sender->OnProgress; break;
        case ekReport: handler = record.Sender->OnThreadException; break;
        case ekUnderrun: handler = record.Sender->UnderrunHandler(); break;
        case ekDone:
          if (record.Thread->DoNotify)
            handler = record.Sender->OnDone;
          break;
        }
        if (handler)
          handler(record.Sender);
      });
    } catch (...) {
      // A handler's failure is the handler's business; the queue goes on.
    }
  }

  std::mutex FQueueLock;
  std::deque<TEventRecord> FEvents;
  std::multiset<TAuOutput *> FBlocked;
  TAuOutput *FCurrent = nullptr;    // sender of the record being delivered
  bool FCalledOff = false;          // that record is not to be delivered any more
  TAuOutput *FDelivering = nullptr; // sender whose handler runs on the UI thread right now
  std::condition_variable FDeliveryEnded;
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
  TEventThread *instance;
  {
    // The sender's own registration keeps this instance alive until the count below drops.
    std::lock_guard<std::mutex> lock(gLifeLock);
    instance = gInstance;
  }
  instance->Remove(sender);
  TEventThread *ended = nullptr;
  {
    std::lock_guard<std::mutex> lock(gLifeLock);
    if (--gOutputCount == 0)
      ended = gInstance.exchange(nullptr);
  }
  if (ended)
    ended->End();
}

void PostProgress(TAuOutput *sender) { gInstance.load()->Post({ekProgress, sender, nullptr}); }

void PostDone(TAuOutput *sender, TAuThread *thread) {
  gInstance.load()->Post({ekDone, sender, thread});
}

void PostThreadException(TAuOutput *sender) { gInstance.load()->Post({ekReport, sender, nullptr}); }

void PostUnderrun(TAuOutput *sender) { gInstance.load()->Post({ekUnderrun, sender, nullptr}); }

void Block(TAuOutput *sender) { gInstance.load()->Block(sender); }
void Unblock(TAuOutput *sender) { gInstance.load()->Unblock(sender); }
void RemoveEvents(TAuOutput *sender) { gInstance.load()->Remove(sender); }

} // namespace TEventHandler
