#include "common/portable/path_text.h"

#include "common/portable/bounded_text.h"

#include <cstring>

namespace mossgate {

bool AppendSeparator(char* destination, size_t cbDestination) {
    if (destination == nullptr) {
        return false;
    }
    const size_t cchHave = BoundedLength(destination, cbDestination);
    if (cchHave >= cbDestination) {
        return false;
    }
    if (cchHave > 0 && destination[cchHave - 1] == '\\') {
        return true;
    }
    return AppendText(destination, cbDestination, "\\");
}

bool JoinPath(char* destination, size_t cbDestination, const char* folder, const char* component) {
    if (destination == nullptr || cbDestination == 0 || folder == nullptr || component == nullptr) {
        return false;
    }
    const size_t cchFolder = BoundedLength(folder, cbDestination);
    const bool needsSeparator = cchFolder == 0 || folder[cchFolder - 1] != '\\';
    const size_t cchComponent = BoundedLength(component, cbDestination);
    const size_t cchTotal = cchFolder + (needsSeparator ? 1 : 0) + cchComponent;
    if (cchFolder >= cbDestination || cchComponent >= cbDestination || cchTotal >= cbDestination) {
        return false;
    }
    // folder may alias destination, so it is moved first and the rest follows.
    std::memmove(destination, folder, cchFolder);
    size_t at = cchFolder;
    if (needsSeparator) {
        destination[at++] = '\\';
    }
    std::memmove(destination + at, component, cchComponent);
    destination[cchTotal] = '\0';
    return true;
}

void CutAtLastSeparator(char* path) {
    if (path == nullptr) {
        return;
    }
    char* last = std::strrchr(path, '\\');
    if (last != nullptr) {
        *last = '\0';
    }
}

void FileNamePart(char* path) {
    if (path == nullptr) {
        return;
    }
    const char* last = std::strrchr(path, '\\');
    if (last != nullptr) {
        std::memmove(path, last + 1, std::strlen(last + 1) + 1);
    }
}

int PathRoot(char* path) {
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    char* cut = nullptr;
    if (path[0] == '\\') {
        const size_t length = std::strlen(path);
        for (size_t i = 3; i < length; ++i) {
            if (path[i] == '\\') {
                cut = path + i;
                break;
            }
        }
    } else {
        cut = std::strchr(path, '\\');
    }
    if (cut == nullptr) {
        return 0;
    }
    *cut = '\0';
    return 1;
}

size_t SkipRoot(const char* path) {
    if (path == nullptr || path[0] == '\0' || path[1] == '\0') {
        return path == nullptr ? 0 : std::strlen(path);
    }
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

} // namespace mossgate
