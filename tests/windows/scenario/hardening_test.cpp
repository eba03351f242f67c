// The real twin against what a hostile or unlucky user leaves on the system: links
// where its folders and shortcuts belong, names outside the ANSI code page, a copy
// of itself that cannot be made, an install folder deleted by hand, a damaged
// resource directory. Each suite runs in a prefix of its own.
#include "common/win32/file_system.h"
#include "common/win32/folder_handles.h"
#include "env/driver_probe.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using namespace mossgate::testing;

// Replaces a folder of the program by a link to `target`.
void PlantFolderLink(const std::string& folder, const std::string& target) {
    mossgate::RemoveOwnFolder(folder.c_str(), 1, mossgate::LinkRule::Refuse);
    ASSERT_FALSE(FileExists(folder));
    ASSERT_TRUE(MakeUnixLink(target, folder));
    ASSERT_TRUE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    ASSERT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(LinkAtStartMenuFolder, RemovalNeverReachesThroughIt) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    const std::string outside = OutsideFolder("menu");
    PlantFolderLink(UserStartMenuFolder(), outside);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    ExpectUntouched(outside);
    EXPECT_FALSE(FileExists(CommonStartMenuFolder())) << "the other Start menu is removed";
}

TEST(LinkAtMakerFolder, InstallMakesNoShortcutThroughIt) {
    const std::string outside = OutsideFolder("maker");
    ASSERT_TRUE(MakeUnixLink(outside, UserProgramsFolder() + "\\Kestrine"));
    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ExpectUntouched(outside);
    EXPECT_FALSE(FileExists(outside + "\\MOSSGATE_CD_Pack"));
    for (const char* link : kShortcutFiles) {
        EXPECT_TRUE(FileExists(CommonStartMenuFolder() + "\\" + link)) << link;
    }
}

// Program Files is the administrators': a junction or a mounted volume there (how
// programs are moved to another disk) is their choice, followed and never removed.
// Here a link in the prefix stands for both.
std::string AdministratorsTarget(const std::string& name) {
    const std::string target = "C:\\Moved\\" + name;
    EXPECT_EQ(mossgate::CreateFolderPath(target.c_str()), 1);
    WriteWholeFile(target + "\\theirs.txt", "keep");
    return target;
}

bool IsLink(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

TEST(AdministratorsLinkAtMakerFolder, FollowedForInstallAndRemovalAndNeverRemoved) {
    const std::string maker = MakerFolder();
    const std::string target = AdministratorsTarget("KS");
    ASSERT_TRUE(MakeUnixLink(target, maker));
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ExpectPackageIn(target + "\\MOSSGATE_CD_Pack");
    EXPECT_TRUE(IsLink(maker));

    // A failing removal leaves everything as it was, the link included.
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_D", "-5");
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(-20));
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_D", nullptr);
    EXPECT_TRUE(IsLink(maker));
    EXPECT_TRUE(FileExists(InstallFolder() + "\\readme.txt"));
    EXPECT_TRUE(UninstallKeyExists());

    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
    EXPECT_FALSE(FileExists(target + "\\MOSSGATE_CD_Pack"));
    EXPECT_TRUE(IsLink(maker)) << "the maker's other products stay reachable";
    EXPECT_EQ(ReadWholeFile(target + "\\theirs.txt"), "keep");
}

TEST(AdministratorsLinkAtInstallFolder, FollowedAndEmptiedButNeverRemoved) {
    const std::string folder = InstallFolder();
    ASSERT_EQ(mossgate::CreateFolderPath(MakerFolder().c_str()), 1);
    const std::string target = AdministratorsTarget("Pack");
    ASSERT_TRUE(MakeUnixLink(target, folder));
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ExpectPackageIn(target);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
    EXPECT_FALSE(FileExists(target + "\\readme.txt"));
    EXPECT_TRUE(IsLink(folder));
    EXPECT_TRUE(FileExists(target));
}

// A link where a shortcut goes, or in a folder that the removal walks, is left
// alone: nothing is written or deleted through it or in its place. Links to files
// too: Wine's listing shows such a link as the file it leads to, and deleting the
// link deletes that file.
TEST(LinkAtShortcut, NothingIsWrittenOrDeletedThroughIt) {
    for (const bool toFile : {false, true}) {
        SCOPED_TRACE(toFile ? "a link to a file" : "a link to a folder");
        const std::string outside = OutsideFolder(toFile ? "file" : "folder");
        const std::string target = toFile ? outside + "\\precious.txt" : outside;
        const std::string menu = UserStartMenuFolder();
        ASSERT_EQ(mossgate::CreateFolderPath(menu.c_str()), 1);
        ASSERT_TRUE(MakeUnixLink(target, menu + "\\Readme.LNK"));
        EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        ExpectUntouched(outside);
        EXPECT_TRUE(FileExists(menu + "\\MOSSGATE C Control Panel.LNK"));
        // Also at the name of a file of the package.
        const std::string links[] = {menu + "\\Readme.LNK", InstallFolder() + "\\planted",
                                     CommonStartMenuFolder() + "\\planted",
                                     InstallFolder() + "\\readme.txt"};
        ASSERT_TRUE(DeleteFileA(links[3].c_str()));
        for (const std::string& link : {links[1], links[2], links[3]}) {
            ASSERT_TRUE(MakeUnixLink(target, link));
        }
        EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
        ExpectUntouched(outside);
        EXPECT_FALSE(UninstallKeyExists()) << "a link is nothing of the program's";
        for (const std::string& link : links) {
            EXPECT_TRUE(FileExists(link)) << link << " is gone";
        }
        for (const std::string& folder : {menu, InstallFolder(), CommonStartMenuFolder()}) {
            EXPECT_TRUE(RemoveFromUnixSide(folder));
        }
    }
}

TEST(NamesOutsideTheCodePage, InstallAndRemovalWorkWithThem) {
    // Greek letters: outside code page 1252, so the ANSI calls see only '?'.
    const std::wstring greek = L"\x03b1\x03b2\x03b3";
    const std::string folder = TempFolder("run");
    const std::wstring wideFolder = std::wstring(folder.begin(), folder.end()) + L"\\" + greek;
    ASSERT_TRUE(CreateDirectoryW(wideFolder.c_str(), nullptr));
    const std::wstring renamed = wideFolder + L"\\" + greek + L".exe";
    const std::string twinPath = TwinPath();
    const std::wstring twin(twinPath.begin(), twinPath.end());
    ASSERT_TRUE(CopyFileW(twin.c_str(), (wideFolder + L"\\setup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(twin.c_str(), renamed.c_str(), FALSE));

    // Started from such a folder, the program copies itself under its own name ...
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    for (const std::wstring& program : {wideFolder + L"\\setup.exe", renamed}) {
        std::wstring commandLine = L"\"" + program + L"\" -h -i";
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                   nullptr, nullptr, &startup, &info));
        ChildProcess child;
        child.process.Reset(info.hProcess);
        child.thread.Reset(info.hThread);
        EXPECT_EQ(WaitForExit(child, 120000), std::optional<int32_t>(0));
        const std::string copy = program == renamed ? "MOSSGATE_CD_Pack_Setup.exe" : "setup.exe";
        EXPECT_EQ(ReadWholeFile(InstallFolder() + "\\" + copy), ReadWholeFile(TwinPath()));
        EXPECT_EQ(UninstallValue("DisplayIcon"), InstallFolder() + "\\" + copy);
        // ... and its removal walks a Start-menu folder that holds such a name.
        const std::string menuPath = UserStartMenuFolder();
        const std::wstring menu(menuPath.begin(), menuPath.end());
        ASSERT_TRUE(CreateDirectoryW((menu + L"\\" + greek).c_str(), nullptr));
        ASSERT_TRUE(CopyFileW(twin.c_str(), (menu + L"\\" + greek + L"\\" + greek).c_str(), FALSE));
        EXPECT_EQ(RunSetup(TwinPath(), "-h -u", 60000), std::optional<int32_t>(0)) << "it must end";
        EXPECT_FALSE(FileExists(UserStartMenuFolder()));
    }
}

// Something of another's where the install folder or the program's copy goes: the
// install fails with a result of its own, spares it and writes no uninstall entry;
// what it installed can still be removed.
TEST(InstallPathTaken, TheInstallFailsWithItsOwnResultAndStaysRemovable) {
    ASSERT_EQ(mossgate::CreateFolderPath(MakerFolder().c_str()), 1);
    ASSERT_TRUE(WriteWholeFile(InstallFolder(), "keep"));
    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(-3)) << "a file at the folder";
    EXPECT_EQ(ReadWholeFile(InstallFolder()), "keep");
    ASSERT_TRUE(DeleteFileA(InstallFolder().c_str()));

    ASSERT_EQ(mossgate::CreateFolderPath(InstalledCopy().c_str()), 1);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(-11)) << "a folder at the copy";
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
}

TEST(InstallFolderLost, RemovalPutsTheSetupProgramsBackFromThePackage) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    mossgate::RemoveOwnFolder(InstallFolder().c_str(), 1, mossgate::LinkRule::Refuse);
    ASSERT_FALSE(FileExists(InstallFolder()));
    const std::string log = TempFolder("scenario") + "\\lost.log";
    UseStandinLog(log);
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    ExpectBothStartedInTheInstallFolder(log);
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
    EXPECT_FALSE(FileExists(InstallFolder())) << "the folder made again is removed";
    EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0)) << "installs again";
}

// Only a missing setup program is taken from the package: one that is in its place
// runs as it is (a traced program stands in for driver C's, driver D's is gone).
TEST(OneSetupProgramLost, RemovalPutsBackOnlyThatOne) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    const std::string programC = DriverSetupProgram('C');
    const std::string programD = DriverSetupProgram('D');
    ASSERT_TRUE(
        CopyFileA((ExecutableFolder() + "\\trace_program.exe").c_str(), programC.c_str(), FALSE));
    ASSERT_TRUE(DeleteFileA(programD.c_str()));
    const std::string logs = TempFolder("one-lost");
    UseStandinLog(logs + "\\starts.log");
    SetChildEnvironment("MOSSGATE_TRACE_LOG", (logs + "\\traced.log").c_str());
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    SetChildEnvironment("MOSSGATE_TRACE_LOG", nullptr);
    EXPECT_EQ(ReadWholeFile(logs + "\\traced.log"), programC + "\r\n")
        << "driver C's setup program in place was replaced from the package";
    const auto starts = StandinLogLines(logs + "\\starts.log");
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].substr(0, starts[0].find('\t')), programD) << "driver D's put back";
    EXPECT_FALSE(FileExists(InstallFolder()));
}

// Damaged copies of the program: a wrong digest stops the install before any
// driver's setup program starts (the other entries are written); a package size
// past the image's end is read only as far as the image goes.
TEST(DamagedPackage, AWrongDigestStopsBeforeTheDriversASizePastTheImageReadsWhatIsThere) {
    const struct {
        const char* damage;
        int32_t exitCode;
        size_t driverStarts;
        bool installed;
    } cases[] = {{"corrupt-digest 40", -10, 0, false}, {"inflate-package", 0, 2, true}};
    const std::string log = TempFolder("damaged-package") + "\\starts.log";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.damage);
        UseStandinLog(log);
        EXPECT_EQ(RunSetup(DamagedCopy(c.damage), "-h -i"), std::optional<int32_t>(c.exitCode));
        EXPECT_EQ(StandinLogLines(log).size(), c.driverStarts);
        EXPECT_TRUE(FileExists(InstallFolder() + "\\readme.txt"));
        EXPECT_EQ(UninstallKeyExists(), c.installed);
        EXPECT_EQ(mossgate::ProbeInstalledDrivers(), c.installed ? 1 : 0);
    }
}

} // namespace
