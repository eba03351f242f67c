// Owner of a SetupAPI device information set; both null and INVALID_HANDLE_VALUE
// count as empty.
#pragma once

#include <windows.h>

#include <setupapi.h>

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

} // namespace mossgate
