#include "env/driver_probe.h"

#include "common/win32/holders.h"

#include <cstdint>

namespace mossgate {

const GUID DRIVER_INTERFACE_CLASSES[2] = {
    {0xB6879024, 0xAABF, 0x4E6A, {0xAB, 0x8B, 0x4E, 0x4C, 0x17, 0xF9, 0x1F, 0x50}},
    {0xB33AA4D0, 0x491A, 0x433D, {0xAB, 0x35, 0xF4, 0x63, 0xF1, 0xD9, 0x55, 0x82}},
};

namespace {

// The probe hands these records to SetupAPI with their cbSize: the system checks it
// against the layout of the program's own build and refuses any other value.
constexpr bool BUILD_IS_32_BIT = sizeof(void*) == 4;
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (BUILD_IS_32_BIT ? 28 : 32),
              "SP_DEVICE_INTERFACE_DATA as SetupAPI expects it");
static_assert(
    sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (BUILD_IS_32_BIT ? 5 : 8),
    "the fixed part of SP_DEVICE_INTERFACE_DETAIL_DATA_A (byte-packed in a 32-bit build)");

HANDLE OpenDevicePath(const char* devicePath) {
    return CreateFileA(devicePath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

} // namespace

HANDLE ProbeDriverInterface(GUID interfaceClass) {
    DeviceInfoList set(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                            DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.Valid()) {
        return nullptr;
    }
    SP_DEVICE_INTERFACE_DATA interfaceData = {};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &interfaceClass, 0, &interfaceData)) {
        return nullptr;
    }
    // The interface is listed, so a driver is present. A detail record that cannot be
    // had only means its device cannot be opened, which counts as found as well.
    DWORD cbRecord = 0;
    SetupDiGetDeviceInterfaceDetailA(set.Get(), &interfaceData, nullptr, 0, &cbRecord, nullptr);
    HeapBuffer record(cbRecord >= sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ? cbRecord : 0,
                      HEAP_ZERO_MEMORY);
    auto* detail = record.As<SP_DEVICE_INTERFACE_DETAIL_DATA_A>();
    if (detail == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    // The size of the record's fixed part, not of the allocation.
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(set.Get(), &interfaceData, detail, cbRecord, nullptr,
                                          nullptr)) {
        return INVALID_HANDLE_VALUE;
    }
    return OpenDevicePath(detail->DevicePath);
}

void CloseProbeHandle(HANDLE handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
}

int32_t ProbeInstalledDrivers() {
    int32_t found = 0;
    for (const GUID& interfaceClass : DRIVER_INTERFACE_CLASSES) {
        HANDLE handle = ProbeDriverInterface(interfaceClass);
        if (handle != nullptr) {
            CloseProbeHandle(handle);
            found = 1;
        }
    }
    return found;
}

} // namespace mossgate
