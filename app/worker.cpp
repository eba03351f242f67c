#include "app/worker.h"

#include "procedures/install.h"

#include <objbase.h>

namespace mossgate {

int StartWorker(SetupContextRecord& context, int wait) {
    context.workerResult.store(-1);
    context.workerRunning.store(1);
    DWORD threadId = 0;
    context.workerThread = CreateThread(nullptr, 0, WorkerMain, &context, 0, &threadId);
    context.workerThreadId = threadId;
    if (context.workerThread == nullptr) {
        context.workerRunning.store(0);
        return -1;
    }
    if (wait != 1) {
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
    const HRESULT comResult = CoInitialize(nullptr);
    context.workerResult.store(RunInstall(context));
    if (comResult == S_OK) {
        CoUninitialize();
    }
    context.workerRunning.store(0);
    return 0;
}

} // namespace mossgate
