#include "common/win32/file_system.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/holders.h"
#include "common/win32/wide_text.h"

#include <cwchar>

namespace mossgate {

namespace {

constexpr size_t FOLDER_PATH_BYTES = 1024;
constexpr size_t TREE_PATH_CHARS = 2048;

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// A file where the folder belongs also answers ERROR_ALREADY_EXISTS.
bool CreateOneFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) ||
           (GetLastError() == ERROR_ALREADY_EXISTS && IsFolder(GetFileAttributesA(path)));
}

// The folder walk nests once per level: its path buffers live on the heap.
class TreePath {
  public:
    bool Join(const wchar_t* folder, const wchar_t* name) {
        return text_.As<wchar_t>() != nullptr &&
               JoinWidePath(text_.As<wchar_t>(), TREE_PATH_CHARS, folder, name);
    }
    const wchar_t* c_str() const { return text_.As<wchar_t>(); }

  private:
    HeapBuffer text_{TREE_PATH_CHARS * sizeof(wchar_t)};
};

bool RemoveTree(const wchar_t* folder);

enum class Step { ListAgain, Stop };

// Removes one listed entry; the listing is already closed. Whether the walk goes
// on is decided by what the removal itself reports.
Step RemoveEntry(const wchar_t* folder, const WIN32_FIND_DATAW& entry) {
    TreePath path;
    if (!path.Join(folder, entry.cFileName)) {
        return Step::Stop;
    }
    bool removed = false;
    if (IsFolder(entry.dwFileAttributes)) {
        removed = RemoveTree(path.c_str());
    } else {
        removed = DeleteFileW(path.c_str()) != FALSE;
    }
    return removed ? Step::ListAgain : Step::Stop;
}

// Lists the folder and removes its first removable entry; Stop when nothing was
// removed (empty, unreadable, only dot-folders left, a removal failed) or when the
// entry removed last is listed first again (a deletion still pending).
Step RemoveFirstEntry(const wchar_t* folder, wchar_t (&removedLast)[MAX_PATH]) {
    TreePath pattern;
    if (!pattern.Join(folder, L"*.*")) {
        return Step::Stop;
    }
    WIN32_FIND_DATAW entry;
    UniqueFindHandle listing(FindFirstFileW(pattern.c_str(), &entry));
    if (!listing.Valid()) {
        return Step::Stop;
    }
    while (IsFolder(entry.dwFileAttributes) && entry.cFileName[0] == L'.') {
        if (FindNextFileW(listing.Get(), &entry) != 1) {
            return Step::Stop;
        }
    }
    listing.Close();
    if (wcscmp(entry.cFileName, removedLast) == 0) {
        return Step::Stop;
    }
    wmemcpy(removedLast, entry.cFileName, MAX_PATH);
    return RemoveEntry(folder, entry);
}

// True when the folder is gone. A link is removed as a link, never entered.
bool RemoveTree(const wchar_t* folder) {
    if (!IsLink(GetFileAttributesW(folder))) {
        wchar_t removedLast[MAX_PATH] = L"";
        while (RemoveFirstEntry(folder, removedLast) == Step::ListAgain) {
        }
    }
    return RemoveDirectoryW(folder) != FALSE;
}

// The end of path after its last `components` components are cut away, or -1 when
// it has fewer components below its root.
ptrdiff_t StartOfLastComponents(const char* path, int components) {
    const size_t root = SkipRoot(path);
    size_t end = BoundedLength(path, FOLDER_PATH_BYTES);
    while (end > root && path[end - 1] == '\\') {
        --end;
    }
    for (int i = 0; i < components; ++i) {
        while (end > root && path[end - 1] != '\\') {
            --end;
        }
        if (end <= root && i + 1 < components) {
            return -1;
        }
        while (end > root && path[end - 1] == '\\') {
            --end;
        }
    }
    return static_cast<ptrdiff_t>(end);
}

// Calls visit(prefix) for each of the last `components` prefixes of path, outermost
// first, while it returns true; false when the path cannot be split so.
template <typename Visit> bool ForEachLastComponent(const char* path, int components, Visit visit) {
    char prefix[FOLDER_PATH_BYTES];
    if (path == nullptr || !CopyText(prefix, sizeof(prefix), path)) {
        return false;
    }
    const ptrdiff_t start = StartOfLastComponents(prefix, components);
    if (start < 0) {
        return false;
    }
    for (size_t at = static_cast<size_t>(start) + 1;; ++at) {
        const char c = prefix[at];
        if (c != '\\' && c != '\0') {
            continue;
        }
        prefix[at] = '\0';
        const bool goOn = visit(prefix);
        if (c == '\0' || !goOn) {
            return true;
        }
        prefix[at] = c;
    }
}

} // namespace

int CreateFolderPath(const char* path) {
    if (path == nullptr) {
        return 0;
    }
    char work[FOLDER_PATH_BYTES];
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
    WCHAR wideTarget[FOLDER_PATH_BYTES];
    WCHAR folder[FOLDER_PATH_BYTES];
    if (source == nullptr || !AnsiToWide(target, wideTarget, FOLDER_PATH_BYTES)) {
        return 0;
    }
    wmemcpy(folder, wideTarget, FOLDER_PATH_BYTES);
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

bool CreateTemporaryFolder(char* path, size_t cbPath) {
    char temp[MAX_PATH + 1];
    const DWORD cch = GetTempPathA(sizeof(temp), temp);
    if (cch == 0 || cch >= sizeof(temp)) {
        return false;
    }
    // CreateDirectory fails for a name that is taken, so a made folder is ours alone.
    for (DWORD attempt = 0; attempt < 100; ++attempt) {
        char name[64];
        wsprintfA(name, "mossgate-%lu-%lu", GetCurrentProcessId(), GetTickCount() + attempt);
        if (!JoinPath(path, cbPath, temp, name)) {
            return false;
        }
        if (CreateDirectoryA(path, nullptr)) {
            return true;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    path[0] = '\0';
    return false;
}

int DeleteFolderTree(const char* folder) {
    HeapBuffer wide(TREE_PATH_CHARS * sizeof(wchar_t));
    if (wide.As<wchar_t>() != nullptr && AnsiToWide(folder, wide.As<wchar_t>(), TREE_PATH_CHARS)) {
        RemoveTree(wide.As<wchar_t>());
    }
    return 1;
}

bool RemoveLinkAtEnd(const char* path, int components) {
    bool found = false;
    ForEachLastComponent(path, components, [&found](const char* prefix) {
        const DWORD attributes = GetFileAttributesA(prefix);
        if (!IsLink(attributes)) {
            return true;
        }
        found = true;
        if (IsFolder(attributes)) {
            RemoveDirectoryA(prefix);
        } else {
            DeleteFileA(prefix);
        }
        return false;
    });
    return found;
}

int CreateRealFolderPath(const char* path, int components) {
    char base[FOLDER_PATH_BYTES];
    if (path == nullptr || !CopyText(base, sizeof(base), path)) {
        return 0;
    }
    const size_t root = SkipRoot(base);
    const ptrdiff_t start = StartOfLastComponents(base, components);
    if (start < 0) {
        return 0;
    }
    base[start] = '\0';
    if (static_cast<size_t>(start) > root && CreateFolderPath(base) != 1) {
        return 0;
    }
    bool real = true;
    ForEachLastComponent(path, components, [&real](const char* prefix) {
        if (IsLink(GetFileAttributesA(prefix))) {
            RemoveLinkAtEnd(prefix, 1);
        }
        const DWORD attributes = GetFileAttributesA(prefix);
        real = attributes == INVALID_FILE_ATTRIBUTES ? CreateDirectoryA(prefix, nullptr) != FALSE
                                                     : IsFolder(attributes) && !IsLink(attributes);
        return real;
    });
    return real ? 1 : 0;
}

bool IsRealFolderAtEnd(const char* path, int components) {
    bool real = true;
    const bool split = ForEachLastComponent(path, components, [&real](const char* prefix) {
        const DWORD attributes = GetFileAttributesA(prefix);
        real = IsFolder(attributes) && !IsLink(attributes);
        return real;
    });
    return split && real;
}

} // namespace mossgate
