// The driver setup runner with the real stand-in programs, and the probe that
// finds the devices they register. Failures are counted as the window would see
// them: END_FAILED messages in a queue this test owns.
#include "app/messages.h"
#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "env/driver_probe.h"
#include "env/os_version.h"
#include "procedures/driver_setup_runner.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

class RunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ZeroSetupContext(context_);
        folder_ = TempFolder("runner-install");
        for (const char* program : {"MOSSGATE_C_Setup.exe", "MOSSGATE_D_Setup.exe"}) {
            CopyFileA((ExecutableFolder() + "\\" + program).c_str(),
                      (folder_ + "\\" + program).c_str(), FALSE);
        }
        std::snprintf(context_.installFolder, sizeof(context_.installFolder), "%s",
                      folder_.c_str());
        context_.mainWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                              nullptr, nullptr);
        log_ = folder_ + "\\starts.log";
        UseStandinLog(log_);
    }
    void TearDown() override {
        DestroyWindow(context_.mainWindow);
        SetChildEnvironment("MOSSGATE_STANDIN_EXIT", nullptr);
        SetChildEnvironment("MOSSGATE_STANDIN_LOG", nullptr);
    }
    int FailuresPosted() {
        int count = 0;
        MSG message;
        while (PeekMessageA(&message, context_.mainWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
            count += (LOWORD(message.wParam) == CMD_PROCEDURE_END && message.lParam == END_FAILED);
        }
        return count;
    }
    int RunWithExitCode(const char* code, DriverSetupMode mode) {
        SetChildEnvironment("MOSSGATE_STANDIN_EXIT", code);
        return RunDriverSetup(context_, "MOSSGATE_C_Setup", mode);
    }

    SetupContextRecord context_;
    std::string folder_;
    std::string log_;
};

TEST_F(RunnerTest, ChildGetsTheExactCommandLineAndTheInstallFolder) {
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT", "0");
    EXPECT_EQ(RunDriverSetup(context_, "MOSSGATE_C_Setup", DriverSetupMode::Install), 0);
    // An install folder ending in a backslash: no second one in the program path.
    AppendSeparator(context_.installFolder, sizeof(context_.installFolder));
    EXPECT_EQ(RunDriverSetup(context_, "MOSSGATE_D_Setup", DriverSetupMode::Uninstall), 0);
    const auto lines = StandinLogLines(log_);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], folder_ + "\\MOSSGATE_C_Setup.exe\t-h -i -H -n\t" + folder_);
    EXPECT_EQ(lines[1], folder_ + "\\MOSSGATE_D_Setup.exe\t-h -u -H\t" + folder_);
    EXPECT_EQ(FailuresPosted(), 0);
}

// The verdicts are a table of their own (tests/native/exit_code_test.cpp); here,
// what the window is told for each, with the real child's full exit code.
TEST_F(RunnerTest, EachVerdictIsReportedWithItsText) {
    const struct {
        const char* code;
        DriverSetupMode mode;
        int result;
        const char* textStart;
    } cases[] = {
        {"1", DriverSetupMode::Install, DRIVER_SETUP_NEEDS_RESTART,
         "Cannot install MOSSGATE Package now"},
        {"2", DriverSetupMode::Install, 0, nullptr},
        {"0xC0000005", DriverSetupMode::Install, DRIVER_SETUP_FAILED, "Failed to install MOSSGATE"},
        {"-1", DriverSetupMode::Uninstall, DRIVER_SETUP_FAILED, "Failed to uninstall MOSSGATE"},
    };
    for (const auto& c : cases) {
        CopyText(context_.errorText, sizeof(context_.errorText), "previous text");
        EXPECT_EQ(RunWithExitCode(c.code, c.mode), c.result) << c.code;
        EXPECT_EQ(FailuresPosted(), c.textStart != nullptr ? 1 : 0) << c.code;
        if (c.textStart != nullptr) {
            EXPECT_EQ(std::string(context_.errorText).rfind(c.textStart, 0), 0u)
                << context_.errorText;
        } else {
            EXPECT_STREQ(context_.errorText, "previous text");
        }
    }
}

// A program that is not there, or not a program, never counts as removed, and the
// window is told with a text of its own (it used to freeze, then end with 0).
TEST_F(RunnerTest, ProgramThatCannotStartIsAReportedFailureInBothModes) {
    const std::string program = folder_ + "\\MOSSGATE_C_Setup.exe";
    for (const bool present : {false, true}) {
        DeleteFileA(program.c_str());
        if (present) {
            ASSERT_TRUE(WriteWholeFile(program, "not a program"));
        }
        for (const DriverSetupMode mode : {DriverSetupMode::Install, DriverSetupMode::Uninstall}) {
            CopyText(context_.errorText, sizeof(context_.errorText), "previous text");
            EXPECT_EQ(RunDriverSetup(context_, "MOSSGATE_C_Setup", mode), DRIVER_SETUP_NOT_STARTED);
            EXPECT_EQ(FailuresPosted(), 1);
            EXPECT_EQ(std::string(context_.errorText).rfind("Failed to launch MOSSGATE", 0), 0u)
                << context_.errorText;
        }
    }
    EXPECT_TRUE(StandinLogLines(log_).empty());
}

TEST(RunnerPath, SixtyFourBitWindowsChoosesTheX64Build) {
    SetupContextRecord context;
    ZeroSetupContext(context);
    CopyText(context.installFolder, sizeof(context.installFolder),
             "C:\\Program Files (x86)\\KS\\MOSSGATE_CD_Pack");
    char path[2048];
    ASSERT_TRUE(BuildDriverSetupPath(path, sizeof(path), context, "MOSSGATE_D_Setup"));
    EXPECT_STREQ(path, "C:\\Program Files (x86)\\KS\\MOSSGATE_CD_Pack\\MOSSGATE_D_Setup.exe");
    context.is64BitWindows = 1;
    ASSERT_TRUE(BuildDriverSetupPath(path, sizeof(path), context, "MOSSGATE_D_Setup"));
    EXPECT_STREQ(path, "C:\\Program Files (x86)\\KS\\MOSSGATE_CD_Pack\\MOSSGATE_D_Setup_x64.exe");
}

// The build that the product itself would run: on 64-bit Windows the 32-bit
// product starts the x86_64 setup programs, whose devices the probe must find.
std::optional<int32_t> RunStandin(const char* baseName, const char* switches) {
    SetupContextRecord context;
    ZeroSetupContext(context);
    context.is64BitWindows = DetectWow64();
    char name[64];
    EXPECT_TRUE(BuildDriverSetupName(name, sizeof(name), context, baseName));
    for (const auto& [entry, source] : PackageSources()) {
        if (entry == name) {
            return RunSetup(source, switches, 60000);
        }
    }
    ADD_FAILURE() << name << " is not in the package";
    return std::nullopt;
}

TEST(DriverProbe, FindsEitherDriverUntilBothAreRemoved) {
    EXPECT_EQ(ProbeInstalledDrivers(), 0);
    ASSERT_EQ(RunStandin("MOSSGATE_D_Setup", "-h -i -H -n"), std::optional<int32_t>(0));
    EXPECT_EQ(ProbeInstalledDrivers(), 1) << "driver D alone";
    EXPECT_EQ(ProbeDriverInterface(DRIVER_INTERFACE_CLASSES[0]), nullptr);
    ASSERT_EQ(RunStandin("MOSSGATE_C_Setup", "-h -i -H -n"), std::optional<int32_t>(0));
    for (const GUID& interfaceClass : DRIVER_INTERFACE_CLASSES) {
        // Wine lists the interface but cannot open its device: still found.
        HANDLE found = ProbeDriverInterface(interfaceClass);
        EXPECT_NE(found, nullptr);
        CloseProbeHandle(found);
    }
    EXPECT_EQ(ProbeInstalledDrivers(), 1);
    ASSERT_EQ(RunStandin("MOSSGATE_C_Setup", "-h -u -H"), std::optional<int32_t>(0));
    EXPECT_EQ(ProbeInstalledDrivers(), 1) << "driver D is still there";
    ASSERT_EQ(RunStandin("MOSSGATE_D_Setup", "-h -u -H"), std::optional<int32_t>(0));
    EXPECT_EQ(ProbeInstalledDrivers(), 0);
}

} // namespace
