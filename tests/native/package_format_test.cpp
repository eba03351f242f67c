#include "package/md5_digest.h"
#include "package/package_format.h"
#include "tests/native/support/synthetic_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace mossgate;
using mossgate::synthetic::BuildPackage;
using mossgate::synthetic::EntryAt;
using mossgate::synthetic::PatternBytes;
using mossgate::synthetic::PatternEntries;
using mossgate::synthetic::StoreEntry;

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

char OutcomeLetter(EntryOutcome outcome) {
    switch (outcome) {
    case EntryOutcome::Verified:
        return 'V';
    case EntryOutcome::DigestMismatch:
        return 'M';
    case EntryOutcome::OutOfBounds:
        return 'O';
    }
    return '?';
}

// The reader's whole walk over an image, one letter per entry.
std::string WalkOutcomes(Bytes& image) {
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    if (!CopyPackageDirectory(image.data(), image.size(), directory)) {
        return "refused";
    }
    WalkState state = StartWalk();
    std::string letters;
    for (const PackageEntry& entry : directory) {
        letters += OutcomeLetter(ReadPackageEntry(entry, image.data(), image.size(), state));
    }
    return letters;
}

// The outcomes of the first `n` entries followed by the unused (all-zero) rest.
std::string Expected(const std::string& firstEntries) {
    return firstEntries + std::string(PACKAGE_ENTRY_COUNT - firstEntries.size(), 'O');
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
        const Bytes before(reinterpret_cast<const uint8_t*>(directory),
                           reinterpret_cast<const uint8_t*>(directory) + sizeof(directory));

        EXPECT_EQ(CopyPackageDirectory(image.data(), image.size(), directory), c.copied)
            << c.imageSize;
        const uint8_t* after = reinterpret_cast<const uint8_t*>(directory);
        if (c.copied) {
            EXPECT_EQ(std::memcmp(after, image.data(), PACKAGE_DIRECTORY_BYTES), 0) << c.imageSize;
        } else {
            EXPECT_EQ(Bytes(after, after + sizeof(directory)), before) << c.imageSize;
        }
    }
}

TEST(PackageDirectory, NoImageIsRefused) {
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    std::memset(directory, 0x5A, sizeof(directory));
    EXPECT_FALSE(CopyPackageDirectory(nullptr, 20000, directory));
    EXPECT_EQ(static_cast<uint8_t>(directory[0].name[0]), 0x5A);
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
        {N - 100, 100, true, "a tail"},
        {0xFFFFFFFFu, 1, false, "sum wraps to 0"},
        {0xFFFFFFFFu, 2, false, "sum wraps to 1"},
        {1, 0xFFFFFFFFu, false, "size wraps the sum to 0"},
        {0x80000000u, 0x80000000u, false, "halves wrap to 0"},
        {100, 0xFFFFFFFFu - 50, false, "sum wraps to 49"},
        {0xFFFFFFFFu, 0xFFFFFFFFu, false, "both maximal"},
        {0, 0, false, "empty at the start"},
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

TEST(EntryBounds, LastPayloadEndingAtTheImageEndVerifiesOneByteMoreDoesNot) {
    Bytes image = BuildPackage(PatternEntries({40, 17, 33}));
    EXPECT_EQ(WalkOutcomes(image), Expected("VVV"));

    image = BuildPackage(PatternEntries({40, 17, 33}));
    PackageEntry last = EntryAt(image, 2);
    ASSERT_EQ(last.dataOffset + last.dataSize, image.size());
    last.dataSize += 1;
    StoreEntry(image, 2, last);
    const Bytes before = image;

    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    ASSERT_TRUE(CopyPackageDirectory(image.data(), image.size(), directory));
    WalkState state = StartWalk();
    ASSERT_EQ(ReadPackageEntry(directory[0], image.data(), image.size(), state),
              EntryOutcome::Verified);
    ASSERT_EQ(ReadPackageEntry(directory[1], image.data(), image.size(), state),
              EntryOutcome::Verified);
    const WalkState held = state;
    const Bytes heldImage = image;
    EXPECT_EQ(ReadPackageEntry(directory[2], image.data(), image.size(), state),
              EntryOutcome::OutOfBounds);
    EXPECT_EQ(state.seed, held.seed);
    EXPECT_EQ(KeyBytes(state.key), KeyBytes(held.key));
    EXPECT_EQ(image, heldImage);
}

// ---------------------------------------------------------------- the chain

enum class Damage { PlainDigest, FirstStoredByte, LastStoredByte, OffsetPastEnd, EmptySize };

// Outcome letters against a pattern in which '?' takes M or V.
bool MatchesPattern(const std::string& outcomes, const std::string& pattern) {
    if (outcomes.size() != pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool any = pattern[i] == '?' && (outcomes[i] == 'M' || outcomes[i] == 'V');
        if (!any && outcomes[i] != pattern[i]) {
            return false;
        }
    }
    return true;
}

TEST(WalkChain, OneDamagedEntryAndWhatFollowsIt) {
    // Ten entries, each damaged in turn. A wrong recorded digest fails only its own
    // entry. A changed stored byte changes that entry's digest H, and with it the
    // next entry's key (certain failure: every payload here is at least 16 bytes,
    // so every key byte is used). An out-of-bounds entry leaves the state where it
    // was, so the next entry gets the previous key.
    //
    // The chain forgets: the key is the digest of the previous entry alone, and each
    // step shifts the seed up by 8 bits, so a seed depends only on the first bytes
    // of the last four digests. Three entries after the next one ('?': whether a
    // difference high in the seed reaches the keystream depends on the bytes) the
    // walk is back on the writer's chain and verifies again.
    const struct {
        Damage damage;
        size_t index;
        const char* outcomes;
    } cases[] = {
        {Damage::PlainDigest, 0, "MVVVVVVVVV"},     {Damage::PlainDigest, 5, "VVVVVMVVVV"},
        {Damage::PlainDigest, 9, "VVVVVVVVVM"},     {Damage::FirstStoredByte, 0, "MM???VVVVV"},
        {Damage::FirstStoredByte, 3, "VVVMM???VV"}, {Damage::LastStoredByte, 5, "VVVVVMM???"},
        {Damage::LastStoredByte, 9, "VVVVVVVVVM"},  {Damage::OffsetPastEnd, 0, "OM???VVVVV"},
        {Damage::OffsetPastEnd, 4, "VVVVOM???V"},   {Damage::EmptySize, 2, "VVOM???VVV"},
        {Damage::EmptySize, 9, "VVVVVVVVVO"},
    };
    const std::vector<size_t> sizes = {16, 17, 300, 20000, 31, 1000, 16385, 64, 5000, 100};
    for (const auto& c : cases) {
        Bytes image = BuildPackage(PatternEntries(sizes));
        PackageEntry entry = EntryAt(image, c.index);
        switch (c.damage) {
        case Damage::PlainDigest:
            entry.plainDigest[15] ^= 0x01;
            break;
        case Damage::FirstStoredByte:
            image[entry.dataOffset] ^= 0x80;
            break;
        case Damage::LastStoredByte:
            image[entry.dataOffset + entry.dataSize - 1] ^= 0x01;
            break;
        case Damage::OffsetPastEnd:
            entry.dataOffset = static_cast<uint32_t>(image.size());
            break;
        case Damage::EmptySize:
            entry.dataSize = 0;
            break;
        }
        StoreEntry(image, c.index, entry);
        const std::string outcomes = WalkOutcomes(image);
        EXPECT_TRUE(MatchesPattern(outcomes, Expected(c.outcomes)))
            << "damage " << static_cast<int>(c.damage) << " at entry " << c.index << ": "
            << outcomes.substr(0, sizes.size()) << ", expected " << c.outcomes;
    }
}

TEST(WalkChain, UndamagedPackageRestoresEveryPayload) {
    const std::vector<size_t> sizes = {1, 15, 16, 17, 16383, 16384, 16385, 40000};
    Bytes image = BuildPackage(PatternEntries(sizes));
    ASSERT_EQ(WalkOutcomes(image), Expected("VVVVVVVV"));
    size_t offset = PACKAGE_DIRECTORY_BYTES;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const Bytes plain = PatternBytes(sizes[i], static_cast<uint32_t>(i + 1));
        EXPECT_TRUE(std::equal(plain.begin(), plain.end(), image.begin() + offset)) << i;
        offset += sizes[i];
    }
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
        {17, 1, {0, 16}}, {17, 0, {1}},  {17, 2, {15}},        {17, 15, {2}},
        {16, 0, {0}},     {16, 1, {15}}, {16, 15, {1}},        {1, 1, {0}},
        {1, 0, {}},       {2, 2, {0}},   {33, 1, {0, 16, 32}},
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

// A byte-level reference for this one check, with either kind of shift.
Bytes ReferenceKeystream(uint32_t seed, uint32_t size, bool signPropagating) {
    Bytes out;
    uint32_t a = seed;
    for (uint32_t c = size; c > 0; --c) {
        const uint32_t t = a + c;
        const uint32_t q = t * t;
        out.push_back(static_cast<uint8_t>((q & 0xFF) + ((q >> 8) & 0xFF) + INITIAL_KEY[c % 16]));
        a = q >> 8;
        if (signPropagating && (q & 0x80000000u) != 0) {
            a |= 0xFF000000u;
        }
    }
    return out;
}

TEST(Keystream, TheRunningValueShiftPropagatesTheSignBit) {
    // Seed 0xB503 and size 4: the first t is 0xB507 and its square 0x8002E631 has bit
    // 31 set, so the running value becomes 0xFF8002E6 (a logical shift: 0x008002E6).
    // The difference sits in bits 24-31, which the next square carries only into its
    // bits 25 and up; the keystream uses bits 0-15, so the two shifts agree on bytes 1
    // and 2 and first part at byte 3.
    const uint32_t seed = 0xB503;
    const uint32_t firstT = seed + 4;
    ASSERT_EQ(firstT * firstT, 0x8002E631u);

    const Bytes arithmetic = ReferenceKeystream(seed, 4, true);
    const Bytes logical = ReferenceKeystream(seed, 4, false);
    EXPECT_EQ(arithmetic, FromHex("dbe0a174"));
    EXPECT_EQ(logical, FromHex("dbe0a1e4"));

    const Bytes actual = KeystreamOverZeros(seed, 4, INITIAL_KEY);
    EXPECT_EQ(actual, arithmetic);
    EXPECT_NE(actual[3], logical[3]);

    // A longer payload from the same kind of start: every byte follows the
    // sign-propagating form, and the logical form parts from it.
    const uint32_t longSeed = 0xB507 - 16;
    EXPECT_EQ(KeystreamOverZeros(longSeed, 16, INITIAL_KEY),
              ReferenceKeystream(longSeed, 16, true));
    EXPECT_NE(KeystreamOverZeros(longSeed, 16, INITIAL_KEY),
              ReferenceKeystream(longSeed, 16, false));
}

TEST(Keystream, DescramblingTwiceRestoresThePayload) {
    for (uint32_t size : {1u, 2u, 15u, 16u, 17u, 16384u, 16385u, 40000u}) {
        const Bytes original = PatternBytes(size, size);
        Bytes bytes = original;
        DescramblePayload(0x12345678, bytes.data(), size, INITIAL_KEY);
        if (size >= 16) {
            EXPECT_NE(bytes, original) << size;
        }
        DescramblePayload(0x12345678, bytes.data(), size, INITIAL_KEY);
        EXPECT_EQ(bytes, original) << size;
    }
}

TEST(Keystream, BlocksOfAnySplitMatchOneCall) {
    const struct {
        uint32_t size;
        std::vector<size_t> counts; // the last block takes what is left
    } cases[] = {
        {17, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {17, {0, 16, 0}},
        {17, {15, 1}},
        {40000, {0, 7, 0, 9, 16384}},
        {40000, {16384, 16384}},
        {40000, {39999}},
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
        ApplyKeystream(stream, blocks.data() + done, c.size - done);
        EXPECT_EQ(stream.remaining, 0u);
        EXPECT_EQ(blocks, whole) << c.size << " in " << c.counts.size() + 1 << " blocks";
    }
}

TEST(Keystream, NothingToDoForAnEmptyPayload) {
    uint8_t canary = 0x42;
    DescramblePayload(INITIAL_SEED, &canary, 0, INITIAL_KEY);
    EXPECT_EQ(canary, 0x42);
    DescramblePayload(INITIAL_SEED, nullptr, 16, INITIAL_KEY);
}

// ---------------------------------------------------------------- known answers

TEST(KnownAnswers, KeystreamOverZeroBytes) {
    for (const KeystreamVector& v : kKeystreamVectors) {
        EXPECT_EQ(KeystreamOverZeros(v.seed, v.size, INITIAL_KEY), FromHex(v.hex))
            << std::hex << v.seed << " size " << std::dec << v.size;
    }
}

TEST(KnownAnswers, WalkStateAfterFixedEntries) {
    size_t total = PACKAGE_DIRECTORY_BYTES;
    for (const WalkVector& v : kWalkVectors) {
        total += v.size;
    }
    Bytes image(total, 0);
    size_t offset = PACKAGE_DIRECTORY_BYTES;
    size_t e = 0;
    for (const WalkVector& v : kWalkVectors) {
        PackageEntry entry{};
        std::snprintf(entry.name, sizeof(entry.name), "vector%zu", e);
        entry.dataOffset = static_cast<uint32_t>(offset);
        entry.dataSize = v.size;
        const Bytes digest = FromHex(v.plainDigestHex);
        std::memcpy(entry.plainDigest, digest.data(), MD5_DIGEST_BYTES);
        StoreEntry(image, e, entry);
        for (size_t i = 0; i < v.size; ++i) {
            image[offset + i] = static_cast<uint8_t>(7 * i + 31 * e + 1);
        }
        offset += v.size;
        ++e;
    }

    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    ASSERT_TRUE(CopyPackageDirectory(image.data(), image.size(), directory));
    WalkState state = StartWalk();
    e = 0;
    for (const WalkVector& v : kWalkVectors) {
        EXPECT_EQ(ReadPackageEntry(directory[e], image.data(), image.size(), state),
                  EntryOutcome::Verified)
            << e;
        EXPECT_EQ(state.seed, v.seedAfter) << e;
        EXPECT_EQ(KeyBytes(state.key), FromHex(v.keyAfterHex)) << e;
        ++e;
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

TEST(EntryNames, WhatStaysBelowTheInstallFolder) {
    const struct {
        const char* name;
        bool contained;
    } cases[] = {
        {"file.txt", true},
        {"sub\\file.txt", true},
        {"sub/file.txt", true},
        {"a..b", true},
        {"..a", true},
        {"a..", false}, // Windows trims trailing dots: a trap, refused
        {"...", false}, // would name the folder itself
        {".. ", false}, // trimmed, this is ".."
        {".. \\x", false},
        {"sub. \\x", false},
        {"a.b.", false},
        {"sub\\.\\x", false},
        {"a\\\\b", true}, // an empty component names nothing new
        {".hidden", true},
        {"a\\b\\c\\d.txt", true},
        {"", false},
        {"\\x", false},
        {"/x", false},
        {"\\\\server\\share\\x", false},
        {"C:x", false},
        {"C:\\x", false},
        {"x:stream", false},
        {"dir\\file.txt:stream", false},
        {"..", false},
        {"..\\x", false},
        {"../x", false},
        {"a\\..\\b", false},
        {"a/../b", false},
        {"a\\../b", false},
        {"a/..\\b", false},
        {"a\\..", false},
        {"a/..", false},
    };
    for (const auto& c : cases) {
        // Whatever follows the terminator must not count: fill it with what would
        // refuse the name (':' and separators) or make a ".." of a trailing ".".
        for (char fill : {':', '.', '\\'}) {
            const auto entry = EntryNamed(c.name, fill);
            EXPECT_EQ(IsContainedRelativeName(*entry), c.contained)
                << '"' << c.name << "\" fill " << fill;
        }
    }
}

TEST(EntryNames, TheTerminatorMustBeInsideTheField) {
    const std::string longest(127, 'n');
    EXPECT_TRUE(IsContainedRelativeName(*EntryNamed(longest, 'x')));
    EXPECT_NE(TerminatedEntryName(*EntryNamed(longest, 'x')), nullptr);

    // 127 characters whose last component is "..": the scan reaches the end.
    const std::string longestParent = std::string(124, 'n') + "\\..";
    EXPECT_FALSE(IsContainedRelativeName(*EntryNamed(longestParent, 'x')));

    // 128 characters, no terminator: refused without reading past the entry.
    const std::string unterminated(128, 'n');
    const auto entry = EntryNamed(unterminated, 'x');
    EXPECT_EQ(TerminatedEntryName(*entry), nullptr);
    EXPECT_FALSE(IsContainedRelativeName(*entry));

    // A zero byte right after the field (the low byte of dataOffset) is no
    // terminator of the name.
    entry->dataOffset = 0x00010100;
    EXPECT_EQ(TerminatedEntryName(*entry), nullptr);
    EXPECT_FALSE(IsContainedRelativeName(*entry));
}

} // namespace
