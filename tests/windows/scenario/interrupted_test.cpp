// The program killed part way (a power loss, a killed process) while a driver's
// setup program runs, then the next run judged: the one a deployment tool makes,
// the uninstall entry's quiet command when there is one, else the program's "-u".
// Each suite runs in a prefix of its own.
#include "env/driver_probe.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

using namespace mossgate::testing;

// Starts the program with `arguments` and kills it while driver `driver`'s setup
// program runs (it waits two seconds first); that program is killed too, or left
// to finish its work.
void KillWhileSetupProgramRuns(const char* arguments, char driver, bool setupProgramToo) {
    const std::string wait = std::string("MOSSGATE_STANDIN_WAIT_MS_") + driver;
    SetChildEnvironment(wait.c_str(), "2000");
    ChildProcess program;
    ChildProcess setupProgram;
    ASSERT_TRUE(StartProgram(TwinPath(), arguments, program));
    const bool found =
        FindProcess(std::string("MOSSGATE_") + driver + "_Setup", setupProgram, 60000);
    TerminateProcess(program.process.Get(), 1);
    SetChildEnvironment(wait.c_str(), nullptr);
    ASSERT_TRUE(found) << "driver " << driver << "'s setup program never ran";
    if (setupProgramToo) {
        TerminateProcess(setupProgram.process.Get(), 1);
    }
    ASSERT_TRUE(WaitForExit(setupProgram, 60000).has_value());
    ASSERT_TRUE(WaitForExit(program, 10000).has_value());
}

// What a deployment tool runs to remove the package: the entry's command run as
// Windows runs one, the whole text as the command line, never a program planted
// where an unquoted path below "Program Files" would lead.
std::optional<int32_t> RunRemoval() {
    EXPECT_TRUE(
        CopyFileA((ExecutableFolder() + "\\trace_program.exe").c_str(), "C:\\Program.exe", FALSE));
    const std::optional<std::string> command = UninstallValue("QuietUninstallString");
    const auto result = command ? RunCommandLine(*command) : RunSetup(TwinPath(), "-h -u");
    EXPECT_FALSE(FileExists("C:\\Program.exe.ran")) << "the planted C:\\Program.exe was started";
    return result;
}

void ExpectNothingLeftAfterTheRestart() {
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
    ASSERT_TRUE(SimulateRestart());
    EXPECT_FALSE(FileExists(InstallFolder()));
    EXPECT_FALSE(FileExists(UserStartMenuFolder()));
    EXPECT_FALSE(FileExists(CommonStartMenuFolder()));
}

// Killed after no driver or both drivers changed state, each run leaves the
// program's own files, shortcuts or entry with no driver to find: its removal then
// removes those, and says it succeeded only once they are gone.
TEST(Interrupted, TheNextRemovalFinishesWhateverTheMoment) {
    const struct {
        const char* what;
        const char* arguments;
        char driver;
        bool setupProgramToo;
    } cases[] = {
        {"install, before any driver", "-h -i", 'C', true},
        {"install, after both drivers", "-h -i", 'D', false},
        {"removal, before any driver", "-h -u", 'C', true},
        {"removal, after both drivers", "-h -u", 'D', false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.arguments[4] == 'u') {
            ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        }
        KillWhileSetupProgramRuns(c.arguments, c.driver, c.setupProgramToo);
        ASSERT_TRUE(FileExists(InstallFolder()));
        EXPECT_EQ(RunRemoval(), std::optional<int32_t>(0));
        ExpectNothingLeftAfterTheRestart();
    }
}

// A shortcut that cannot go where nothing may be planned for the restart (the
// user's Start menu) keeps the uninstall entry, and the installed copy that it
// runs: the entry's command finishes the removal later, and says whether it did.
TEST(UnfinishedRemoval, TheEntryStaysUntilItsCommandFinishes) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    const std::string shortcut = UserStartMenuFolder() + "\\" + kShortcutFiles[0];
    for (const int32_t exitCode : {0, -30}) {
        SCOPED_TRACE(exitCode == 0 ? "drivers removed" : "no driver left to remove");
        mossgate::UniqueHandle held(
            CreateFileA(shortcut.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held.Valid());
        EXPECT_EQ(RunRemoval(), std::optional<int32_t>(exitCode));
        EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
        EXPECT_TRUE(UninstallKeyExists());
        EXPECT_TRUE(FileExists(InstallFolder() + "\\MOSSGATE_CD_Pack_Setup.exe"));
        EXPECT_EQ(PlannedDeletions(), 0u) << "nothing planned in the user's Start menu";
    }
    EXPECT_EQ(RunRemoval(), std::optional<int32_t>(0));
    ExpectNothingLeftAfterTheRestart();
}

} // namespace
