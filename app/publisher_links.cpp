#include "app/publisher_links.h"

#include "app/bounded_text.h"
#include "app/descramble_text.h"
#include "app/setup_context.h"
#include "env/system_library.h"

#include <cstring>

namespace mossgate {

namespace {

// "https://www.kestrine.example/mossgate" and its terminator, scrambled.
constexpr uint8_t PUBLISHER_LINK_BYTES[] = {
    0xA9, 0x0A, 0x1A, 0x48, 0xC4, 0xBC, 0x18, 0xCF, 0xA3, 0xEB, 0x93, 0xDA, 0xAB,
    0xAE, 0x7A, 0xB0, 0x87, 0x8D, 0xFE, 0x5E, 0x6B, 0xED, 0x52, 0x27, 0x56, 0x64,
    0xA8, 0x52, 0x55, 0x0C, 0x8A, 0xEA, 0xED, 0xC8, 0xEA, 0x76, 0x55, 0xB1,
};

// "https://www.kestrine.example/mossgate/installed-cd-pack" and its terminator, scrambled.
constexpr uint8_t AFTER_INSTALL_LINK_BYTES[] = {
    0xC9, 0xE2, 0xDE, 0xE2, 0x72, 0xA8, 0x29, 0xD0, 0xD7, 0x3A, 0x10, 0x5B, 0x62, 0xCF,
    0x34, 0xA5, 0xA2, 0x15, 0xCC, 0x83, 0x76, 0xDA, 0xD9, 0x22, 0xB7, 0x7E, 0xC3, 0x97,
    0xDB, 0x87, 0xEF, 0x82, 0xC1, 0xA0, 0xDD, 0xBA, 0x12, 0xC1, 0x69, 0x67, 0xF1, 0x66,
    0xE5, 0x2A, 0xBA, 0xC6, 0x98, 0x6D, 0x27, 0xE3, 0xA4, 0x4A, 0xFA, 0x6A, 0xA1, 0x92,
};

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
    auto shellExecute =
        shell32 == nullptr ? nullptr
                           : reinterpret_cast<ShellExecuteFunction>(
                                 reinterpret_cast<void*>(GetProcAddress(shell32, "ShellExecuteA")));
    if (shellExecute != nullptr) {
        shellExecute(SetupContext.mainWindow, "open", link, nullptr, nullptr, SW_SHOW);
    }
}

} // namespace

const StoredLink PUBLISHER_LINK = {PUBLISHER_LINK_BYTES, sizeof(PUBLISHER_LINK_BYTES)};
const StoredLink AFTER_INSTALL_LINK = {AFTER_INSTALL_LINK_BYTES, sizeof(AFTER_INSTALL_LINK_BYTES)};

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
