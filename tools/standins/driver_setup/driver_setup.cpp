// Stand-in for a driver setup program of the package. The product starts it with
// the whole command line "-h -i -H -n" (install) or "-h -u -H" (uninstall), no
// program name in front, from the install folder. It shows nothing.
//
// Exit codes: 0 done; -1 the command line asks for neither or both; -2 the device
// could not be registered; -3 it could not be removed; -4 a test variable holds
// text that is no number; -5 the start record could not be written.
//
// Test variables (a driver's own, suffix _C or _D, before the general one):
//   MOSSGATE_STANDIN_WAIT_MS[_C|_D]  sleep that long first (times MOSSGATE_TIME_SCALE,
//                                    as the tests' own time limits are)
//   MOSSGATE_STANDIN_LOG             append a start record (see standin_settings.h)
//   MOSSGATE_STANDIN_EXIT[_C|_D]     end at once with that exit code, doing no work
#include "tools/standins/common/standin_settings.h"
#include "tools/standins/driver_setup/driver_identity.h"
#include "tools/standins/driver_setup/media_device.h"

#include <string>

namespace {

using namespace mossgate::standins;

constexpr int kBadCommandLine = -1;
constexpr int kInstallFailed = -2;
constexpr int kUninstallFailed = -3;
constexpr int kBadTestSetting = -4;
constexpr int kLogFailed = -5;

enum class Mode { Unknown, Install, Uninstall };

// The switches are whole tokens of the command line; "-i" and "-u" pick the mode.
Mode ModeOf(const std::string& commandLine) {
    bool install = false;
    bool uninstall = false;
    size_t position = 0;
    while (position < commandLine.size()) {
        const size_t start = commandLine.find_first_not_of(" \t", position);
        if (start == std::string::npos) {
            break;
        }
        const size_t end = commandLine.find_first_of(" \t", start);
        const std::string token = commandLine.substr(start, end - start);
        install = install || token == "-i";
        uninstall = uninstall || token == "-u";
        position = end == std::string::npos ? commandLine.size() : end;
    }
    if (install == uninstall) {
        return Mode::Unknown;
    }
    return install ? Mode::Install : Mode::Uninstall;
}

std::optional<std::string> DriverSetting(const std::string& name) {
    return ReadFirstSet({name + "_" + kDriver.letter, name});
}

int Run() {
    if (const auto wait = DriverSetting("MOSSGATE_STANDIN_WAIT_MS")) {
        const auto milliseconds = ParseMilliseconds(*wait);
        if (!milliseconds) {
            return kBadTestSetting;
        }
        Sleep(StretchedByTimeScale(*milliseconds));
    }
    if (const auto log = ReadEnvironment("MOSSGATE_STANDIN_LOG")) {
        if (!AppendStartRecord(*log)) {
            return kLogFailed;
        }
    }
    if (const auto exit = DriverSetting("MOSSGATE_STANDIN_EXIT")) {
        const auto code = ParseExitCode(*exit);
        if (!code) {
            return kBadTestSetting;
        }
        ExitProcess(*code);
    }
    switch (ModeOf(GetCommandLineA())) {
    case Mode::Install:
        return InstallDevice(kDriver) ? 0 : kInstallFailed;
    case Mode::Uninstall:
        return RemoveDevices(kDriver) ? 0 : kUninstallFailed;
    case Mode::Unknown:
        break;
    }
    return kBadCommandLine;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return Run();
}
