#include "package/file_system.h"

#include "app/bounded_text.h"
#include "app/win_holders.h"

namespace mossgate {

namespace {

constexpr size_t FOLDER_PATH_BYTES = 1024;

bool CreateOneFolder(const char* path) {
    return CreateDirectoryA(path, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Index just past the root's separator: "C:\" or "\\server\share\".
size_t SkipRoot(const char* path) {
    size_t at = 2;
    while (path[at] != '\0' && path[at] != '\\') {
        ++at;
    }
    if (path[0] == '\\' && path[1] == '\\' && path[at] != '\0') {
        ++at;
        while (path[at] != '\0' && path[at] != '\\') {
            ++at;
        }
    }
    return path[at] == '\0' ? at : at + 1;
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

} // namespace mossgate
