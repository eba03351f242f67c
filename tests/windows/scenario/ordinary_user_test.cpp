// The real twin, elevated, with an ordinary user's process beside it: the user
// watches the folders a user can write (their temporary folder, their Start menu)
// and swaps, replaces or adds while the program runs. Wine has no user boundary, so
// the user here is a Linux process acting on the prefix's files at once, as a
// user's process can on Windows. Each suite runs in a prefix of its own.
#include "app/messages.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "env/driver_probe.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace mossgate::testing;

// The user's process (tests/windows/support/ordinary_user.cpp).
class OrdinaryUser {
  public:
    OrdinaryUser() = default;
    ~OrdinaryUser() { Stop(); }
    OrdinaryUser(const OrdinaryUser&) = delete;
    OrdinaryUser& operator=(const OrdinaryUser&) = delete;

    // Starts it in `mode` with these Windows paths, then `last` as they are; true
    // once its watches are set.
    bool Start(const std::string& mode, const std::vector<std::string>& paths,
               const std::string& last = "") {
        static int started = 0;
        const std::string folder = TempFolder("ordinary-user-" + std::to_string(++started));
        ready_ = folder + "\\ready";
        report_ = folder + "\\report";
        std::string arguments =
            "\"" + UnixPathOf(ready_) + "\" \"" + UnixPathOf(report_) + "\" " + mode;
        for (const std::string& path : paths) {
            arguments += " \"" + UnixPathOf(path) + "\"";
        }
        arguments += last.empty() ? "" : " " + last;
        ChildProcess user;
        if (!StartProgram(WindowsPathOf(MOSSGATE_ORDINARY_USER), arguments, user)) {
            return false;
        }
        return WaitUntil([this] { return FileExists(ready_); }, 20000);
    }

    // Tells it to end.
    void Stop() {
        if (!ready_.empty()) {
            DeleteFileA(ready_.c_str());
        }
    }

    // What it did, once it has ended.
    std::string Report(DWORD timeoutMs = 75000) {
        return WaitUntil([this] { return FileExists(report_); }, timeoutMs) ? ReadWholeFile(report_)
                                                                            : "no report";
    }

  private:
    std::string ready_;
    std::string report_;
};

// Names of the setup programs the program may run, in either build.
constexpr const char* kDriverSetupPrograms[] = {"MOSSGATE_C_Setup.exe", "MOSSGATE_C_Setup_x64.exe",
                                                "MOSSGATE_D_Setup.exe", "MOSSGATE_D_Setup_x64.exe"};

void SetTemporaryFolder(const std::string& folder) {
    for (const char* name : {"TMP", "TEMP"}) {
        SetChildEnvironment(name, folder.c_str());
    }
}

// A removal whose install folder lost the drivers' setup programs takes them from
// its own package into the install folder and runs them from there, as always.
// It never puts or starts a program where the user can write: the user, waiting
// in `watched` to replace any program written there with their own, never gets it
// run with the administrators' rights. `temporary` is the program's TMP and TEMP.
void ExpectRemovalKeepsItsProgramsFrom(const std::string& watched, const std::wstring& temporary) {
    const std::string logs = TempFolder("user-temp-logs");
    const std::string traceLog = logs + "\\user-programs.log";
    const std::string startLog = logs + "\\starts.log";
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    for (const char* program : kDriverSetupPrograms) {
        DeleteFileA((InstallFolder() + "\\" + program).c_str());
    }
    OrdinaryUser user;
    ASSERT_TRUE(
        user.Start("replace-programs", {watched, ExecutableFolder() + "\\trace_program.exe"}));
    UseStandinLog(startLog);
    SetChildEnvironment("MOSSGATE_TRACE_LOG", traceLog.c_str());
    const std::string saved = TempFolder("");
    for (const wchar_t* name : {L"TMP", L"TEMP"}) {
        SetEnvironmentVariableW(name, temporary.c_str());
    }
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
    SetTemporaryFolder(saved);
    SetChildEnvironment("MOSSGATE_TRACE_LOG", nullptr);

    EXPECT_EQ(ReadWholeFile(traceLog), "") << "the user's program ran elevated";
    ExpectBothStartedInTheInstallFolder(startLog);
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0) << "the drivers are still there";
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_FALSE(FileExists(InstallFolder()));
}

TEST(UserTemporaryFolder, RemovalNeverPutsOrStartsProgramsThere) {
    const std::string base = TempFolder("user-temp");
    const std::wstring wide(base.begin(), base.end());
    ASSERT_TRUE(CreateDirectoryW((wide + L"\\\x03a9mega").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((base + "\\Omega").c_str(), nullptr));
    const struct {
        const char* what;
        std::string watched;
        std::wstring temporary;
    } cases[] = {
        {"the user's own folder", base, wide},
        // A letter outside the code page: the best-fit ANSI spelling ("\x03a9mega"
        // gives "Omega") is another user's folder.
        {"a name with a best-fit spelling", base + "\\Omega", wide + L"\\\x03a9mega"},
        // One that cannot be used is no reason to count the drivers as removed.
        {"a missing folder", base, wide + L"\\missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRemovalKeepsItsProgramsFrom(c.watched, c.temporary);
    }
}

// Where a setup program cannot be put back, the removal fails and says so: it does
// not count the driver as removed.
TEST(SetupProgramsNotPutBack, TheRemovalIsAFailure) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    for (const char* program : kDriverSetupPrograms) {
        const std::string path = InstallFolder() + "\\" + program;
        DeleteFileA(path.c_str());
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr));
    }
    const std::string saved = TempFolder("");
    SetTemporaryFolder(TempFolder("not-put-back") + "\\missing");
    EXPECT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(-605));
    SetTemporaryFolder(saved);
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 1);
    EXPECT_TRUE(UninstallKeyExists()) << "the product can still be found and removed";
    EXPECT_TRUE(FileExists(InstallFolder() + "\\readme.txt"));
}

// 1,500 files of the user's in their Start-menu folder keep the removal's walk busy;
// after the first deletions the user swaps the folder for a link to another folder
// whose files have the same names. The walk never reaches into it.
TEST(StartMenuSwappedDuringRemoval, TheWalkNeverLeavesTheFolderItOpened) {
    constexpr int kFiles = 1500;
    const std::string outside = TempFolder("swap-outside");
    for (int i = 0; i < kFiles; ++i) {
        WriteWholeFile(outside + "\\file" + std::to_string(i), "keep");
    }
    WriteWholeFile(outside + "\\precious.txt", "keep");
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        const std::string menu = UserStartMenuFolder();
        for (int i = 0; i < kFiles; ++i) {
            WriteWholeFile(menu + "\\file" + std::to_string(i), "user");
        }
        OrdinaryUser user;
        ASSERT_TRUE(user.Start("swap-after-deletions", {menu, outside}, "20"));
        EXPECT_EQ(RunSetup(TwinPath(), "-h -u", 300000), std::optional<int32_t>(0));
        EXPECT_EQ(user.Report().rfind("swapped after 20 deletions", 0), 0u) << "no swap";
        int kept = 0;
        for (int i = 0; i < kFiles; ++i) {
            kept += ReadWholeFile(outside + "\\file" + std::to_string(i)) == "keep" ? 1 : 0;
        }
        kept += ReadWholeFile(outside + "\\precious.txt") == "keep" ? 1 : 0;
        EXPECT_EQ(kept, kFiles + 1) << "files deleted outside the Start-menu folder";
        RemoveFromUnixSide(menu);
        RemoveFromUnixSide(menu + ".moved");
    }
}

// The user swaps the new Start-menu folder for a link as soon as the install makes
// it: the shortcuts never land where the link points.
TEST(StartMenuSwappedDuringInstall, ShortcutsNeverLandWhereTheLinkPoints) {
    const std::string outside = TempFolder("made-outside");
    const std::string maker = UserProgramsFolder() + "\\Kestrine";
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        ASSERT_TRUE(CreateDirectoryA(maker.c_str(), nullptr) ||
                    GetLastError() == ERROR_ALREADY_EXISTS);
        OrdinaryUser user;
        ASSERT_TRUE(user.Start("swap-when-made", {maker, outside}, "MOSSGATE_CD_Pack"));
        EXPECT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
        EXPECT_EQ(user.Report(), "swapped\n");
        for (const char* link : kShortcutFiles) {
            EXPECT_FALSE(FileExists(outside + "\\" + link)) << "written through the link: " << link;
            EXPECT_TRUE(FileExists(CommonStartMenuFolder() + "\\" + link)) << link;
        }
        ASSERT_EQ(RunSetup(TwinPath(), "-h -u"), std::optional<int32_t>(0));
        RemoveFromUnixSide(maker);
    }
}

// A user who keeps adding files to their Start-menu folder cannot keep the elevated
// removal walking: it ends while they still add.
TEST(UserKeepsAddingDuringRemoval, TheWalkEndsInBoundedTime) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    OrdinaryUser user;
    ASSERT_TRUE(user.Start("keep-adding", {UserStartMenuFolder()}));
    const std::optional<int32_t> result = RunSetup(TwinPath(), "-h -u", 45000);
    user.Stop();
    EXPECT_EQ(result, std::optional<int32_t>(0)) << "the removal did not end";
    EXPECT_EQ(user.Report().rfind("added ", 0), 0u);
    EXPECT_EQ(mossgate::ProbeInstalledDrivers(), 0);
    EXPECT_FALSE(UninstallKeyExists());
}

} // namespace
