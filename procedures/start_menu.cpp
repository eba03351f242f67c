#include "procedures/start_menu.h"

#include "app/bounded_text.h"
#include "procedures/product_names.h"
#include "procedures/registry_values.h"

namespace mossgate {

int ReadUserProgramsFolder(char* folder, size_t cbFolder) {
    return ReadUserStringValue(SHELL_FOLDERS_KEY, PROGRAMS_VALUE, folder, cbFolder) == 1 &&
                   folder[0] != '\0'
               ? 1
               : 0;
}

bool BuildStartMenuFolder(char* folder, size_t cbFolder, const char* programsFolder) {
    return JoinPath(folder, cbFolder, programsFolder, START_MENU_SUB_PATH);
}

} // namespace mossgate
