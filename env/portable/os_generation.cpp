#include "env/portable/os_generation.h"

namespace mossgate {

namespace {

OsGeneration ClassifyVersionSix(uint32_t minor, uint32_t productType) {
    switch (minor) {
    case 0:
        return OS_VISTA;
    case 1:
        return productType == PRODUCT_TYPE_WORKSTATION ? OS_WIN7 : OS_VISTA;
    case 2:
        return OS_WIN8;
    case 3:
        return OS_WIN8_1;
    default:
        return OS_UNKNOWN;
    }
}

} // namespace

OsGeneration ClassifyVersion(uint32_t major, uint32_t minor, uint32_t productType) {
    if (major <= 5) {
        if (minor == 0) {
            return OS_BEFORE_XP;
        }
        return minor == 2 ? OS_SERVER_2003 : OS_XP;
    }
    if (major == 6) {
        return ClassifyVersionSix(minor, productType);
    }
    if (major == 10) {
        return OS_WIN10;
    }
    return major > 10 ? OS_AFTER_WIN10 : OS_UNKNOWN;
}

VersionNumbers PreferTrueVersion(VersionNumbers classic, VersionNumbers reportedByKernel) {
    return reportedByKernel.major >= 6 ? reportedByKernel : classic;
}

} // namespace mossgate
