#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "env/portable/install_path.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using namespace mossgate;

// Runs an in-place operation on a copy of the text in a buffer of its own size.
template <typename Operation> std::string InPlace(const std::string& text, Operation operation) {
    std::string buffer = text;
    operation(buffer.data());
    return buffer.c_str();
}

TEST(PathText, RootsFolderAndFileParts) {
    const struct {
        const char* path;
        const char* root;
        int cut;
    } roots[] = {
        {"C:\\WINDOWS", "C:", 1},
        {"D:\\Windows\\System32", "D:", 1},
        {"C:\\", "C:", 1},
        {"\\\\server\\share\\dir", "\\\\server", 1},
        {"\\\\server", "\\\\server", 0},
        {"C:", "C:", 0},
        {"", "", 0},
        {"\\\\\\x\\y", "\\\\\\x", 1}, // no server name at 2
    };
    for (const auto& r : roots) {
        int cut = -1;
        EXPECT_EQ(InPlace(r.path, [&cut](char* p) { cut = PathRoot(p); }), r.root) << r.path;
        EXPECT_EQ(cut, r.cut) << r.path;
    }
    EXPECT_EQ(SkipRoot("C:\\a\\b"), 3u);
    EXPECT_EQ(SkipRoot("\\\\server\\share\\dir"), 15u);
    EXPECT_EQ(SkipRoot("\\\\server\\share"), 14u);
    EXPECT_EQ(SkipRoot("C:"), 2u);

    EXPECT_EQ(InPlace("C:\\a\\b.txt", CutAtLastSeparator), "C:\\a");
    EXPECT_EQ(InPlace("plain.exe", CutAtLastSeparator), "plain.exe");
    EXPECT_EQ(InPlace("C:\\dir\\setup.exe", FileNamePart), "setup.exe");
    EXPECT_EQ(InPlace("C:\\dir\\", FileNamePart), "");
    EXPECT_EQ(InPlace("setup.exe", FileNamePart), "setup.exe");
}

TEST(PathText, ProgramFilesFallbackFromTheWindowsFolder) {
    char folder[64];
    ASSERT_TRUE(BuildProgramFilesFallback(folder, sizeof(folder), "D:\\WINDOWS"));
    EXPECT_STREQ(folder, "D:\\Program Files\\");
    ASSERT_TRUE(BuildProgramFilesFallback(folder, sizeof(folder), nullptr));
    EXPECT_STREQ(folder, "C:\\Program Files\\");
    char small[8] = "keep";
    EXPECT_FALSE(BuildProgramFilesFallback(small, sizeof(small), "C:\\WINDOWS"));
    EXPECT_STREQ(small, "keep");
}

TEST(PathText, OneBackslashExactlyEvenIntoItsOwnFolderBuffer) {
    char path[32];
    ASSERT_TRUE(JoinPath(path, sizeof(path), "C:\\Program Files", "KS"));
    EXPECT_STREQ(path, "C:\\Program Files\\KS");
    ASSERT_TRUE(JoinPath(path, sizeof(path), "C:\\Program Files\\", "KS"));
    EXPECT_STREQ(path, "C:\\Program Files\\KS");
    ASSERT_TRUE(JoinPath(path, sizeof(path), "", "readme.txt"));
    EXPECT_STREQ(path, "\\readme.txt");
    ASSERT_TRUE(JoinPath(path, sizeof(path), path, "b.txt"));
    EXPECT_STREQ(path, "\\readme.txt\\b.txt");

    ASSERT_TRUE(CopyText(path, sizeof(path), "C:\\x"));
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    EXPECT_STREQ(path, "C:\\x\\");
    path[0] = '\0';
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    EXPECT_STREQ(path, "\\");
    ASSERT_TRUE(AppendSeparator(path, sizeof(path)));
    EXPECT_STREQ(path, "\\");
}

TEST(PathText, NoBufferOrTextAtAllIsRefused) {
    char path[8] = "";
    EXPECT_FALSE(AppendSeparator(nullptr, sizeof(path)));
    EXPECT_FALSE(JoinPath(nullptr, sizeof(path), "a", "b"));
    EXPECT_FALSE(JoinPath(path, 0, "a", "b"));
    EXPECT_FALSE(JoinPath(path, sizeof(path), nullptr, "b"));
    EXPECT_FALSE(JoinPath(path, sizeof(path), "a", nullptr));
    EXPECT_STREQ(path, "");
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

    char title[8] = "keep";
    EXPECT_FALSE(FormatWithText(title, sizeof(title), "ab%scd", "xyz1")); // 8 characters
    EXPECT_STREQ(title, "keep");
    EXPECT_TRUE(FormatWithText(title, sizeof(title), "ab%scd", "xyz")); // 7 fit
    EXPECT_STREQ(title, "abxyzcd");
    EXPECT_FALSE(FormatWithText(title, sizeof(title), "no placeholder", "x"));
}

TEST(BoundedText, TruncatingCopyAlwaysTerminatesAndNeverReadsPastTheCapacity) {
    char text[5];
    EXPECT_FALSE(CopyTextTruncating(text, sizeof(text), "abcdefgh"));
    EXPECT_STREQ(text, "abcd");
    EXPECT_TRUE(CopyTextTruncating(text, sizeof(text), "ab"));
    EXPECT_STREQ(text, "ab");
    const char unterminated[5] = {'w', 'x', 'y', 'z', 'q'};
    EXPECT_FALSE(CopyTextTruncating(text, sizeof(text), unterminated));
    EXPECT_STREQ(text, "wxyz");
    EXPECT_EQ(BoundedLength(unterminated, sizeof(unterminated)), 5u);
    EXPECT_TRUE(CopyTextTruncating(text, sizeof(text), nullptr));
    EXPECT_STREQ(text, "");
}

// The text in a heap block of exactly cbField bytes, the rest of the field filled
// with `fill`: ASan stops a read past the field, and a fill that would refuse the
// name (':', a separator, a dot that makes "..") shows a scan past the terminator.
std::unique_ptr<char[]> Field(const std::string& text, size_t cbField, char fill) {
    auto field = std::make_unique<char[]>(cbField);
    for (size_t i = 0; i < cbField; ++i) {
        field[i] = i < text.size() ? text[i] : i == text.size() ? '\0' : fill;
    }
    return field;
}

TEST(SafeRelativePath, WhatNamesAFileBelowItsFolder) {
    // Windows trims trailing dots and blanks: ".. " is "..". Code page bytes are
    // names like any, but the superscript digits make devices of COM and LPT.
    const char* const safe[] = {
        "file.txt", "sub\\file.txt",      "sub/file.txt", "a..b",          ".hidden",
        "a\\\\b",   "\xE9t\xE9 \xB9.txt", "COM10",        "LPT0",          "COM",
        "CONSOLE",  "NULL.txt",           "aux_",         "xcon\\prn_.txt"};
    const char* const unsafe[] = {"",           "\\x",
                                  "/x",         "\\\\server\\share\\x",
                                  "C:x",        "dir\\file.txt:stream",
                                  "..",         "..\\x",
                                  "a/../b",     "a\\.",
                                  "sub\\.\\x",  "a..",
                                  ".. ",        "sub. \\x",
                                  "CON",        "nul.txt",
                                  "Aux.tar.gz", "CON .txt",
                                  "prn  ",      "NUL\\x.txt",
                                  "a\\com1\\b", "a/b/LpT9.log",
                                  "conin$",     "CONOUT$.txt",
                                  "COM\xB9",    "lpt\xB2.x",
                                  "a<b",        "a>b",
                                  "a\"b",       "a|b",
                                  "a?b",        "*.txt",
                                  "a\x01",      "sub\\a\x1F"};
    for (const char fill : {':', '.', '\\'}) {
        for (const char* path : safe) {
            EXPECT_TRUE(IsSafeRelativePath(Field(path, 128, fill).get(), 128)) << path << fill;
        }
        for (const char* path : unsafe) {
            EXPECT_FALSE(IsSafeRelativePath(Field(path, 128, fill).get(), 128)) << path << fill;
        }
    }
}

TEST(SafeRelativePath, TheFieldEndsTheText) {
    const std::string longest(127, 'n');
    EXPECT_TRUE(IsSafeRelativePath(Field(longest, 128, 'x').get(), 128));
    EXPECT_FALSE(IsSafeRelativePath(Field(longest.substr(4) + "\\..", 128, 'x').get(), 128));
    EXPECT_FALSE(IsSafeRelativePath(Field(longest.substr(4) + "\\NUL", 128, 'x').get(), 128));
    EXPECT_FALSE(IsSafeRelativePath(Field(longest + "n", 128, 'x').get(), 128));
    EXPECT_FALSE(IsSafeRelativePath(Field("file", 4, 'x').get(), 4));
    EXPECT_TRUE(IsSafeRelativePath(Field("file", 5, 'x').get(), 5));
    EXPECT_FALSE(IsSafeRelativePath(nullptr, 128));
}

} // namespace
