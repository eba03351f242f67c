#include "common/win32/shell_link.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/folder_handles.h"
#include "common/win32/holders.h"
#include "common/win32/nt_files.h"
#include "common/win32/wide_text.h"

#include <objidl.h>
#include <shlobj.h>

#include <cwchar>

namespace mossgate {

namespace {

// A shell link holds a few paths and texts; anything near this is not one.
constexpr ULONGLONG MAX_LINK_BYTES = 1024 * 1024;

// Defined here rather than taken from libuuid, which would bring its whole table.
constexpr CLSID SHELL_LINK_CLASS = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID SHELL_LINK_A_INTERFACE = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID PERSIST_STREAM_INTERFACE = {
    0x00000109, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The link's bytes, as IPersistFile::Save would write them into a file.
HRESULT SaveToMemory(IShellLinkA* link, HeapBuffer& bytes) {
    ComPointer<IPersistStream> persist;
    HRESULT result = link->QueryInterface(PERSIST_STREAM_INTERFACE, persist.Receive());
    if (FAILED(result)) {
        return result;
    }
    ComPointer<IStream> stream;
    result = CreateStreamOnHGlobal(nullptr, TRUE, reinterpret_cast<IStream**>(stream.Receive()));
    if (FAILED(result)) {
        return result;
    }
    result = persist->Save(stream.Get(), TRUE);
    if (FAILED(result)) {
        return result;
    }
    ULARGE_INTEGER size = {};
    const LARGE_INTEGER start = {};
    result = stream->Seek(start, STREAM_SEEK_CUR, &size);
    if (FAILED(result)) {
        return result;
    }
    if (size.QuadPart == 0 || size.QuadPart > MAX_LINK_BYTES ||
        bytes.Reset(static_cast<size_t>(size.QuadPart)) == nullptr) {
        return E_OUTOFMEMORY;
    }
    ULONG read = 0;
    result = stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (SUCCEEDED(result)) {
        result = stream->Read(bytes.As<void>(), static_cast<ULONG>(size.QuadPart), &read);
    }
    return SUCCEEDED(result) && read != size.QuadPart ? E_FAIL : result;
}

} // namespace

bool BuildLinkFileName(wchar_t* fileName, size_t cchFileName, const char* name) {
    char text[ENTRY_NAME_CHARS];
    return CopyText(text, sizeof(text), name) && AppendText(text, sizeof(text), LINK_FILE_SUFFIX) &&
           AnsiToWide(text, fileName, cchFileName);
}

HRESULT CreateShortcut(const char* target, HANDLE folder, const char* name, const char* arguments) {
    wchar_t fileName[ENTRY_NAME_CHARS];
    char workingFolder[JOINED_PATH_UNITS];
    if (!BuildLinkFileName(fileName, ENTRY_NAME_CHARS, name) ||
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

    HeapBuffer bytes(0);
    result = SaveToMemory(link.Get(), bytes);
    if (FAILED(result)) {
        return result;
    }
    return ReplaceFileInFolder(folder, fileName, bytes.As<void>(), bytes.Size())
               ? S_OK
               : HRESULT_FROM_WIN32(ERROR_CANNOT_MAKE);
}

Removal DeleteShortcut(const OwnFolder& folder, const char* name, Leftovers leftovers) {
    wchar_t fileName[ENTRY_NAME_CHARS];
    return BuildLinkFileName(fileName, ENTRY_NAME_CHARS, name)
               ? RemoveFileInFolder(folder, fileName, leftovers)
               : Removal::Stays;
}

} // namespace mossgate
