#include "env/path_root.h"

#include "app/bounded_text.h"

#include <cstring>

namespace mossgate {

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

bool BuildProgramFilesFallback(char* destination, size_t cbDestination, const char* windowsFolder) {
    char root[2048] = "C:";
    if (windowsFolder != nullptr && windowsFolder[0] != '\0' &&
        CopyText(root, sizeof(root), windowsFolder)) {
        PathRoot(root);
    }
    return AppendText(root, sizeof(root), "\\Program Files\\") &&
           CopyText(destination, cbDestination, root);
}

} // namespace mossgate
