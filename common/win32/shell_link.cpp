#include "common/win32/shell_link.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/holders.h"
#include "common/win32/wide_text.h"

#include <objidl.h>
#include <shlobj.h>

#include <cwchar>

namespace mossgate {

namespace {

constexpr size_t LINK_PATH_BYTES = 2048;

// Defined here rather than taken from libuuid, which would bring its whole table.
constexpr CLSID SHELL_LINK_CLASS = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID SHELL_LINK_A_INTERFACE = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID PERSIST_FILE_INTERFACE = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Saves the link into a new file of its own beside linkPath, then renames it over
// linkPath: a link planted at that name is replaced, never written through.
HRESULT SaveByRename(IPersistFile* file, const char* linkPath) {
    WCHAR wideLink[LINK_PATH_BYTES];
    WCHAR folder[LINK_PATH_BYTES];
    if (!AnsiToWide(linkPath, wideLink, LINK_PATH_BYTES)) {
        return E_INVALIDARG;
    }
    wmemcpy(folder, wideLink, LINK_PATH_BYTES);
    WCHAR* last = wcsrchr(folder, L'\\');
    if (last == nullptr) {
        return E_INVALIDARG;
    }
    *last = L'\0';
    WCHAR temporary[MAX_PATH];
    if (GetTempFileNameW(folder, L"lnk", 0, temporary) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT result = file->Save(temporary, TRUE);
    if (SUCCEEDED(result) && !MoveFileExW(temporary, wideLink, MOVEFILE_REPLACE_EXISTING)) {
        result = HRESULT_FROM_WIN32(GetLastError());
    }
    if (FAILED(result)) {
        DeleteFileW(temporary);
    }
    return result;
}

} // namespace

bool BuildLinkPath(char* linkPath, size_t cbLinkPath, const char* folder, const char* name) {
    return JoinPath(linkPath, cbLinkPath, folder, name) && AppendText(linkPath, cbLinkPath, ".LNK");
}

HRESULT CreateShortcut(const char* target, const char* folder, const char* name,
                       const char* arguments) {
    char linkPath[LINK_PATH_BYTES];
    char workingFolder[LINK_PATH_BYTES];
    if (!BuildLinkPath(linkPath, sizeof(linkPath), folder, name) ||
        !CopyText(workingFolder, sizeof(workingFolder), target)) {
        return E_INVALIDARG;
    }
    CutAtLastSeparator(workingFolder);

    ComPointer<IShellLinkA> link;
    HRESULT result = CoCreateInstance(SHELL_LINK_CLASS, nullptr, CLSCTX_INPROC_SERVER,
                                      SHELL_LINK_A_INTERFACE, link.Receive());
    if (FAILED(result)) {
        return result;
    }
    link->SetPath(target);
    link->SetDescription(name);
    link->SetArguments(arguments);
    link->SetWorkingDirectory(workingFolder);

    ComPointer<IPersistFile> file;
    result = link->QueryInterface(PERSIST_FILE_INTERFACE, file.Receive());
    if (FAILED(result)) {
        return result;
    }
    return SaveByRename(file.Get(), linkPath);
}

BOOL DeleteShortcut(const char* folder, const char* name) {
    char path[LINK_PATH_BYTES];
    if (!BuildLinkPath(path, sizeof(path), folder, name)) {
        return FALSE;
    }
    return DeleteFileA(path);
}

} // namespace mossgate
