// The walk over real packages, writing into real folders of the prefix.
#include "package/extraction.h"
#include "package/file_system.h"
#include "package/package_resource.h"
#include "package/package_writer.h"
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
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + "extract-" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::vector<PlainFile> SampleFiles() {
    std::vector<PlainFile> files;
    for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        PlainFile file;
        file.name = "file" + std::to_string(i) + ".bin";
        file.reserved = RESERVED_DRIVER_C;
        file.bytes.resize(1 + (i * 37) % 700);
        for (size_t b = 0; b < file.bytes.size(); ++b) {
            file.bytes[b] = static_cast<uint8_t>(i * 7 + b * 13);
        }
        files.push_back(file);
    }
    return files;
}

struct Extraction {
    SetupContextRecord context;
    std::vector<uint8_t> image;

    Extraction(const std::vector<PlainFile>& files, const std::string& installFolder) {
        ZeroSetupContext(context);
        image = WritePackage(files);
        std::snprintf(context.installFolder, sizeof(context.installFolder), "%s",
                      installFolder.c_str());
        EXPECT_TRUE(CopyPackageDirectory(image.data(), image.size(), context.packageDirectory));
    }
    PackageEntry& DirectoryEntry(size_t i) {
        return reinterpret_cast<PackageEntry*>(image.data())[i];
    }
    int Run() {
        EXPECT_TRUE(CopyPackageDirectory(image.data(), image.size(), context.packageDirectory));
        return ExtractPackageImage(context, image.data(), image.size());
    }
};

std::string AsText(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

TEST(Extraction, CleanPackageWritesAll61FilesByteForByte) {
    const std::string folder = FreshFolder("clean");
    const auto files = SampleFiles();
    Extraction run(files, folder);
    EXPECT_EQ(run.Run(), 0);
    for (const PlainFile& file : files) {
        EXPECT_EQ(ReadWholeFile(folder + "\\" + file.name), AsText(file.bytes)) << file.name;
    }
}

TEST(Extraction, WrongDigestFailsOnlyItsOwnEntry) {
    const std::string folder = FreshFolder("digest");
    const auto files = SampleFiles();
    Extraction run(files, folder);
    run.DirectoryEntry(20).plainDigest[3] ^= 0x40;
    EXPECT_EQ(run.Run(), -101);
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(FileExists(folder + "\\" + files[i].name), i != 20) << i;
    }
}

// The next key is the digest of the stored bytes, so a changed byte misleads the
// chain; but the key is replaced by each entry's own digest and the seed keeps only
// 24 bits of its square, so the chain is back in step four entries later.
TEST(Extraction, ChangedStoredByteFailsItsEntryUntilTheChainCatchesUp) {
    for (size_t broken : {size_t{0}, size_t{30}, size_t{56}, size_t{60}}) {
        const std::string folder = FreshFolder("stored" + std::to_string(broken));
        const auto files = SampleFiles();
        Extraction run(files, folder);
        run.image[run.DirectoryEntry(broken).dataOffset] ^= 0x01;
        const int result = run.Run();
        int missing = 0;
        for (size_t i = 0; i < files.size(); ++i) {
            const bool written = FileExists(folder + "\\" + files[i].name);
            missing += written ? 0 : 1;
            if (i < broken || i > broken + 4) {
                EXPECT_TRUE(written) << "entry " << i << " after a break in " << broken;
            }
        }
        EXPECT_FALSE(FileExists(folder + "\\" + files[broken].name));
        if (broken + 1 < files.size()) {
            EXPECT_FALSE(FileExists(folder + "\\" + files[broken + 1].name)) << "wrong key";
        }
        EXPECT_EQ(result, -(100 + missing));
    }
}

TEST(Extraction, OutOfBoundsEntryWritesNothingAndMisleadsTheNextEntries) {
    const std::string folder = FreshFolder("bounds");
    const auto files = SampleFiles();
    Extraction run(files, folder);
    run.DirectoryEntry(12).dataOffset = static_cast<uint32_t>(run.image.size());
    const int result = run.Run();
    EXPECT_LE(result, -102);
    EXPECT_GE(result, -106);
    EXPECT_FALSE(FileExists(folder + "\\" + files[12].name));
    EXPECT_FALSE(FileExists(folder + "\\" + files[13].name));
    EXPECT_TRUE(FileExists(folder + "\\" + files[11].name));
    EXPECT_TRUE(FileExists(folder + "\\" + files[18].name));
}

TEST(Extraction, TargetHeldOpenElsewhereFailsOnlyThatEntryAndKeepsItsContent) {
    const std::string folder = FreshFolder("locked");
    const auto files = SampleFiles();
    const std::string locked = folder + "\\" + files[5].name;
    ASSERT_EQ(WriteWholeFile(locked.c_str(), reinterpret_cast<const uint8_t*>("old"), 3), 1);
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    Extraction run(files, folder);
    EXPECT_EQ(run.Run(), -101);
    CloseHandle(holder);
    EXPECT_EQ(ReadWholeFile(locked), "old");
    EXPECT_EQ(ReadWholeFile(folder + "\\" + files[6].name), AsText(files[6].bytes));
}

TEST(Extraction, InstallFolderEndingInBackslashGetsNoSecondOne) {
    const std::string folder = FreshFolder("trailing");
    const auto files = SampleFiles();
    Extraction run(files, folder + "\\");
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(ReadWholeFile(folder + "\\" + files[0].name), AsText(files[0].bytes));
}

TEST(Extraction, NameWithSubfolderCreatesTheFolder) {
    const std::string folder = FreshFolder("sub");
    auto files = SampleFiles();
    files[7].name = "sub\\deeper\\file.txt";
    Extraction run(files, folder);
    EXPECT_EQ(run.Run(), 0);
    EXPECT_EQ(ReadWholeFile(folder + "\\sub\\deeper\\file.txt"), AsText(files[7].bytes));
}

TEST(Extraction, NamesThatWouldLeaveTheInstallFolderAreNeverWritten) {
    const std::string parent = FreshFolder("escape");
    const std::string folder = parent + "\\install";
    CreateDirectoryA(folder.c_str(), nullptr);
    auto files = SampleFiles();
    const std::string absolute = parent + "\\absolute.txt";
    files[1].name = "..\\escaped.txt";
    files[2].name = "sub\\..\\..\\escaped2.txt";
    files[3].name = absolute;
    files[4].name = "C:escaped3.txt";
    files[5].name = "\\rooted.txt";
    files[6].name = "sub/../../escaped4.txt";
    Extraction run(files, folder);
    EXPECT_EQ(run.Run(), -106);
    for (const char* name : {"escaped.txt", "escaped2.txt", "absolute.txt", "escaped4.txt"}) {
        EXPECT_FALSE(FileExists(parent + "\\" + name)) << name;
    }
    EXPECT_FALSE(FileExists("C:\\rooted.txt"));
    EXPECT_EQ(ReadWholeFile(folder + "\\" + files[7].name), AsText(files[7].bytes));
}

TEST(Extraction, TargetPathOverItsBufferCountsAsFailedWithoutOverflow) {
    const std::string folder = FreshFolder("long");
    auto files = SampleFiles();
    // 1023-character install folder text: no entry name fits after it.
    Extraction run(files, folder);
    std::string longFolder = folder + "\\" + std::string(1023 - folder.size() - 1, 'x');
    ASSERT_EQ(longFolder.size(), 1023u);
    std::memcpy(run.context.installFolder, longFolder.c_str(), longFolder.size() + 1);
    EXPECT_EQ(ExtractPackageImage(run.context, run.image.data(), run.image.size()), -161);
}

TEST(Extraction, UnterminatedNameCountsAsFailedAndKeepsTheChain) {
    const std::string folder = FreshFolder("unterminated");
    const auto files = SampleFiles();
    Extraction run(files, folder);
    std::memset(run.DirectoryEntry(10).name, 'n', PACKAGE_NAME_BYTES);
    EXPECT_EQ(run.Run(), -101);
    EXPECT_EQ(ReadWholeFile(folder + "\\" + files[11].name), AsText(files[11].bytes));
}

TEST(CreateFolderPathTest, CreatesEachMissingLevelBelowTheRoot) {
    const std::string base = FreshFolder("folders");
    const std::string deep = base + "\\KS\\MOSSGATE_CD_Pack\\x";
    EXPECT_EQ(CreateFolderPath(deep.c_str()), 1);
    EXPECT_TRUE(FileExists(deep));
    EXPECT_EQ(CreateFolderPath(deep.c_str()), 1); // existing: 1, nothing changes
    const std::string trailing = base + "\\trail\\last\\";
    EXPECT_EQ(CreateFolderPath(trailing.c_str()), 1);
    EXPECT_TRUE(FileExists(base + "\\trail\\last"));
}

TEST(CreateFolderPathTest, RefusesShortMissingAndOverlongPaths) {
    EXPECT_EQ(CreateFolderPath(nullptr), 0);
    EXPECT_EQ(CreateFolderPath("C:\\a"), 0); // 4 characters
    EXPECT_EQ(CreateFolderPath("C:\\"), 0);
    const std::string overlong = "C:\\" + std::string(1021, 'y'); // 1024 characters
    EXPECT_EQ(CreateFolderPath(overlong.c_str()), 0);
    EXPECT_FALSE(FileExists("C:\\yyyy"));
    EXPECT_EQ(CreateFolderPath("C:\\Windows"), 1); // the root alone is never created
}

TEST(CreateFolderPathTest, AFileInTheWayFailsTheWrite) {
    const std::string base = FreshFolder("blocked");
    const std::string blocker = base + "\\blocker";
    ASSERT_EQ(WriteWholeFile(blocker.c_str(), reinterpret_cast<const uint8_t*>("x"), 1), 1);
    const std::string below = blocker + "\\child";
    EXPECT_EQ(CreateFolderPath(below.c_str()), 0);
    EXPECT_EQ(WriteWholeFile((below + "\\f.txt").c_str(), reinterpret_cast<const uint8_t*>("x"), 1),
              0);
}

} // namespace

namespace {

using namespace mossgate;

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
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::snprintf(context.installFolder, sizeof(context.installFolder), "%sfrom-resource", temp);
    CreateDirectoryA(context.installFolder, nullptr);
    EXPECT_EQ(ExtractPackage(context), 0);
    for (const PackageEntry& entry : context.packageDirectory) {
        EXPECT_TRUE(
            mossgate::testing::FileExists(std::string(context.installFolder) + "\\" + entry.name))
            << entry.name;
    }
    const std::string readme =
        mossgate::testing::ReadWholeFile(std::string(context.installFolder) + "\\readme.txt");
    EXPECT_NE(readme.find("MOSSGATE"), std::string::npos);
    // The walk happens once: the same image now holds plain bytes and every entry
    // would fail, which is why the program walks its package only once a run.
    EXPECT_LT(ExtractPackage(context), -150);
}

} // namespace
