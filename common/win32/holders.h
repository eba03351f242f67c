// Every small owner of the program: handles, modules, registry keys, find handles,
// device lists, heap blocks, COM pointers and apartments, GDI objects and device
// contexts, selections into a device context, locks and page protections. Each is
// non-copyable and releases what it holds on every exit path of its scope.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <setupapi.h>

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
    // Hands the handle to the caller, who closes it.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) {
            CloseHandle(handle_);
        }
        handle_ = handle;
    }

  private:
    HANDLE handle_ = nullptr;
};

// A mutex this thread owns: released once, then closed.
class OwnedMutex {
  public:
    explicit OwnedMutex(HANDLE mutex) : mutex_(mutex) {}
    ~OwnedMutex() { Reset(); }
    OwnedMutex(const OwnedMutex&) = delete;
    OwnedMutex& operator=(const OwnedMutex&) = delete;

    HANDLE Get() const { return mutex_; }
    void Reset() {
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
        mutex_ = nullptr;
    }

  private:
    HANDLE mutex_;
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

// A SetupAPI device information set; both null and INVALID_HANDLE_VALUE count as empty.
class DeviceInfoList {
  public:
    explicit DeviceInfoList(HDEVINFO list) : list_(list) {}
    ~DeviceInfoList() {
        if (Valid()) {
            SetupDiDestroyDeviceInfoList(list_);
        }
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;

    bool Valid() const { return list_ != INVALID_HANDLE_VALUE && list_ != nullptr; }
    HDEVINFO Get() const { return list_; }

  private:
    HDEVINFO list_;
};

// A block of the process heap; empty (null) when the size is 0 or it cannot be had.
class HeapBuffer {
  public:
    explicit HeapBuffer(size_t cbSize, DWORD flags = 0) { Reset(cbSize, flags); }
    ~HeapBuffer() { Reset(0); }
    HeapBuffer(const HeapBuffer&) = delete;
    HeapBuffer& operator=(const HeapBuffer&) = delete;

    // Frees the block it holds, then takes a new one; returns it, or null.
    void* Reset(size_t cbSize, DWORD flags = 0) {
        if (bytes_ != nullptr) {
            HeapFree(GetProcessHeap(), 0, bytes_);
        }
        bytes_ = cbSize != 0 ? HeapAlloc(GetProcessHeap(), flags, cbSize) : nullptr;
        size_ = bytes_ != nullptr ? cbSize : 0;
        return bytes_;
    }
    template <typename T = void> T* As() const { return static_cast<T*>(bytes_); }
    size_t Size() const { return size_; }

  private:
    void* bytes_ = nullptr;
    size_t size_ = 0;
};

// A changed protection of some pages, put back when the scope ends.
class PageProtection {
  public:
    PageProtection() = default;
    ~PageProtection() {
        if (bytes_ != nullptr) {
            DWORD ignored = 0;
            VirtualProtect(bytes_, size_, previous_, &ignored);
        }
    }
    PageProtection(const PageProtection&) = delete;
    PageProtection& operator=(const PageProtection&) = delete;

    // False, and nothing changed, when the pages cannot take the protection.
    bool Change(void* bytes, size_t size, DWORD protection) {
        if (bytes_ != nullptr || !VirtualProtect(bytes, size, protection, &previous_)) {
            return false;
        }
        bytes_ = bytes;
        size_ = size;
        return true;
    }

  private:
    void* bytes_ = nullptr;
    size_t size_ = 0;
    DWORD previous_ = 0;
};

// A critical section for the life of its owner; ScopedLock holds it for one scope.
class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { EnterCriticalSection(&section_); }
    void Leave() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION section_;
};

class ScopedLock {
  public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSection& section_;
};

// COM on the calling thread; uninitialised only when the initialisation gave S_OK.
class ComApartment {
  public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (result_ == S_OK) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT result_;
};

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
    Interface* Get() const { return pointer_; }
    void** Receive() { return reinterpret_cast<void**>(&pointer_); }

  private:
    Interface* pointer_ = nullptr;
};

// A GDI object this scope created (a brush, a pen, a font, a bitmap).
template <typename Object> class UniqueGdiObject {
  public:
    explicit UniqueGdiObject(Object object) : object_(object) {}
    ~UniqueGdiObject() {
        if (object_ != nullptr) {
            DeleteObject(object_);
        }
    }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;

    Object Get() const { return object_; }

  private:
    Object object_;
};

// The device context of a window, from GetDC to ReleaseDC.
class WindowDC {
  public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// A memory device context compatible with another one.
class MemoryDC {
  public:
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() {
        if (dc_ != nullptr) {
            DeleteDC(dc_);
        }
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

// Selects an object into a device context for one scope and puts the previous one back.
class ScopedSelection {
  public:
    ScopedSelection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~ScopedSelection() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A text colour and a transparent background for one scope.
class ScopedTextLook {
  public:
    ScopedTextLook(HDC dc, COLORREF colour)
        : dc_(dc), colour_(SetTextColor(dc, colour)), mode_(SetBkMode(dc, TRANSPARENT)) {}
    ~ScopedTextLook() {
        SetTextColor(dc_, colour_);
        SetBkMode(dc_, mode_);
    }
    ScopedTextLook(const ScopedTextLook&) = delete;
    ScopedTextLook& operator=(const ScopedTextLook&) = delete;

  private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
};

} // namespace mossgate
