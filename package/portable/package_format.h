// The embedded package: a 9516-byte directory of 61 entries followed by payloads,
// each scrambled by a keystream chained from entry to entry and verified by MD5.
// Platform-free: shared by the program, mossgate-package and the tests.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace mossgate {

static_assert(std::endian::native == std::endian::little,
              "the package's integers are little-endian and read in place");

constexpr size_t PACKAGE_ENTRY_COUNT = 61;
constexpr size_t PACKAGE_NAME_BYTES = 128;
constexpr size_t MD5_DIGEST_BYTES = 16;
constexpr size_t KEY_BYTES = 16;

struct PackageEntry {
    char name[PACKAGE_NAME_BYTES];
    uint32_t dataOffset;
    uint32_t dataSize;
    uint8_t plainDigest[MD5_DIGEST_BYTES];
    uint32_t reserved;
};

static_assert(sizeof(PackageEntry) == 156);
static_assert(offsetof(PackageEntry, name) == 0);
static_assert(offsetof(PackageEntry, dataOffset) == 128);
static_assert(offsetof(PackageEntry, dataSize) == 132);
static_assert(offsetof(PackageEntry, plainDigest) == 136);
static_assert(offsetof(PackageEntry, reserved) == 152);

constexpr size_t PACKAGE_DIRECTORY_BYTES = PACKAGE_ENTRY_COUNT * sizeof(PackageEntry);
static_assert(PACKAGE_DIRECTORY_BYTES == 9516);

constexpr uint32_t RESERVED_DRIVER_C = 0x0047282C; // driver C's entries and the readme
constexpr uint32_t RESERVED_DRIVER_D = 0x0047284C;

constexpr uint32_t INITIAL_SEED = 0x2B8E14D7;
extern const uint8_t INITIAL_KEY[KEY_BYTES];

// Where a walk stands between two entries.
struct WalkState {
    uint32_t seed;
    uint8_t key[KEY_BYTES];
};

WalkState StartWalk();

// Keystream position inside one payload, so that a payload can be handled in blocks.
struct Keystream {
    uint32_t running;   // the running value a
    uint32_t remaining; // the counter c of the next byte: size - position
    const uint8_t* key;
};

Keystream StartKeystream(uint32_t seed, uint32_t size, const uint8_t key[KEY_BYTES]);
// Applies the next `count` bytes of the keystream in place; count <= stream.remaining.
void ApplyKeystream(Keystream& stream, uint8_t* bytes, size_t count);

// Scrambles or descrambles `size` bytes in place: the operation undoes itself.
void DescramblePayload(uint32_t seed, uint8_t* bytes, uint32_t size, const uint8_t key[KEY_BYTES]);

// One step of the chain, from the digest H of an entry's stored bytes.
void AdvanceChain(WalkState& state, const uint8_t storedDigest[MD5_DIGEST_BYTES]);

enum class EntryOutcome { OutOfBounds, DigestMismatch, Verified };

// Bounds without 32-bit wrap-around. An empty payload counts as out of bounds:
// a writer never makes one, and no byte of the image is touched for it.
bool EntryInBounds(const PackageEntry& entry, size_t imageSize);

// Verifies and descrambles one entry in place and advances the walk (not on
// OutOfBounds). Entries must be read in directory order, once each.
EntryOutcome ReadPackageEntry(const PackageEntry& entry, uint8_t* image, size_t imageSize,
                              WalkState& state);

// The entry's name when it is terminated within its field, else null.
const char* TerminatedEntryName(const PackageEntry& entry);

// A name that names a file below the install folder: the path rule of
// common/portable/path_text.h (IsSafeRelativePath) over the whole 128-byte field.
bool IsContainedRelativeName(const PackageEntry& entry);

// Reads the directory at the start of an image; false when the image is 9516 bytes
// or smaller (the directory is then left as it was).
bool CopyPackageDirectory(const uint8_t* image, size_t imageSize,
                          PackageEntry (&directory)[PACKAGE_ENTRY_COUNT]);

} // namespace mossgate
