#include "app/publisher_links.h"

#include "app/setup_context.h"
#include "common/portable/bounded_text.h"
#include "common/win32/system_library.h"

#include <cstring>

namespace mossgate {

namespace {

using ShellExecuteFunction = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);

// SHELL32 is loaded by its full system path rather than imported, so that a copy
// planted beside the program is never mapped at start-up. It stays loaded: the
// shell may go on working on its own threads after ShellExecuteA has returned.
// Only the window thread opens links.
HMODULE shell32 = nullptr;

void OpenWithShell(const char* link) {
    if (shell32 == nullptr) {
        shell32 = LoadSystemLibrary("SHELL32.DLL");
    }
    auto shellExecute = FindExport<ShellExecuteFunction>(shell32, "ShellExecuteA");
    if (shellExecute != nullptr) {
        shellExecute(SetupContext.mainWindow, "open", link, nullptr, nullptr, SW_SHOW);
    }
}

} // namespace

void OpenPublisherLink(const uint8_t* storedText, size_t length) {
    if (storedText == nullptr || length == 0 || length > LINK_SCRATCH_BYTES) {
        return;
    }
    uint8_t scratch[LINK_SCRATCH_BYTES];
    std::memcpy(scratch, storedText, length);
    DescrambleText(LINK_SEED, scratch, length);
    // The stored length counts the terminator; make sure of it all the same.
    scratch[length - 1] = 0;
    OpenWithShell(reinterpret_cast<const char*>(scratch));
    WipeBytes(scratch, sizeof(scratch));
}

} // namespace mossgate
