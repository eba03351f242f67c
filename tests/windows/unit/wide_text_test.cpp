// The wide-text helpers at their edges: exact conversions only, copies and joins that fit.
#include "common/win32/wide_text.h"

#include <gtest/gtest.h>

#include <cwchar>

namespace {

using namespace mossgate;

TEST(WideText, ConversionsAreExactOrNothing) {
    char ansi[8];
    EXPECT_TRUE(WideToAnsiExactly(L"Readme", ansi, sizeof(ansi)));
    EXPECT_STREQ(ansi, "Readme");
    // Best fit would give "Omega": another name.
    EXPECT_FALSE(WideToAnsiExactly(L"\x03a9mega", ansi, sizeof(ansi)));
    EXPECT_STREQ(ansi, "");
    EXPECT_FALSE(WideToAnsiExactly(L"Readme.1", ansi, sizeof(ansi))) << "no room for the end";
    EXPECT_FALSE(WideToAnsiExactly(nullptr, ansi, sizeof(ansi)));

    wchar_t wide[7];
    EXPECT_TRUE(AnsiToWide("Readme", wide, 7));
    EXPECT_STREQ(wide, L"Readme");
    EXPECT_FALSE(AnsiToWide("Readme!", wide, 7));
}

TEST(WideText, ACopyFitsExactlyOrLeavesNothing) {
    wchar_t name[4] = L"old";
    EXPECT_TRUE(CopyWideText(name, 4, L"abc"));
    EXPECT_STREQ(name, L"abc");
    // One more letter would leave no room for the end: nothing is copied, and
    // nothing is read past the fourth letter.
    const wchar_t unterminated[4] = {L'w', L'x', L'y', L'z'};
    EXPECT_FALSE(CopyWideText(name, 4, unterminated));
    EXPECT_STREQ(name, L"");
    EXPECT_FALSE(CopyWideText(name, 0, L""));
}

TEST(WideText, AJoinFitsExactlyOrIsRefused) {
    wchar_t path[6];
    EXPECT_TRUE(JoinWidePath(path, 6, L"C:", L"ab"));
    EXPECT_STREQ(path, L"C:\\ab");
    EXPECT_TRUE(JoinWidePath(path, 6, L"C:\\", L"ab")) << "no second separator";
    EXPECT_STREQ(path, L"C:\\ab");
    EXPECT_FALSE(JoinWidePath(path, 5, L"C:", L"ab"));
    EXPECT_FALSE(JoinWidePath(path, 6, L"C:", L"abc"));
    EXPECT_FALSE(JoinWidePath(path, 6, path, L"x")) << "out may not be the folder";
}

} // namespace
