#include "package/package_resource.h"

#include "common/product_names.h"

#include <cstring>
#include <span>

namespace mossgate {

namespace {

using ResourceBytes = std::span<const uint8_t>;

// How many of `wanted` bytes from `bytes` on are mapped and readable. A resource
// directory may claim more than the image holds; nothing past it is ever read.
size_t ReadableBytes(const uint8_t* bytes, size_t wanted) {
    size_t have = 0;
    while (have < wanted) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(bytes + have, &region, sizeof(region)) != sizeof(region) ||
            region.State != MEM_COMMIT || (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0) {
            break;
        }
        have = static_cast<size_t>(static_cast<const uint8_t*>(region.BaseAddress) +
                                   region.RegionSize - bytes);
    }
    return have < wanted ? have : wanted;
}

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
    const auto* start = static_cast<const uint8_t*>(bytes);
    return {start, ReadableBytes(start, SizeofResource(module, found))};
}

} // namespace

int LoadPackageDirectory(SetupContextRecord& context) {
    const ResourceBytes package = FindPackageResource(context.instance);
    return CopyPackageDirectory(package.data(), package.size(), context.packageDirectory) ? 0 : -1;
}

WritablePackageImage::WritablePackageImage(HMODULE module) {
    const ResourceBytes package = FindPackageResource(module);
    if (package.empty()) {
        return;
    }
    auto* bytes = const_cast<uint8_t*>(package.data());
    if (protection_.Change(bytes, package.size(), PAGE_WRITECOPY) ||
        protection_.Change(bytes, package.size(), PAGE_READWRITE)) {
        bytes_ = bytes;
        size_ = package.size();
        return;
    }
    if (heapCopy_.Reset(package.size()) == nullptr) {
        return;
    }
    std::memcpy(heapCopy_.As<uint8_t>(), package.data(), package.size());
    bytes_ = heapCopy_.As<uint8_t>();
    size_ = package.size();
}

} // namespace mossgate
