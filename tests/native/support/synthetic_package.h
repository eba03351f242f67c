// Synthetic packages for the native tests, the fuzz target and the benchmark.
// A package is written the way the packer writes it: the directory first, then the
// payloads in directory order, each scrambled with the walk state that a reader
// holds when it reaches that entry (DescramblePayload, then AdvanceChain with the
// digest of the stored bytes). Header-only so that every user builds it with its
// own compiler and flags.
#pragma once

#include "package/md5_digest.h"
#include "package/package_format.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace mossgate::synthetic {

struct PlainEntry {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Deterministic filler: a small xorshift stream, different for each salt.
inline std::vector<uint8_t> PatternBytes(size_t size, uint32_t salt) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = 0x9E3779B9u ^ (salt * 0x85EBCA6Bu);
    if (x == 0) {
        x = 1;
    }
    for (uint8_t& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return bytes;
}

inline PackageEntry EntryAt(const std::vector<uint8_t>& image, size_t index) {
    PackageEntry entry;
    std::memcpy(&entry, image.data() + index * sizeof(PackageEntry), sizeof(PackageEntry));
    return entry;
}

inline void StoreEntry(std::vector<uint8_t>& image, size_t index, const PackageEntry& entry) {
    std::memcpy(image.data() + index * sizeof(PackageEntry), &entry, sizeof(PackageEntry));
}

// Entries beyond `entries.size()` stay all zero (and so are out of bounds for a
// reader). `tail` zero bytes follow the last payload. Names longer than 127
// characters are cut to fit with their terminator.
inline std::vector<uint8_t> BuildPackage(const std::vector<PlainEntry>& entries, size_t tail = 0) {
    size_t total = PACKAGE_DIRECTORY_BYTES + tail;
    for (const PlainEntry& e : entries) {
        total += e.bytes.size();
    }
    std::vector<uint8_t> image(total, 0);
    WalkState state = StartWalk();
    size_t offset = PACKAGE_DIRECTORY_BYTES;
    for (size_t i = 0; i < entries.size() && i < PACKAGE_ENTRY_COUNT; ++i) {
        const PlainEntry& e = entries[i];
        PackageEntry entry{};
        const size_t nameBytes =
            e.name.size() < PACKAGE_NAME_BYTES ? e.name.size() : PACKAGE_NAME_BYTES - 1;
        std::memcpy(entry.name, e.name.data(), nameBytes);
        entry.dataOffset = static_cast<uint32_t>(offset);
        entry.dataSize = static_cast<uint32_t>(e.bytes.size());
        MD5(e.bytes.data(), e.bytes.size(), entry.plainDigest);
        StoreEntry(image, i, entry);

        uint8_t* payload = image.data() + offset;
        if (!e.bytes.empty()) {
            std::memcpy(payload, e.bytes.data(), e.bytes.size());
        }
        DescramblePayload(state.seed, payload, entry.dataSize, state.key);
        uint8_t storedDigest[MD5_DIGEST_BYTES];
        MD5(payload, e.bytes.size(), storedDigest);
        AdvanceChain(state, storedDigest);
        offset += e.bytes.size();
    }
    return image;
}

// Entries named "file<i>.bin" with pattern payloads of the given sizes.
inline std::vector<PlainEntry> PatternEntries(const std::vector<size_t>& sizes) {
    std::vector<PlainEntry> entries;
    for (size_t i = 0; i < sizes.size(); ++i) {
        entries.push_back({"file" + std::to_string(i) + ".bin",
                           PatternBytes(sizes[i], static_cast<uint32_t>(i + 1))});
    }
    return entries;
}

// Payload sizes of the shipped package's shape: 61 entries, 6,724,772 bytes with the
// directory, the largest payload 914,920 bytes. The rest are varied and include the
// edges of the keystream's key cycle (15, 16, 17) and of the walk's 16 KiB blocks.
inline constexpr std::array<uint32_t, PACKAGE_ENTRY_COUNT> SHIPPED_SHAPE_SIZES = {
    15661,  43600, 3941,  1,      812345, 521888, 23911,  16721,  27875, 776001, 2199,
    15,     29845, 7791,  4938,   27943,  23251,  14792,  149942, 25420, 6121,   309512,
    914920, 16434, 4664,  22102,  104298, 16,     187038, 93941,  41765, 25073,  397880,
    17,     12363, 19806, 228821, 2449,   18819,  102382, 16383,  3836,  41402,  14824,
    169506, 10070, 2898,  16384,  5712,   93290,  145938, 811651, 16385, 64186,  99983,
    17338,  4535,  2996,  32769,  12730,  95939,
};

inline constexpr size_t SHIPPED_SHAPE_IMAGE_BYTES = 6724772;
inline constexpr uint32_t SHIPPED_SHAPE_LARGEST_PAYLOAD = 914920;

constexpr bool ShippedShapeHolds() {
    size_t total = PACKAGE_DIRECTORY_BYTES;
    uint32_t largest = 0;
    size_t largestCount = 0;
    for (uint32_t size : SHIPPED_SHAPE_SIZES) {
        total += size;
        largest = size > largest ? size : largest;
    }
    for (uint32_t size : SHIPPED_SHAPE_SIZES) {
        largestCount += size == largest ? 1 : 0;
    }
    return total == SHIPPED_SHAPE_IMAGE_BYTES && largest == SHIPPED_SHAPE_LARGEST_PAYLOAD &&
           largestCount == 1;
}
static_assert(ShippedShapeHolds());

inline std::vector<uint8_t> BuildShippedShapePackage() {
    std::vector<size_t> sizes(SHIPPED_SHAPE_SIZES.begin(), SHIPPED_SHAPE_SIZES.end());
    return BuildPackage(PatternEntries(sizes));
}

} // namespace mossgate::synthetic
