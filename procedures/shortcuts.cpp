#include "procedures/shortcuts.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/file_system.h"
#include "common/win32/registry.h"
#include "common/win32/shell_link.h"
#include "env/folders.h"

namespace mossgate {

namespace {

constexpr size_t SHORTCUT_TARGET_BYTES = 2048;
constexpr int START_MENU_DEPTH = ComponentCount(START_MENU_SUB_PATH);

void CreateShortcutsBelow(const SetupContextRecord& context, const char* programsFolder) {
    char menuFolder[START_MENU_BYTES];
    if (!BuildStartMenuFolder(menuFolder, sizeof(menuFolder), programsFolder)) {
        return;
    }
    // Anyone may write in a per-user Start menu: a link planted where the program's
    // folders belong is removed, never created or written through.
    if (CreateRealFolderPath(menuFolder, START_MENU_DEPTH) != 1) {
        return;
    }
    for (const ShortcutName& shortcut : SHORTCUTS) {
        char target[SHORTCUT_TARGET_BYTES];
        if (JoinPath(target, sizeof(target), context.installFolder, shortcut.target)) {
            CreateShortcut(target, menuFolder, shortcut.name, nullptr);
        }
    }
}

void RemoveShortcutsBelow(const char* programsFolder) {
    char menuFolder[START_MENU_BYTES];
    // Below a link planted where the program's folders belong, nothing is the program's.
    if (!BuildStartMenuFolder(menuFolder, sizeof(menuFolder), programsFolder) ||
        RemoveLinkAtEnd(menuFolder, START_MENU_DEPTH) ||
        !IsRealFolderAtEnd(menuFolder, START_MENU_DEPTH)) {
        return;
    }
    for (const ShortcutName& shortcut : SHORTCUTS) {
        DeleteShortcut(menuFolder, shortcut.name);
    }
    DeleteFolderTree(menuFolder);
}

// Runs `action` on the per-user Programs folder, then on the all-users one; a
// location that is missing or empty is skipped.
template <typename Action> void ForEachProgramsFolder(Action action) {
    char programsFolder[START_MENU_BYTES];
    if (ReadUserProgramsFolder(programsFolder, sizeof(programsFolder)) == 1) {
        action(programsFolder);
    }
    if (CopyText(programsFolder, sizeof(programsFolder), commonProgramsFolder) &&
        programsFolder[0] != '\0') {
        action(programsFolder);
    }
}

} // namespace

int ReadUserProgramsFolder(char* folder, size_t cbFolder) {
    return ReadUserStringValue(SHELL_FOLDERS_KEY, PROGRAMS_VALUE, folder, cbFolder) == 1 &&
                   folder[0] != '\0'
               ? 1
               : 0;
}

bool BuildStartMenuFolder(char* folder, size_t cbFolder, const char* programsFolder) {
    return JoinPath(folder, cbFolder, programsFolder, START_MENU_SUB_PATH);
}

void CreateStartMenuShortcuts(const SetupContextRecord& context) {
    ForEachProgramsFolder(
        [&context](const char* folder) { CreateShortcutsBelow(context, folder); });
}

void RemoveStartMenuShortcuts() {
    ForEachProgramsFolder(RemoveShortcutsBelow);
}

} // namespace mossgate
