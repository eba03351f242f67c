// The driver setup stand-ins register and remove a device that the product then
// finds (or no longer finds) through SetupAPI, each driver on its own.
#include "tests/windows/standins/standin_harness.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate::testing;

const std::optional<int32_t> kSuccess(0);

bool SameText(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

class DriverDevice : public ::testing::Test {
  protected:
    // Every test starts and ends with neither driver installed.
    void SetUp() override { ASSERT_TRUE(NothingInstalled()); }
    void TearDown() override {
        RunBare(SetupC(), kUninstallCommandLine);
        RunBare(SetupD(), kUninstallCommandLine);
        EXPECT_TRUE(NothingInstalled()) << "uninstall left an interface behind";
    }
    static bool NothingInstalled() {
        return !ProductFindsDriver(kInterfaceC) && !ProductFindsDriver(kInterfaceD);
    }
};

TEST_F(DriverDevice, InstallExposesTheInterfaceOnARootMediaDevice) {
    const size_t mediaBefore = MediaDevices().size();
    struct Case {
        std::string setup;
        GUID mine;
        GUID other;
    };
    for (const Case& driver :
         {Case{SetupC(), kInterfaceC, kInterfaceD}, Case{SetupD(), kInterfaceD, kInterfaceC}}) {
        SCOPED_TRACE(driver.setup);
        ASSERT_EQ(RunBare(driver.setup, kInstallCommandLine), kSuccess);
        EXPECT_TRUE(ProductFindsDriver(driver.mine));
        EXPECT_FALSE(ProductFindsDriver(driver.other)) << "installed the other driver's interface";

        const auto listed = PresentInterfaces(driver.mine);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].instanceId.rfind("ROOT\\", 0), 0u) << listed[0].instanceId;
        EXPECT_TRUE(IsEqualGUID(listed[0].setupClass, kMediaClass));
        EXPECT_EQ(MediaDevices().size(), mediaBefore + 1);

        ASSERT_EQ(RunBare(driver.setup, kUninstallCommandLine), kSuccess);
        EXPECT_FALSE(ProductFindsDriver(driver.mine));
        EXPECT_EQ(MediaDevices().size(), mediaBefore) << "uninstall left the device";
    }
}

TEST_F(DriverDevice, EachDriverIsInstalledAndRemovedIndependently) {
    ASSERT_EQ(RunBare(SetupC(), kInstallCommandLine), kSuccess);
    ASSERT_EQ(RunBare(SetupD(), kInstallCommandLine), kSuccess);
    const auto deviceC = PresentInterfaces(kInterfaceC);
    const auto deviceD = PresentInterfaces(kInterfaceD);
    ASSERT_EQ(deviceC.size(), 1u);
    ASSERT_EQ(deviceD.size(), 1u);
    EXPECT_FALSE(SameText(deviceC[0].instanceId, deviceD[0].instanceId))
        << "both interfaces sit on one device";

    ASSERT_EQ(RunBare(SetupD(), kUninstallCommandLine), kSuccess);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceD));
    const auto remainingC = PresentInterfaces(kInterfaceC);
    ASSERT_EQ(remainingC.size(), 1u) << "removing D took C along";
    EXPECT_TRUE(SameText(remainingC[0].instanceId, deviceC[0].instanceId));

    ASSERT_EQ(RunBare(SetupC(), kUninstallCommandLine), kSuccess);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
}

TEST_F(DriverDevice, InstallingTwiceKeepsOneDeviceThatOneUninstallRemoves) {
    const size_t mediaBefore = MediaDevices().size();
    ASSERT_EQ(RunBare(SetupC(), kInstallCommandLine), kSuccess);
    const auto first = PresentInterfaces(kInterfaceC);
    ASSERT_EQ(RunBare(SetupC(), kInstallCommandLine), kSuccess);
    const auto second = PresentInterfaces(kInterfaceC);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_TRUE(SameText(first[0].instanceId, second[0].instanceId));
    EXPECT_EQ(MediaDevices().size(), mediaBefore + 1);

    ASSERT_EQ(RunBare(SetupC(), kUninstallCommandLine), kSuccess);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
    EXPECT_EQ(MediaDevices().size(), mediaBefore);
}

TEST_F(DriverDevice, UninstallWithNothingInstalledSucceeds) {
    EXPECT_EQ(RunBare(SetupC(), kUninstallCommandLine), kSuccess);
    EXPECT_EQ(RunBare(SetupD(), kUninstallCommandLine), kSuccess);
}

TEST_F(DriverDevice, ACommandLineWithoutOneModeIsRefusedAndChangesNothing) {
    const size_t mediaBefore = MediaDevices().size();
    for (const char* commandLine : {"-h -H -n", "-h -i -u -H", "", "-I", "-install"}) {
        SCOPED_TRACE(commandLine);
        const auto code = RunBare(SetupC(), commandLine);
        ASSERT_TRUE(code.has_value());
        EXPECT_LT(*code, 0);
    }
    EXPECT_FALSE(ProductFindsDriver(kInterfaceC));
    EXPECT_EQ(MediaDevices().size(), mediaBefore);
}

TEST_F(DriverDevice, TheModeSwitchIsFoundAfterAProgramNameToo) {
    // Someone starting it by hand puts the program's name first.
    const std::string name = Quoted(SetupD());
    ASSERT_EQ(RunBare(SetupD(), name + " " + kInstallCommandLine), kSuccess);
    EXPECT_TRUE(ProductFindsDriver(kInterfaceD));
    ASSERT_EQ(RunBare(SetupD(), name + " " + kUninstallCommandLine), kSuccess);
    EXPECT_FALSE(ProductFindsDriver(kInterfaceD));
}

} // namespace
