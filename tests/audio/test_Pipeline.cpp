// The output's run states and events, and the inputs' data contracts.
#include "PipelineSources.h"

#include <memory>

using namespace pipetest;

namespace {

// Collects what it is given; records the calls the thread makes.
class TCollectOut : public TAuOutput {
public:
  std::vector<std::uint8_t> Data;
  std::atomic<int> Prepared{0}, Closed{0};
  std::atomic<bool> SinkOpen{false};
  std::atomic<bool> PrepareRaises{false};
  std::atomic<bool> Preparing{false}, HoldPrepare{false}; // Prepare waits while held

  ~TCollectOut() override { ShutDown(); }

protected:
  void Prepare() override {
    ++Prepared;
    Preparing = true;
    while (HoldPrepare)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Preparing = false;
    if (PrepareRaises)
      throw EAuException("The sink cannot be opened");
    SinkOpen = true;
    FInput->Init();
  }
  bool DoOutput(bool abort) override {
    if (abort)
      return false;
    std::uint8_t *data = nullptr;
    std::uint32_t bytes = 4096;
    FInput->GetData(data, bytes);
    Data.insert(Data.end(), data, data + bytes);
    return bytes > 0;
  }
  void Done() override {
    FInput->Flush();
    SinkOpen = false;
    ++Closed;
  }
};

// Counts the events delivered to it, on the thread they were delivered on.
struct TEvents {
  int Done = 0, Progress = 0, Exceptions = 0;
  bool AllOnMainThread = true;
  std::vector<int> ProgressSeen;

  void Attach(TAuOutput &out) {
    out.OnDone = [this](TComponent *) {
      ++Done;
      AllOnMainThread &= plat::IsMainThread();
    };
    out.OnProgress = [this, &out](TComponent *) {
      ++Progress;
      ProgressSeen.push_back(out.Progress());
      AllOnMainThread &= plat::IsMainThread();
    };
    out.OnThreadException = [this](TComponent *) {
      ++Exceptions;
      AllOnMainThread &= plat::IsMainThread();
    };
  }
};

// Waits for the end of the output's run without running the user-interface thread's messages.
bool WaitIdleUnpumped(TAuOutput &out) {
  for (int i = 0; i < 10000 && out.Busy(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return !out.Busy();
}

} // namespace

// ---- Run and Stop ----

TEST(PipelineRun, RunTwiceIsRefusedAndTheFirstRunGoesOn) {
  TToneInput input(-1);
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  out.Run();
  EXPECT_EQ(MessageOf([&] { out.Run(); }), "Component is Busy");
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > 100000; }));
  EXPECT_EQ(out.ExceptionMessage(), "");
  out.Stop(false);
  EXPECT_EQ(out.Prepared, 1);
  EXPECT_EQ(out.Closed, 1);
}

TEST(PipelineRun, RunWithoutInputIsRefusedAndLeavesTheOutputReady) {
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  EXPECT_EQ(MessageOf([&] { out.Run(); }), "Input is not assigned");
  EXPECT_FALSE(out.Busy());
  EXPECT_EQ(out.Status(), 2);

  TToneInput input(10000);
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(out.Data.size(), 10000u);
  EXPECT_EQ(out.Data[9999], input.Pattern(9999));
  EXPECT_TRUE(events.AllOnMainThread);
  EXPECT_EQ(out.Status(), 2);
}

TEST(PipelineRun, AnOutputRunsAgainWithTheSameInput) {
  TToneInput input(5000);
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  for (int run = 1; run <= 3; ++run) {
    out.Run();
    ASSERT_TRUE(PumpUntil([&] { return events.Done == run; }));
  }
  EXPECT_EQ(out.Data.size(), 15000u);
  EXPECT_EQ(input.InitCount, 3);
  EXPECT_EQ(input.FlushCount, 3);
}

// A later run's done event comes after every event of the earlier run, so counting at the
// end of a second run shows whether anything of the first came late.
TEST(PipelineRun, SynchronousStopClosesTheSinkAndDeliversNothingOfThatRun) {
  TToneInput endless(-1, 100000); // overruns its Size: the percentage changes on every block
  endless.BlockBytes = 100;
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&endless);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Progress > 3; }));
  out.Stop(false);
  EXPECT_EQ(out.Closed, 1);
  EXPECT_FALSE(out.SinkOpen);
  EXPECT_FALSE(out.Busy());
  EXPECT_EQ(out.Status(), 2);
  const int progressBefore = events.Progress;

  out.OnProgress = nullptr;
  TToneInput finite(1000);
  out.SetInput(&finite);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done >= 1; }));
  PumpFor(50);
  EXPECT_EQ(events.Done, 1);
  EXPECT_EQ(events.Progress, progressBefore);
}

TEST(PipelineRun, SynchronousStopOnAnIdleOutputReturnsAtOnce) {
  TCollectOut out;
  TToneInput input(1000);
  out.SetInput(&input);
  out.Stop(false);
  EXPECT_EQ(out.Prepared, 0);
  // A stop while idle does not spoil the next run.
  TEvents events;
  events.Attach(out);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(out.Data.size(), 1000u);
}

TEST(PipelineRun, AsynchronousStopDeliversDoneExactlyOnce) {
  TToneInput endless(-1);
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&endless);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return endless.Produced > 50000; }));
  out.Stop(true);
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(out.Closed, 1);

  TToneInput finite(1000);
  out.SetInput(&finite);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done >= 2; }));
  PumpFor(50);
  EXPECT_EQ(events.Done, 2);
}

TEST(PipelineRun, ARunStartedFromItsOwnDoneHandlerIsNotLost) {
  TToneInput input(3000);
  TCollectOut out;
  int done = 0;
  out.OnDone = [&](TComponent *) {
    if (++done < 5)
      out.Run();
  };
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return done == 5; }));
  EXPECT_EQ(out.Data.size(), 15000u);
}

TEST(PipelineRun, ReplacingTheInputOfABusyOutputRestartsItWithTheNewOne) {
  TToneInput first(-1), second(-1);
  second.Pattern = [](std::int64_t) { return std::uint8_t(0x22); };
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&first);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return first.Produced > 10000; }));
  out.SetInput(&second);
  EXPECT_TRUE(out.Busy());
  EXPECT_FALSE(first.Busy());
  ASSERT_TRUE(PumpUntil([&] { return second.Produced > 10000; }));
  out.Stop(false);
  EXPECT_EQ(out.Prepared, 2);
  EXPECT_EQ(out.Closed, 2);
  EXPECT_EQ(out.Data.back(), 0x22);
  PumpFor(20);
  EXPECT_EQ(events.Done, 0);
}

TEST(PipelineRun, AFailingPrepareStillEndsTheRunWithItsMessage) {
  TToneInput input(1000);
  TCollectOut out;
  out.PrepareRaises = true;
  TEvents events;
  std::string messageAtDone;
  events.Attach(out);
  out.OnDone = [&](TComponent *) {
    ++events.Done;
    messageAtDone = out.ExceptionMessage();
  };
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(events.Exceptions, 1);
  EXPECT_EQ(messageAtDone, "The sink cannot be opened");
  EXPECT_EQ(out.Closed, 1); // Done runs after a failed Prepare as after any run
  EXPECT_FALSE(out.Busy());

  out.PrepareRaises = false; // the next run starts with a clean message
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 2; }));
  EXPECT_EQ(out.ExceptionMessage(), "");
  EXPECT_EQ(events.Exceptions, 1);
}

// The first run ends while the user-interface thread is busy elsewhere, the second fails at
// once: when the thread pumps again, each run reports what happened to it.
TEST(PipelineRun, ARunThatEndsUnseenLeavesTheEventsOfTheNextRun) {
  TToneInput input(1000);
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(WaitIdleUnpumped(out));
  out.PrepareRaises = true;
  out.Run();
  ASSERT_TRUE(WaitIdleUnpumped(out));
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 2; }));
  EXPECT_EQ(events.Progress, 1);
  EXPECT_EQ(events.Exceptions, 1);
}

TEST(PipelineRun, AnInputThatCannotStartFailsTheRun) {
  TToneInput input(1000);
  input.InitRaises = true;
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(events.Exceptions, 1);
  EXPECT_EQ(out.ExceptionMessage(), "The source cannot start");
}

TEST(PipelineRun, AnInputThatKeepsRaisingEndsTheRun) {
  TToneInput input(-1);
  input.RaiseAfter = 20000;
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(events.Exceptions, 1);
  EXPECT_EQ(out.ExceptionMessage(), "The source failed");
  EXPECT_EQ(out.Data.size(), 20480u); // whole blocks up to the failure
}

TEST(PipelineRun, DestroyingARunningOutputIsSafe) {
  int done = 0;
  for (int i = 0; i < 5; ++i) {
    TToneInput input(-1);
    auto out = std::make_unique<TCollectOut>();
    out->OnDone = [&](TComponent *) { ++done; };
    out->SetInput(&input);
    out->Run();
    ASSERT_TRUE(PumpUntil([&] { return input.Produced > 8192; }));
    out.reset();
    EXPECT_FALSE(input.Busy());
  }
  PumpFor(20);
  EXPECT_EQ(done, 0);
}

TEST(PipelineRun, DestroyingAnOutputFromItsOwnDoneHandlerIsSafe) {
  TToneInput input(2000);
  auto *out = new TCollectOut;
  bool done = false;
  out->OnDone = [&](TComponent *sender) {
    delete static_cast<TCollectOut *>(sender);
    done = true;
  };
  out->SetInput(&input);
  out->Run();
  ASSERT_TRUE(PumpUntil([&] { return done; }));
}

TEST(PipelineRun, ManyOutputsShareTheEventThread) {
  constexpr int count = 8;
  std::vector<std::unique_ptr<TToneInput>> inputs;
  std::vector<std::unique_ptr<TCollectOut>> outs;
  std::vector<int> done(count, 0);
  for (int i = 0; i < count; ++i) {
    inputs.push_back(std::make_unique<TToneInput>(100000 + i * 1000));
    inputs.back()->BlockBytes = 512;
    outs.push_back(std::make_unique<TCollectOut>());
    outs.back()->SetInput(inputs.back().get());
    outs.back()->OnDone = [&done, i](TComponent *) { ++done[i]; };
    outs.back()->OnProgress = [](TComponent *) {};
  }
  for (auto &out : outs)
    out->Run();
  ASSERT_TRUE(PumpUntil([&] {
    for (int d : done)
      if (d == 0)
        return false;
    return true;
  }));
  PumpFor(20);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(done[i], 1) << i;
    EXPECT_EQ(outs[i]->Data.size(), std::size_t(100000 + i * 1000)) << i;
  }
}

// ---- Pause, Resume, Status, Progress ----

TEST(PipelinePause, PauseAndResumeOnIdleAndRunningOutputs) {
  TCollectOut out;
  EXPECT_EQ(MessageOf([&] { out.Pause(); }), "Input is not assigned.");
  TToneInput input(-1);
  out.SetInput(&input);
  out.Pause(); // idle: nothing happens
  out.Resume();
  EXPECT_EQ(out.Status(), 2);
  EXPECT_EQ(out.Prepared, 0);

  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > 10000; }));
  out.Resume(); // running and not paused: nothing happens
  EXPECT_EQ(out.Status(), 0);
  out.Pause();
  EXPECT_EQ(out.Status(), 1);
  const std::int64_t produced = input.Produced;
  PumpFor(30);
  EXPECT_EQ(input.Produced, produced); // no data flows while paused
  out.Resume();
  EXPECT_EQ(out.Status(), 0);
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > produced; }));
  out.Pause();
  out.Stop(false); // a paused output stops too
  EXPECT_EQ(out.Status(), 2);
  EXPECT_EQ(out.Closed, 1);
}

TEST(PipelinePause, ASecondPauseChangesNothingAndOneResumeGoesOn) {
  TToneInput input(-1);
  TCollectOut out;
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > 10000; }));
  out.Pause();
  out.Pause();
  EXPECT_EQ(out.Status(), 1);
  out.Resume();
  const std::int64_t produced = input.Produced;
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > produced + 100000; }));
  EXPECT_EQ(out.Status(), 0);
  out.Stop(false);
}

TEST(PipelinePause, APauseAskedForWhileTheSinkOpensHoldsTheFirstBlock) {
  TToneInput input(-1);
  TCollectOut out;
  out.SetInput(&input);
  out.HoldPrepare = true;
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return out.Preparing.load(); }));
  std::thread opener([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    out.HoldPrepare = false;
  });
  out.Pause();
  opener.join();
  EXPECT_EQ(out.Status(), 1);
  EXPECT_EQ(input.Produced, 0);
  out.Resume();
  ASSERT_TRUE(PumpUntil([&] { return input.Produced > 0; }));
  out.Stop(false);
}

TEST(PipelineProgress, ProgressIsReportedOnlyWhenTheRoundedPercentChanges) {
  TToneInput input(100000);
  input.BlockBytes = 100; // a thousand blocks, a hundred percent steps
  TCollectOut out;
  TEvents events;
  events.Attach(out);
  out.SetInput(&input);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(events.Progress, 100);
}

TEST(PipelineProgress, ProgressFollowsTheInputsSize) {
  TCollectOut out;
  EXPECT_EQ(out.Progress(), 0); // no input
  TToneInput unknown(-1, -1);
  out.SetInput(&unknown);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return unknown.Produced > 0; }));
  EXPECT_EQ(out.Progress(), -1);
  out.Stop(false);

  TToneInput empty(0);
  out.SetInput(&empty);
  TEvents events;
  events.Attach(out);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return events.Done == 1; }));
  EXPECT_EQ(out.Progress(), 0);
}

// ---- Inputs and converters ----

// A tone of total bytes in blocks of blockBytes through a pass converter that ends at
// sizeLimit (0: the tone's size), started.
struct TStartedPass {
  TStartedPass(std::int64_t total, std::uint32_t blockBytes, std::int64_t sizeLimit = 0)
      : Source(total) {
    Source.BlockBytes = blockBytes;
    Pass.SizeLimit = sizeLimit;
    Pass.SetInput(&Source);
    Pass.Init();
  }
  TToneInput Source;
  TPassConverter Pass;
};

TEST(PipelineInput, AConverterAtItsEndKeepsReturningNothing) {
  TStartedPass chain(3000, 4096);
  TToneInput &source = chain.Source;
  TPassConverter &pass = chain.Pass;
  std::uint8_t buffer[5000];
  EXPECT_EQ(pass.CopyData(buffer, 5000), 3000u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(pass.CopyData(buffer, 5000), 0u);
  EXPECT_EQ(pass.Position(), 3000);
  pass.Flush();
  EXPECT_FALSE(source.Busy());
}

TEST(PipelineInput, DataBeyondTheConvertersSizeIsCut) {
  TStartedPass chain(10000, 1000, 2500);
  TToneInput &source = chain.Source;
  TPassConverter &pass = chain.Pass;
  std::vector<std::uint8_t> all(10000);
  bool end = false;
  EXPECT_EQ(pass.FillBuffer(all.data(), 10000, end), 2500u);
  EXPECT_TRUE(end);
  EXPECT_EQ(pass.Position(), 2500);
  EXPECT_EQ(all[2499], source.Pattern(2499));
  pass.Flush();
}

TEST(PipelineInput, ConverterFormatDropsTheMarkerBitUnlessKept) {
  TToneInput source;
  source.Bits = 16 | 128;
  TPassConverter pass;
  EXPECT_EQ(pass.BitsPerSample(), 0u); // no input
  pass.SetInput(&source);
  EXPECT_EQ(pass.BitsPerSample(), 16u);
  EXPECT_EQ(pass.Channels(), 2u);
  EXPECT_EQ(pass.SampleRate(), 44100u);
  pass.SetKeepMarker(true);
  EXPECT_EQ(pass.BitsPerSample(), 144u);
}

TEST(PipelineInput, AConverterForgetsAnInputThatIsDestroyed) {
  TPassConverter pass;
  {
    TToneInput source;
    pass.SetInput(&source);
    pass.SetInput(&pass); // its own input: ignored
    EXPECT_EQ(pass.Input(), &source);
  }
  EXPECT_EQ(pass.Input(), nullptr);
  EXPECT_EQ(pass.Channels(), 0u);
}

TEST(PipelineInput, AnOutputForgetsAnInputThatIsDestroyed) {
  TCollectOut out;
  {
    TToneInput source;
    out.SetInput(&source);
  }
  EXPECT_EQ(out.Input(), nullptr);
  EXPECT_EQ(MessageOf([&] { out.Run(); }), "Input is not assigned");
}

TEST(PipelineInput, InitPassesOnTheMessageOfAFailingStart) {
  TToneInput source;
  source.InitRaises = true;
  EXPECT_EQ(MessageOf([&] { source.Init(); }), "The source cannot start");
  TPassConverter pass;
  pass.SetInput(&source);
  EXPECT_EQ(MessageOf([&] { pass.Init(); }), "The source cannot start");
  source.InitRaises = false;
  EXPECT_NO_THROW(pass.Init());
  EXPECT_TRUE(source.Busy());
  pass.Flush();
  EXPECT_FALSE(source.Busy());
}

// Both kinds of producer: one that counts its own Position and a converter whose GetData does.
TEST(PipelineInput, PrefetchedBytesCountOnlyWhenHandedOut) {
  TToneInput source(10000);
  source.BlockBytes = 300;
  TPassConverter pass;
  pass.SetInput(&source);
  for (TAuInput *input : {static_cast<TAuInput *>(&source), static_cast<TAuInput *>(&pass)}) {
    input->Init();
    std::uint8_t buffer[1000];
    ASSERT_EQ(input->CopyData(buffer, 100), 100u);
    input->Prefetch(1000);
    EXPECT_EQ(input->Position(), 100);
    std::vector<std::uint8_t> got(2000);
    bool end = false;
    ASSERT_EQ(input->FillBuffer(got.data(), 2000, end), 2000u);
    for (int i = 0; i < 2000; ++i)
      ASSERT_EQ(got[i], source.Pattern(100 + i)) << i; // no byte lost, none twice
    EXPECT_EQ(input->Position(), 2100);
    input->Flush();
  }
}

TEST(PipelineInput, PrefetchTopsUpAndNeverReadsBeyondTheSize) {
  TStartedPass chain(10000, 300, 2500);
  TToneInput &source = chain.Source;
  TPassConverter &pass = chain.Pass;
  std::vector<std::uint8_t> got(5000);
  bool end = false;
  pass.Prefetch(1000);
  ASSERT_EQ(pass.FillBuffer(got.data(), 1000, end), 1000u);
  pass.Prefetch(500); // half of the read-ahead buffer
  ASSERT_EQ(pass.CopyData(got.data() + 1000, 200), 200u);
  pass.Prefetch(0); // tops the buffer up: 300 unread bytes move to its start, 700 new follow
  EXPECT_EQ(pass.Position(), 1200);
  ASSERT_EQ(pass.FillBuffer(got.data() + 1200, 1000, end), 1000u);
  EXPECT_EQ(source.Produced, 2200); // all of it came from the read-ahead
  pass.Prefetch(1000);              // only 300 bytes are left before the Size
  EXPECT_EQ(source.Produced, 2500);
  EXPECT_EQ(pass.FillBuffer(got.data() + 2200, 2800, end), 300u);
  EXPECT_TRUE(end);
  for (int i = 0; i < 2500; ++i)
    ASSERT_EQ(got[i], source.Pattern(i)) << i;
  EXPECT_EQ(pass.Position(), 2500);
  pass.Flush();
}

TEST(PipelineInput, MutePrefetchedHandsOutABufferOfSilence) {
  TToneInput source(10000);
  source.Pattern = [](std::int64_t) { return std::uint8_t(0x55); };
  source.Init();
  source.Prefetch(800);
  source.MutePrefetched();
  std::vector<std::uint8_t> got(1000);
  bool end = false;
  ASSERT_EQ(source.FillBuffer(got.data(), 1000, end), 1000u);
  for (int i = 0; i < 800; ++i)
    ASSERT_EQ(got[i], 0) << i;
  EXPECT_EQ(got[800], 0x55);
  source.Flush();
}

TEST(PipelineInput, ReplacingTheInputOfABusyConverterReplumbsBetweenBlocks) {
  TToneInput first(-1), second(-1);
  first.Pattern = [](std::int64_t) { return std::uint8_t(0x11); };
  second.Pattern = [](std::int64_t) { return std::uint8_t(0x22); };
  first.BlockBytes = second.BlockBytes = 64;
  TPassConverter pass;
  pass.SetInput(&first);
  TCollectOut out;
  out.SetInput(&pass);
  out.Run();
  ASSERT_TRUE(PumpUntil([&] { return first.Produced > 20000; }));
  pass.SetInput(&second);
  EXPECT_FALSE(first.Busy());
  EXPECT_TRUE(second.Busy());
  ASSERT_TRUE(PumpUntil([&] { return second.Produced > 20000; }));
  out.Stop(false);
  EXPECT_FALSE(second.Busy());
  // One switch from the old source to the new one, never back.
  int switches = 0;
  for (std::size_t i = 1; i < out.Data.size(); ++i)
    switches += out.Data[i] != out.Data[i - 1];
  EXPECT_EQ(switches, 1);
  EXPECT_EQ(out.Data.front(), 0x11);
  EXPECT_EQ(out.Data.back(), 0x22);
}

// ---- Threads other than the user-interface thread ----

// The worker reports progress on every block and then fails, while handlers are replaced.
TEST(PipelineThreads, HandlersMayBeReplacedWhileARunReports) {
  TToneInput input(-1, 10000);
  input.BlockBytes = 100;
  input.RaiseAfter = 300000;
  TCollectOut out;
  int progress = 0, exceptions = 0;
  bool done = false;
  out.OnDone = [&](TComponent *) { done = true; };
  out.SetInput(&input);
  auto assign = [&] {
    out.OnProgress = [&](TComponent *) { ++progress; };
    out.OnThreadException = [&](TComponent *) { ++exceptions; };
  };
  assign(); // a run that ends before the loop below looks still reports to handlers
  out.Run();
  while (out.Busy()) {
    assign();
    plat::WaitMessages(1);
  }
  ASSERT_TRUE(PumpUntil([&] { return done; }));
  EXPECT_GT(progress, 0);
  EXPECT_EQ(exceptions, 1);
}

// A window waits for a job thread that ends an output whose progress event waits for the
// window's thread: the job must not wait for that event.
TEST(PipelineThreads, AnotherThreadStopsOrDestroysAnOutputWithAnEventPending) {
  for (bool destroy : {false, true}) {
    TToneInput endless(-1, 100000);
    endless.BlockBytes = 100;
    auto out = std::make_unique<TCollectOut>();
    int progress = 0;
    out->OnProgress = [&](TComponent *) { ++progress; };
    out->SetInput(&endless);
    out->Run();
    while (endless.Produced < 20000)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> finished{false};
    std::thread job([&] {
      if (destroy)
        out.reset();
      else
        out->Stop(false);
      finished = true;
    });
    for (int i = 0; i < 5000 && !finished; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(finished) << destroy;
    ASSERT_TRUE(PumpUntil([&] { return finished.load(); })); // frees a job that is stuck
    job.join();
    PumpFor(20);
    EXPECT_EQ(progress, 0) << destroy;
  }
}

TEST(PipelineThreads, OutputsComeAndGoOnSeveralThreadsAtOnce) {
  constexpr int threads = 4;
  std::atomic<int> finished{0};
  std::vector<std::thread> jobs;
  for (int t = 0; t < threads; ++t)
    jobs.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        TToneInput input(20000);
        input.BlockBytes = 500;
        TCollectOut out;
        out.OnProgress = [](TComponent *) {};
        out.SetInput(&input);
        out.Run();
        // Half of them go while running, the others once done, with events on their way.
        if (i % 2 == 0) {
          EXPECT_TRUE(WaitIdleUnpumped(out));
          EXPECT_EQ(out.Data.size(), 20000u);
        }
      }
      ++finished;
    });
  EXPECT_TRUE(PumpUntil([&] { return finished == threads; }));
  for (auto &job : jobs)
    job.join();
}
