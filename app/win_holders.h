// Small non-copyable owners of platform handles; each releases on every exit path.
#pragma once

#include <windows.h>

namespace mossgate {

// A kernel handle; both null and INVALID_HANDLE_VALUE count as empty.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

class UniqueModule {
  public:
    explicit UniqueModule(HMODULE module) : module_(module) {}
    ~UniqueModule() {
        if (module_ != nullptr) {
            FreeLibrary(module_);
        }
    }
    UniqueModule(const UniqueModule&) = delete;
    UniqueModule& operator=(const UniqueModule&) = delete;

    HMODULE Get() const { return module_; }

    // Looks up an export as the function type the caller expects.
    template <typename Function> Function Find(const char* name) const {
        if (module_ == nullptr) {
            return nullptr;
        }
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

  private:
    HMODULE module_;
};

class UniqueRegKey {
  public:
    UniqueRegKey() = default;
    ~UniqueRegKey() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    UniqueRegKey(const UniqueRegKey&) = delete;
    UniqueRegKey& operator=(const UniqueRegKey&) = delete;

    HKEY Get() const { return key_; }
    HKEY* Receive() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

class UniqueFindHandle {
  public:
    explicit UniqueFindHandle(HANDLE find) : find_(find) {}
    ~UniqueFindHandle() { Close(); }
    UniqueFindHandle(const UniqueFindHandle&) = delete;
    UniqueFindHandle& operator=(const UniqueFindHandle&) = delete;

    bool Valid() const { return find_ != INVALID_HANDLE_VALUE && find_ != nullptr; }
    HANDLE Get() const { return find_; }
    void Close() {
        if (Valid()) {
            FindClose(find_);
        }
        find_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE find_;
};

// Looks up an export of an already loaded module (not loaded or freed here).
template <typename Function> Function FindLoadedExport(const char* module, const char* name) {
    HMODULE handle = GetModuleHandleA(module);
    if (handle == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

} // namespace mossgate
