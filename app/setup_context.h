// The one process-wide state record, zero-filled at start-up. The window thread and
// the install worker share it without locks; see app/worker.cpp for the rules.
#pragma once

#include "package/package_format.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace mossgate {

constexpr size_t PATH_BYTES = 1024;
constexpr size_t ERROR_CAPTION_BYTES = 512;
constexpr size_t ERROR_TEXT_BYTES = 2048;
constexpr size_t STATUS_TEXT_BYTES = 1024;

struct ClientRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct SetupContextRecord {
    HWND mainWindow;
    HINSTANCE instance;
    int32_t is64BitWindows;
    char setupProgramPath[PATH_BYTES];
    int32_t animationTimer;
    int32_t osCode;
    int32_t driverInstalled;
    char installFolder[PATH_BYTES];
    PackageEntry packageDirectory[PACKAGE_ENTRY_COUNT];
    ClientRect buttonRect;
    int32_t animationTicks;
    HBITMAP backgroundBitmap;
    int32_t bitmapWidth;
    int32_t bitmapHeight;
    HCURSOR handCursor;
    HFONT textFont;
    HFONT labelFont;
    HFONT buttonFont;
    HANDLE workerThread;
    uint32_t workerThreadId;
    std::atomic<int32_t> workerRunning;
    std::atomic<int32_t> workerResult;
    char errorCaption[ERROR_CAPTION_BYTES];
    char errorText[ERROR_TEXT_BYTES];
    char statusText[STATUS_TEXT_BYTES];
};

static_assert(sizeof(std::atomic<int32_t>) == 4 && std::atomic<int32_t>::is_always_lock_free);

// Fills the record with zero bytes: handles null, numbers 0, texts empty.
void ZeroSetupContext(SetupContextRecord& context);

} // namespace mossgate

extern mossgate::SetupContextRecord SetupContext;
