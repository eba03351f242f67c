#include "app/worker.h"

#include "common/win32/holders.h"
#include "procedures/install.h"

namespace mossgate {

int StartWorker(SetupContextRecord& context, WorkerWait wait) {
    context.workerResult.store(-1);
    context.workerRunning.store(1);
    DWORD threadId = 0;
    context.workerThread = CreateThread(nullptr, 0, WorkerMain, &context, 0, &threadId);
    context.workerThreadId = threadId;
    if (context.workerThread == nullptr) {
        context.workerRunning.store(0);
        return -1;
    }
    if (wait != WorkerWait::UntilEnded) {
        return 0;
    }
    WaitForSingleObject(context.workerThread, INFINITE);
    CloseHandle(context.workerThread);
    context.workerThread = nullptr;
    return context.workerResult.load();
}

DWORD WINAPI WorkerMain(LPVOID parameter) {
    auto& context = *static_cast<SetupContextRecord*>(parameter);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    {
        // The shortcuts are made through COM on this thread.
        ComApartment com;
        context.workerResult.store(RunInstall(context));
    }
    context.workerRunning.store(0);
    return 0;
}

} // namespace mossgate
