// The one install worker. The window thread sets workerRunning to 1 before the
// thread exists; the worker stores its result, then sets workerRunning to 0 as its
// last store. Procedures post their end message before they return, so the window
// handles it after the worker has finished its work.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

// The wait flag of StartWorker: 0 returns once the thread exists, 1 waits for it.
enum class WorkerWait { ReturnAtOnce = 0, UntilEnded = 1 };

// UntilEnded: blocks until the worker has ended and returns its result. Otherwise
// returns 0 once the thread exists. -1 when the thread cannot be created.
int StartWorker(SetupContextRecord& context, WorkerWait wait);

DWORD WINAPI WorkerMain(LPVOID context);

// While true the install runs: the window takes no press, Enter, Esc or close.
inline bool IsWorkerRunning(const SetupContextRecord& context) {
    return context.workerRunning.load() != 0;
}

} // namespace mossgate
