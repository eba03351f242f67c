// Packages for the native tests, the fuzz seeds and the benchmark, written by the
// product's own package writer from files with deterministic contents.
#pragma once

#include "package/portable/package_writer.h"

#include <cstring>
#include <string>
#include <vector>

namespace mossgate::testing {

// Deterministic filler: a small xorshift stream, different for each salt.
inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t salt) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = (0x9E3779B9u ^ (salt * 0x85EBCA6Bu)) | 1u;
    for (uint8_t& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

// The 61 files of a package named "file<i>.bin": the given sizes first, then 32
// bytes each (enough for every key byte to reach the payload).
inline std::vector<PlainFile> PatternFiles(const std::vector<size_t>& sizes) {
    std::vector<PlainFile> files;
    for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        const size_t size = i < sizes.size() ? sizes[i] : 32;
        files.push_back({"file" + std::to_string(i) + ".bin", RESERVED_DRIVER_C,
                         PatternBytes(size, static_cast<uint32_t>(i + 1))});
    }
    return files;
}

inline PackageEntry EntryAt(const std::vector<uint8_t>& image, size_t index) {
    PackageEntry entry;
    std::memcpy(&entry, image.data() + index * sizeof(PackageEntry), sizeof(PackageEntry));
    return entry;
}

// Entries are not part of the chain: a test may change one after the package is written.
inline void StoreEntry(std::vector<uint8_t>& image, size_t index, const PackageEntry& entry) {
    std::memcpy(image.data() + index * sizeof(PackageEntry), &entry, sizeof(PackageEntry));
}

} // namespace mossgate::testing
