#include "tests/windows/standins/standin_harness.h"

#include "env/device_info_list.h"
#include "env/driver_probe.h"

namespace mossgate::testing {

std::string BesideTests(const char* fileName) {
    return ExecutableFolder() + "\\" + fileName;
}

std::string SetupC() {
    return BesideTests("MOSSGATE_C_Setup.exe");
}

std::string SetupD() {
    return BesideTests("MOSSGATE_D_Setup.exe");
}

std::string InstallFolder() {
    const std::string folder = "C:\\Program Files\\Kestrine\\MOSSGATE Pack";
    CreateDirectoryA("C:\\Program Files\\Kestrine", nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool StartBare(const std::string& program, const std::string& commandLine,
               const std::string& folder, ChildProcess& child) {
    std::string writable = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        return false;
    }
    child.process.Reset(info.hProcess);
    child.thread.Reset(info.hThread);
    child.id = info.dwProcessId;
    return true;
}

std::optional<int32_t> RunBare(const std::string& program, const std::string& commandLine,
                               const std::string& folder) {
    ChildProcess child;
    if (!StartBare(program, commandLine, folder, child)) {
        return std::nullopt;
    }
    return WaitForExit(child, kRunTimeoutMs);
}

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : name_(name) {
    char earlier[4096];
    const DWORD length = GetEnvironmentVariableA(name, earlier, sizeof(earlier));
    if (length > 0 && length < sizeof(earlier)) {
        earlier_ = std::string(earlier, length);
    }
    SetEnvironmentVariableA(name, value.c_str());
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableA(name_.c_str(), earlier_ ? earlier_->c_str() : nullptr);
}

std::vector<ListedInterface> PresentInterfaces(const GUID& interfaceClass) {
    std::vector<ListedInterface> found;
    DeviceInfoList list(SetupDiGetClassDevsA(&interfaceClass, nullptr, nullptr,
                                             DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!list.Valid()) {
        return found;
    }
    SP_DEVICE_INTERFACE_DATA item = {};
    item.cbSize = sizeof(item);
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(list.Get(), nullptr, &interfaceClass, index, &item); ++index) {
        union {
            SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
            char bytes[1024];
        } buffer = {};
        buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        ListedInterface entry = {};
        if (SetupDiGetDeviceInterfaceDetailA(list.Get(), &item, &buffer.detail, sizeof(buffer),
                                             nullptr, &device)) {
            entry.devicePath = buffer.detail.DevicePath;
            entry.instanceId = DeviceInstanceId(list.Get(), device);
            entry.setupClass = device.ClassGuid;
        }
        found.push_back(entry);
    }
    return found;
}

// Asks the program's own probe, the way the window decides at creation.
bool ProductFindsDriver(const GUID& interfaceClass) {
    HANDLE found = ProbeDriverInterface(interfaceClass);
    CloseProbeHandle(found);
    return found != nullptr;
}

std::vector<std::string> MediaDevices() {
    std::vector<std::string> ids;
    DeviceInfoList list(SetupDiGetClassDevsA(&kMediaClass, nullptr, nullptr, 0));
    if (!list.Valid()) {
        return ids;
    }
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(list.Get(), index, &device); ++index) {
        ids.push_back(DeviceInstanceId(list.Get(), device));
    }
    return ids;
}

std::string Quoted(const std::string& text) {
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted.append(1, '"').append(text).append(1, '"');
    return quoted;
}

std::string TemporaryFilePath(const char* name) {
    char folder[MAX_PATH] = "";
    GetTempPathA(sizeof(folder), folder);
    std::string path =
        std::string(folder) + "standin " + std::to_string(GetTickCount64()) + " " + name;
    DeleteFileA(path.c_str());
    return path;
}

std::vector<std::string> CrlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

} // namespace mossgate::testing
