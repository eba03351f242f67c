#include "app/publisher_links.h"

#include "common/portable/bounded_text.h"
#include "common/win32/holders.h"
#include "common/win32/system_library.h"
#include "common/win32/wide_text.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shobjidl.h>

#include <cstring>

namespace mossgate {

namespace {

using SysAllocStringFunction = BSTR(WINAPI*)(const OLECHAR*);

// Defined here rather than taken from libuuid, which would bring its whole table.
constexpr CLSID SHELL_WINDOWS_CLASS = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
constexpr GUID TOP_LEVEL_BROWSER_SERVICE = {
    0x4C96BE40, 0x915C, 0x11CF, {0x99, 0xD3, 0x00, 0xAA, 0x00, 0x4A, 0xE8, 0x37}};

// The program runs elevated, and whatever it starts itself inherits its token: a
// browser started from here would browse as the administrator (on a machine where
// a standard user elevated with an administrator's password, as that other account).
// The desktop's shell runs as the signed-in user, so the link is handed to it: its
// folder view's automation object runs ShellExecute in the shell's own process,
// which starts the browser with the user's token. Where no shell answers, the link
// is not opened at all rather than opened elevated.
HRESULT OpenThroughDesktopShell(const wchar_t* link) {
    // By their full system paths, and before COM maps any on our behalf (type
    // libraries, proxies), so that a copy planted beside the program is never used.
    // COM holds its own references to what it maps: they outlive these.
    const UniqueModule shell(LoadSystemLibrary("SHELL32.DLL"));
    const UniqueModule automation(LoadSystemLibrary("OLEAUT32.DLL"));
    const auto sysAllocString =
        FindExport<SysAllocStringFunction>(automation.Get(), "SysAllocString");
    const auto sysFreeString =
        FindExport<WipedBstr::FreeFunction>(automation.Get(), "SysFreeString");
    if (!shell.Valid() || sysAllocString == nullptr || sysFreeString == nullptr) {
        return E_FAIL;
    }
    const ComApartment com;
    // With CLSCTX_LOCAL_SERVER alone, Wine does not find the shell's window list.
    ComPointer<IShellWindows> windows;
    HRESULT result = CoCreateInstance(SHELL_WINDOWS_CLASS, nullptr, CLSCTX_ALL,
                                      __uuidof(IShellWindows), windows.Receive());
    if (FAILED(result)) {
        return result;
    }
    VARIANT none = {};
    V_VT(&none) = VT_EMPTY;
    LONG desktopWindow = 0;
    ComPointer<IDispatch> desktop;
    result = windows->FindWindowSW(&none, &none, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                                   reinterpret_cast<IDispatch**>(desktop.Receive()));
    // S_FALSE: the list has no desktop (a shell without one, another session's).
    if (result != S_OK || desktop.Get() == nullptr) {
        return E_FAIL;
    }
    ComPointer<IServiceProvider> services;
    result = desktop->QueryInterface(__uuidof(IServiceProvider), services.Receive());
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IShellBrowser> browser;
    result = services->QueryService(TOP_LEVEL_BROWSER_SERVICE, __uuidof(IShellBrowser),
                                    browser.Receive());
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IShellView> view;
    result = browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.Receive()));
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IDispatch> background;
    result = view->GetItemObject(SVGIO_BACKGROUND, __uuidof(IDispatch), background.Receive());
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IShellFolderViewDual> folderView;
    result = background->QueryInterface(__uuidof(IShellFolderViewDual), folderView.Receive());
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IDispatch> application;
    result = folderView->get_Application(reinterpret_cast<IDispatch**>(application.Receive()));
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IShellDispatch2> shellDispatch;
    result = application->QueryInterface(__uuidof(IShellDispatch2), shellDispatch.Receive());
    if (FAILED(result)) {
        return result;
    }
    const WipedBstr file(sysAllocString(link), sysFreeString);
    const WipedBstr verb(sysAllocString(L"open"), sysFreeString);
    if (file.Get() == nullptr || verb.Get() == nullptr) {
        return E_OUTOFMEMORY;
    }
    VARIANT operation = {};
    V_VT(&operation) = VT_BSTR;
    V_BSTR(&operation) = verb.Get();
    VARIANT show = {};
    V_VT(&show) = VT_I4;
    V_I4(&show) = SW_SHOW;
    return shellDispatch->ShellExecute(file.Get(), none, none, operation, show);
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
    wchar_t wide[LINK_SCRATCH_BYTES];
    if (AnsiToWide(reinterpret_cast<const char*>(scratch), wide, LINK_SCRATCH_BYTES)) {
        // Whether the shell opened it or not, nothing is shown: a page that did not
        // open is no fault of the install.
        OpenThroughDesktopShell(wide);
    }
    WipeBytes(wide, sizeof(wide));
    WipeBytes(scratch, sizeof(scratch));
}

} // namespace mossgate
