// The walk over real packages, writing into real folders of the prefix.
#include "common/win32/file_system.h"
#include "common/win32/folder_handles.h"
#include "package/extraction.h"
#include "package/package_resource.h"
#include "tests/native/support/package_files.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace mossgate;
using mossgate::testing::FileExists;
using mossgate::testing::ReadWholeFile;

std::string FreshFolder(const std::string& name) {
    return mossgate::testing::TempFolder("extract-" + name);
}

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

struct Extraction {
    std::vector<PlainFile> files = mossgate::testing::PatternFiles({});
    SetupContextRecord context;
    std::vector<uint8_t> image;

    explicit Extraction(const std::string& installFolder) {
        ZeroSetupContext(context);
        std::snprintf(context.installFolder, sizeof(context.installFolder), "%s",
                      installFolder.c_str());
    }
    // Writes the package of `files`, lets `damage` change its directory, and walks it.
    template <typename Damage> int Run(Damage damage) {
        image = WritePackage(files);
        damage(reinterpret_cast<PackageEntry*>(image.data()));
        EXPECT_TRUE(CopyPackageDirectory(image.data(), image.size(), context.packageDirectory));
        return ExtractPackageImage(context, image.data(), image.size());
    }
    int Run() {
        return Run([](PackageEntry*) {});
    }
    std::string Written(size_t i) const {
        return ReadWholeFile(std::string(context.installFolder) + "\\" + files[i].name);
    }
};

TEST(Extraction, CleanPackageWritesAll61FilesByteForByteWithTheirFolders) {
    // An install folder ending in a backslash gets no second one.
    const std::string folder = FreshFolder("clean");
    Extraction run(folder + "\\");
    run.files[7].name = "sub\\deeper\\file.txt";
    EXPECT_EQ(run.Run(), 0);
    for (size_t i = 0; i < run.files.size(); ++i) {
        EXPECT_EQ(run.Written(i), AsText(run.files[i].bytes)) << run.files[i].name;
    }
    EXPECT_TRUE(FileExists(folder + "\\sub\\deeper\\file.txt"));
}

TEST(Extraction, FailedEntriesAreCountedAndOnlyTheyAreMissing) {
    Extraction run(FreshFolder("digest"));
    EXPECT_EQ(run.Run([](PackageEntry* directory) {
        directory[20].plainDigest[3] ^= 0x40;
        std::memset(directory[40].name, 'n', PACKAGE_NAME_BYTES); // unterminated
    }),
              -102);
    for (size_t i = 0; i < run.files.size(); ++i) {
        EXPECT_EQ(run.Written(i), i == 20 || i == 40 ? "" : AsText(run.files[i].bytes)) << i;
    }
}

TEST(Extraction, TargetHeldOpenElsewhereFailsOnlyThatEntryAndKeepsItsContent) {
    Extraction run(FreshFolder("locked"));
    const std::string locked = std::string(run.context.installFolder) + "\\" + run.files[5].name;
    ASSERT_EQ(WriteWholeFile(locked.c_str(), reinterpret_cast<const uint8_t*>("old"), 3), 1);
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(run.Run(), -101);
    CloseHandle(holder);
    EXPECT_EQ(ReadWholeFile(locked), "old");
    EXPECT_EQ(run.Written(6), AsText(run.files[6].bytes));
}

TEST(Extraction, NamesThatWouldLeaveTheInstallFolderAreNeverWritten) {
    const std::string parent = FreshFolder("escape");
    const std::string folder = parent + "\\install";
    CreateDirectoryA(folder.c_str(), nullptr);
    Extraction run(folder);
    const char* names[] = {"..\\escaped.txt", "sub\\..\\..\\escaped2.txt", "C:escaped3.txt",
                           "\\rooted.txt", "sub/../../escaped4.txt"};
    for (size_t i = 0; i < 5; ++i) {
        run.files[i + 1].name = names[i];
    }
    run.files[6].name = parent + "\\absolute.txt";
    EXPECT_EQ(run.Run(), -106);
    for (const char* name : {"escaped.txt", "escaped2.txt", "absolute.txt", "escaped4.txt"}) {
        EXPECT_FALSE(FileExists(parent + "\\" + name)) << name;
    }
    EXPECT_FALSE(FileExists("C:\\rooted.txt"));
    EXPECT_EQ(run.Written(7), AsText(run.files[7].bytes));
}

TEST(Extraction, TargetPathOverItsBufferCountsAsFailedWithoutOverflow) {
    // A 1023-character install folder text: no entry name fits after it.
    const std::string folder = FreshFolder("long");
    Extraction run(folder + "\\" + std::string(1023 - folder.size() - 1, 'x'));
    ASSERT_EQ(std::strlen(run.context.installFolder), 1023u);
    EXPECT_EQ(run.Run(), -161);
}

TEST(CreateFolderPathTest, EachMissingLevelBelowTheRootAndNothingElse) {
    const std::string base = FreshFolder("folders");
    const std::string deep = base + "\\KS\\MOSSGATE_CD_Pack\\x";
    EXPECT_EQ(CreateFolderPath(deep.c_str()), 1);
    EXPECT_TRUE(FileExists(deep));
    EXPECT_EQ(CreateFolderPath(deep.c_str()), 1); // existing: 1, nothing changes
    EXPECT_EQ(CreateFolderPath((base + "\\trail\\last\\").c_str()), 1);
    EXPECT_TRUE(FileExists(base + "\\trail\\last"));

    EXPECT_EQ(CreateFolderPath(nullptr), 0);
    EXPECT_EQ(CreateFolderPath("C:\\a"), 0);                      // 4 characters
    const std::string overlong = "C:\\" + std::string(1021, 'y'); // 1024 characters
    EXPECT_EQ(CreateFolderPath(overlong.c_str()), 0);
    EXPECT_FALSE(FileExists("C:\\yyyy"));
    EXPECT_EQ(CreateFolderPath("C:\\Windows"), 1); // the root alone is never created

    const std::string blocker = base + "\\blocker";
    ASSERT_EQ(WriteWholeFile(blocker.c_str(), reinterpret_cast<const uint8_t*>("x"), 1), 1);
    EXPECT_EQ(CreateFolderPath((blocker + "\\child").c_str()), 0);
}

TEST(FolderTree, EveryNameIsWalkedAndTheWalkEndsAtWhatStays) {
    const std::string base = FreshFolder("tree");
    const std::wstring wideBase(base.begin(), base.end());
    // Greek letters, outside code page 1252: the ANSI calls would see "???".
    const std::wstring foreign = wideBase + L"\\\x03b1\x03b2\x03b3";
    ASSERT_TRUE(CreateDirectoryW(foreign.c_str(), nullptr));
    ASSERT_TRUE(CloseHandle(CreateFileW((foreign + L"\\\x03b4.txt").c_str(), GENERIC_WRITE, 0,
                                        nullptr, CREATE_NEW, 0, nullptr)));
    RemoveOwnFolder(base.c_str(), 1, LinkRule::Refuse);
    EXPECT_FALSE(FileExists(base));

    // A subfolder whose deletion stays pending while another handle holds it.
    const std::string held = FreshFolder("tree") + "\\held";
    ASSERT_TRUE(CreateDirectoryA(held.c_str(), nullptr));
    UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(holder.Valid());
    RemoveOwnFolder(base.c_str(), 1, LinkRule::Refuse); // and it returns
}

// This test program carries the sample package as its own RCDATA 100.
TEST(ExtractionFromResource, TheModulesOwnPackageIsDescrambledInItsCopyOnWritePages) {
    SetupContextRecord context;
    ZeroSetupContext(context);
    context.instance = GetModuleHandleA(nullptr);
    {
        WritablePackageImage image(context.instance);
        ASSERT_NE(image.Bytes(), nullptr);
        EXPECT_FALSE(image.CopiedToHeap()) << "a second full copy of the package was made";
    }
    ASSERT_EQ(LoadPackageDirectory(context), 0);
    std::snprintf(context.installFolder, sizeof(context.installFolder), "%s",
                  FreshFolder("from-resource").c_str());
    EXPECT_EQ(ExtractPackage(context), 0);
    for (const PackageEntry& entry : context.packageDirectory) {
        EXPECT_TRUE(FileExists(std::string(context.installFolder) + "\\" + entry.name))
            << entry.name;
    }
    // The walk happens once: the same image now holds plain bytes and every entry
    // would fail, which is why the program walks its package only once a run.
    EXPECT_LT(ExtractPackage(context), -150);
}

// What a removal does for its missing setup programs: only the named entries are
// written, and one of them that cannot be written makes the whole a failure.
// The package is taken from a copy of this test program mapped as data: the
// module's own was descrambled in place by the test above.
TEST(ExtractionFromResource, NamedEntriesFailWhenOneOfThemCannotBeWritten) {
    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    const std::string copy = FreshFolder("named-source") + "\\copy.exe";
    ASSERT_TRUE(CopyFileA(self, copy.c_str(), FALSE));
    UniqueModule mapped(LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(mapped.Valid());
    SetupContextRecord context;
    ZeroSetupContext(context);
    context.instance = mapped.Get();
    ASSERT_EQ(LoadPackageDirectory(context), 0);
    const std::string folder = FreshFolder("named");
    const char* names[] = {context.packageDirectory[3].name, context.packageDirectory[9].name};
    const std::string held = folder + "\\" + names[1];
    ASSERT_EQ(mossgate::CreateFolderPath(held.substr(0, held.rfind('\\')).c_str()), 1);
    ASSERT_EQ(WriteWholeFile(held.c_str(), reinterpret_cast<const uint8_t*>("old"), 3), 1);
    UniqueHandle holder(CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(holder.Valid());
    EXPECT_EQ(ExtractNamedEntries(context, folder.c_str(), names, 2), 0);
    holder.Reset();
    EXPECT_TRUE(FileExists(folder + "\\" + names[0]));
    EXPECT_EQ(ReadWholeFile(held), "old");
    EXPECT_FALSE(FileExists(folder + "\\" + context.packageDirectory[4].name))
        << "an entry not named was written";
}

} // namespace
