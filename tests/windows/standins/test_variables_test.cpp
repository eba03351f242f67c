// The test variables of the driver setup stand-ins, judged as a parent inside Wine
// sees them: full 32-bit exit codes, start records and start delays.
#include "tests/windows/standins/standin_harness.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using namespace mossgate::testing;

std::string Record(const std::string& program, const std::string& commandLine,
                   const std::string& folder) {
    return program + "\t" + commandLine + "\t" + folder;
}

TEST(ExitCodeOverride, TheParentSeesExactlyTheGivenCode) {
    const std::pair<const char*, int32_t> cases[] = {
        {"0", 0}, {"1", 1}, {"2", 2}, {"-1", -1}, {"0xC0000005", static_cast<int32_t>(0xC0000005)}};
    for (const std::string& setup : {SetupC(), SetupD()}) {
        for (const auto& [text, expected] : cases) {
            SCOPED_TRACE(setup + " with " + text);
            ScopedVariable exit("MOSSGATE_STANDIN_EXIT", text);
            EXPECT_EQ(RunBare(setup, kInstallCommandLine), std::optional<int32_t>(expected));
        }
    }
}

TEST(ExitCodeOverride, TheProgramEndsWithoutDoingItsWork) {
    ScopedVariable exit("MOSSGATE_STANDIN_EXIT", "0");
    const size_t mediaBefore = MediaDevices().size();
    EXPECT_EQ(RunBare(SetupC(), kInstallCommandLine), std::optional<int32_t>(0));
    EXPECT_EQ(RunBare(SetupD(), kInstallCommandLine), std::optional<int32_t>(0));
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
    EXPECT_FALSE(ProductFindsDriver(kInterfaceD));
    EXPECT_EQ(MediaDevices().size(), mediaBefore);
}

TEST(ExitCodeOverride, ADriversOwnVariableComesBeforeTheGeneralOne) {
    {
        ScopedVariable general("MOSSGATE_STANDIN_EXIT", "1");
        ScopedVariable onlyD("MOSSGATE_STANDIN_EXIT_D", "0xC0000005");
        EXPECT_EQ(RunBare(SetupC(), kInstallCommandLine), std::optional<int32_t>(1));
        EXPECT_EQ(RunBare(SetupD(), kInstallCommandLine),
                  std::optional<int32_t>(static_cast<int32_t>(0xC0000005)));
    }
    // Only D fails; C does its normal work.
    ScopedVariable onlyD("MOSSGATE_STANDIN_EXIT_D", "-1");
    EXPECT_EQ(RunBare(SetupD(), kInstallCommandLine), std::optional<int32_t>(-1));
    EXPECT_EQ(RunBare(SetupC(), kInstallCommandLine), std::optional<int32_t>(0));
    EXPECT_TRUE(ProductFindsDriver(kInterfaceC));
    EXPECT_FALSE(ProductFindsDriver(kInterfaceD));
    EXPECT_EQ(RunBare(SetupC(), kUninstallCommandLine), std::optional<int32_t>(0));
}

TEST(ExitCodeOverride, TextThatIsNoExitCodeIsRefusedWithoutWork) {
    for (const char* text : {"abc", "12abc", "0x", "0x1FFFFFFFF", "4294967296", "--1", "1.5"}) {
        SCOPED_TRACE(text);
        ScopedVariable exit("MOSSGATE_STANDIN_EXIT", text);
        const auto code = RunBare(SetupC(), kInstallCommandLine);
        ASSERT_TRUE(code.has_value());
        EXPECT_LT(*code, 0);
    }
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
}

TEST(StartRecord, EachStartAppendsItsModuleCommandLineAndFolder) {
    const std::string log = TemporaryFilePath("starts.log");
    ScopedVariable logVariable("MOSSGATE_STANDIN_LOG", log);
    const std::string folder = InstallFolder();
    const std::string other = ExecutableFolder();
    ASSERT_EQ(RunBare(SetupC(), kInstallCommandLine, folder), std::optional<int32_t>(0));
    ASSERT_EQ(RunBare(SetupD(), kInstallCommandLine, other), std::optional<int32_t>(0));
    ASSERT_EQ(RunBare(SetupC(), kUninstallCommandLine, folder), std::optional<int32_t>(0));
    ASSERT_EQ(RunBare(SetupD(), kUninstallCommandLine, folder), std::optional<int32_t>(0));

    const std::string content = ReadWholeFile(log);
    EXPECT_EQ(content.substr(content.size() < 2 ? 0 : content.size() - 2), "\r\n");
    const std::vector<std::string> expected = {
        Record(SetupC(), kInstallCommandLine, folder),
        Record(SetupD(), kInstallCommandLine, other),
        Record(SetupC(), kUninstallCommandLine, folder),
        Record(SetupD(), kUninstallCommandLine, folder),
    };
    EXPECT_EQ(CrlfLines(content), expected);
}

TEST(StartRecord, AStartThatEndsAtOnceIsRecordedToo) {
    const std::string log = TemporaryFilePath("failing.log");
    ScopedVariable logVariable("MOSSGATE_STANDIN_LOG", log);
    ScopedVariable exit("MOSSGATE_STANDIN_EXIT_D", "2");
    ASSERT_EQ(RunBare(SetupD(), kInstallCommandLine), std::optional<int32_t>(2));
    EXPECT_EQ(CrlfLines(ReadWholeFile(log)),
              std::vector<std::string>{Record(SetupD(), kInstallCommandLine, InstallFolder())});
}

TEST(StartRecord, StartsAtTheSameTimeEachLeaveOneWholeLine) {
    const std::string log = TemporaryFilePath("parallel.log");
    ScopedVariable logVariable("MOSSGATE_STANDIN_LOG", log);
    ScopedVariable exit("MOSSGATE_STANDIN_EXIT", "0");
    constexpr int kEach = 4;
    std::vector<ChildProcess> children(2 * kEach);
    for (int i = 0; i < 2 * kEach; ++i) {
        ASSERT_TRUE(StartBare(i % 2 == 0 ? SetupC() : SetupD(), kInstallCommandLine,
                              InstallFolder(), children[i]));
    }
    for (const ChildProcess& child : children) {
        EXPECT_EQ(WaitForExit(child, kRunTimeoutMs), std::optional<int32_t>(0));
    }
    const std::string lineC = Record(SetupC(), kInstallCommandLine, InstallFolder());
    const std::string lineD = Record(SetupD(), kInstallCommandLine, InstallFolder());
    int countC = 0;
    int countD = 0;
    for (const std::string& line : CrlfLines(ReadWholeFile(log))) {
        countC += line == lineC ? 1 : 0;
        countD += line == lineD ? 1 : 0;
        EXPECT_TRUE(line == lineC || line == lineD) << "torn or mixed line: " << line;
    }
    EXPECT_EQ(countC, kEach);
    EXPECT_EQ(countD, kEach);
}

TEST(StartRecord, ALogThatCannotBeWrittenFailsTheStartVisibly) {
    ScopedVariable logVariable("MOSSGATE_STANDIN_LOG", "C:\\no such folder\\starts.log");
    const auto code = RunBare(SetupC(), kInstallCommandLine);
    ASSERT_TRUE(code.has_value());
    EXPECT_LT(*code, 0);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
}

TEST(StartDelay, TheProgramEndsNoSoonerThanTheGivenTime) {
    constexpr DWORD kWaitMs = 1500;
    ScopedVariable wait("MOSSGATE_STANDIN_WAIT_MS", std::to_string(kWaitMs));
    ScopedVariable exit("MOSSGATE_STANDIN_EXIT", "3");
    for (const std::string& setup : {SetupC(), SetupD()}) {
        SCOPED_TRACE(setup);
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(RunBare(setup, kInstallCommandLine), std::optional<int32_t>(3));
        EXPECT_GE(GetTickCount64() - started, kWaitMs);
    }
}

TEST(StartDelay, ADriversOwnDelayHoldsOnlyThatDriver) {
    ScopedVariable waitD("MOSSGATE_STANDIN_WAIT_MS_D", "5000");
    ScopedVariable exit("MOSSGATE_STANDIN_EXIT", "3");
    ChildProcess c;
    ChildProcess d;
    ASSERT_TRUE(StartBare(SetupD(), kInstallCommandLine, InstallFolder(), d));
    ASSERT_TRUE(StartBare(SetupC(), kInstallCommandLine, InstallFolder(), c));
    EXPECT_EQ(WaitForExit(c, 3500), std::optional<int32_t>(3)) << "C was held too";
    EXPECT_EQ(WaitForExit(d, 0), std::nullopt) << "D did not wait";
    EXPECT_EQ(WaitForExit(d, kRunTimeoutMs), std::optional<int32_t>(3));
}

TEST(StartDelay, TextThatIsNoDurationIsRefused) {
    ScopedVariable wait("MOSSGATE_STANDIN_WAIT_MS", "1s");
    const auto code = RunBare(SetupC(), kInstallCommandLine);
    ASSERT_TRUE(code.has_value());
    EXPECT_LT(*code, 0);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
}

} // namespace
