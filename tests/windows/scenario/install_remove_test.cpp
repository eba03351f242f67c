// The real twin installing and removing the sample package unattended ("-h -i",
// "-h -u"), each suite in a fresh prefix. Exit codes are full 32-bit values.
#include "env/driver_probe.h"
#include "env/os_version.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <string>

namespace {

using namespace mossgate::testing;

constexpr const char* kLogName = "standin-starts.log";
constexpr const char* kShellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string LogPath() {
    return TempFolder("scenario") + "\\" + kLogName;
}

void ExpectFullyInstalled() {
    ExpectPackageIn(InstallFolder());
    EXPECT_EQ(ReadWholeFile(InstalledCopy()), ReadWholeFile(TwinPath()));
    ExpectShortcutsIn(UserStartMenuFolder(), true);
    ExpectShortcutsIn(CommonStartMenuFolder(), true);
    EXPECT_EQ(UninstallValue("DisplayName"), std::optional<std::string>("MOSSGATE C+D Package"));
    EXPECT_EQ(UninstallValue("Publisher"), std::optional<std::string>("Kestrine Software"));
    EXPECT_EQ(UninstallValue("UninstallString"),
              std::optional<std::string>("\"" + InstalledCopy() + "\""));
    EXPECT_EQ(UninstallValue("DisplayIcon"), std::optional<std::string>(InstalledCopy()));
    // What management tools read: the version as Windows reads it from the program,
    // a removal that asks nothing, no Change or Repair, and the size of what is there.
    const std::string version = ProductVersionOf(TwinPath());
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(UninstallValue("DisplayVersion"), std::optional<std::string>(version));
    EXPECT_EQ(UninstallValue("QuietUninstallString"),
              std::optional<std::string>("\"" + InstalledCopy() + "\" -h -u"));
    EXPECT_EQ(UninstallDword("NoModify"), std::optional<uint32_t>(1));
    EXPECT_EQ(UninstallDword("NoRepair"), std::optional<uint32_t>(1));
    EXPECT_EQ(UninstallDword("EstimatedSize"), std::optional<uint32_t>(static_cast<uint32_t>(
                                                   (FolderBytes(InstallFolder()) + 1023) / 1024)));
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1);
    // A 32-bit program on 64-bit Windows writes the entry in the 32-bit view only,
    // the 64-bit twin in the 64-bit view.
    const bool wow64 = mossgate::DetectWow64() != 0;
    EXPECT_EQ(UninstallKeyExists(KEY_WOW64_32KEY), wow64);
    EXPECT_EQ(UninstallKeyExists(KEY_WOW64_64KEY), !wow64);
}

void ExpectFullyRemoved() {
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_TRUE(FileExists(MakerFolder())) << "the maker-level folder must stay";
    EXPECT_FALSE(FileExists(UserStartMenuFolder()));
    EXPECT_FALSE(FileExists(CommonStartMenuFolder()));
    EXPECT_TRUE(FileExists(UserProgramsFolder() + "\\Kestrine"));
    EXPECT_TRUE(FileExists(CommonProgramsFolder() + "\\Kestrine"));
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
}

std::string ExpectedLogLine(char driver, const char* switches) {
    return DriverSetupProgram(driver) + "\t" + switches + "\t" + InstallFolder();
}

TEST(InstallThenRemove, SilentInstallThenSilentInstallAgainRemoves) {
    const std::string log = LogPath();
    UseStandinLog(log);
    ASSERT_EQ(mossgate::ProbeInstalledDrivers(), 0);

    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ExpectFullyInstalled();
    const auto starts = StandinLogLines(log);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0], ExpectedLogLine('C', "-h -i -H -n"));
    EXPECT_EQ(starts[1], ExpectedLogLine('D', "-h -i -H -n"));

    UseStandinLog(log);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ExpectFullyRemoved();
    const auto removals = StandinLogLines(log);
    ASSERT_EQ(removals.size(), 2u);
    EXPECT_EQ(removals[0], ExpectedLogLine('C', "-h -u -H"));
    EXPECT_EQ(removals[1], ExpectedLogLine('D', "-h -u -H"));
}

// Driver C's setup program asks for a restart (1) or fails, also by crashing: the
// install stops before driver D's with its own result, the package's files stay,
// and no shortcut, copy or uninstall entry claims an install.
TEST(DriverCDoesNotInstall, InstallStopsBeforeDriverDWithItsOwnResult) {
    const struct {
        const char* exitCode;
        int32_t result;
    } cases[] = {{"-1", -20}, {"0xC0000005", -20}, {"1", -21}};
    const std::string log = LogPath();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode);
        UseStandinLog(log);
        SetChildEnvironment("MOSSGATE_STANDIN_EXIT_C", c.exitCode);
        EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(c.result));
        SetChildEnvironment("MOSSGATE_STANDIN_EXIT_C", nullptr);
        EXPECT_EQ(StandinLogLines(log).size(), 1u) << "driver D must not start";
        ExpectPackageIn(InstallFolder());
        ExpectShortcutsIn(UserStartMenuFolder(), false);
        ExpectShortcutsIn(CommonStartMenuFolder(), false);
        EXPECT_FALSE(FileExists(InstalledCopy()));
        EXPECT_FALSE(UninstallKeyExists());
    }
}

TEST(DriverDFailsDuringRemoval, DriverCIsRemovedAndEverythingElseStays) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    const std::string log = LogPath();
    UseStandinLog(log);
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_D", "-1");
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(-20));
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_D", nullptr);
    EXPECT_EQ(StandinLogLines(log).size(), 2u);
    EXPECT_EQ(mossgate::ProbeDriverInterface(mossgate::DRIVER_INTERFACE_CLASSES[0]), nullptr)
        << "driver C is removed first";
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1) << "driver D alone is still found";
    EXPECT_TRUE(FileExists(InstallFolder() + "\\readme.txt"));
    ExpectShortcutsIn(UserStartMenuFolder(), true);
    EXPECT_TRUE(UninstallKeyExists());
}

// A per-user Programs value that cannot be used (one to expand, an empty one, none):
// only the all-users shortcuts are made, and nothing where the value would lead.
TEST(UserProgramsValueUnusable, OnlyTheAllUsersShortcutsAreMade) {
    const std::string userPrograms = UserProgramsFolder();
    ASSERT_FALSE(userPrograms.empty());
    const struct {
        DWORD type;
        std::string text;
    } values[] = {{REG_EXPAND_SZ, userPrograms}, {REG_SZ, ""}, {REG_NONE, ""}};
    for (const auto& value : values) {
        SCOPED_TRACE(value.type);
        if (value.type == REG_NONE) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs");
        } else {
            ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Programs", value.type,
                                      value.text.c_str(),
                                      static_cast<DWORD>(value.text.size() + 1)),
                      ERROR_SUCCESS);
        }
        EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        EXPECT_FALSE(FileExists(userPrograms + "\\Kestrine"));
        EXPECT_FALSE(FileExists("\\Kestrine"));
        ExpectShortcutsIn(CommonStartMenuFolder(), true);
        EXPECT_TRUE(UninstallKeyExists());
        EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    }
}

// The names in a folder, "." and ".." left out; none when it is missing.
std::set<std::string> NamesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        names.insert(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    names.erase(".");
    names.erase("..");
    return names;
}

// What stands in a removal's way after an install: a file of the package held open
// without sharing, a control panel running from the install folder (its current
// folder too), a shortcut in the all-users Start menu held open, or files,
// shortcuts and folders of the program's marked read-only, hidden and system. The
// removal deletes everything else, plans what it cannot delete for the restart
// (the notice it shows is then true) and so removes the uninstall entry; the
// restart finishes it.
TEST(SomethingInTheWayOfRemoval, TheRestQuitsNowTheRestartTakesWhatIsLeft) {
    enum Way { kHeldFile, kRunningControlPanel, kHeldShortcut, kProtected };
    const struct {
        Way way;
        const char* what;
        std::set<std::string> leftInInstallFolder;
        size_t planned;
    } cases[] = {
        {kHeldFile, "a held file", {"readme.txt"}, 2},
        {kRunningControlPanel, "a running control panel", {"MOSSGATE_C_ControlPanel.exe"}, 2},
        {kHeldShortcut, "a held shortcut", {}, 2},
        {kProtected, "read-only, hidden and system files", {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        mossgate::UniqueHandle held;
        ChildProcess panel;
        const DWORD hidden =
            FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
        switch (c.way) {
        case kHeldFile:
        case kHeldShortcut:
            held.Reset(CreateFileA((c.way == kHeldFile
                                        ? InstallFolder() + "\\readme.txt"
                                        : CommonStartMenuFolder() + "\\" + kShortcutFiles[0])
                                       .c_str(),
                                   GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.Valid());
            break;
        case kRunningControlPanel:
            ASSERT_TRUE(StartProgram(InstallFolder() + "\\MOSSGATE_C_ControlPanel.exe", "", panel,
                                     InstallFolder().c_str()));
            ASSERT_NE(WaitForProcessWindow(panel.id, "MossgateStandinControlPanel", 20000),
                      nullptr);
            break;
        case kProtected:
            for (const std::string& path :
                 {InstallFolder() + "\\kestrine_mossgatec_win10.sys", InstalledCopy(),
                  UserStartMenuFolder() + "\\" + kShortcutFiles[0],
                  CommonStartMenuFolder() + "\\" + kShortcutFiles[1], UserStartMenuFolder()}) {
                ASSERT_TRUE(SetFileAttributesA(path.c_str(), hidden)) << path;
            }
            break;
        }
        EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
        EXPECT_EQ(NamesIn(InstallFolder()), c.leftInInstallFolder);
        EXPECT_EQ(PlannedDeletions(), c.planned) << "what stays and its folder";
        EXPECT_FALSE(UninstallKeyExists()) << "nothing of the program's stays unplanned";
        held.Reset();
        if (panel.process.Valid()) {
            TerminateProcess(panel.process.Get(), 0);
            WaitForExit(panel, 10000);
        }
        ASSERT_TRUE(SimulateRestart());
        ExpectFullyRemoved();
    }
}

} // namespace
