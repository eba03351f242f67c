#include "common/win32/registry.h"

#include "common/portable/bounded_text.h"
#include "common/win32/holders.h"

#include <cstring>

namespace mossgate {

namespace {

constexpr DWORD VALUE_READ_BYTES = 4096;
constexpr DWORD VALUE_COPY_LIMIT = 4050;
constexpr size_t SUBKEY_NAME_BYTES = 1024;
constexpr REGSAM DELETE_AND_ENUMERATE = DELETE | KEY_ENUMERATE_SUB_KEYS;

// Each value opens (or creates) the key by itself, so that one failed write leaves
// the others to be tried.
int SetMachineValue(const char* subKey, const char* valueName, DWORD type, const void* data,
                    DWORD cbData) {
    UniqueRegKey key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, subKey, key.Receive()) != ERROR_SUCCESS &&
        RegCreateKeyA(HKEY_LOCAL_MACHINE, subKey, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    return RegSetValueExA(key.Get(), valueName, 0, type, static_cast<const BYTE*>(data), cbData) ==
                   ERROR_SUCCESS
               ? 1
               : 0;
}

} // namespace

int ReadUserStringValue(const char* subKey, const char* valueName, char* buffer, size_t cbBuffer) {
    UniqueRegKey key;
    if (buffer == nullptr ||
        RegOpenKeyA(HKEY_CURRENT_USER, subKey, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    // One spare byte keeps a value stored without its terminator readable as text.
    char value[VALUE_READ_BYTES + 1] = {};
    DWORD cbValue = sizeof(value) - 1;
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
    return SetMachineValue(subKey, valueName, REG_SZ, text,
                           static_cast<DWORD>(std::strlen(text) + 1));
}

int WriteMachineDwordValue(const char* subKey, const char* valueName, DWORD value) {
    return SetMachineValue(subKey, valueName, REG_DWORD, &value, sizeof(value));
}

bool MachineKeyExists(const char* subKey) {
    UniqueRegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE, key.Receive()) ==
           ERROR_SUCCESS;
}

int DeleteRegistryTree(HKEY parent, const char* subKey) {
    UniqueRegKey key;
    if (RegOpenKeyExA(parent, subKey, 0, DELETE_AND_ENUMERATE, key.Receive()) != ERROR_SUCCESS) {
        return 0;
    }
    for (;;) {
        char name[SUBKEY_NAME_BYTES];
        DWORD cchName = SUBKEY_NAME_BYTES - 1;
        const LONG status =
            RegEnumKeyExA(key.Get(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) {
            // A subkey that stays would be found again at index 0: stop instead.
            if (DeleteRegistryTree(key.Get(), name) == 0) {
                return 0;
            }
            continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) {
            return RegDeleteKeyA(parent, subKey) == ERROR_SUCCESS ? 1 : 0;
        }
        // Another answer leaves the key where it is: the parent's walk must end too.
        return 0;
    }
}

} // namespace mossgate
