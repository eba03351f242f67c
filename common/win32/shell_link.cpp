#include "common/win32/shell_link.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/holders.h"

#include <objidl.h>
#include <shlobj.h>

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
    WCHAR widePath[LINK_PATH_BYTES];
    if (MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, LINK_PATH_BYTES) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return file->Save(widePath, TRUE);
}

BOOL DeleteShortcut(const char* folder, const char* name) {
    char path[LINK_PATH_BYTES];
    if (!BuildLinkPath(path, sizeof(path), folder, name)) {
        return FALSE;
    }
    return DeleteFileA(path);
}

} // namespace mossgate
