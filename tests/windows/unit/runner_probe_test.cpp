// The driver setup runner with the real stand-in programs. Failures are counted as
// the window would see them: END_FAILED messages in a queue this test owns.
#include "app/messages.h"
#include "common/portable/bounded_text.h"
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

} // namespace
