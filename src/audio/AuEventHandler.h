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

// Each event calls the sender's handler of its kind as assigned when it is delivered, if any.
void PostProgress(TAuOutput *sender);
void PostDone(TAuOutput *sender, TAuThread *thread);
void PostThreadException(TAuOutput *sender);
void PostUnderrun(TAuOutput *sender);

// While blocked, a sender's new events are dropped and one already taken out of the queue
// is not delivered.
void Block(TAuOutput *sender);
void Unblock(TAuOutput *sender);
// Drops the sender's queued events and calls off one on its way to the user-interface thread.
// Off that thread it also waits for a handler of the sender that runs there right now.
void RemoveEvents(TAuOutput *sender);

} // namespace TEventHandler
