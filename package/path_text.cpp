#include "package/path_text.h"

#include <cstring>

namespace mossgate {

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

} // namespace mossgate
