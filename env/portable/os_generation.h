// Windows generation codes; they drive only the "O/S:" label.
#pragma once

#include <cstdint>

namespace mossgate {

using OsGeneration = int32_t;

constexpr OsGeneration OS_UNKNOWN = -1;
constexpr OsGeneration OS_BEFORE_XP = 0;
constexpr OsGeneration OS_XP = 1;
constexpr OsGeneration OS_SERVER_2003 = 2;
constexpr OsGeneration OS_VISTA = 3;
constexpr OsGeneration OS_WIN7 = 4;
constexpr OsGeneration OS_WIN8 = 5;
constexpr OsGeneration OS_WIN8_1 = 6;
constexpr OsGeneration OS_WIN10 = 7;
constexpr OsGeneration OS_AFTER_WIN10 = 8;

constexpr uint32_t PRODUCT_TYPE_WORKSTATION = 1;

// The generation of a version triple as the classic query and the kernel service report it.
OsGeneration ClassifyVersion(uint32_t major, uint32_t minor, uint32_t productType);

struct VersionNumbers {
    uint32_t major;
    uint32_t minor;
};

// The kernel service's numbers win from major version 6 on; below that the classic
// numbers stay (the manifest caps what the classic query reports at 6.2).
VersionNumbers PreferTrueVersion(VersionNumbers classic, VersionNumbers reportedByKernel);

} // namespace mossgate
