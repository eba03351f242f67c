#include "procedures/driver_setup_runner.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "procedures/end_message.h"

namespace mossgate {

namespace {

constexpr const char* INSTALL_FAILURE_TEXT =
    "Failed to install MOSSGATE virtual audio driver...\nCheck running setup in administrator mode";
constexpr const char* RESTART_TEXT =
    "Cannot install MOSSGATE Package now...\nYou must RESTART your "
    "system and then relaunch setup program";
constexpr const char* UNINSTALL_FAILURE_TEXT =
    "Failed to uninstall MOSSGATE virtual audio driver...\nOne or several applications are still "
    "using it\nClose all possible programs using MOSSGATE\n(including control panels) and try to "
    "remove it again ";
constexpr const char* NOT_STARTED_TEXT =
    "Failed to launch MOSSGATE virtual audio driver setup...\nIts setup program in the "
    "destination folder cannot be started";

// The child's whole command line: no program name in front, so it sees "-h" first.
const char* SwitchText(DriverSetupMode mode) {
    return mode == DriverSetupMode::Install ? "-h -i -H -n" : "-h -u -H";
}

// The procedure's result for the verdict, reported to the window where it fails.
int ReportVerdict(SetupContextRecord& context, SetupVerdict verdict, DriverSetupMode mode) {
    switch (verdict) {
    case SetupVerdict::Succeeded:
        break;
    case SetupVerdict::Failed:
        return FailWith(context,
                        mode == DriverSetupMode::Install ? INSTALL_FAILURE_TEXT
                                                         : UNINSTALL_FAILURE_TEXT,
                        DRIVER_SETUP_FAILED);
    case SetupVerdict::NeedsRestart:
        return FailWith(context, RESTART_TEXT, DRIVER_SETUP_NEEDS_RESTART);
    }
    return 0;
}

} // namespace

bool BuildDriverSetupPath(char* path, size_t cbPath, const SetupContextRecord& context,
                          const char* baseName) {
    char name[JOINED_PATH_UNITS];
    return BuildDriverSetupName(name, sizeof(name), context, baseName) &&
           JoinPath(path, cbPath, context.installFolder, name);
}

bool BuildDriverSetupName(char* name, size_t cbName, const SetupContextRecord& context,
                          const char* baseName) {
    return CopyText(name, cbName, baseName) &&
           AppendText(name, cbName, context.is64BitWindows != 0 ? "_x64.exe" : ".exe");
}

int ReportDriverSetupNotStarted(SetupContextRecord& context) {
    return FailWith(context, NOT_STARTED_TEXT, DRIVER_SETUP_NOT_STARTED);
}

int RunDriverSetup(SetupContextRecord& context, const char* baseName, DriverSetupMode mode) {
    // The removal has put a missing program back from the package before it gets
    // here: one still missing was not removed and cannot count as removed.
    char program[JOINED_PATH_UNITS];
    if (!BuildDriverSetupPath(program, sizeof(program), context, baseName) ||
        (mode == DriverSetupMode::Uninstall && ProbeReadable(program) != 1)) {
        return ReportDriverSetupNotStarted(context);
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    char commandLine[32];
    CopyText(commandLine, sizeof(commandLine), SwitchText(mode));
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, context.installFolder, &startup, &process)) {
        return ReportDriverSetupNotStarted(context);
    }
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (process.hProcess == nullptr) {
        return FailWith(context, NOT_STARTED_TEXT, DRIVER_SETUP_NO_PROCESS_HANDLE);
    }
    WaitForSingleObject(processHandle.Get(), INFINITE);
    DWORD exitCode = static_cast<DWORD>(-1);
    if (!GetExitCodeProcess(processHandle.Get(), &exitCode)) {
        exitCode = static_cast<DWORD>(-1);
    }
    return ReportVerdict(context, JudgeExitCode(static_cast<int32_t>(exitCode), mode), mode);
}

} // namespace mossgate
