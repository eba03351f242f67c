#include "env/portable/install_path.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"

namespace mossgate {

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
