// The program's own file: started as the installed copy (by any spelling of its
// path), installed again before the restart that a removal asked for, and its
// window when a driver's setup program cannot be started. Each suite runs in a
// prefix of its own.
#include "app/messages.h"
#include "common/product_names.h"
#include "env/driver_probe.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace mossgate::testing;

bool PendingRenamesValueExists() {
    return RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                        L"PendingFileRenameOperations", RRF_RT_ANY, nullptr, nullptr,
                        nullptr) == ERROR_SUCCESS;
}

// A removal from the installed copy leaves the copy and its folder to the next
// restart, with a file of the package and an all-users shortcut held open then. An
// install before it takes exactly those deletions back, so the restart does not
// delete what the new install put there.
TEST(RestartPlans, AnInstallBeforeTheRestartTakesBackExactlyItsOwnDeletions) {
    WriteWholeFile("C:\\unrelated.tmp", "x");
    const std::vector<std::wstring> others = {
        L"\\??\\C:\\unrelated.tmp",
        L"", // an existing file's deletion
        L"\\??\\C:\\gone.tmp",
        L"", // a missing file's
        L"\\??\\C:\\a.tmp",
        L"!\\??\\C:\\b.tmp", // a rename
        L"\\??\\UNC\\server\\share\\c.tmp",
        L"", // a deletion on a share
    };
    SetPendingRenames(others);
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    {
        const std::string files[] = {InstallFolder() + "\\readme.txt",
                                     CommonStartMenuFolder() + "\\" + kShortcutFiles[0]};
        mossgate::UniqueHandle held[2];
        for (size_t i = 0; i < 2; ++i) {
            held[i].Reset(
                CreateFileA(files[i].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held[i].Valid()) << files[i];
        }
        ASSERT_EQ(RunSetup(InstalledCopy(), "-h -u"), std::optional<int32_t>(0));
    }
    ASSERT_EQ(PlannedDeletions(), 8u)
        << "three of the others; the file, the shortcut, its folder, the copy, the install folder";
    EXPECT_FALSE(FileExists(InstallFolder() + "\\kestrine_mossgatec_win10.sys"));
    EXPECT_FALSE(UninstallKeyExists());

    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    EXPECT_EQ(PendingRenames(), others);
    EXPECT_EQ(ReadWholeFile(InstalledCopy()), ReadWholeFile(TwinPath()));

    // With nothing else planned, the list goes; the install from the copy itself
    // takes its deletions back too. No system replaces a running program's file:
    // installing from the copy, the copy is already whole.
    SetPendingRenames({});
    ASSERT_EQ(RunSetup(InstalledCopy(), "-h -u"), std::optional<int32_t>(0));
    ASSERT_EQ(PlannedDeletions(), 2u);
    EXPECT_EQ(RunSetup(InstalledCopy(), "-h -i"), std::optional<int32_t>(0));
    EXPECT_FALSE(PendingRenamesValueExists());
    EXPECT_TRUE(UninstallKeyExists());
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1);
    EXPECT_EQ(ReadWholeFile(InstalledCopy()), ReadWholeFile(TwinPath()));
    EXPECT_EQ(UninstallValue("DisplayIcon"), std::optional<std::string>(InstalledCopy()));
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The texts, each with its zero.
std::wstring Texts(const std::vector<std::wstring>& texts) {
    std::wstring value;
    for (const std::wstring& text : texts) {
        value += text + L'\0';
    }
    return value;
}

// Other software's restart plans, in every shape, beside the program's own
// deletions in other spellings; in a second round with an empty source text and
// more after it, which the restart never reads. Installed again from the copy, the
// program takes out only its own deletions among the pairs the restart carries out
// and keeps every other byte. The restart then carries out the others and leaves
// the new install, whose uninstall entry still works.
TEST(OtherSoftwaresRestartPlans, StayByteForByteAndTheRestartCarriesThemOut) {
    const std::string maker = MakerFolder();
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ASSERT_TRUE(MakeUnixLink(maker, "C:\\Alias"));
    ASSERT_TRUE(GiveDriveLetter('S', maker));
    ASSERT_TRUE(MakeUnixLink(InstallFolder(), "C:\\FolderLink"));
    const std::wstring copy = L"\\??\\" + Wide(InstalledCopy());
    const std::wstring hardLink = L"\\??\\" + Wide(InstallFolder()) + L"\\Hard.exe";
    const std::wstring besideTheFolder = L"\\??\\" + Wide(maker) + L"\\readme.txt";
    wchar_t shortFolder[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(Wide(InstallFolder()).c_str(), shortFolder, MAX_PATH), 0u);
    std::wstring lowerCopy = copy;
    CharLowerW(lowerCopy.data());
    const std::vector<std::wstring> own = {
        copy, L"\\??\\" + std::wstring(shortFolder), lowerCopy,
        L"\\??\\C:\\Alias\\MOSSGATE_CD_Pack",
        L"\\??\\S:\\MOSSGATE_CD_Pack\\MOSSGATE_CD_Pack_Setup.exe"};
    const std::vector<std::wstring> others = {
        L"\\??\\C:\\FolderLink",
        L"", // a link to the install folder
        L"\\??\\C:\\CopyLink.exe",
        L"", // a link to the copy
        hardLink,
        L"", // another name of the copy, beside it
        besideTheFolder,
        L"", // named like a file of the package, beside the install folder
        L"\\??\\C:\\a.tmp",
        L"!\\??\\C:\\b.tmp", // a rename
    };
    // Wine's restart reads only a list that ends with two zeros.
    const std::wstring after = L'\0' + Texts({copy, L"", L"junk", L""});
    for (const bool emptyTextBeforeTheEnd : {false, true}) {
        SCOPED_TRACE(emptyTextBeforeTheEnd ? "an empty text before the end" : "pairs only");
        ASSERT_EQ(RunSetup(InstalledCopy(), "-h -u"), std::optional<int32_t>(0));
        ASSERT_TRUE(MakeUnixLink(InstalledCopy(), "C:\\CopyLink.exe"));
        ASSERT_TRUE(CreateHardLinkA((InstallFolder() + "\\Hard.exe").c_str(),
                                    InstalledCopy().c_str(), nullptr));
        for (const std::string& file : {maker + "\\readme.txt", std::string("C:\\a.tmp")}) {
            ASSERT_TRUE(WriteWholeFile(file, "x"));
        }
        std::wstring list;
        for (size_t i = 0; i < own.size(); ++i) {
            list += Texts({own[i], L"", others[2 * i], others[2 * i + 1]});
        }
        const std::wstring end = emptyTextBeforeTheEnd ? after : std::wstring(1, L'\0');
        SetPendingRenamesValue(list + end);
        ASSERT_EQ(RunSetup(InstalledCopy(), "-h -i"), std::optional<int32_t>(0));
        EXPECT_EQ(PendingRenamesValue(), Texts(others) + end);

        // Wine deletes what a link to a file leads to, Windows the link itself.
        ASSERT_TRUE(RemoveFromUnixSide("C:\\CopyLink.exe"));
        ASSERT_TRUE(SimulateRestart());
        EXPECT_FALSE(FileExists(InstallFolder() + "\\Hard.exe") ||
                     FileExists(maker + "\\readme.txt") || FileExists("C:\\a.tmp"));
        EXPECT_TRUE(FileExists("C:\\b.tmp"));
        EXPECT_TRUE(ReadWholeFile(InstalledCopy()) == ReadWholeFile(TwinPath()));
        EXPECT_TRUE(FileExists(InstallFolder() + "\\readme.txt"));
        ASSERT_TRUE(UninstallValue("QuietUninstallString").has_value());
        EXPECT_EQ(RunCommandLine(*UninstallValue("QuietUninstallString")),
                  std::optional<int32_t>(0));
        ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        DeleteFileA("C:\\b.tmp");
    }
}

// The given plans, then one rename of a long made-up name, so that the list takes
// exactly `cbList` bytes as stored (each text and the list end with a NUL).
std::vector<std::wstring> PlansOfSize(std::vector<std::wstring> plans, size_t cbList) {
    size_t units = 1;
    for (const std::wstring& text : plans) {
        units += text.size() + 1;
    }
    const std::wstring prefix = L"\\??\\C:\\";
    const std::wstring target = L"!\\??\\C:\\g";
    const size_t fill =
        cbList / sizeof(wchar_t) - units - (prefix.size() + 1) - (target.size() + 1);
    plans.push_back(prefix + std::wstring(fill, L'f'));
    plans.push_back(target);
    return plans;
}

// The program reads the list up to a bound far above what the system keeps: a
// list of exactly that size is edited as any other, a longer one is left exactly
// as it is, never cut or rewritten in part.
TEST(RestartPlansAtTheirBound, AListPastTheBoundIsLeftAsItIs) {
    constexpr size_t kBound = 16 * 1024 * 1024;
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ASSERT_EQ(RunSetup(InstalledCopy(), "-h -u"), std::optional<int32_t>(0));
    const std::vector<std::wstring> own = PendingRenames();
    ASSERT_EQ(own.size(), 4u) << "the copy's and the folder's deletions";

    const std::vector<std::wstring> atTheBound = PlansOfSize(own, kBound);
    SetPendingRenames(atTheBound);
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    EXPECT_EQ(PendingRenames(), std::vector<std::wstring>(atTheBound.begin() + 4, atTheBound.end()))
        << "the program's own deletions were kept in a list at the bound";

    // Removed again from the copy, so that the next run installs.
    ASSERT_EQ(RunSetup(InstalledCopy(), "-h -u"), std::optional<int32_t>(0));
    const std::vector<std::wstring> pastTheBound = PlansOfSize(own, kBound + sizeof(wchar_t));
    SetPendingRenames(pastTheBound);
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    EXPECT_TRUE(UninstallKeyExists()) << "this run installed";
    EXPECT_EQ(PendingRenames(), pastTheBound) << "a list past the bound was changed";
    SetPendingRenames({});
}

// Started through another spelling of its path (an 8.3 short name; a link to its
// folder, as a junction or a drive letter given to a folder makes one), the program
// still knows that it runs from its install folder.
TEST(StartedThroughAnotherSpelling, ItStillKnowsItsOwnFolder) {
    const std::string maker = MakerFolder();
    ASSERT_TRUE(CreateDirectoryA(maker.c_str(), nullptr));
    ASSERT_TRUE(MakeUnixLink(maker, "C:\\Alias"));
    for (const bool shortName : {true, false}) {
        SCOPED_TRACE(shortName ? "short name" : "link to the folder");
        ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        std::string spelling = "C:\\Alias\\MOSSGATE_CD_Pack\\MOSSGATE_CD_Pack_Setup.exe";
        if (shortName) {
            char shortPath[MAX_PATH];
            const DWORD cch = GetShortPathNameA(InstalledCopy().c_str(), shortPath, MAX_PATH);
            ASSERT_TRUE(cch > 0 && cch < MAX_PATH);
            spelling = shortPath;
        }
        SetPendingRenames({});
        ASSERT_EQ(RunSetup(spelling, "-h -u"), std::optional<int32_t>(0));
        EXPECT_EQ(PlannedDeletions(), 2u) << "the copy and the folder, for the restart";
        // The install takes them back, whatever their spelling.
        ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        EXPECT_FALSE(PendingRenamesValueExists());
        ASSERT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    }
}

// Started through a drive letter that only the user's session has (SUBST), the
// removal from the installed copy plans the copy's and the folder's deletion under
// names that the restart can use: no session, and so no such letter, exists then.
// A drive letter of Wine's stands in, taken away before the restart.
TEST(StartedThroughASessionDriveLetter, TheRestartStillDeletesTheCopyAndTheFolder) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    ASSERT_TRUE(GiveDriveLetter('S', InstallFolder()));
    ASSERT_EQ(RunSetup("S:\\MOSSGATE_CD_Pack_Setup.exe", "-h -u"), std::optional<int32_t>(0));
    EXPECT_EQ(PlannedDeletions(), 2u) << "the running copy and its folder";
    ASSERT_TRUE(TakeDriveLetter('S'));
    ASSERT_TRUE(SimulateRestart());
    EXPECT_FALSE(FileExists(InstalledCopy()));
    EXPECT_FALSE(FileExists(InstallFolder()));
}

// The window's one button pressed, then the text of the failure box it shows; the
// box is answered and the program's exit code returned.
struct WindowRun {
    std::string boxText;
    std::optional<int32_t> exitCode;
};

template <typename WhilePressed>
WindowRun PressButtonAndReadBox(const char* caption, WhilePressed whilePressed) {
    WindowRun run;
    ChildProcess program;
    if (!StartProgram(TwinPath(), "", program)) {
        return run;
    }
    const HWND window = WaitForProcessWindow(program.id, mossgate::WINDOW_CLASS_NAME, 20000);
    if (window == nullptr || !WaitUntil([window] { return IsWindowVisible(window); }, 20000)) {
        return run;
    }
    PostMessageA(window, WM_COMMAND, mossgate::CMD_PRESS_BUTTON, 0);
    whilePressed();
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindWindowA("#32770", caption)) != nullptr; }, 60000);
    if (box != nullptr) {
        char text[1024] = "";
        GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
        run.boxText = text;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    run.exitCode = WaitForExit(program, 30000);
    return run;
}

// A driver's setup program that cannot be started ends the install and the
// removal in the window as every other failure does: with a box of its own text,
// then the window closes.
TEST(UnstartableSetupProgram, TheWindowShowsItsFailureBox) {
    const std::string log = TempFolder("unstartable") + "\\starts.log";
    UseStandinLog(log);
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", "3000");
    // While driver C's program runs, driver D's stops being one.
    const WindowRun install = PressButtonAndReadBox("MOSSGATE Installation Error", [] {
        WaitUntil([] { return FileExists(InstallFolder() + "\\readme.txt"); }, 30000);
        Sleep(Scaled(500));
        WriteWholeFile(DriverSetupProgram('D'), "not a program");
    });
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", nullptr);
    EXPECT_EQ(install.boxText.rfind("Failed to launch MOSSGATE", 0), 0u) << install.boxText;
    EXPECT_EQ(install.exitCode, std::optional<int32_t>(0));
    ASSERT_EQ(mossgate::ProbeInstalledDrivers(), 1) << "driver C was installed";

    WriteWholeFile(DriverSetupProgram('C'), "not a program");
    const WindowRun removal = PressButtonAndReadBox("MOSSGATE Uninstallation Error", [] {});
    EXPECT_EQ(removal.boxText.rfind("Failed to launch MOSSGATE", 0), 0u) << removal.boxText;
    EXPECT_EQ(removal.exitCode, std::optional<int32_t>(0));
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1) << "not counted as removed";
    EXPECT_EQ(StandinLogLines(log).size(), 1u) << "only driver C's install ran";
}

} // namespace
