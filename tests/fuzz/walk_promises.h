// The package walk's promises, checked over any bytes taken as a package image
// (a broken promise aborts, which the fuzzer reports): the directory copy and the
// whole walk of 61 entries on a writable copy of exactly the image's size.
//   - the directory is refused exactly when the image is no longer than it;
//   - an out-of-bounds entry leaves the state and every byte of the image alone;
//   - an entry in bounds changes only its own bytes, into what DescramblePayload
//     makes of them with the state the walk held; the key becomes the digest of
//     the stored bytes; Verified exactly when the plain bytes match the record;
//   - a name accepted as contained is terminated inside its field.
#pragma once

#include "package/portable/md5_digest.h"
#include "package/portable/package_format.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace mossgate::fuzz {

inline void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

inline void CheckWalkPromises(const uint8_t* data, size_t size) {
    // Exactly as large as the input, on the heap: ASan sees a step past its end.
    std::vector<uint8_t> image(data, data + size);
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    const bool copied = CopyPackageDirectory(image.data(), image.size(), directory);
    Require(copied == (size > PACKAGE_DIRECTORY_BYTES));
    if (!copied) {
        return;
    }

    std::vector<uint8_t> expected = image; // what the image must look like
    WalkState state = StartWalk();
    for (const PackageEntry& entry : directory) {
        if (IsContainedRelativeName(entry)) {
            Require(TerminatedEntryName(entry) != nullptr);
        }

        const WalkState before = state;
        const EntryOutcome outcome = ReadPackageEntry(entry, image.data(), image.size(), state);
        if (outcome == EntryOutcome::OutOfBounds) {
            Require(!EntryInBounds(entry, image.size()));
            Require(state.seed == before.seed);
            Require(std::memcmp(state.key, before.key, KEY_BYTES) == 0);
        } else {
            Require(EntryInBounds(entry, image.size()));
            uint8_t* payload = expected.data() + entry.dataOffset;
            uint8_t storedDigest[MD5_DIGEST_BYTES];
            MD5(payload, entry.dataSize, storedDigest);
            DescramblePayload(before.seed, payload, entry.dataSize, before.key);
            uint8_t plainDigest[MD5_DIGEST_BYTES];
            MD5(payload, entry.dataSize, plainDigest);
            Require(std::memcmp(state.key, storedDigest, KEY_BYTES) == 0);
            const bool matches = std::memcmp(plainDigest, entry.plainDigest, MD5_DIGEST_BYTES) == 0;
            Require(matches == (outcome == EntryOutcome::Verified));
        }
        Require(std::memcmp(image.data(), expected.data(), size) == 0);
    }
}

} // namespace mossgate::fuzz
