#include "procedures/shortcuts.h"

#include "app/bounded_text.h"
#include "package/path_text.h"

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

// Releases a COM interface when the scope ends.
template <typename Interface> class ComPointer {
  public:
    ComPointer() = default;
    ~ComPointer() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return pointer_; }
    void** Receive() { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

bool BuildLinkPath(char* linkPath, size_t cbLinkPath, const char* folder, const char* name) {
    return JoinPath(linkPath, cbLinkPath, folder, name) && AppendText(linkPath, cbLinkPath, ".LNK");
}

} // namespace

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

} // namespace mossgate
