// The product version read from a VS_VERSIONINFO block built here, damaged one field
// at a time. Each block is read from a heap copy of exactly its size, so that
// AddressSanitizer stops any read past it.
#include "common/portable/version_resource.h"
#include "tests/native/support/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace mossgate;

using mossgate::testing::Put16;
using mossgate::testing::Put32;

constexpr uint32_t FIXED = 40;

// As a resource compiler lays it out: header, key, padding, the fixed part with a
// file version unlike the product version, then room where the string tables follow.
std::vector<uint8_t> VersionBlock() {
    std::vector<uint8_t> bytes(FIXED + 52 + 64, 0);
    Put16(bytes, 0, static_cast<uint32_t>(bytes.size()));
    Put16(bytes, 2, 52);
    const char* key = "VS_VERSION_INFO";
    for (size_t i = 0; i <= std::strlen(key); ++i) {
        Put16(bytes, 6 + 2 * i, static_cast<uint8_t>(key[i]));
    }
    Put32(bytes, FIXED, 0xFEEF04BD);
    Put32(bytes, FIXED + 4, 0x00010000);
    Put32(bytes, FIXED + 8, 0x00090008); // file version 9.8.7.6
    Put32(bytes, FIXED + 12, 0x00070006);
    Put32(bytes, FIXED + 16, 0x00020001); // product version 2.1.5.2
    Put32(bytes, FIXED + 20, 0x00050002);
    return bytes;
}

std::string Read(const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> exact(bytes);
    FourPartVersion version = {{7, 7, 7, 7}};
    if (!ReadProductVersion(exact.empty() ? nullptr : exact.data(), exact.size(), version)) {
        return "not read";
    }
    char text[32];
    EXPECT_TRUE(FormatVersion(version, text, sizeof(text)));
    return text;
}

TEST(VersionResource, TheProductVersionAndEachDamageRefused) {
    const struct {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* expected;
    } cases[] = {
        {"intact", [](auto&) {}, "2.1.5.2"},
        {"exactly the fixed part",
         [](auto& b) {
             b.resize(FIXED + 52);
             Put16(b, 0, FIXED + 52);
         },
         "2.1.5.2"},
        {"length past the bytes", [](auto& b) { Put16(b, 0, static_cast<uint32_t>(b.size() + 1)); },
         "not read"},
        {"length short of the fixed part", [](auto& b) { Put16(b, 0, FIXED + 51); }, "not read"},
        {"no fixed part", [](auto& b) { Put16(b, 2, 0); }, "not read"},
        {"another key", [](auto& b) { b[6 + 2 * 14] = 'X'; }, "not read"},
        {"key without its terminator", [](auto& b) { b[6 + 2 * 15] = ' '; }, "not read"},
        {"no signature", [](auto& b) { b[FIXED] ^= 1; }, "not read"},
        {"no bytes", [](auto& b) { b.clear(); }, "not read"},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes = VersionBlock();
        c.damage(bytes);
        EXPECT_EQ(Read(bytes), c.expected) << c.what;
    }
    const std::vector<uint8_t> whole = VersionBlock();
    for (size_t size = 1; size < FIXED + 52; ++size) {
        EXPECT_EQ(Read({whole.begin(), whole.begin() + static_cast<long>(size)}), "not read")
            << size;
    }
}

TEST(VersionResource, FormatFitsExactlyOrLeavesTheTextAlone) {
    const FourPartVersion widest = {{65535, 65535, 65535, 65535}};
    char text[sizeof("65535.65535.65535.65535")];
    ASSERT_TRUE(FormatVersion(widest, text, sizeof(text)));
    EXPECT_STREQ(text, "65535.65535.65535.65535");

    std::strcpy(text, "kept");
    EXPECT_FALSE(FormatVersion(widest, text, sizeof(text) - 1));
    EXPECT_STREQ(text, "kept");

    ASSERT_TRUE(FormatVersion({{0, 0, 10, 0}}, text, sizeof(text)));
    EXPECT_STREQ(text, "0.0.10.0");
}

} // namespace
