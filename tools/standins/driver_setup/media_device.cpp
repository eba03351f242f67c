#include "tools/standins/driver_setup/media_device.h"

#include "common/win32/holders.h"

#include <setupapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace mossgate::standins {

namespace {

// The device's instance id, such as "ROOT\MEDIA\0000"; empty when it cannot be read.
std::string DeviceInstanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
    DWORD needed = 0;
    SetupDiGetDeviceInstanceIdA(list, &device, nullptr, 0, &needed);
    if (needed == 0) {
        return {};
    }
    std::string id(needed, '\0');
    if (!SetupDiGetDeviceInstanceIdA(list, &device, id.data(), needed, nullptr)) {
        return {};
    }
    id.resize(id.find('\0') == std::string::npos ? id.size() : id.find('\0'));
    return id;
}

// {4d36e96c-e325-11ce-bfc1-08002be10318}: the MEDIA setup class.
constexpr GUID kMediaClass = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

std::string GuidText(const GUID& guid) {
    char text[40];
    std::snprintf(text, sizeof(text), "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

// The device's hardware ids as separate strings.
std::vector<std::string> HardwareIds(HDEVINFO list, SP_DEVINFO_DATA& device) {
    std::vector<BYTE> buffer(1024);
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(list, &device, SPDRP_HARDWAREID, &type, buffer.data(),
                                           static_cast<DWORD>(buffer.size() - 2), nullptr) ||
        type != REG_MULTI_SZ) {
        return {};
    }
    std::vector<std::string> ids;
    for (const char* id = reinterpret_cast<const char*>(buffer.data()); *id != '\0';
         id += std::string(id).size() + 1) {
        ids.emplace_back(id);
    }
    return ids;
}

bool CarriesHardwareId(HDEVINFO list, SP_DEVINFO_DATA& device, const DriverIdentity& driver) {
    for (const std::string& id : HardwareIds(list, device)) {
        if (lstrcmpiA(id.c_str(), driver.hardwareIds) == 0) {
            return true;
        }
    }
    return false;
}

// The instance ids of the MEDIA devices that carry the driver's hardware id.
std::vector<std::string> DevicesWithHardwareId(const DriverIdentity& driver) {
    std::vector<std::string> ids;
    DeviceInfoList media(SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, 0));
    if (!media.Valid()) {
        return ids;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(media.Get(), index, &device); ++index) {
        if (CarriesHardwareId(media.Get(), device, driver)) {
            ids.push_back(DeviceInstanceId(media.Get(), device));
        }
    }
    return ids;
}

// The interface's device path; also fills `device` with its device when given.
std::string DevicePath(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& item,
                       SP_DEVINFO_DATA* device = nullptr) {
    DWORD needed = 0;
    SetupDiGetDeviceInterfaceDetailA(list, &item, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) {
        return {};
    }
    std::vector<BYTE> buffer(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    if (!SetupDiGetDeviceInterfaceDetailA(list, &item, detail, needed, nullptr, device)) {
        return {};
    }
    return detail->DevicePath;
}

// The instance ids of the devices that expose the interface class, enabled or not.
std::vector<std::string> DevicesExposing(const GUID& interfaceClass) {
    std::vector<std::string> ids;
    DeviceInfoList interfaces(
        SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr, DIGCF_DEVICEINTERFACE));
    if (!interfaces.Valid()) {
        return ids;
    }
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(interfaces.Get(), nullptr, &interfaceClass, index, &item);
         ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!DevicePath(interfaces.Get(), item, &device).empty()) {
            const std::string id = DeviceInstanceId(interfaces.Get(), device);
            if (!id.empty()) {
                ids.push_back(id);
            }
        }
    }
    return ids;
}

// The listing that the product uses to tell whether the driver is installed.
bool InterfaceListed(const GUID& interfaceClass) {
    DeviceInfoList present(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!present.Valid()) {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    return SetupDiEnumDeviceInterfaces(present.Get(), nullptr, &interfaceClass, 0, &item);
}

// What a loaded driver does when it enables its interface: the interface key
// (named after the device path, "\\?\" becoming "##?#") gets "#\Control" with
// DWORD Linked = 1. The present-interface listing looks for exactly that.
bool EnableInterface(HDEVINFO list, SP_DEVICE_INTERFACE_DATA& item, const GUID& interfaceClass) {
    std::string keyName = DevicePath(list, item);
    if (keyName.empty()) {
        return false;
    }
    for (char& c : keyName) {
        if (c == '\\') {
            c = '#';
        }
    }
    const std::string path = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                             GuidText(interfaceClass) + "\\" + keyName + "\\#\\Control";
    HKEY control = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &control, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const DWORD linked = 1;
    const LONG status = RegSetValueExA(control, "Linked", 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&linked), sizeof(linked));
    RegCloseKey(control);
    return status == ERROR_SUCCESS;
}

bool RemoveDevice(const std::string& instanceId) {
    DeviceInfoList list(SetupDiCreateDeviceInfoList(nullptr, nullptr));
    if (!list.Valid()) {
        return false;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    if (!SetupDiOpenDeviceInfoA(list.Get(), instanceId.c_str(), nullptr, 0, &device)) {
        // Already gone (listed twice, or removed by someone else meanwhile).
        return GetLastError() == ERROR_NO_SUCH_DEVINST;
    }
    return SetupDiCallClassInstaller(DIF_REMOVE, list.Get(), &device) ||
           SetupDiRemoveDevice(list.Get(), &device);
}

// Finds this driver's device among the MEDIA devices, or registers a new one.
bool FindOrRegisterDevice(HDEVINFO media, const DriverIdentity& driver, SP_DEVINFO_DATA& device,
                          bool& created) {
    device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(media, index, &device); ++index) {
        if (CarriesHardwareId(media, device, driver)) {
            created = false;
            return true;
        }
    }
    device = {};
    device.cbSize = sizeof(device);
    // DICD_GENERATE_ID makes the instance id ROOT\MEDIA\nnnn.
    if (!SetupDiCreateDeviceInfoA(media, "MEDIA", &kMediaClass, driver.description, nullptr,
                                  DICD_GENERATE_ID, &device)) {
        return false;
    }
    if (!SetupDiSetDeviceRegistryPropertyA(media, &device, SPDRP_HARDWAREID,
                                           reinterpret_cast<const BYTE*>(driver.hardwareIds),
                                           driver.hardwareIdsBytes) ||
        !SetupDiRegisterDeviceInfo(media, &device, 0, nullptr, nullptr, nullptr)) {
        SetupDiDeleteDeviceInfo(media, &device);
        return false;
    }
    created = true;
    return true;
}

} // namespace

bool InstallDevice(const DriverIdentity& driver) {
    DeviceInfoList media(SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, 0));
    if (!media.Valid()) {
        return false;
    }
    SP_DEVINFO_DATA device = {};
    bool created = false;
    if (!FindOrRegisterDevice(media.Get(), driver, device, created)) {
        return false;
    }
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    if (SetupDiCreateDeviceInterfaceA(media.Get(), &device, &driver.interfaceClass, nullptr, 0,
                                      &item) &&
        EnableInterface(media.Get(), item, driver.interfaceClass) &&
        InterfaceListed(driver.interfaceClass)) {
        return true;
    }
    if (created) {
        SetupDiRemoveDevice(media.Get(), &device);
    }
    return false;
}

bool RemoveDevices(const DriverIdentity& driver) {
    std::vector<std::string> ids = DevicesExposing(driver.interfaceClass);
    for (const std::string& id : DevicesWithHardwareId(driver)) {
        ids.push_back(id);
    }
    bool removedAll = true;
    for (const std::string& id : ids) {
        removedAll = RemoveDevice(id) && removedAll;
    }
    return removedAll && !InterfaceListed(driver.interfaceClass);
}

} // namespace mossgate::standins
