#include "package/package_resource.h"

#include "common/product_names.h"

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
    if (protection_.Change(bytes, package.size, PAGE_WRITECOPY) ||
        protection_.Change(bytes, package.size, PAGE_READWRITE)) {
        bytes_ = bytes;
        size_ = package.size;
        return;
    }
    if (heapCopy_.Reset(package.size) == nullptr) {
        return;
    }
    std::memcpy(heapCopy_.As<uint8_t>(), package.bytes, package.size);
    bytes_ = heapCopy_.As<uint8_t>();
    size_ = package.size;
}

} // namespace mossgate
