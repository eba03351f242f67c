// Owner of a SetupAPI device information set; both null and INVALID_HANDLE_VALUE
// count as empty.
#pragma once

#include <windows.h>

#include <setupapi.h>

#include <string>

namespace mossgate {

class DeviceInfoList {
  public:
    explicit DeviceInfoList(HDEVINFO list) : list_(list) {}
    ~DeviceInfoList() {
        if (Valid()) {
            SetupDiDestroyDeviceInfoList(list_);
        }
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;

    bool Valid() const { return list_ != INVALID_HANDLE_VALUE && list_ != nullptr; }
    HDEVINFO Get() const { return list_; }

  private:
    HDEVINFO list_;
};

// The device's instance id, such as "ROOT\MEDIA\0000"; empty when it cannot be read.
inline std::string DeviceInstanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
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

} // namespace mossgate
