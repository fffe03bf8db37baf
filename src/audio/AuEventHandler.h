#pragma once
// The process-wide event thread: delivers the outputs' progress, done and thread-exception
// events on the user-interface thread, one at a time, in the order they were posted. It is
// created with the first output and ended with the last.
#include "AuTypes.h"

class TAuOutput;
class TAuThread;

namespace TEventHandler {

void Register();
// Drops the output's events; ends the thread when it was the last output.
void Unregister(TAuOutput *sender);

void PostProgress(TAuOutput *sender, const TOutputProgressEvent &handler);
void PostDone(TAuOutput *sender, TAuThread *thread);
void PostThreadException(TAuOutput *sender, const TThreadExceptionEvent &handler);

// While blocked, a sender's new events are dropped and one already taken out of the queue
// is not delivered.
void Block(TAuOutput *sender);
void Unblock(TAuOutput *sender);
// Drops the sender's queued events and, unless called from inside the delivery of one of
// them, waits until an event of the sender being delivered is finished (running the
// user-interface thread's synchronized calls meanwhile, so the delivery can complete).
void RemoveEvents(TAuOutput *sender);

} // namespace TEventHandler
