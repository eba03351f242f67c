// Every small owner of the program: handles, modules, registry keys, find handles,
// device lists, heap blocks, COM pointers, apartments and strings, GDI objects and device
// contexts, selections into a device context, locks and page protections. Each is
// non-copyable and releases what it holds on every exit path of its scope; those
// that one call releases are one template over that call.
#pragma once

#include "common/portable/bounded_text.h"

#include <windows.h>

#include <objbase.h>
#include <setupapi.h>

#include <cwchar>

namespace mossgate {

// One owner for every resource that a single call releases: the traits name the
// value's type, the values that count as empty and the call. Non-copyable; the
// value is released when the owner ends, is reset, or receives a new one.
template <typename Traits> class UniqueResource {
  public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value Get() const { return value_; }
    bool Valid() const { return Traits::IsValid(value_); }
    // For a call that fills in a new value: the old one is released first.
    Value* Receive() {
        Reset();
        return &value_;
    }
    // Hands the value to the caller, who releases it.
    Value Release() {
        const Value value = value_;
        value_ = Traits::Empty();
        return value;
    }
    void Reset(Value value = Traits::Empty()) {
        if (Valid()) {
            Traits::Close(value_);
        }
        value_ = value;
    }

  private:
    Value value_ = Traits::Empty();
};

// Traits of a value whose only empty value is null.
template <typename T, void (*CloseValue)(T)> struct NullEmptyTraits {
    using Value = T;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value value) { return value != nullptr; }
    static void Close(Value value) { CloseValue(value); }
};

// Traits of a handle for which both null and INVALID_HANDLE_VALUE count as empty.
template <void (*CloseValue)(HANDLE)> struct HandleTraits {
    using Value = HANDLE;
    static Value Empty() { return nullptr; }
    static bool IsValid(Value value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
    static void Close(Value value) { CloseValue(value); }
};

namespace release {
inline void Handle(HANDLE handle) {
    CloseHandle(handle);
}
inline void Find(HANDLE find) {
    FindClose(find);
}
inline void DeviceList(HANDLE list) {
    SetupDiDestroyDeviceInfoList(list);
}
// A mutex this thread owns: released once, then closed.
inline void OwnedMutex(HANDLE mutex) {
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}
inline void Module(HMODULE module) {
    FreeLibrary(module);
}
inline void RegistryKey(HKEY key) {
    RegCloseKey(key);
}
inline void DeviceContext(HDC dc) {
    DeleteDC(dc);
}
template <typename Object> void GdiObject(Object object) {
    DeleteObject(object);
}
} // namespace release

using UniqueHandle = UniqueResource<HandleTraits<release::Handle>>;
using UniqueFindHandle = UniqueResource<HandleTraits<release::Find>>;
// A SetupAPI device information set.
using DeviceInfoList = UniqueResource<HandleTraits<release::DeviceList>>;
using OwnedMutex = UniqueResource<NullEmptyTraits<HANDLE, release::OwnedMutex>>;
using UniqueModule = UniqueResource<NullEmptyTraits<HMODULE, release::Module>>;
using UniqueRegKey = UniqueResource<NullEmptyTraits<HKEY, release::RegistryKey>>;
// A memory device context: MemoryDC dc(CreateCompatibleDC(other)).
using MemoryDC = UniqueResource<NullEmptyTraits<HDC, release::DeviceContext>>;
// A GDI object this scope created (a brush, a pen, a font, a bitmap).
template <typename Object>
using UniqueGdiObject = UniqueResource<NullEmptyTraits<Object, release::GdiObject<Object>>>;

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

// COM on the calling thread, apartment-threaded. Every initialisation that
// succeeded counts, S_FALSE (the thread had one already) too, and is undone; a
// failed one (RPC_E_CHANGED_MODE on a thread of the multi-threaded apartment) is not.
class ComApartment {
  public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) {
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

// A BSTR from OLEAUT32's SysAllocString, freed with the SysFreeString that the
// caller looked up with it (OLEAUT32 is not imported). Its characters are wiped
// first: the allocator keeps freed strings for reuse.
class WipedBstr {
  public:
    using FreeFunction = void(WINAPI*)(BSTR);

    WipedBstr(BSTR text, FreeFunction free) : text_(text), free_(free) {}
    ~WipedBstr() {
        if (text_ != nullptr) {
            WipeBytes(text_, std::wcslen(text_) * sizeof(OLECHAR));
            free_(text_);
        }
    }
    WipedBstr(const WipedBstr&) = delete;
    WipedBstr& operator=(const WipedBstr&) = delete;

    BSTR Get() const { return text_; }

  private:
    BSTR text_;
    FreeFunction free_;
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
