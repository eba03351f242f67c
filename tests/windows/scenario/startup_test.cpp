// The real twin started by its command line, judged by full 32-bit exit codes.
#include "common/product_names.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

constexpr DWORD kStartTimeoutMs = 20000;

TEST(SingleInstance, SecondCopyEndsAtOnceTheFirstRunsOnAndThenANewCopyRuns) {
    // Driver C's stand-in keeps the first copy busy installing, window hidden.
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", "8000");
    ChildProcess first;
    const bool started = StartProgram(TwinPath(), "-h -i", first);
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", nullptr);
    ASSERT_TRUE(started);
    HWND window = WaitForProcessWindow(first.id, WINDOW_CLASS_NAME, kStartTimeoutMs);
    ASSERT_NE(window, nullptr) << "the hidden first copy made no window";
    EXPECT_FALSE(IsWindowVisible(window)) << "-h must keep the window hidden";

    ChildProcess second;
    ASSERT_TRUE(StartProgram(TwinPath(), "-h -i", second));
    EXPECT_EQ(WaitForExit(second, kStartTimeoutMs), std::optional<int32_t>(-1));
    EXPECT_EQ(WaitForProcessWindow(second.id, WINDOW_CLASS_NAME, 0), nullptr);

    EXPECT_EQ(WaitForExit(first, 1000), std::nullopt) << "the first copy was disturbed";
    EXPECT_EQ(WaitForExit(first, 120000), std::optional<int32_t>(0))
        << "the first copy's install did not end well";
    // Once it has ended, a new copy runs: here the removal of what it installed.
    EXPECT_EQ(RunSetup(TwinPath(), "-H -U"), std::optional<int32_t>(0));
    EXPECT_FALSE(UninstallKeyExists());
}

// A silent run that asks for no action ends at once instead of waiting, hidden,
// for a close that nobody can give. A removal on a clean machine ends with 0 and
// makes nothing: no folder in the program's own Program Files (whichever the
// runtime gives), no Start-menu folder, no entry, no driver's setup program.
TEST(CommandLineWithoutAction, SilentEndsAtOnceRemoveOnACleanMachineChangesNothing) {
    const struct {
        const char* arguments;
        int32_t exitCode;
    } cases[] = {
        {"-h", EXIT_NOTHING_TO_DO},
        {"-h -I", EXIT_NOTHING_TO_DO}, // upper-case "I" is not install
        {"-hi", EXIT_NOTHING_TO_DO},   // only the letter right after "-" counts
        {"-u", 0},
        {"-h -u", 0},
    };
    const std::string log = TempFolder("without-action") + "\\starts.log";
    UseStandinLog(log);
    for (const auto& c : cases) {
        EXPECT_EQ(RunSetup(TwinPath(), c.arguments, kStartTimeoutMs),
                  std::optional<int32_t>(c.exitCode))
            << c.arguments;
    }
    EXPECT_FALSE(FileExists(MakerFolder()));
    EXPECT_FALSE(FileExists(UserProgramsFolder() + "\\Kestrine"));
    EXPECT_FALSE(FileExists(CommonProgramsFolder() + "\\Kestrine"));
    EXPECT_FALSE(UninstallKeyExists());
    EXPECT_TRUE(StandinLogLines(log).empty());
}

} // namespace
