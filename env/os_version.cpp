#include "env/os_version.h"

#include "common/win32/system_library.h"

#include <cstring>

namespace mossgate {

namespace {

// GetVersionExA is deprecated for new code; the classic numbers are what we want.
BOOL QueryClassicVersion(OSVERSIONINFOEXA& record) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record));
#pragma GCC diagnostic pop
}

} // namespace

bool ReadClassicVersion(OSVERSIONINFOEXA& record) {
    static_assert(sizeof(OSVERSIONINFOEXA) == 156 && sizeof(OSVERSIONINFOA) == 148);
    std::memset(&record, 0, sizeof(record));
    record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (QueryClassicVersion(record)) {
        return true;
    }
    record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (QueryClassicVersion(record)) {
        return true;
    }
    record.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    return QueryClassicVersion(record) != FALSE;
}

int ReadTrueVersion(OSVERSIONINFOEXA& record) {
    return CorrectVersion(record,
                          FindLoadedExport<RtlGetVersionFunction>("Ntdll.dll", "RtlGetVersion"));
}

int CorrectVersion(OSVERSIONINFOEXA& record, RtlGetVersionFunction rtlGetVersion) {
    KernelVersionRecord kernel;
    std::memset(&kernel, 0, sizeof(kernel));
    kernel.size = sizeof(kernel);
    if (rtlGetVersion == nullptr) {
        return -1;
    }
    if (rtlGetVersion(&kernel) != 0) {
        return 0;
    }
    const VersionNumbers chosen = PreferTrueVersion({record.dwMajorVersion, record.dwMinorVersion},
                                                    {kernel.major, kernel.minor});
    record.dwMajorVersion = chosen.major;
    record.dwMinorVersion = chosen.minor;
    return 0;
}

// Installer projects have seen the shell link object fail to create on Vista after
// SetDefaultDllDirectories; there full library paths carry the protection alone.
bool RunsOnWindowsVista() {
    OSVERSIONINFOEXA record;
    return ReadClassicVersion(record) && record.dwMajorVersion == 6 && record.dwMinorVersion == 0;
}

OsGeneration ClassifyOperatingSystem() {
    OSVERSIONINFOEXA record;
    if (!ReadClassicVersion(record)) {
        return OS_UNKNOWN;
    }
    ReadTrueVersion(record);
    // The basic record has no product type; the zeroed field then reads 0.
    return ClassifyVersion(record.dwMajorVersion, record.dwMinorVersion, record.wProductType);
}

int DetectWow64() {
    return AskWow64(FindLoadedExport<IsWow64ProcessFunction>("Kernel32.dll", "IsWow64Process"));
}

int AskWow64(IsWow64ProcessFunction isWow64Process) {
    if (isWow64Process == nullptr) {
        return 0;
    }
    BOOL result = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &result)) {
        return 0;
    }
    return result;
}

} // namespace mossgate
