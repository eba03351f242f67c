// The program's own folders opened once and worked in through their handles, with
// real links: Unix links made in the prefix, which Windows code sees as reparse
// points. Swaps are made from the Unix side, as a user's process would make them on
// Windows where the program's handle does not stop them.
#include "common/win32/folder_handles.h"
#include "common/win32/nt_files.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

TEST(OwnFolders, LevelsAreOpenedOneByOneAndLinksOnlyFollowedByTheRule) {
    const std::string base = TempFolder("own-levels");
    OwnFolder folder;
    ASSERT_TRUE(
        OpenOwnFolder((base + "\\A\\B").c_str(), 2, LinkRule::Refuse, Missing::Create, folder));
    EXPECT_TRUE(FileExists(base + "\\A\\B"));
    EXPECT_FALSE(folder.isLink);

    const std::string outside = OutsideFolder("levels");
    ASSERT_TRUE(MakeUnixLink(outside, base + "\\L"));
    EXPECT_FALSE(
        OpenOwnFolder((base + "\\L\\sub").c_str(), 2, LinkRule::Refuse, Missing::Fail, folder));
    EXPECT_FALSE(
        OpenOwnFolder((base + "\\L\\made").c_str(), 2, LinkRule::Refuse, Missing::Create, folder));
    EXPECT_FALSE(OpenOwnFolder((base + "\\L").c_str(), 1, LinkRule::Refuse, Missing::Fail, folder));
    EXPECT_FALSE(folder.handle.Valid());
    ExpectUntouched(outside);

    // The administrators' rule: the link is the folder it stands for, and known as a link.
    ASSERT_TRUE(OpenOwnFolder((base + "\\L").c_str(), 1, LinkRule::Follow, Missing::Fail, folder));
    EXPECT_TRUE(folder.isLink);
    ASSERT_TRUE(
        OpenOwnFolder((base + "\\L\\sub").c_str(), 2, LinkRule::Follow, Missing::Fail, folder));
    EXPECT_FALSE(folder.isLink) << "only the last level counts";

    // Paths that cannot be split into a base and its levels name nothing.
    const std::string overlong = base + "\\" + std::string(1100, 'x') + "\\B";
    for (const auto& [path, levels] :
         std::initializer_list<std::pair<const char*, int>>{{nullptr, 1},
                                                            {"C:\\A", 0},
                                                            {"C:\\A", 9},
                                                            {"C:\\A", 2},
                                                            {"A", 1},
                                                            {"C:\\A\\\\B", 2},
                                                            {overlong.c_str(), 1}}) {
        EXPECT_FALSE(OpenOwnFolder(path, levels, LinkRule::Follow, Missing::Fail, folder))
            << (path != nullptr ? path : "null") << " " << levels;
    }
    ASSERT_TRUE(OpenOwnFolder("C:\\windows", 1, LinkRule::Follow, Missing::Fail, folder))
        << "a level right below a drive root";

    // A file where a level belongs is no folder under either rule.
    WriteWholeFile(base + "\\F", "file");
    for (const LinkRule rule : {LinkRule::Refuse, LinkRule::Follow}) {
        EXPECT_FALSE(OpenOwnFolder((base + "\\F\\x").c_str(), 2, rule, Missing::Create, folder));
    }
    EXPECT_EQ(ReadWholeFile(base + "\\F"), "file");
}

TEST(OwnFolders, FolderSwappedAfterItsCheckKeepsTheWorkWhereItWasOpened) {
    const std::string base = TempFolder("own-swap");
    const std::string folderPath = base + "\\S";
    OwnFolder folder;
    ASSERT_TRUE(OpenOwnFolder(folderPath.c_str(), 1, LinkRule::Refuse, Missing::Create, folder));
    WriteWholeFile(folderPath + "\\a.txt", "ours");
    CreateDirectoryA((folderPath + "\\sub").c_str(), nullptr);

    // While the program holds its folder, a Windows process cannot move it away.
    EXPECT_FALSE(MoveFileA(folderPath.c_str(), (base + "\\moved").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

    // Where that does not hold, the folder is swapped for a link to another one.
    const std::string outside = OutsideFolder("swap");
    ASSERT_TRUE(MoveFromUnixSide(folderPath, base + "\\moved"));
    ASSERT_TRUE(MakeUnixLink(outside, folderPath));

    const char bytes[] = "link";
    ReplaceFileInFolder(folder.handle.Get(), L"new.txt", bytes, sizeof(bytes));
    RemoveFolderContents(folder, Leftovers::Stay);
    ExpectUntouched(outside);
    EXPECT_TRUE(FileExists(base + "\\moved\\new.txt")) << "written where it was opened";
}

TEST(OwnFolders, ReplacingNeverWritesThroughWhatStandsAtTheName) {
    const std::string base = TempFolder("own-replace");
    OwnFolder folder;
    ASSERT_TRUE(OpenOwnFolder(base.c_str(), 1, LinkRule::Refuse, Missing::Fail, folder));
    const char bytes[] = "new";
    WriteWholeFile(base + "\\plain.LNK", "an older and longer content");
    EXPECT_TRUE(ReplaceFileInFolder(folder.handle.Get(), L"plain.LNK", bytes, 3));
    EXPECT_EQ(ReadWholeFile(base + "\\plain.LNK"), "new");
    if constexpr (sizeof(size_t) > sizeof(DWORD)) {
        // More than one write can take: no half-written file stays, and it fails.
        const size_t beyondOneWrite = size_t{MAXDWORD} + 1;
        EXPECT_FALSE(ReplaceFileInFolder(folder.handle.Get(), L"whole.LNK", bytes, beyondOneWrite));
        EXPECT_FALSE(FileExists(base + "\\whole.LNK"));
    }

    // Links at the name, to a folder and to a file (Wine shows a file link as the
    // file it leads to, and deletes that file for any program that deletes the link).
    const std::string outside = OutsideFolder("replace");
    ASSERT_TRUE(MakeUnixLink(outside, base + "\\planted.LNK"));
    ASSERT_TRUE(MakeUnixLink(outside + "\\precious.txt", base + "\\file.LNK"));
    for (const wchar_t* name : {L"planted.LNK", L"file.LNK"}) {
        EXPECT_FALSE(ReplaceFileInFolder(folder.handle.Get(), name, bytes, 3));
        EXPECT_EQ(RemoveFileInFolder(folder, name, Leftovers::GoAtRestart), Removal::NotOurs);
    }
    ExpectUntouched(outside);
    EXPECT_TRUE(GetFileAttributesA((base + "\\planted.LNK").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "the user's link stays theirs";
    EXPECT_TRUE(FileExists(base + "\\file.LNK"));
}

TEST(OwnFolders, WalkPassesOverDotFoldersAndLinksAndStopsAtWhatStays) {
    const std::string base = TempFolder("own-walk");
    const std::string tree = base + "\\T";
    for (const char* folder : {"", "\\sub", "\\sub\\deeper", "\\.keep"}) {
        CreateDirectoryA((tree + folder).c_str(), nullptr);
    }
    for (const char* file : {"\\one.txt", "\\.hidden.txt", "\\sub\\two.txt", "\\sub\\deeper\\3",
                             "\\.keep\\kept.txt"}) {
        WriteWholeFile(tree + file, "x");
    }
    const std::string outside = OutsideFolder("walk");
    ASSERT_TRUE(MakeUnixLink(outside, tree + "\\link"));
    ASSERT_TRUE(MakeUnixLink(outside + "\\precious.txt", tree + "\\sub\\file-link"));

    OwnFolder opened;
    ASSERT_TRUE(OpenOwnFolder(tree.c_str(), 1, LinkRule::Refuse, Missing::Fail, opened));
    EXPECT_EQ(RemoveOpenedFolder(opened, Leftovers::Stay), Removal::NotOurs)
        << "the dot folder and the links stay";
    ExpectUntouched(outside);
    EXPECT_TRUE(FileExists(tree + "\\.keep\\kept.txt"));
    EXPECT_TRUE(FileExists(tree + "\\link"));
    EXPECT_FALSE(FileExists(tree + "\\one.txt"));
    EXPECT_FALSE(FileExists(tree + "\\.hidden.txt"));
    EXPECT_TRUE(FileExists(tree + "\\sub\\file-link"));
    EXPECT_FALSE(FileExists(tree + "\\sub\\two.txt"));

    // A file held without sharing cannot go: the walk goes on past it, and where
    // nothing may be planned for the restart, it and its folder stay, and so does
    // the file that is to go last (whatever its place in the listing).
    const std::string held = base + "\\H";
    CreateDirectoryA(held.c_str(), nullptr);
    for (const char* name : {"\\a.txt", "\\locked.txt", "\\z.txt", "\\last.exe"}) {
        WriteWholeFile(held + name, "x");
    }
    UniqueHandle holder(CreateFileA((held + "\\locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.Valid());
    ASSERT_TRUE(OpenOwnFolder(held.c_str(), 1, LinkRule::Refuse, Missing::Fail, opened));
    EXPECT_EQ(RemoveOpenedFolder(opened, Leftovers::Stay, L"LAST.exe"), Removal::Stays);
    EXPECT_TRUE(FileExists(held + "\\locked.txt") && FileExists(held + "\\last.exe"));
    EXPECT_FALSE(FileExists(held + "\\a.txt") || FileExists(held + "\\z.txt"));
    holder.Reset();
    ASSERT_TRUE(OpenOwnFolder(held.c_str(), 1, LinkRule::Refuse, Missing::Fail, opened));
    EXPECT_EQ(RemoveOpenedFolder(opened, Leftovers::Stay, L"last.exe"), Removal::Gone);
    EXPECT_FALSE(FileExists(held));

    // Followed as the administrators' link, the folder it stands for is emptied and
    // the link stays.
    const std::string linked = TempFolder("own-linked-target");
    WriteWholeFile(linked + "\\ours.txt", "x");
    ASSERT_TRUE(MakeUnixLink(linked, base + "\\admin"));
    RemoveOwnFolder((base + "\\admin").c_str(), 1, LinkRule::Follow);
    EXPECT_FALSE(FileExists(linked + "\\ours.txt"));
    EXPECT_TRUE(FileExists(base + "\\admin"));
}

// A listing larger than one read of the folder: every entry once, none again.
TEST(OwnFolders, ListingGivesEveryEntryOnceAcrossReads) {
    const std::string base = TempFolder("own-listing");
    constexpr int files = 400; // about 70 KB of records: several reads
    for (int i = 0; i < files; ++i) {
        WriteWholeFile(base + "\\entry-with-a-name-of-some-length-" + std::to_string(i), "");
    }
    OwnFolder folder;
    ASSERT_TRUE(OpenOwnFolder(base.c_str(), 1, LinkRule::Refuse, Missing::Fail, folder));
    std::map<std::wstring, int> seen;
    FolderListing listing(folder.handle.Get());
    FolderEntry entry;
    for (int read = 0; read < 2 * files && listing.Next(entry); ++read) {
        ++seen[entry.name];
    }
    seen.erase(L".");
    seen.erase(L"..");
    EXPECT_EQ(seen.size(), static_cast<size_t>(files));
    for (const auto& [name, times] : seen) {
        EXPECT_EQ(times, 1) << std::string(name.begin(), name.end());
    }
}

} // namespace
