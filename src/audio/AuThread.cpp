// The output's worker thread.
#include "AuClasses.h"
#include "AuEventHandler.h"

#include <exception>

TAuThread::TAuThread(TAuOutput *parent) : FParent(parent), FThread([this] { Execute(); }) {}

TAuThread::~TAuThread() {
  FTerminated = true;
  RunEvent.Set();
  FThread.join();
}

void TAuThread::RequestRun() {
  ++RunsRequested;
  RunEvent.Set();
}

void TAuThread::Execute() {
  while (WaitForRun())
    RunOnce();
}

// A run is asked for by counting, so a Run that comes while the thread is still finishing the
// previous run is never lost.
bool TAuThread::WaitForRun() {
  Sleeping = true;
  while (!FTerminated && RunsEnded == RunsRequested)
    RunEvent.WaitFor();
  Sleeping = false;
  return !FTerminated;
}

void TAuThread::RunOnce() {
  TAuOutput &parent = *FParent;
  const std::uint64_t run = RunsEnded + 1;
  auto report = [&](const std::string &message) {
    parent.SetExceptionMessage(message);
    TEventHandler::PostThreadException(&parent);
  };
  try {
    parent.Prepare();
    parent.FCanOutput = true;
    bool more = true;
    while (more && !StopFlag) {
      int progress = parent.Progress();
      if (progress != parent.FLastProgress) {
        parent.FLastProgress = progress;
        TEventHandler::PostProgress(&parent);
      }
      if (PauseRequest == run) {
        PauseRequest = 0;
        DoPause();
      }
      more = parent.DoOutput(StopFlag);
    }
  } catch (const std::exception &e) {
    report(e.what());
  } catch (...) {
    report("Unknown error");
  }
  StopFlag = false;
  // A sink that cannot be finished (a header that cannot be written) is a failed run too.
  try {
    parent.WhenDone();
  } catch (const std::exception &e) {
    report(e.what());
  } catch (...) {
    report("Unknown error");
  }
  TEventHandler::PostDone(&parent, this);
  ++RunsEnded;
}

void TAuThread::DoPause() {
  RunEvent.Reset();
  Paused = true;
  PauseEvent.Set();
  // Stop wakes the thread only while Paused is set: one that came before must not leave it
  // waiting for a Resume that never comes.
  if (!StopFlag)
    RunEvent.WaitFor();
  Paused = false;
}
