#include "procedures/registry_values.h"

#include "app/bounded_text.h"
#include "app/win_holders.h"

#include <cstring>

namespace mossgate {

namespace {

constexpr DWORD VALUE_READ_BYTES = 4096;
constexpr DWORD VALUE_COPY_LIMIT = 4050;

} // namespace

int ReadUserStringValue(const char* subKey, const char* valueName, char* buffer, size_t cbBuffer) {
    UniqueRegKey key;
    if (buffer == nullptr || cbBuffer == 0 ||
        RegOpenKeyA(HKEY_CURRENT_USER, subKey, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    // One spare byte keeps a value stored without its terminator readable as text.
    char value[VALUE_READ_BYTES + 1] = {};
    DWORD cbValue = VALUE_READ_BYTES;
    DWORD type = REG_SZ;
    const LONG status = RegQueryValueExA(key.Get(), valueName, nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &cbValue);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        return 0;
    }
    const DWORD cbCopied = cbValue < VALUE_COPY_LIMIT ? cbValue : VALUE_COPY_LIMIT;
    value[cbCopied] = '\0';
    // A text longer than the caller's buffer is treated as missing: a cut folder
    // path would name another folder.
    return CopyText(buffer, cbBuffer, value) ? 1 : 0;
}

int WriteMachineStringValue(const char* subKey, const char* valueName, const char* text) {
    UniqueRegKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, subKey, key.Receive()) != ERROR_SUCCESS &&
        RegCreateKeyA(HKEY_LOCAL_MACHINE, subKey, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    const DWORD cbData = static_cast<DWORD>(std::strlen(text) + 1);
    return RegSetValueExA(key.Get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          cbData) == ERROR_SUCCESS
               ? 1
               : 0;
}

} // namespace mossgate
