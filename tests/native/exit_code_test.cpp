#include "procedures/portable/exit_code.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace mossgate;

TEST(ExitCodeVerdict, ByModeAndSign) {
    const struct {
        int32_t code;
        SetupVerdict install;
        SetupVerdict uninstall;
    } cases[] = {
        {0, SetupVerdict::Succeeded, SetupVerdict::Succeeded},
        {1, SetupVerdict::NeedsRestart, SetupVerdict::Succeeded},
        {2, SetupVerdict::Succeeded, SetupVerdict::Succeeded},
        {INT32_MAX, SetupVerdict::Succeeded, SetupVerdict::Succeeded},
        {-1, SetupVerdict::Failed, SetupVerdict::Failed},
        {static_cast<int32_t>(0xC0000005u), SetupVerdict::Failed, SetupVerdict::Failed},
        {INT32_MIN, SetupVerdict::Failed, SetupVerdict::Failed},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgeExitCode(c.code, DriverSetupMode::Install), c.install) << c.code;
        EXPECT_EQ(JudgeExitCode(c.code, DriverSetupMode::Uninstall), c.uninstall) << c.code;
    }
}

} // namespace
