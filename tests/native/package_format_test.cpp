#include "package/portable/md5_digest.h"
#include "package/portable/package_format.h"
#include "tests/native/support/package_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

#include "tests/native/keystream_vectors.inc"

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const char* hex) {
    Bytes bytes;
    for (size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(std::string(hex + i, 2), nullptr, 16)));
    }
    return bytes;
}

Bytes KeyBytes(const uint8_t key[KEY_BYTES]) {
    return Bytes(key, key + KEY_BYTES);
}

Bytes Digest(const uint8_t* bytes, size_t size) {
    uint8_t digest[MD5_DIGEST_BYTES];
    MD5(bytes, size, digest);
    return Bytes(digest, digest + MD5_DIGEST_BYTES);
}

// The reader's whole walk over an image, one letter per entry: Verified, digest
// Mismatch, Out of bounds.
std::string WalkOutcomes(Bytes& image) {
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    if (!CopyPackageDirectory(image.data(), image.size(), directory)) {
        return "refused";
    }
    WalkState state = StartWalk();
    std::string letters;
    for (const PackageEntry& entry : directory) {
        switch (ReadPackageEntry(entry, image.data(), image.size(), state)) {
        case EntryOutcome::Verified:
            letters += 'V';
            break;
        case EntryOutcome::DigestMismatch:
            letters += 'M';
            break;
        case EntryOutcome::OutOfBounds:
            letters += 'O';
            break;
        }
    }
    return letters;
}

// The outcomes of the first entries; every later entry verifies.
std::string Expected(const std::string& firstEntries) {
    return firstEntries + std::string(PACKAGE_ENTRY_COUNT - firstEntries.size(), 'V');
}

Bytes KeystreamOverZeros(uint32_t seed, uint32_t size, const uint8_t key[KEY_BYTES]) {
    Bytes bytes(size, 0);
    DescramblePayload(seed, bytes.data(), size, key);
    return bytes;
}

// ---------------------------------------------------------------- directory

TEST(PackageDirectory, NeedsMoreBytesThanTheDirectory) {
    const struct {
        size_t imageSize;
        bool copied;
    } cases[] = {{1, false}, {9515, false}, {9516, false}, {9517, true}, {20000, true}};
    for (const auto& c : cases) {
        const Bytes image = PatternBytes(c.imageSize, 7);
        PackageEntry directory[PACKAGE_ENTRY_COUNT];
        std::memset(directory, 0xA5, sizeof(directory));
        const Bytes before(sizeof(directory), 0xA5);
        EXPECT_EQ(CopyPackageDirectory(image.data(), image.size(), directory), c.copied)
            << c.imageSize;
        const uint8_t* after = reinterpret_cast<const uint8_t*>(directory);
        if (c.copied) {
            EXPECT_EQ(std::memcmp(after, image.data(), PACKAGE_DIRECTORY_BYTES), 0) << c.imageSize;
        } else {
            EXPECT_EQ(Bytes(after, after + sizeof(directory)), before) << c.imageSize;
        }
        EXPECT_FALSE(CopyPackageDirectory(nullptr, 20000, directory));
    }
}

// ---------------------------------------------------------------- bounds

TEST(EntryBounds, EdgesWithoutWrapAround) {
    constexpr uint32_t N = 9616; // the image size
    const struct {
        uint32_t offset;
        uint32_t size;
        bool inBounds;
        const char* what;
    } cases[] = {
        {N - 1, 1, true, "ends at the last byte"},
        {N - 1, 2, false, "one byte further"},
        {N, 1, false, "starts at the end"},
        {0, N, true, "the whole image"},
        {0, N + 1, false, "the whole image and one"},
        {0xFFFFFFFFu, 2, false, "sum wraps to 1"},
        {1, 0xFFFFFFFFu, false, "size wraps the sum to 0"},
        {0x80000000u, 0x80000000u, false, "halves wrap to 0"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, false, "both maximal"},
        {5000, 0, false, "empty inside"},
        {N, 0, false, "empty at the end"},
    };
    for (const auto& c : cases) {
        PackageEntry entry{};
        entry.dataOffset = c.offset;
        entry.dataSize = c.size;
        EXPECT_EQ(EntryInBounds(entry, N), c.inBounds) << c.what;

        // The image is a heap block of exactly N bytes: ASan sees any byte beyond.
        Bytes image = PatternBytes(N, 3);
        const Bytes original = image;
        WalkState state = StartWalk();
        const EntryOutcome outcome = ReadPackageEntry(entry, image.data(), image.size(), state);
        if (!c.inBounds) {
            EXPECT_EQ(outcome, EntryOutcome::OutOfBounds) << c.what;
            EXPECT_EQ(state.seed, INITIAL_SEED) << c.what;
            EXPECT_EQ(KeyBytes(state.key), KeyBytes(INITIAL_KEY)) << c.what;
            EXPECT_EQ(image, original) << c.what << ": no byte may be touched";
            continue;
        }
        EXPECT_NE(outcome, EntryOutcome::OutOfBounds) << c.what;
        EXPECT_EQ(KeyBytes(state.key), Digest(original.data() + c.offset, c.size)) << c.what;
        EXPECT_NE(state.seed, INITIAL_SEED) << c.what;
        EXPECT_TRUE(std::equal(image.begin(), image.begin() + c.offset, original.begin()))
            << c.what;
        EXPECT_TRUE(std::equal(image.begin() + c.offset + c.size, image.end(),
                               original.begin() + c.offset + c.size))
            << c.what;
    }
}

// ---------------------------------------------------------------- the chain

// Outcome letters against a pattern in which '?' takes M or V.
bool MatchesPattern(const std::string& outcomes, const std::string& pattern) {
    return std::equal(outcomes.begin(), outcomes.end(), pattern.begin(), pattern.end(),
                      [](char o, char p) { return o == p || (p == '?' && o != 'O'); });
}

TEST(WalkChain, OneDamagedEntryAndWhatFollowsIt) {
    // A wrong recorded digest fails only its own entry. A changed stored byte changes
    // that entry's digest H, and with it the next entry's key (certain failure: every
    // payload here is at least 16 bytes, so every key byte is used). An out-of-bounds
    // entry leaves the state where it was, so the next entry gets the previous key.
    //
    // The chain forgets: the key is the digest of the previous entry alone, and each
    // step shifts the seed up by 8 bits, so a seed depends only on the first bytes
    // of the last four digests. Three entries after the next one ('?': whether a
    // difference high in the seed reaches the keystream depends on the bytes) the
    // walk is back on the writer's chain and verifies again.
    using Damage = void (*)(Bytes&, PackageEntry&);
    const Damage plainDigest = [](Bytes&, PackageEntry& e) { e.plainDigest[15] ^= 0x01; };
    const Damage firstStoredByte = [](Bytes& image, PackageEntry& e) {
        image[e.dataOffset] ^= 0x80;
    };
    const Damage lastStoredByte = [](Bytes& image, PackageEntry& e) {
        image[e.dataOffset + e.dataSize - 1] ^= 0x01;
    };
    const Damage offsetPastEnd = [](Bytes& image, PackageEntry& e) {
        e.dataOffset = static_cast<uint32_t>(image.size());
    };
    const Damage emptySize = [](Bytes&, PackageEntry& e) { e.dataSize = 0; };
    const struct {
        Damage damage;
        size_t index;
        const char* outcomes;
    } cases[] = {
        {plainDigest, 0, "M"},
        {plainDigest, 60, "VVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVVM"},
        {firstStoredByte, 0, "MM???"},
        {firstStoredByte, 3, "VVVMM???"},
        {lastStoredByte, 9, "VVVVVVVVVMM???"},
        {offsetPastEnd, 4, "VVVVOM???"},
        {emptySize, 2, "VVOM???"},
    };
    const std::vector<size_t> sizes = {16, 17, 300, 20000, 31, 1000, 16385, 64, 5000, 100};
    for (const auto& c : cases) {
        Bytes image = WritePackage(PatternFiles(sizes));
        PackageEntry entry = EntryAt(image, c.index);
        c.damage(image, entry);
        StoreEntry(image, c.index, entry);
        const std::string outcomes = WalkOutcomes(image);
        EXPECT_TRUE(MatchesPattern(outcomes, Expected(c.outcomes)))
            << "entry " << c.index << ": " << outcomes << ", expected " << c.outcomes;
    }
}

TEST(WalkChain, UndamagedPackageRestoresEveryPayloadToItsLastByte) {
    const std::vector<PlainFile> files = PatternFiles({1, 15, 16, 17, 16383, 16384, 16385, 40000});
    const Bytes pristine = WritePackage(files);
    Bytes image = pristine;
    ASSERT_EQ(WalkOutcomes(image), Expected(""));
    size_t offset = PACKAGE_DIRECTORY_BYTES;
    for (const PlainFile& file : files) {
        EXPECT_TRUE(std::equal(file.bytes.begin(), file.bytes.end(), image.begin() + offset))
            << file.name;
        offset += file.bytes.size();
    }
    EXPECT_EQ(offset, image.size());

    // The last payload ends at the image's end; one byte more is out of bounds.
    image = pristine;
    PackageEntry last = EntryAt(image, PACKAGE_ENTRY_COUNT - 1);
    last.dataSize += 1;
    StoreEntry(image, PACKAGE_ENTRY_COUNT - 1, last);
    EXPECT_EQ(WalkOutcomes(image), std::string(PACKAGE_ENTRY_COUNT - 1, 'V') + "O");
}

// ---------------------------------------------------------------- the keystream

TEST(Keystream, EachKeyByteReachesTheBytesWhoseCounterSelectsIt) {
    // The counter of byte j is size - j, so the last byte always uses key byte 1
    // and the first byte uses key byte size mod 16.
    const struct {
        uint32_t size;
        size_t keyIndex;
        std::vector<size_t> changed;
    } cases[] = {
        {17, 1, {0, 16}}, {17, 0, {1}}, {17, 15, {2}}, {16, 0, {0}},
        {16, 1, {15}},    {1, 1, {0}},  {1, 0, {}},    {33, 1, {0, 16, 32}},
    };
    for (const auto& c : cases) {
        const Bytes plain = KeystreamOverZeros(INITIAL_SEED, c.size, INITIAL_KEY);
        uint8_t key[KEY_BYTES];
        std::memcpy(key, INITIAL_KEY, KEY_BYTES);
        key[c.keyIndex] = static_cast<uint8_t>(key[c.keyIndex] + 1);
        const Bytes moved = KeystreamOverZeros(INITIAL_SEED, c.size, key);

        std::vector<size_t> changed;
        for (size_t j = 0; j < c.size; ++j) {
            if (moved[j] != plain[j]) {
                changed.push_back(j);
                // The key byte is added, not xored: one more in the key, one more out.
                EXPECT_EQ(static_cast<uint8_t>(moved[j] - plain[j]), 1)
                    << "size " << c.size << " byte " << j;
            }
        }
        EXPECT_EQ(changed, c.changed) << "size " << c.size << ", key byte " << c.keyIndex;
    }
}

// That scrambling twice restores a payload, the undamaged walk shows: the writer
// scrambles with the same call.
TEST(Keystream, NothingIsDoneForNone) {
    uint8_t canary = 0x42;
    DescramblePayload(INITIAL_SEED, &canary, 0, INITIAL_KEY);
    EXPECT_EQ(canary, 0x42);
    DescramblePayload(INITIAL_SEED, nullptr, 16, INITIAL_KEY);
}

TEST(Keystream, BlocksOfAnySplitMatchOneCall) {
    const struct {
        uint32_t size;
        std::vector<size_t> counts; // the last block takes what is left
    } cases[] = {
        {17, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {17, {0, 16, 0}},
        {40000, {0, 7, 0, 9, 16384}},
        {40000, {1, 4095, 4096, 4096}},
    };
    for (const auto& c : cases) {
        const Bytes plain = PatternBytes(c.size, 11);
        Bytes whole = plain;
        DescramblePayload(INITIAL_SEED, whole.data(), c.size, INITIAL_KEY);

        Bytes blocks = plain;
        Keystream stream = StartKeystream(INITIAL_SEED, c.size, INITIAL_KEY);
        size_t done = 0;
        for (size_t count : c.counts) {
            ApplyKeystream(stream, blocks.data() + done, count);
            done += count;
            EXPECT_EQ(stream.remaining, c.size - done);
        }
        // More than is left: only what is left is applied.
        ApplyKeystream(stream, blocks.data() + done, c.size - done + 100);
        EXPECT_EQ(stream.remaining, 0u);
        EXPECT_EQ(blocks, whole) << c.size << " in " << c.counts.size() + 1 << " blocks";
    }
}

// ---------------------------------------------------------------- known answers

TEST(KnownAnswers, KeystreamOverZeroBytes) {
    for (const KeystreamVector& v : kKeystreamVectors) {
        EXPECT_EQ(KeystreamOverZeros(v.seed, v.size, INITIAL_KEY), FromHex(v.hex))
            << std::hex << v.seed << " size " << std::dec << v.size;
    }
}

TEST(KnownAnswers, WalkStateAfterFixedEntries) {
    Bytes image(PACKAGE_DIRECTORY_BYTES, 0);
    std::vector<PackageEntry> entries;
    for (const WalkVector& v : kWalkVectors) {
        PackageEntry entry{};
        entry.dataOffset = static_cast<uint32_t>(image.size());
        entry.dataSize = v.size;
        std::memcpy(entry.plainDigest, FromHex(v.plainDigestHex).data(), MD5_DIGEST_BYTES);
        for (size_t i = 0; i < v.size; ++i) {
            image.push_back(static_cast<uint8_t>(7 * i + 31 * entries.size() + 1));
        }
        entries.push_back(entry);
    }
    WalkState state = StartWalk();
    for (size_t e = 0; e < entries.size(); ++e) {
        EXPECT_EQ(ReadPackageEntry(entries[e], image.data(), image.size(), state),
                  EntryOutcome::Verified)
            << e;
        EXPECT_EQ(state.seed, kWalkVectors[e].seedAfter) << e;
        EXPECT_EQ(KeyBytes(state.key), FromHex(kWalkVectors[e].keyAfterHex)) << e;
    }
}

// ---------------------------------------------------------------- names

// The entry is the last thing in its heap block, its name followed by non-zero
// fields: a scan that runs past the name finds no terminator before ASan stops it.
std::unique_ptr<PackageEntry> EntryNamed(const std::string& name, char fill) {
    auto entry = std::make_unique<PackageEntry>();
    std::memset(entry.get(), 0xEE, sizeof(PackageEntry));
    std::memset(entry->name, fill, PACKAGE_NAME_BYTES);
    std::memcpy(entry->name, name.data(),
                name.size() < PACKAGE_NAME_BYTES ? name.size() : PACKAGE_NAME_BYTES);
    if (name.size() < PACKAGE_NAME_BYTES) {
        entry->name[name.size()] = '\0';
    }
    return entry;
}

TEST(EntryNames, TheTerminatorMustBeInsideTheField) {
    // The path rule itself is tested with the path text; here, that the entry's
    // whole field is what it reads.
    const std::string longest(127, 'n');
    EXPECT_TRUE(IsContainedRelativeName(*EntryNamed(longest, 'x')));
    EXPECT_TRUE(IsContainedRelativeName(*EntryNamed("sub\\file.txt", ':')));
    EXPECT_FALSE(IsContainedRelativeName(*EntryNamed(std::string(119, 'n') + "\\NUL.txt", 'x')));

    // 128 characters, no terminator: refused without reading past the entry, even
    // with a zero byte right after the field (the low byte of dataOffset).
    const auto entry = EntryNamed(std::string(128, 'n'), 'x');
    entry->dataOffset = 0x00010100;
    EXPECT_EQ(TerminatedEntryName(*entry), nullptr);
    EXPECT_FALSE(IsContainedRelativeName(*entry));
}

} // namespace
