// Whether a present device exposes a device interface of one of the drivers' classes.
#pragma once

#include <windows.h>

#include <cstdint>

namespace mossgate {

// Driver C's and driver D's interface classes, in the order they are probed.
extern const GUID DRIVER_INTERFACE_CLASSES[2];

// Null when no present device exposes an interface of the class. Otherwise the
// result of opening the first such interface's device path: an open handle, or
// INVALID_HANDLE_VALUE when the open failed (still found).
HANDLE ProbeDriverInterface(GUID interfaceClass);

// Closes a handle that ProbeDriverInterface returned, unless it holds none.
void CloseProbeHandle(HANDLE handle);

// 1 when either class is found (both are always probed), else 0.
int32_t ProbeInstalledDrivers();

} // namespace mossgate
