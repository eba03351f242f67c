// Which driver this build of the stand-in driver setup program stands for; the build
// defines MOSSGATE_STANDIN_DRIVER_C or MOSSGATE_STANDIN_DRIVER_D.
#pragma once

#include <windows.h>

namespace mossgate::standins {

struct DriverIdentity {
    // "C" or "D": also the suffix of the driver's own test variables.
    const char* letter;
    // The device-interface class that the installed driver exposes.
    GUID interfaceClass;
    // The hardware id given to the stand-in device, as REG_MULTI_SZ text (double nul).
    const char* hardwareIds;
    DWORD hardwareIdsBytes;
    const char* description;
};

#if defined(MOSSGATE_STANDIN_DRIVER_C) == defined(MOSSGATE_STANDIN_DRIVER_D)
#error "define exactly one of MOSSGATE_STANDIN_DRIVER_C and MOSSGATE_STANDIN_DRIVER_D"
#endif

#if defined(MOSSGATE_STANDIN_DRIVER_C)
inline constexpr char kHardwareIds[] = "Root\\KestrineMossgateC\0";
inline constexpr DriverIdentity kDriver = {
    "C",
    {0xB6879024, 0xAABF, 0x4E6A, {0xAB, 0x8B, 0x4E, 0x4C, 0x17, 0xF9, 0x1F, 0x50}},
    kHardwareIds,
    sizeof(kHardwareIds),
    "MOSSGATE C virtual audio device (stand-in)",
};
#else
inline constexpr char kHardwareIds[] = "Root\\KestrineMossgateD\0";
inline constexpr DriverIdentity kDriver = {
    "D",
    {0xB33AA4D0, 0x491A, 0x433D, {0xAB, 0x35, 0xF4, 0x63, 0xF1, 0xD9, 0x55, 0x82}},
    kHardwareIds,
    sizeof(kHardwareIds),
    "MOSSGATE D virtual audio device (stand-in)",
};
#endif

} // namespace mossgate::standins
