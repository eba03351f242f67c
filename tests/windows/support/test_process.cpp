#include "tests/windows/support/test_process.h"

#include "tests/windows/support/window_search.h"

#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace mossgate::testing {

std::string ExecutableFolder() {
    char path[MAX_PATH * 2];
    const DWORD cch = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, cch);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string TwinPath() {
    return ExecutableFolder() + "\\MOSSGATE_CD_Pack_Setup.exe";
}

// Starts a command line, with the program's file named apart or not (nullptr).
static bool Start(const char* program, std::string commandLine, ChildProcess& child,
                  const char* currentFolder) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        currentFolder, &startup, &info)) {
        return false;
    }
    child.process.Reset(info.hProcess);
    child.thread.Reset(info.hThread);
    child.id = info.dwProcessId;
    return true;
}

bool StartProgram(const std::string& program, const std::string& arguments, ChildProcess& child,
                  const char* currentFolder) {
    return Start(program.c_str(), "\"" + program + "\" " + arguments, child, currentFolder);
}

DWORD Scaled(DWORD milliseconds) {
    char text[16] = "";
    const DWORD length = GetEnvironmentVariableA("MOSSGATE_TIME_SCALE", text, sizeof(text));
    const unsigned long scale =
        length > 0 && length < sizeof(text) ? std::strtoul(text, nullptr, 10) : 1;
    if (milliseconds == INFINITE || scale <= 1) {
        return milliseconds;
    }
    const unsigned long long stretched = static_cast<unsigned long long>(milliseconds) * scale;
    return stretched < INFINITE ? static_cast<DWORD>(stretched) : INFINITE - 1;
}

std::optional<int32_t> WaitForExit(const ChildProcess& child, DWORD timeoutMs) {
    if (WaitForSingleObject(child.process.Get(), Scaled(timeoutMs)) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(child.process.Get(), &code)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(code);
}

std::optional<int32_t> RunCommandLine(const std::string& commandLine, DWORD timeoutMs) {
    ChildProcess child;
    return Start(nullptr, commandLine, child, nullptr) ? WaitForExit(child, timeoutMs)
                                                       : std::nullopt;
}

bool FindProcess(const std::string& prefix, ChildProcess& found, DWORD timeoutMs) {
    return WaitUntil(
               [&] {
                   UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
                   PROCESSENTRY32 entry = {};
                   entry.dwSize = sizeof(entry);
                   for (BOOL more = snapshot.Valid() && Process32First(snapshot.Get(), &entry);
                        more; more = Process32Next(snapshot.Get(), &entry)) {
                       if (_strnicmp(entry.szExeFile, prefix.c_str(), prefix.size()) == 0) {
                           found.process.Reset(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE |
                                                               PROCESS_QUERY_LIMITED_INFORMATION,
                                                           FALSE, entry.th32ProcessID));
                           found.id = entry.th32ProcessID;
                           return true;
                       }
                   }
                   return false;
               },
               timeoutMs) &&
           found.process.Valid();
}

HWND WaitForProcessWindow(DWORD processId, const char* className, DWORD timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindProcessWindow(processId, className)) != nullptr; },
              timeoutMs);
    return found;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

} // namespace mossgate::testing
