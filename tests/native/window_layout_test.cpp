#include "app/portable/stored_links.h"
#include "app/portable/window_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using namespace mossgate;

TEST(OsLabel, CodesOutsideTheTableReadUnknown) {
    EXPECT_STREQ(OsLabelText(0), "O/S: < XP");
    EXPECT_STREQ(OsLabelText(8), "O/S: > WIN10");
    for (int32_t code : {-1, 9, -2, INT32_MAX, INT32_MIN}) {
        EXPECT_STREQ(OsLabelText(code), "O/S: unknown") << code;
    }
}

std::vector<int32_t> Corners(const Rectangle& r) {
    return {r.left, r.top, r.right, r.bottom};
}

TEST(WindowLayoutTest, EveryRectangleFollowsThePicturesSize) {
    // A picture of another size than the program's, so that no number is taken
    // from the 900 x 424 picture by accident.
    const WindowLayout l = LayoutFor(640, 300);
    EXPECT_EQ(Corners(l.picture), (std::vector<int32_t>{0, 0, 640, 300}));
    EXPECT_EQ(Corners(l.osLabel), (std::vector<int32_t>{20, 390, 480, 300}));
    EXPECT_EQ(Corners(l.osLabelShadow), (std::vector<int32_t>{21, 391, 480, 300}));
    EXPECT_EQ(Corners(l.statusPanelFill), (std::vector<int32_t>{0, 300, 641, 401}));
    EXPECT_EQ(Corners(l.statusLine1), (std::vector<int32_t>{20, 330, 640, 400}));
    EXPECT_EQ(Corners(l.statusLine2), (std::vector<int32_t>{20, 350, 640, 400}));
    EXPECT_EQ(Corners(l.button), (std::vector<int32_t>{320, 320, 620, 380}));
    EXPECT_EQ(Corners(l.progressWord), (std::vector<int32_t>{320, 320, 620, 365}));
    EXPECT_EQ(Corners(l.progressStep), (std::vector<int32_t>{320, 360, 620, 380}));
}

TEST(WindowLayoutTest, ButtonHitIsStrictlyInside) {
    const Rectangle button = LayoutFor(900, 424).button;
    EXPECT_TRUE(StrictlyInside(button, 581, 445));
    EXPECT_TRUE(StrictlyInside(button, 879, 503));
    EXPECT_FALSE(StrictlyInside(button, 580, 470)); // border lines
    EXPECT_FALSE(StrictlyInside(button, 880, 470));
    EXPECT_FALSE(StrictlyInside(button, 700, 444));
    EXPECT_FALSE(StrictlyInside(button, 700, 504));
    EXPECT_FALSE(StrictlyInside({0, 0, 0, 0}, 0, 0)); // before the first paint
}

TEST(WindowLayoutTest, TheButtonReadsInstallOrRemove) {
    EXPECT_STREQ(TextsFor(0).button, "Install");
    EXPECT_STREQ(TextsFor(1).button, "Remove");
}

std::string Descrambled(const StoredLink& link) {
    std::vector<uint8_t> bytes(link.bytes, link.bytes + link.length);
    EXPECT_EQ(DescrambleText(LINK_SEED, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(bytes.back(), 0) << "the stored length counts the terminator";
    return std::string(bytes.begin(), bytes.end() - 1);
}

TEST(StoredLinks, DescrambleToTheLinksAndBackAgain) {
    EXPECT_EQ(Descrambled(PUBLISHER_LINK), "https://www.kestrine.example/mossgate");
    EXPECT_EQ(Descrambled(AFTER_INSTALL_LINK),
              "https://www.kestrine.example/mossgate/installed-cd-pack");

    std::vector<uint8_t> bytes(PUBLISHER_LINK.bytes, PUBLISHER_LINK.bytes + PUBLISHER_LINK.length);
    DescrambleText(LINK_SEED, bytes.data(), bytes.size());
    DescrambleText(LINK_SEED, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, std::vector<uint8_t>(PUBLISHER_LINK.bytes,
                                          PUBLISHER_LINK.bytes + PUBLISHER_LINK.length));
    EXPECT_EQ(DescrambleText(LINK_SEED, nullptr, 4), -1);
}

} // namespace
