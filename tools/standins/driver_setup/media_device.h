// The stand-in's device: a root-enumerated device of the MEDIA setup class that
// exposes the driver's device-interface class, enabled, through SetupAPI.
#pragma once

#include "tools/standins/driver_setup/driver_identity.h"

namespace mossgate::standins {

// Registers the device (or reuses the one registered before) and enables its
// interface; true once the present-interface listing shows it.
bool InstallDevice(const DriverIdentity& driver);

// Removes every device that exposes the interface or carries the hardware id; true
// once the present-interface listing shows none (also when there was nothing).
bool RemoveDevices(const DriverIdentity& driver);

} // namespace mossgate::standins
