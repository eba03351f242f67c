#include "common/win32/file_system.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/folder_handles.h"
#include "common/win32/holders.h"
#include "common/win32/wide_text.h"

#include <cwchar>

namespace mossgate {

namespace {

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A file where the folder belongs also answers ERROR_ALREADY_EXISTS.
bool CreateOneFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) ||
           (GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(GetFileAttributesA(path)));
}

} // namespace

int CreateFolderPath(const char* path) {
    if (path == nullptr) {
        return 0;
    }
    char work[PATH_UNITS];
    if (!CopyText(work, sizeof(work), path)) {
        return 0;
    }
    const size_t length = BoundedLength(work, sizeof(work));
    if (length < 5) {
        return 0;
    }
    size_t at = SkipRoot(work);
    if (work[at] == '\0') {
        return 1;
    }
    for (; work[at] != '\0'; ++at) {
        if (work[at] != '\\') {
            continue;
        }
        work[at] = '\0';
        const bool made = CreateOneFolder(work);
        work[at] = '\\';
        if (!made) {
            return 0;
        }
    }
    if (work[length - 1] != '\\' && !CreateOneFolder(work)) {
        return 0;
    }
    return 1;
}

int WriteWholeFile(const char* path, const uint8_t* bytes, uint32_t size) {
    UniqueHandle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        return 0;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file.Get(), bytes, size, &written, nullptr);
    return ok && written == size ? 1 : 0;
}

int CopyWholeFile(const wchar_t* source, const char* target) {
    WCHAR wideTarget[PATH_UNITS];
    WCHAR folder[PATH_UNITS];
    if (source == nullptr || !AnsiToWide(target, wideTarget, PATH_UNITS)) {
        return 0;
    }
    wmemcpy(folder, wideTarget, PATH_UNITS);
    WCHAR* last = wcsrchr(folder, L'\\');
    if (last == nullptr) {
        return 0;
    }
    *last = L'\0';
    WCHAR temporary[MAX_PATH];
    if (GetTempFileNameW(folder, L"cpy", 0, temporary) == 0) {
        return 0;
    }
    WIN32_FILE_ATTRIBUTE_DATA from = {};
    WIN32_FILE_ATTRIBUTE_DATA to = {};
    const bool whole = CopyFileW(source, temporary, FALSE) &&
                       GetFileAttributesExW(source, GetFileExInfoStandard, &from) &&
                       GetFileAttributesExW(temporary, GetFileExInfoStandard, &to) &&
                       from.nFileSizeLow == to.nFileSizeLow &&
                       from.nFileSizeHigh == to.nFileSizeHigh &&
                       SetFileAttributesW(temporary, FILE_ATTRIBUTE_NORMAL) &&
                       MoveFileExW(temporary, wideTarget, MOVEFILE_REPLACE_EXISTING);
    if (!whole) {
        DeleteFileW(temporary);
    }
    return whole ? 1 : 0;
}

bool IsSameFileObject(const wchar_t* first, const wchar_t* second) {
    FileIdentity a;
    FileIdentity b;
    return ReadFileIdentity(first, a) && ReadFileIdentity(second, b) && a.volume == b.volume &&
           a.index == b.index;
}

bool PlanDeletionAtRestart(const wchar_t* path) {
    return MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

int ProbeReadable(const char* path) {
    UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.Valid() ? 1 : 0;
}

bool ReadProgramPath(wchar_t* path, size_t cchPath) {
    const DWORD cch = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(cchPath));
    return cch != 0 && cch < cchPath;
}

bool ReadFileIdentity(const wchar_t* path, FileIdentity& identity) {
    // Folders open only with backup semantics; nothing is read, so any sharing goes.
    UniqueHandle file(CreateFileW(path, FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &information)) {
        return false;
    }
    identity.volume = information.dwVolumeSerialNumber;
    identity.index =
        (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return true;
}

} // namespace mossgate
