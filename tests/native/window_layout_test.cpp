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

// The program's own 900 x 424 picture, as the window is specified.
TEST(WindowLayoutTest, TheProgramsPictureGivesTheSpecifiedRectangles) {
    const WindowLayout l = LayoutFor(DEFAULT_PICTURE_WIDTH, DEFAULT_PICTURE_HEIGHT);
    EXPECT_EQ(Corners(l.picture), (std::vector<int32_t>{0, 0, 900, 424}));
    EXPECT_EQ(Corners(l.osLabel), (std::vector<int32_t>{20, 390, 740, 424}));
    EXPECT_EQ(Corners(l.osLabelShadow), (std::vector<int32_t>{21, 391, 740, 424}));
    EXPECT_EQ(Corners(l.statusPanelFill), (std::vector<int32_t>{0, 424, 901, 525}));
    EXPECT_EQ(Corners(l.statusLine1), (std::vector<int32_t>{20, 454, 900, 524}));
    EXPECT_EQ(Corners(l.statusLine2), (std::vector<int32_t>{20, 474, 900, 524}));
    EXPECT_EQ(Corners(l.button), (std::vector<int32_t>{580, 444, 880, 504}));
    EXPECT_EQ(Corners(l.progressWord), (std::vector<int32_t>{580, 444, 880, 489}));
    EXPECT_EQ(Corners(l.progressStep), (std::vector<int32_t>{580, 484, 880, 504}));
}

bool WellFormedInside(const Rectangle& r, const Rectangle& area) {
    return r.left < r.right && r.top < r.bottom && r.left >= area.left && r.top >= area.top &&
           r.right <= area.right && r.bottom <= area.bottom;
}

// Any picture: every rectangle is one (top above bottom) and lies where it
// belongs, the label over the picture's lower left, the rest in the panel.
TEST(WindowLayoutTest, EveryRectangleLiesWhereItBelongsForAnyPicture) {
    const std::pair<int32_t, int32_t> sizes[] = {{900, 424}, {640, 300}, {1280, 720}, {400, 60}};
    for (const auto& [w, h] : sizes) {
        const WindowLayout l = LayoutFor(w, h);
        const Rectangle panel = {0, h, w + 1, h + STATUS_PANEL_HEIGHT + 1};
        EXPECT_TRUE(WellFormedInside(l.osLabel, l.picture)) << w << "x" << h;
        EXPECT_TRUE(WellFormedInside(l.osLabelShadow, l.osLabel)) << w << "x" << h;
        EXPECT_EQ(l.osLabel.bottom, h) << "the label ends with the picture";
        for (const Rectangle& r :
             {l.statusLine1, l.statusLine2, l.button, l.progressWord, l.progressStep}) {
            EXPECT_TRUE(WellFormedInside(r, panel)) << w << "x" << h;
        }
        EXPECT_TRUE(WellFormedInside(l.progressWord, l.button));
        EXPECT_TRUE(WellFormedInside(l.progressStep, l.button));
        EXPECT_EQ(Corners(l.statusPanelFill), Corners(panel));
    }
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
