#include "Messages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

struct TRecorder : TMessageWindow {
  std::vector<unsigned> Received;
  std::vector<std::thread::id> Threads;
  void WndProc(TMessage &m) override {
    Received.push_back(m.Msg);
    Threads.push_back(std::this_thread::get_id());
    m.Result = static_cast<std::intptr_t>(m.WParam) * 2;
  }
};

struct TCounted {
  static inline std::atomic<int> Alive{0};
  TCounted() { ++Alive; }
  ~TCounted() { --Alive; }
};

TEST(Messages, PostedMessagesArriveInOrderOnTheUserInterfaceThreadWhenPumped) {
  TRecorder w;
  std::thread worker([&] {
    for (unsigned i = 0; i < 100; ++i)
      EXPECT_TRUE(plat::PostMessage(w.Handle(), WM_USER + i, 0, 0));
  });
  worker.join();
  EXPECT_TRUE(w.Received.empty()); // nothing runs behind the main thread's back
  plat::ProcessMessages();
  ASSERT_EQ(w.Received.size(), 100u);
  for (unsigned i = 0; i < 100; ++i)
    EXPECT_EQ(w.Received[i], WM_USER + i);
  for (auto id : w.Threads)
    EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(Messages, PayloadOfAMessageToAClosedWindowIsFreed) {
  TWindowHandle handle;
  {
    TRecorder w;
    handle = w.Handle();
    EXPECT_TRUE(plat::PostMessage(handle, WM_USER, 0, std::make_unique<TCounted>()));
    EXPECT_EQ(TCounted::Alive, 1);
  } // closed with the message still queued
  plat::ProcessMessages();
  EXPECT_EQ(TCounted::Alive, 0);
  // Posting to a window that is gone fails and frees at once; handles are not reused.
  EXPECT_FALSE(plat::PostMessage(handle, WM_USER, 0, std::make_unique<TCounted>()));
  EXPECT_EQ(TCounted::Alive, 0);
  TRecorder other;
  EXPECT_NE(other.Handle(), handle);
}

TEST(Messages, SendFromAWorkerWaitsForTheHandlerAndReturnsItsResult) {
  TRecorder w;
  std::atomic<std::intptr_t> result{-1};
  std::thread worker([&] { result = plat::SendMessage(w.Handle(), WM_USER + 7, 21, 0); });
  while (result == -1)
    plat::WaitMessages(10);
  worker.join();
  EXPECT_EQ(result, 42);
  ASSERT_EQ(w.Received.size(), 1u);
  EXPECT_EQ(w.Threads[0], std::this_thread::get_id());
  // On the user-interface thread a send is a direct call.
  EXPECT_EQ(plat::SendMessage(w.Handle(), WM_USER, 5, 0), 10);
}

TEST(Messages, SynchronizeRethrowsInTheCallerAndCheckSynchronizeLeavesPostedMessages) {
  TRecorder w;
  std::atomic<bool> caught{false}, done{false};
  plat::PostMessage(w.Handle(), WM_USER, 0, 0);
  std::thread worker([&] {
    try {
      plat::Synchronize([] { throw std::runtime_error("from the UI thread"); });
    } catch (const std::runtime_error &e) {
      caught = std::string(e.what()) == "from the UI thread";
    }
    done = true;
  });
  while (!done)
    plat::CheckSynchronize();
  worker.join();
  EXPECT_TRUE(caught);
  EXPECT_TRUE(w.Received.empty());
  plat::ProcessMessages();
  EXPECT_EQ(w.Received.size(), 1u);
}

TEST(Messages, ManyWorkersSynchronizingAtOnce) {
  int counter = 0; // touched on the UI thread only
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 8; ++t)
    workers.emplace_back([&] {
      for (int i = 0; i < 50; ++i)
        plat::Synchronize([&] { ++counter; });
      ++finished;
    });
  while (finished < 8)
    plat::WaitMessages(5);
  for (auto &t : workers)
    t.join();
  EXPECT_EQ(counter, 400);
}

TEST(Messages, OneWakeUpPerBurstAndAgainForPostsDuringAHandler) {
  std::atomic<int> wakes{0};
  plat::SetMessageWakeUp([&] { ++wakes; });
  struct TNested : TMessageWindow {
    int Handled = 0;
    void WndProc(TMessage &m) override {
      if (Handled++ == 0) // a handler that is still running, as a modal box would be
        plat::PostMessage(Handle(), WM_USER + 1, 0, 0);
    }
  } w;
  std::thread worker([&] {
    for (int i = 0; i < 1000; ++i)
      plat::PostMessage(w.Handle(), WM_USER, 0, 0);
  });
  worker.join();
  EXPECT_EQ(wakes, 1);
  plat::ProcessMessages();
  EXPECT_EQ(w.Handled, 1001);
  // The post from inside the first handler woke the loop again instead of waiting for it.
  EXPECT_EQ(wakes, 2);
  plat::SetMessageWakeUp(nullptr);
}

} // namespace
