#include "package/portable/package_format.h"

#include "common/portable/path_text.h"
#include "package/portable/md5_digest.h"

#include <cstring>

namespace mossgate {

const uint8_t INITIAL_KEY[KEY_BYTES] = {0x6B, 0x1E, 0xA3, 0x57, 0xC4, 0x09, 0x92, 0xDD,
                                        0x35, 0x70, 0xE8, 0x2F, 0x4A, 0xB6, 0x13, 0x8C};

namespace {

// Small enough that a block stays in the first-level cache between the digest of
// the stored bytes, the keystream and the digest of the plain bytes.
constexpr size_t WALK_BLOCK_BYTES = 16 * 1024;

} // namespace

WalkState StartWalk() {
    WalkState state{};
    state.seed = INITIAL_SEED;
    std::memcpy(state.key, INITIAL_KEY, KEY_BYTES);
    return state;
}

Keystream StartKeystream(uint32_t seed, uint32_t size, const uint8_t key[KEY_BYTES]) {
    return Keystream{seed, size, key};
}

void ApplyKeystream(Keystream& stream, uint8_t* bytes, size_t count) {
    if (count > stream.remaining) {
        count = stream.remaining;
    }
    uint32_t running = stream.running;
    uint32_t counter = stream.remaining;
    const uint8_t* key = stream.key;
    for (size_t j = 0; j < count; ++j, --counter) {
        const uint32_t t = running + counter;
        const uint32_t q = t * t;
        const uint8_t k =
            static_cast<uint8_t>((q & 0xFFu) + ((q >> 8) & 0xFFu) + key[counter % 16]);
        bytes[j] ^= k;
        // The shift propagates the sign bit; an unsigned shift gives another keystream.
        running = static_cast<uint32_t>(static_cast<int32_t>(q) >> 8);
    }
    stream.running = running;
    stream.remaining = counter;
}

void DescramblePayload(uint32_t seed, uint8_t* bytes, uint32_t size, const uint8_t key[KEY_BYTES]) {
    if (bytes == nullptr || size == 0) {
        return;
    }
    Keystream stream = StartKeystream(seed, size, key);
    ApplyKeystream(stream, bytes, size);
}

void AdvanceChain(WalkState& state, const uint8_t storedDigest[MD5_DIGEST_BYTES]) {
    std::memcpy(state.key, storedDigest, KEY_BYTES);
    state.seed = ((state.seed * state.seed) << 8) | storedDigest[0];
}

bool EntryInBounds(const PackageEntry& entry, size_t imageSize) {
    const uint64_t end = static_cast<uint64_t>(entry.dataOffset) + entry.dataSize;
    return entry.dataSize != 0 && end <= imageSize;
}

EntryOutcome ReadPackageEntry(const PackageEntry& givenEntry, uint8_t* image, size_t imageSize,
                              WalkState& state) {
    // The entry may lie inside the bytes about to be descrambled (a directory entry
    // read in place whose payload overlaps the directory): work on a copy of it.
    const PackageEntry entry = givenEntry;
    if (image == nullptr || !EntryInBounds(entry, imageSize)) {
        return EntryOutcome::OutOfBounds;
    }
    uint8_t* payload = image + entry.dataOffset;
    Md5Stream storedDigestStream;
    Md5Stream plainDigestStream;
    Keystream stream = StartKeystream(state.seed, entry.dataSize, state.key);
    for (size_t done = 0; done < entry.dataSize;) {
        const size_t left = entry.dataSize - done;
        const size_t count = left < WALK_BLOCK_BYTES ? left : WALK_BLOCK_BYTES;
        storedDigestStream.Update(payload + done, count);
        ApplyKeystream(stream, payload + done, count);
        plainDigestStream.Update(payload + done, count);
        done += count;
    }
    uint8_t storedDigest[MD5_DIGEST_BYTES];
    uint8_t plainDigest[MD5_DIGEST_BYTES];
    storedDigestStream.Finish(storedDigest);
    plainDigestStream.Finish(plainDigest);
    AdvanceChain(state, storedDigest);
    return std::memcmp(plainDigest, entry.plainDigest, MD5_DIGEST_BYTES) == 0
               ? EntryOutcome::Verified
               : EntryOutcome::DigestMismatch;
}

const char* TerminatedEntryName(const PackageEntry& entry) {
    return std::memchr(entry.name, 0, PACKAGE_NAME_BYTES) != nullptr ? entry.name : nullptr;
}

bool IsContainedRelativeName(const PackageEntry& entry) {
    return IsSafeRelativePath(entry.name, PACKAGE_NAME_BYTES);
}

bool CopyPackageDirectory(const uint8_t* image, size_t imageSize,
                          PackageEntry (&directory)[PACKAGE_ENTRY_COUNT]) {
    if (image == nullptr || imageSize <= PACKAGE_DIRECTORY_BYTES) {
        return false;
    }
    std::memcpy(directory, image, PACKAGE_DIRECTORY_BYTES);
    return true;
}

} // namespace mossgate
