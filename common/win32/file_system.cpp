#include "common/win32/file_system.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/holders.h"

namespace mossgate {

namespace {

constexpr size_t FOLDER_PATH_BYTES = 1024;
constexpr size_t TREE_PATH_BYTES = 2048;

bool CreateOneFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// The folder walk nests once per level: its path buffers live on the heap.
class TreePath {
  public:
    bool Join(const char* folder, const char* name) {
        return text_.As<char>() != nullptr &&
               JoinPath(text_.As<char>(), text_.Size(), folder, name);
    }
    const char* c_str() const { return text_.As<char>(); }

  private:
    HeapBuffer text_{TREE_PATH_BYTES};
};

bool IsFolder(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(const WIN32_FIND_DATAA& entry) {
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

enum class Step { ListAgain, Stop };

// Removes one listed entry; the listing is already closed.
Step RemoveEntry(const char* folder, const WIN32_FIND_DATAA& entry) {
    TreePath path;
    if (!path.Join(folder, entry.cFileName)) {
        return Step::Stop;
    }
    if (IsFolder(entry) && IsLink(entry)) {
        // A junction or directory link: remove the link, never what it points at.
        return RemoveDirectoryA(path.c_str()) ? Step::ListAgain : Step::Stop;
    }
    if (IsFolder(entry)) {
        DeleteFolderTree(path.c_str());
        // A subfolder that stays would be listed again at once: end this walk.
        return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES ? Step::ListAgain
                                                                           : Step::Stop;
    }
    return DeleteFileA(path.c_str()) == 1 ? Step::ListAgain : Step::Stop;
}

// Lists the folder and removes its first removable entry; Stop when nothing was
// removed (empty, unreadable, or only dot-folders left, or a removal failed).
Step RemoveFirstEntry(const char* folder) {
    TreePath pattern;
    if (!pattern.Join(folder, "*.*")) {
        return Step::Stop;
    }
    WIN32_FIND_DATAA entry;
    UniqueFindHandle listing(FindFirstFileA(pattern.c_str(), &entry));
    if (!listing.Valid()) {
        return Step::Stop;
    }
    while (IsFolder(entry) && entry.cFileName[0] == '.') {
        if (FindNextFileA(listing.Get(), &entry) != 1) {
            return Step::Stop;
        }
    }
    listing.Close();
    return RemoveEntry(folder, entry);
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

int DeleteFolderTree(const char* folder) {
    while (RemoveFirstEntry(folder) == Step::ListAgain) {
    }
    RemoveDirectoryA(folder);
    return 1;
}

} // namespace mossgate
