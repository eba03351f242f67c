#include "procedures/restart_plans.h"

#include "common/portable/path_text.h"
#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "procedures/portable/restart_plans.h"

#include <cwchar>

namespace mossgate {

namespace {

constexpr const wchar_t* SESSION_MANAGER_KEY =
    L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* PENDING_OPERATIONS_VALUE = L"PendingFileRenameOperations";
// The system's own limit for the list is far below this.
constexpr DWORD MAX_LIST_BYTES = 16 * 1024 * 1024;

static_assert(sizeof(wchar_t) == sizeof(char16_t));

struct OwnPaths {
    const wchar_t* const* paths;
    size_t count;
};

// The list names files in the native form "\??\C:\...". The program's own files
// are on a drive; any other form (a share, a device) names something else.
bool ToWin32Path(const char16_t* source, size_t cchSource, wchar_t (&path)[PATH_UNITS]) {
    const wchar_t* text = reinterpret_cast<const wchar_t*>(source);
    constexpr size_t cchPrefix = 4;
    if (cchSource < cchPrefix + 3 || wcsncmp(text, L"\\??\\", cchPrefix) != 0 ||
        text[cchPrefix + 1] != L':' || text[cchPrefix + 2] != L'\\') {
        return false;
    }
    const size_t cchPath = cchSource - cchPrefix;
    if (cchPath >= PATH_UNITS) {
        return false;
    }
    wmemcpy(path, text + cchPrefix, cchPath);
    path[cchPath] = L'\0';
    return true;
}

bool NamesOwnPath(const char16_t* source, size_t cchSource, void* context) {
    const auto* own = static_cast<const OwnPaths*>(context);
    wchar_t path[PATH_UNITS];
    if (!ToWin32Path(source, cchSource, path)) {
        return false;
    }
    for (size_t i = 0; i < own->count; ++i) {
        if (IsSameFileObject(path, own->paths[i])) {
            return true;
        }
    }
    return false;
}

bool ReadList(HKEY key, HeapBuffer& list, DWORD& cbList) {
    DWORD type = 0;
    const LONG sized =
        RegQueryValueExW(key, PENDING_OPERATIONS_VALUE, nullptr, &type, nullptr, &cbList);
    if (sized != ERROR_SUCCESS || type != REG_MULTI_SZ || cbList > MAX_LIST_BYTES ||
        list.Reset(cbList + sizeof(wchar_t)) == nullptr) {
        return false;
    }
    return RegQueryValueExW(key, PENDING_OPERATIONS_VALUE, nullptr, &type, list.As<BYTE>(),
                            &cbList) == ERROR_SUCCESS &&
           type == REG_MULTI_SZ;
}

} // namespace

void CancelDeletionsAtRestart(const wchar_t* const* paths, size_t count) {
    UniqueRegKey key;
    HeapBuffer list(0);
    DWORD cbList = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      key.Receive()) != ERROR_SUCCESS ||
        !ReadList(key.Get(), list, cbList)) {
        return;
    }
    const size_t cchList = cbList / sizeof(char16_t);
    HeapBuffer kept((cchList + 1) * sizeof(char16_t));
    OwnPaths own = {paths, count};
    const RestartPlanEdit edit = DropPlannedDeletions(
        list.As<char16_t>(), cchList, kept.As<char16_t>(), cchList + 1, NamesOwnPath, &own);
    if (!edit.wellFormed || edit.pairsDropped == 0) {
        return;
    }
    if (edit.pairsKept == 0) {
        RegDeleteValueW(key.Get(), PENDING_OPERATIONS_VALUE);
    } else {
        RegSetValueExW(key.Get(), PENDING_OPERATIONS_VALUE, 0, REG_MULTI_SZ, kept.As<BYTE>(),
                       static_cast<DWORD>(edit.cchOut * sizeof(char16_t)));
    }
}

} // namespace mossgate
