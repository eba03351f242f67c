// The one process-wide state record, zero-filled at start-up, and the three
// process-wide command-line flags. The window thread and the install worker share
// the record: see app/worker.h for the rules, and SetStatusText for the one text
// that both touch while the worker runs.
#pragma once

#include "app/portable/command_line.h"
#include "package/portable/package_format.h"

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

// statusText is replaced by the install worker while the window's timer reads it.
// Both sides go through these two calls, which hold a lock for the copy, so the
// window never sees a half-written text or one without its end.
void SetStatusText(SetupContextRecord& context, const char* text);

// Copies the current text into the caller's buffer, always terminated.
void SnapshotStatusText(const SetupContextRecord& context, char* buffer, size_t cbBuffer);

} // namespace mossgate

extern mossgate::SetupContextRecord SetupContext;
