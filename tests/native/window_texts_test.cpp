#include "app/descramble_text.h"
#include "app/window_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace mossgate;

TEST(OsLabel, EveryCodeIncludingOnesOutsideTheTable) {
    const std::pair<int32_t, const char*> table[] = {
        {0, "O/S: < XP"},
        {1, "O/S: WIN XP"},
        {2, "O/S: Server 2003"},
        {3, "O/S: VISTA"},
        {4, "O/S: WIN7"},
        {5, "O/S: WIN8"},
        {6, "O/S: WIN8.1"},
        {7, "O/S: WIN10"},
        {8, "O/S: > WIN10"},
        {-1, "O/S: unknown"},
        {9, "O/S: unknown"},
        {-2, "O/S: unknown"},
        {INT32_MAX, "O/S: unknown"},
        {INT32_MIN, "O/S: unknown"},
    };
    for (const auto& [code, text] : table) {
        EXPECT_STREQ(OsLabelText(code), text) << code;
    }
}

TEST(WindowLayoutTest, TheProgramsPictureGivesTheFixedRectangles) {
    const WindowLayout l = LayoutFor(900, 424);
    auto same = [](const Rectangle& r, int a, int b, int c, int d) {
        return r.left == a && r.top == b && r.right == c && r.bottom == d;
    };
    EXPECT_TRUE(same(l.osLabel, 20, 390, 740, 424));
    EXPECT_TRUE(same(l.osLabelShadow, 21, 391, 740, 424));
    EXPECT_TRUE(same(l.statusPanelFill, 0, 424, 901, 525));
    EXPECT_TRUE(same(l.statusLine1, 20, 454, 900, 524));
    EXPECT_TRUE(same(l.statusLine2, 20, 474, 900, 524));
    EXPECT_TRUE(same(l.button, 580, 444, 880, 504));
    EXPECT_TRUE(same(l.progressWord, 580, 444, 880, 489));
    EXPECT_TRUE(same(l.progressStep, 580, 484, 880, 504));
}

TEST(WindowLayoutTest, ButtonHitIsStrictlyInside) {
    const Rectangle button = LayoutFor(900, 424).button;
    EXPECT_TRUE(StrictlyInside(button, 581, 445));
    EXPECT_TRUE(StrictlyInside(button, 879, 503));
    EXPECT_FALSE(StrictlyInside(button, 580, 470)); // border line
    EXPECT_FALSE(StrictlyInside(button, 700, 504));
    EXPECT_FALSE(StrictlyInside({0, 0, 0, 0}, 0, 0)); // before the first paint
}

TEST(ActionTextsTest, InstallOrRemove) {
    EXPECT_STREQ(TextsFor(0).button, "Install");
    EXPECT_STREQ(TextsFor(1).button, "Remove");
    EXPECT_STREQ(TextsFor(0).line1, "Ready to install ? Click the button right there...");
    EXPECT_STREQ(TextsFor(1).line2,
                 "previous version has to be removed before installing new one...");
}

TEST(DescrambleTextTest, UndoesItselfAndRefusesNoBuffer) {
    const std::string plain = "https://www.kestrine.example/mossgate";
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    bytes.push_back(0);
    EXPECT_EQ(DescrambleText(LINK_SEED, bytes.data(), bytes.size()), 0);
    EXPECT_NE(std::memcmp(bytes.data(), plain.c_str(), plain.size()), 0);
    EXPECT_EQ(DescrambleText(LINK_SEED, bytes.data(), bytes.size()), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes.data()), plain.c_str());
    EXPECT_EQ(DescrambleText(LINK_SEED, nullptr, 4), -1);
}

TEST(DescrambleTextTest, FirstBytesFollowTheStateByHand) {
    // length 2: k = 2 then 1. s = seed + 2; s = s*s; byte0 ^= bits 8-15 of s.
    uint8_t bytes[2] = {0, 0};
    DescrambleText(LINK_SEED, bytes, 2);
    uint32_t s = LINK_SEED + 2;
    s *= s;
    EXPECT_EQ(bytes[0], static_cast<uint8_t>((s >> 8) & 0xFF));
    s = static_cast<uint32_t>(static_cast<int32_t>(s) >> 8);
    s += 1;
    s *= s;
    EXPECT_EQ(bytes[1], static_cast<uint8_t>((s >> 8) & 0xFF));
}

} // namespace
