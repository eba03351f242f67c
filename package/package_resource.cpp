#include "package/package_resource.h"

#include "app/program_names.h"

#include <cstring>

namespace mossgate {

namespace {

struct ResourceBytes {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

// FreeResource does nothing for a module's own resources on Win32: the bytes stay
// mapped for the life of the module, so there is nothing to release afterwards.
ResourceBytes FindPackageResource(HMODULE module) {
    HRSRC found =
        FindResourceA(module, MAKEINTRESOURCEA(PACKAGE_RESOURCE_ID), MAKEINTRESOURCEA(10));
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
        return {};
    }
    return {static_cast<const uint8_t*>(bytes), SizeofResource(module, found)};
}

} // namespace

int LoadPackageDirectory(SetupContextRecord& context) {
    const ResourceBytes package = FindPackageResource(context.instance);
    return CopyPackageDirectory(package.bytes, package.size, context.packageDirectory) ? 0 : -1;
}

WritablePackageImage::WritablePackageImage(HMODULE module) {
    const ResourceBytes package = FindPackageResource(module);
    if (package.bytes == nullptr || package.size == 0) {
        return;
    }
    auto* bytes = const_cast<uint8_t*>(package.bytes);
    if (VirtualProtect(bytes, package.size, PAGE_WRITECOPY, &oldProtection_) ||
        VirtualProtect(bytes, package.size, PAGE_READWRITE, &oldProtection_)) {
        protectionChanged_ = true;
        bytes_ = bytes;
        size_ = package.size;
        return;
    }
    heapCopy_ = static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, package.size));
    if (heapCopy_ == nullptr) {
        return;
    }
    std::memcpy(heapCopy_, package.bytes, package.size);
    bytes_ = heapCopy_;
    size_ = package.size;
}

WritablePackageImage::~WritablePackageImage() {
    if (protectionChanged_) {
        DWORD ignored = 0;
        VirtualProtect(bytes_, size_, oldProtection_, &ignored);
    }
    if (heapCopy_ != nullptr) {
        HeapFree(GetProcessHeap(), 0, heapCopy_);
    }
}

} // namespace mossgate
