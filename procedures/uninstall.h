// The uninstall procedure, run on the window thread.
#pragma once

#include "app/setup_context.h"

#include <windows.h>

namespace mossgate {

constexpr int UNINSTALL_PACKAGE_UNUSABLE = -1;
constexpr int UNINSTALL_NO_PROGRAM_FILES = -2;

// 0 when it got past both driver setup programs (the deletions may be partial);
// -1, -2 after END_FAILED; the driver setup runner's results otherwise.
int RunUninstall(SetupContextRecord& context);

// Deletes each package entry's file from the install folder. Always 0.
int DeletePackageFiles(const SetupContextRecord& context);

// Deletes "<folder>\<name>.LNK"; nonzero when deleted.
BOOL DeleteShortcut(const char* folder, const char* name);

// Removes the folder with its files and subfolders as far as it can; always 1.
// Subfolders whose name begins with "." are left alone (and so their parent);
// a junction or symbolic link is removed itself, never entered. The first entry
// that cannot be removed ends the walk of its folder, so the walk always ends.
int DeleteFolderTree(const char* folder);

// Removes the key with all its subkeys: 0 when it, or a subkey, cannot be opened or
// deleted (the walk then stops), else 1.
int DeleteRegistryTree(HKEY parent, const char* subKey);

} // namespace mossgate
