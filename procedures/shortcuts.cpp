#include "procedures/shortcuts.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/product_names.h"
#include "common/win32/folder_handles.h"
#include "common/win32/registry.h"
#include "common/win32/shell_link.h"
#include "env/folders.h"
#include "env/places.h"

namespace mossgate {

namespace {

// "Kestrine\MOSSGATE_CD_Pack" below the Programs folder, its two levels opened
// under the rule for links there.
bool OpenStartMenuFolder(const char* programsFolder, LinkRule rule, Missing missing,
                         OwnFolder& folder) {
    char menuFolder[START_MENU_BYTES];
    return BuildStartMenuFolder(menuFolder, sizeof(menuFolder), programsFolder) &&
           OpenOwnFolder(menuFolder, START_MENU_LEVELS, rule, missing, folder);
}

void CreateShortcutsBelow(const SetupContextRecord& context, const char* programsFolder,
                          LinkRule rule) {
    OwnFolder folder;
    if (!OpenStartMenuFolder(programsFolder, rule, Missing::Create, folder)) {
        return;
    }
    for (const ShortcutName& shortcut : SHORTCUTS) {
        char target[JOINED_PATH_UNITS];
        if (JoinPath(target, sizeof(target), context.installFolder, shortcut.target)) {
            CreateShortcut(target, folder.handle.Get(), shortcut.name, nullptr);
        }
    }
}

// The three shortcuts first (a walk may end at its bound), then their folder with
// whatever else it holds, what cannot go now planned for the restart where that is
// safe. True when nothing of the program's stays unplanned: where a user can
// write, the three shortcuts (whatever else is there may be the user's); where
// only administrators write, anything.
bool RemoveShortcutsBelow(const char* programsFolder, PlaceOwner owner) {
    OwnFolder folder;
    if (!OpenStartMenuFolder(programsFolder, LinkRuleIn(owner), Missing::Fail, folder)) {
        return true;
    }
    bool shortcutsGone = true;
    for (const ShortcutName& shortcut : SHORTCUTS) {
        shortcutsGone = DeleteShortcut(folder, shortcut.name, Leftovers::Stay) != Removal::Stays &&
                        shortcutsGone;
    }
    const Removal rest = RemoveOpenedFolder(folder, LeftoversIn(owner));
    return owner == PlaceOwner::AdministratorsOnly ? rest != Removal::Stays : shortcutsGone;
}

// Runs `action` on the per-user Programs folder, then on the all-users one, with
// the owner of each; a location that is missing or empty is skipped. The per-user
// folder is the user's whatever it names: the user sets it.
template <typename Action> void ForEachProgramsFolder(Action action) {
    char programsFolder[START_MENU_BYTES];
    if (ReadUserProgramsFolder(programsFolder, sizeof(programsFolder)) == 1) {
        action(programsFolder, PlaceOwner::OrdinaryUsers);
    }
    if (CopyText(programsFolder, sizeof(programsFolder), commonProgramsFolder) &&
        programsFolder[0] != '\0') {
        action(programsFolder, OwnerOfFolder(programsFolder));
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
    ForEachProgramsFolder([&context](const char* folder, PlaceOwner owner) {
        CreateShortcutsBelow(context, folder, LinkRuleIn(owner));
    });
}

bool AnyStartMenuFolder() {
    bool found = false;
    ForEachProgramsFolder([&found](const char* programsFolder, PlaceOwner) {
        char menuFolder[START_MENU_BYTES];
        found = found || (BuildStartMenuFolder(menuFolder, sizeof(menuFolder), programsFolder) &&
                          GetFileAttributesA(menuFolder) != INVALID_FILE_ATTRIBUTES);
    });
    return found;
}

bool RemoveStartMenuShortcuts() {
    bool accounted = true;
    ForEachProgramsFolder([&accounted](const char* folder, PlaceOwner owner) {
        accounted = RemoveShortcutsBelow(folder, owner) && accounted;
    });
    return accounted;
}

} // namespace mossgate
