#include "app/bounded_text.h"
#include "env/path_root.h"
#include "package/path_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace mossgate;

std::string Root(const char* path, int* result = nullptr) {
    char buffer[256];
    std::strcpy(buffer, path);
    const int r = PathRoot(buffer);
    if (result != nullptr) {
        *result = r;
    }
    return buffer;
}

TEST(PathRootTest, DriveNetworkAndUnchangedCases) {
    int r = -1;
    EXPECT_EQ(Root("C:\\WINDOWS", &r), "C:");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(Root("D:\\Windows\\System32"), "D:");
    EXPECT_EQ(Root("C:\\"), "C:");
    EXPECT_EQ(Root("\\\\server\\share\\dir", &r), "\\\\server");
    EXPECT_EQ(r, 1);
    EXPECT_EQ(Root("\\\\server", &r), "\\\\server");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Root("C:", &r), "C:");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(Root("", &r), "");
    EXPECT_EQ(r, 0);
    // Position 2 is not a root end for a network path: "\\\" has no server name.
    EXPECT_EQ(Root("\\\\\\x\\y"), "\\\\\\x");
}

TEST(PathRootTest, ProgramFilesFallback) {
    char folder[64];
    ASSERT_TRUE(BuildProgramFilesFallback(folder, sizeof(folder), "D:\\WINDOWS"));
    EXPECT_STREQ(folder, "D:\\Program Files\\");
    ASSERT_TRUE(BuildProgramFilesFallback(folder, sizeof(folder), nullptr));
    EXPECT_STREQ(folder, "C:\\Program Files\\");
    ASSERT_TRUE(BuildProgramFilesFallback(folder, sizeof(folder), "E:"));
    EXPECT_STREQ(folder, "E:\\Program Files\\");
    char small[8] = "keep";
    EXPECT_FALSE(BuildProgramFilesFallback(small, sizeof(small), "C:\\WINDOWS"));
    EXPECT_STREQ(small, "keep");
}

TEST(SeparatorJoining, OneBackslashExactly) {
    char path[32];
    ASSERT_TRUE(JoinPath(path, sizeof(path), "C:\\Program Files", "KS"));
    EXPECT_STREQ(path, "C:\\Program Files\\KS");
    ASSERT_TRUE(JoinPath(path, sizeof(path), "C:\\Program Files\\", "KS"));
    EXPECT_STREQ(path, "C:\\Program Files\\KS");
    ASSERT_TRUE(JoinPath(path, sizeof(path), "", "readme.txt"));
    EXPECT_STREQ(path, "\\readme.txt");

    std::strcpy(path, "C:\\x");
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    EXPECT_STREQ(path, "C:\\x\\");
    path[0] = '\0';
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    EXPECT_STREQ(path, "\\");
}

TEST(SeparatorJoining, JoinMayReuseItsFolderBuffer) {
    char path[32] = "C:\\a";
    ASSERT_TRUE(JoinPath(path, sizeof(path), path, "b.txt"));
    EXPECT_STREQ(path, "C:\\a\\b.txt");
}

TEST(BoundedText, ResultsThatDoNotFitLeaveTheBufferAlone) {
    char path[8] = "C:\\ab";
    EXPECT_FALSE(JoinPath(path, sizeof(path), path, "long"));
    EXPECT_STREQ(path, "C:\\ab");
    EXPECT_FALSE(AppendText(path, sizeof(path), "xyz"));
    EXPECT_STREQ(path, "C:\\ab");
    EXPECT_TRUE(AppendText(path, sizeof(path), "xy")); // exactly 7 characters fit
    EXPECT_STREQ(path, "C:\\abxy");
    EXPECT_FALSE(AppendSeparator(path, sizeof(path)));
    EXPECT_FALSE(CopyText(path, sizeof(path), "12345678"));
    EXPECT_TRUE(CopyText(path, sizeof(path), "1234567"));
    EXPECT_FALSE(CopyText(path, 0, "x"));
}

TEST(BoundedText, TruncatingCopyAlwaysTerminates) {
    char text[5];
    EXPECT_FALSE(CopyTextTruncating(text, sizeof(text), "abcdefgh"));
    EXPECT_STREQ(text, "abcd");
    EXPECT_TRUE(CopyTextTruncating(text, sizeof(text), "ab"));
    EXPECT_STREQ(text, "ab");
    // A source without terminator within the capacity is never read past it.
    const char unterminated[5] = {'w', 'x', 'y', 'z', 'q'};
    EXPECT_FALSE(CopyTextTruncating(text, sizeof(text), unterminated));
    EXPECT_STREQ(text, "wxyz");
    EXPECT_EQ(BoundedLength(unterminated, sizeof(unterminated)), 5u);
}

TEST(SeparatorCutting, CutAndFileName) {
    char path[32] = "C:\\a\\b.txt";
    CutAtLastSeparator(path);
    EXPECT_STREQ(path, "C:\\a");
    std::strcpy(path, "plain.exe");
    CutAtLastSeparator(path);
    EXPECT_STREQ(path, "plain.exe");
    std::strcpy(path, "C:\\dir\\setup.exe");
    FileNamePart(path);
    EXPECT_STREQ(path, "setup.exe");
    std::strcpy(path, "C:\\dir\\");
    FileNamePart(path);
    EXPECT_STREQ(path, "");
    std::strcpy(path, "setup.exe");
    FileNamePart(path);
    EXPECT_STREQ(path, "setup.exe");
}

} // namespace

namespace {

TEST(BoundedText, FormatWithOneText) {
    char title[64];
    ASSERT_TRUE(mossgate::FormatWithText(title, sizeof(title), "Setup (Version %s)", "2.1.5.2"));
    EXPECT_STREQ(title, "Setup (Version 2.1.5.2)");
    char small[8] = "keep";
    EXPECT_FALSE(mossgate::FormatWithText(small, sizeof(small), "ab%scd", "xyz1")); // 8 chars
    EXPECT_TRUE(mossgate::FormatWithText(small, sizeof(small), "ab%scd", "xyz"));   // 7 fit
    EXPECT_STREQ(small, "abxyzcd");
    EXPECT_FALSE(mossgate::FormatWithText(small, sizeof(small), "no placeholder", "x"));
}

} // namespace
