#include "env/portable/os_generation.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;

struct VersionCase {
    uint32_t major, minor, productType;
    OsGeneration expected;
};

constexpr uint32_t WORKSTATION = 1, DOMAIN_CONTROLLER = 2, SERVER = 3, BASIC_RECORD = 0;

const VersionCase kTable[] = {
    {5, 0, WORKSTATION, OS_BEFORE_XP},
    {5, 1, WORKSTATION, OS_XP},
    {4, 10, WORKSTATION, OS_XP},
    {5, 2, WORKSTATION, OS_SERVER_2003},
    {5, 2, SERVER, OS_SERVER_2003},
    {0, 0, BASIC_RECORD, OS_BEFORE_XP},
    {6, 0, WORKSTATION, OS_VISTA},
    {6, 1, WORKSTATION, OS_WIN7},
    {6, 1, SERVER, OS_VISTA},
    {6, 1, DOMAIN_CONTROLLER, OS_VISTA},
    {6, 1, BASIC_RECORD, OS_VISTA},
    {6, 2, WORKSTATION, OS_WIN8},
    {6, 3, WORKSTATION, OS_WIN8_1},
    {6, 4, WORKSTATION, OS_UNKNOWN},
    {6, 0xFFFFFFFF, WORKSTATION, OS_UNKNOWN},
    {7, 0, WORKSTATION, OS_UNKNOWN},
    {9, 0, WORKSTATION, OS_UNKNOWN},
    {10, 0, WORKSTATION, OS_WIN10},
    {10, 5, WORKSTATION, OS_WIN10},
    {11, 0, WORKSTATION, OS_AFTER_WIN10},
    {0xFFFFFFFF, 0, WORKSTATION, OS_AFTER_WIN10},
};

TEST(OsClassification, WholeTable) {
    for (const VersionCase& c : kTable) {
        EXPECT_EQ(ClassifyVersion(c.major, c.minor, c.productType), c.expected)
            << c.major << "." << c.minor << " type " << c.productType;
    }
}

TEST(OsClassification, KernelNumbersWinFromSixOn) {
    // The manifest caps the classic query at 6.2 on later Windows.
    auto merged = PreferTrueVersion({6, 2}, {10, 0});
    EXPECT_EQ(ClassifyVersion(merged.major, merged.minor, 1), OS_WIN10);
    merged = PreferTrueVersion({6, 2}, {6, 3});
    EXPECT_EQ(ClassifyVersion(merged.major, merged.minor, 1), OS_WIN8_1);
    merged = PreferTrueVersion({5, 1}, {5, 2}); // below 6: the classic numbers stay
    EXPECT_EQ(ClassifyVersion(merged.major, merged.minor, 1), OS_XP);
    merged = PreferTrueVersion({6, 2}, {0, 0}); // a service that reports nothing useful
    EXPECT_EQ(ClassifyVersion(merged.major, merged.minor, 1), OS_WIN8);
}

} // namespace
