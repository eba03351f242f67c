#include "tools/standins/common/standin_settings.h"

#include <cstdint>
#include <vector>

namespace mossgate::standins {

namespace {

// Digits of one base, with an upper bound; nothing when empty, foreign or too large.
std::optional<uint64_t> ParseDigits(const std::string& digits, unsigned base, uint64_t limit) {
    if (digits.empty()) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (const char c : digits) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a') + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A') + 10;
        } else {
            return std::nullopt;
        }
        value = value * base + digit;
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

std::string ModuleFileName() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::string(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string CurrentFolder() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) {
        return {};
    }
    std::string folder(needed, '\0');
    const DWORD length = GetCurrentDirectoryA(needed, folder.data());
    folder.resize(length < needed ? length : 0);
    return folder;
}

} // namespace

std::optional<std::string> ReadEnvironment(const char* name) {
    const DWORD needed = GetEnvironmentVariableA(name, nullptr, 0);
    if (needed <= 1) {
        return std::nullopt;
    }
    std::string value(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name, value.data(), needed);
    if (length == 0 || length >= needed) {
        return std::nullopt;
    }
    value.resize(length);
    return value;
}

std::optional<std::string> ReadFirstSet(std::initializer_list<std::string> names) {
    for (const std::string& name : names) {
        if (auto value = ReadEnvironment(name.c_str())) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<UINT> ParseExitCode(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto value = ParseDigits(text.substr(2), 16, 0xFFFFFFFFu);
        return value ? std::optional<UINT>(static_cast<UINT>(*value)) : std::nullopt;
    }
    if (!text.empty() && text[0] == '-') {
        const auto magnitude = ParseDigits(text.substr(1), 10, 0x80000000u);
        return magnitude ? std::optional<UINT>(static_cast<UINT>(0u - *magnitude)) : std::nullopt;
    }
    const auto value = ParseDigits(text, 10, 0xFFFFFFFFu);
    return value ? std::optional<UINT>(static_cast<UINT>(*value)) : std::nullopt;
}

std::optional<DWORD> ParseMilliseconds(const std::string& text) {
    const auto value = ParseDigits(text, 10, INFINITE - 1u);
    return value ? std::optional<DWORD>(static_cast<DWORD>(*value)) : std::nullopt;
}

DWORD StretchedByTimeScale(DWORD milliseconds) {
    const auto text = ReadEnvironment("MOSSGATE_TIME_SCALE");
    const auto scale = text ? ParseDigits(*text, 10, 1000) : std::nullopt;
    if (!scale || *scale <= 1) {
        return milliseconds;
    }
    const uint64_t stretched = static_cast<uint64_t>(milliseconds) * *scale;
    return stretched < INFINITE ? static_cast<DWORD>(stretched) : INFINITE - 1;
}

namespace {

// Appending writes are not atomic under every Windows implementation (Wine's are
// not): starts that log at the same moment take turns.
class LogTurn {
  public:
    LogTurn() : mutex_(CreateMutexA(nullptr, FALSE, "MossgateStandinStartLog")) {
        if (mutex_ != nullptr) {
            WaitForSingleObject(mutex_, 10000);
        }
    }
    ~LogTurn() {
        if (mutex_ != nullptr) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
    }
    LogTurn(const LogTurn&) = delete;
    LogTurn& operator=(const LogTurn&) = delete;

  private:
    HANDLE mutex_;
};

} // namespace

bool AppendStartRecord(const std::string& logPath) {
    const std::string line =
        ModuleFileName() + "\t" + GetCommandLineA() + "\t" + CurrentFolder() + "\r\n";
    LogTurn turn;
    // Append-only access: every write lands at the end, also when several programs
    // write at once. Another program may hold the file briefly without sharing.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50; ++attempt) {
        file = CreateFileA(logPath.c_str(), FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) {
            break;
        }
        Sleep(20);
    }
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool ok =
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
        written == line.size();
    CloseHandle(file);
    return ok;
}

} // namespace mossgate::standins
