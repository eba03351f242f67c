// The environment facts as the program finds them in a fresh Wine prefix.
#include "env/folders.h"
#include "env/os_version.h"
#include "env/places.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

using namespace mossgate;

TEST(Folders, InstallFolderBelowProgramFilesAndTheAllUsersStartMenu) {
    SetupContextRecord context;
    ZeroSetupContext(context);
    ASSERT_EQ(ComposeInstallFolder(context, "Other"), 0);
    ASSERT_EQ(ComposeInstallFolder(context, "KS\\MOSSGATE_CD_Pack"), 0); // composed afresh
    // A folder that does not fit is -1, and no folder at all.
    const std::string overlong(PATH_BYTES, 'x');
    char kept[PATH_BYTES];
    std::snprintf(kept, sizeof(kept), "%s", context.installFolder);
    EXPECT_EQ(ComposeInstallFolder(context, overlong.c_str()), -1);
    EXPECT_STREQ(context.installFolder, "");
    std::snprintf(context.installFolder, sizeof(context.installFolder), "%s", kept);
    // The x86_64 twin sees C:\Program Files; the i686 product on 64-bit Windows
    // sees C:\Program Files (x86).
    const char* expected = DetectWow64() ? "C:\\Program Files (x86)\\KS\\MOSSGATE_CD_Pack"
                                         : "C:\\Program Files\\KS\\MOSSGATE_CD_Pack";
    EXPECT_EQ(lstrcmpiA(context.installFolder, expected), 0) << context.installFolder;

    DiscoverCommonProgramsFolder();
    EXPECT_EQ(lstrcmpiA(commonProgramsFolder,
                        "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"),
              0)
        << commonProgramsFolder;
    const std::string first = commonProgramsFolder;
    commonProgramsFolder[0] = '\0';
    DiscoverCommonProgramsFolder(); // runs once per process: an emptied text stays empty
    EXPECT_STREQ(commonProgramsFolder, "");
    std::snprintf(commonProgramsFolder, sizeof(commonProgramsFolder), "%s", first.c_str());
}

// Both runtimes are 64-bit Windows: a 32-bit program runs under WOW64, the twin not.
TEST(Platform, Wow64ExactlyForThe32BitBuild) {
    EXPECT_EQ(DetectWow64() != 0, sizeof(void*) == 4);
}

BOOL WINAPI AnswersWow64(HANDLE, PBOOL result) {
    *result = TRUE;
    return TRUE;
}

BOOL WINAPI FailsAfterSayingWow64(HANDLE, PBOOL result) {
    *result = TRUE;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

// A system without the function, or whose function fails, counts as 32-bit, so
// the 32-bit setup programs run; only a clear answer says otherwise.
TEST(Platform, Wow64OnlyWhenTheSystemSaysSo) {
    EXPECT_NE(AskWow64(AnswersWow64), 0);
    EXPECT_EQ(AskWow64(FailsAfterSayingWow64), 0);
    EXPECT_EQ(AskWow64(nullptr), 0);
}

// The rule of where the program acts, on this system's own folders and on other
// spellings of them.
TEST(Places, TheUsersFoldersAndTheAdministratorsByTheirPlace) {
    SetupContextRecord context;
    ZeroSetupContext(context);
    ASSERT_EQ(ComposeInstallFolder(context, "KS\\MOSSGATE_CD_Pack"), 0);
    DiscoverCommonProgramsFolder();
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    char userPrograms[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, userPrograms, CSIDL_PROGRAMS, FALSE));
    char profile[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, profile, CSIDL_PROFILE, FALSE));
    char shortTemp[MAX_PATH] = "";
    ASSERT_GT(GetShortPathNameA(temp, shortTemp, MAX_PATH), 0u);
    const std::string windowsFolder = windows;

    const struct {
        std::string folder;
        PlaceOwner owner;
    } cases[] = {
        {context.installFolder, PlaceOwner::AdministratorsOnly},
        {std::string(commonProgramsFolder) + "\\Kestrine", PlaceOwner::AdministratorsOnly},
        {windowsFolder + "\\system32", PlaceOwner::AdministratorsOnly},
        {temp, PlaceOwner::OrdinaryUsers},
        {shortTemp, PlaceOwner::OrdinaryUsers},
        {std::string(context.installFolder) + "\\..\\..\\..\\users", PlaceOwner::OrdinaryUsers},
        {std::string(userPrograms) + "\\Kestrine", PlaceOwner::OrdinaryUsers},
        {std::string(profile) + "\\Documents", PlaceOwner::OrdinaryUsers},
        {windowsFolder + "\\Temp\\x", PlaceOwner::OrdinaryUsers},
        {"C:\\SomewhereElse", PlaceOwner::OrdinaryUsers},
        {"", PlaceOwner::OrdinaryUsers},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OwnerOfFolder(c.folder.c_str()), c.owner) << c.folder;
    }
    EXPECT_EQ(LinkRuleIn(PlaceOwner::AdministratorsOnly), LinkRule::Follow);
    EXPECT_EQ(LinkRuleIn(PlaceOwner::OrdinaryUsers), LinkRule::Refuse);
}

// A temporary folder inside an administrators' place (a service's profile lies below
// the Windows folder) is still the user's own.
TEST(Places, TheTemporaryFolderIsTheUsersWhereverItLies) {
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    const std::string temp = std::string(windows) + "\\ServiceProfile\\Temp";
    char saved[MAX_PATH] = "";
    const DWORD cchSaved = GetEnvironmentVariableA("TMP", saved, MAX_PATH);
    ASSERT_LT(cchSaved, static_cast<DWORD>(MAX_PATH));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp.c_str()));
    const PlaceOwner owner = OwnerOfFolder((temp + "\\mossgate").c_str());
    const PlaceOwner beside = OwnerOfFolder((std::string(windows) + "\\ServiceProfile").c_str());
    SetEnvironmentVariableA("TMP", cchSaved > 0 ? saved : nullptr);
    EXPECT_EQ(owner, PlaceOwner::OrdinaryUsers);
    EXPECT_EQ(beside, PlaceOwner::AdministratorsOnly);
}

// Runs in a child started under a prefix set to the Windows version that
// MOSSGATE_CHILD_UNDER names. This test program has no compatibility manifest, so
// the classic query is capped at 6.2 and only the kernel service tells the truth.
TEST(Platform, ChildUnderAWindowsVersion) {
    char version[16] = "";
    if (GetEnvironmentVariableA("MOSSGATE_CHILD_UNDER", version, sizeof(version)) == 0) {
        GTEST_SKIP() << "runs only as the child of ClassicNumbersAndTheKernelsTruth";
    }
    const struct {
        const char* version;
        DWORD classicMajor;
        DWORD classicMinor;
        DWORD trueMajor;
        OsGeneration generation;
        bool vista;
    } cases[] = {{"win10", 6, 2, 10, OS_WIN10, false},
                 {"vista", 6, 0, 6, OS_VISTA, true},
                 {"win2003", 5, 2, 5, OS_SERVER_2003, false}};
    for (const auto& c : cases) {
        if (std::strcmp(version, c.version) != 0) {
            continue;
        }
        OSVERSIONINFOEXA record;
        ASSERT_TRUE(ReadClassicVersion(record));
        EXPECT_EQ(record.dwMajorVersion, c.classicMajor);
        EXPECT_EQ(record.dwMinorVersion, c.classicMinor);
        EXPECT_EQ(ReadTrueVersion(record), 0);
        EXPECT_EQ(record.dwMajorVersion, c.trueMajor);
        EXPECT_EQ(ClassifyOperatingSystem(), c.generation)
            << "product type " << int(record.wProductType);
        EXPECT_EQ(RunsOnWindowsVista(), c.vista);
        return;
    }
    ADD_FAILURE() << "no case for " << version;
}

LONG WINAPI KernelSaysWindows10(KernelVersionRecord* kernel) {
    kernel->major = 10;
    kernel->minor = 0;
    return 0;
}

LONG WINAPI KernelServiceFails(KernelVersionRecord* kernel) {
    kernel->major = 10;
    return static_cast<LONG>(0xC0000001L);
}

// The classic query says at most 6.2 to a program without a manifest that claims
// later systems; only an answer of the kernel's own service corrects it.
TEST(Platform, TheKernelsAnswerCorrectsTheClassicNumbersOnlyWhenGiven) {
    OSVERSIONINFOEXA record = {};
    record.dwMajorVersion = 6;
    record.dwMinorVersion = 2;
    EXPECT_EQ(CorrectVersion(record, KernelServiceFails), 0);
    EXPECT_EQ(record.dwMajorVersion, 6u) << "a failed answer was used";
    EXPECT_EQ(CorrectVersion(record, nullptr), -1);
    EXPECT_EQ(record.dwMajorVersion, 6u);
    EXPECT_EQ(CorrectVersion(record, KernelSaysWindows10), 0);
    EXPECT_EQ(record.dwMajorVersion, 10u);
    EXPECT_EQ(record.dwMinorVersion, 0u);
}

// Each version in a child of its own, the prefix's Windows version set for it.
TEST(Platform, ClassicNumbersAndTheKernelsTruth) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof(self));
    for (const char* version : {"win10", "vista", "win2003"}) {
        HKEY wine = nullptr;
        ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, "Software\\Wine", &wine), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(wine, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                                 static_cast<DWORD>(std::strlen(version) + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(wine);
        SetEnvironmentVariableA("MOSSGATE_CHILD_UNDER", version);
        mossgate::testing::ChildProcess child;
        ASSERT_TRUE(mossgate::testing::StartProgram(
            self, "--gtest_filter=Platform.ChildUnderAWindowsVersion", child));
        EXPECT_EQ(mossgate::testing::WaitForExit(child, 30000), std::optional<int32_t>(0))
            << version;
    }
    SetEnvironmentVariableA("MOSSGATE_CHILD_UNDER", nullptr);
    RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Wine", "Version");
}

} // namespace
