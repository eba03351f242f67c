#include "procedures/restart_plans.h"

#include "common/portable/path_text.h"
#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "common/win32/wide_text.h"
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

// An existing file or folder's own name and the identity of the folder it lies in,
// whichever spelling of its path is given.
bool DescribeEntry(const wchar_t* path, OwnEntry& entry) {
    wchar_t longPath[PATH_UNITS];
    const DWORD cch = GetLongPathNameW(path, longPath, PATH_UNITS);
    if (cch == 0 || cch >= PATH_UNITS) {
        return false;
    }
    for (size_t end = cch; end > 3 && longPath[end - 1] == L'\\'; --end) {
        longPath[end - 1] = L'\0';
    }
    wchar_t* separator = wcsrchr(longPath, L'\\');
    if (separator == nullptr || separator[1] == L'\0' ||
        !CopyWideText(entry.name, ENTRY_NAME_CHARS, separator + 1)) {
        return false;
    }
    // "C:" alone names the drive's current folder, not its root.
    separator[separator == longPath + 2 ? 1 : 0] = L'\0';
    return ReadFileIdentity(longPath, entry.folder);
}

bool NamesOwnEntry(const char16_t* source, size_t cchSource, const void* context) {
    // The program's own files are on a drive: any other form names something else.
    char16_t path[PATH_UNITS];
    OwnEntry entry;
    return DrivePathOfNativeName(source, cchSource, path, PATH_UNITS) &&
           DescribeEntry(reinterpret_cast<const wchar_t*>(path), entry) &&
           static_cast<const OwnEntries*>(context)->Names(entry);
}

// A list of whole units only: an odd byte at its end is no text of it.
bool ReadList(HKEY key, HeapBuffer& list, DWORD& cbList) {
    DWORD type = 0;
    const LONG sized =
        RegQueryValueExW(key, PENDING_OPERATIONS_VALUE, nullptr, &type, nullptr, &cbList);
    if (sized != ERROR_SUCCESS || type != REG_MULTI_SZ || cbList > MAX_LIST_BYTES ||
        cbList % sizeof(char16_t) != 0 || list.Reset(cbList + sizeof(wchar_t)) == nullptr) {
        return false;
    }
    return RegQueryValueExW(key, PENDING_OPERATIONS_VALUE, nullptr, &type, list.As<BYTE>(),
                            &cbList) == ERROR_SUCCESS &&
           type == REG_MULTI_SZ;
}

} // namespace

OwnEntries::OwnEntries(size_t capacity) : entries_(capacity * sizeof(OwnEntry)) {}

void OwnEntries::Add(const char* path) {
    wchar_t widePath[PATH_UNITS];
    OwnEntry* entries = entries_.As<OwnEntry>();
    if (entries != nullptr && count_ < entries_.Size() / sizeof(OwnEntry) &&
        AnsiToWide(path, widePath, PATH_UNITS) && DescribeEntry(widePath, entries[count_])) {
        ++count_;
    }
}

bool OwnEntries::Names(const OwnEntry& entry) const {
    const OwnEntry* entries = entries_.As<OwnEntry>();
    for (size_t i = 0; i < count_; ++i) {
        if (entries[i].folder.volume == entry.folder.volume &&
            entries[i].folder.index == entry.folder.index &&
            _wcsicmp(entries[i].name, entry.name) == 0) {
            return true;
        }
    }
    return false;
}

void CancelDeletionsAtRestart(const OwnEntries& own) {
    UniqueRegKey key;
    HeapBuffer list(0);
    DWORD cbList = 0;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SESSION_MANAGER_KEY, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      key.Receive()) != ERROR_SUCCESS ||
        !ReadList(key.Get(), list, cbList)) {
        return;
    }
    const size_t cchList = cbList / sizeof(char16_t);
    // The list grows by its final empty text at most.
    HeapBuffer kept((cchList + 1) * sizeof(char16_t));
    const RestartPlanEdit edit = DropPlannedDeletions(
        list.As<char16_t>(), cchList, kept.As<char16_t>(), cchList + 1, NamesOwnEntry, &own);
    if (!edit.wellFormed || edit.pairsDropped == 0) {
        return;
    }
    if (edit.cchOut == 0) {
        RegDeleteValueW(key.Get(), PENDING_OPERATIONS_VALUE);
    } else {
        RegSetValueExW(key.Get(), PENDING_OPERATIONS_VALUE, 0, REG_MULTI_SZ, kept.As<BYTE>(),
                       static_cast<DWORD>(edit.cchOut * sizeof(char16_t)));
    }
}

} // namespace mossgate
