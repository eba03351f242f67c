// The install procedure, run on the worker thread with COM initialised there.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

constexpr int INSTALL_PACKAGE_UNUSABLE = -1;
constexpr int INSTALL_NO_PROGRAM_FILES = -2;
constexpr int INSTALL_FOLDER_NOT_CREATED = -3;
constexpr int INSTALL_EXTRACTION_FAILED = -10;
constexpr int INSTALL_PROGRAM_NOT_COPIED = -11;

// 0 after END_INSTALLED; a negative result otherwise (see the constants above and
// the driver setup runner's results).
int RunInstall(SetupContextRecord& context);

// The path of the program's copy in the install folder: named like the running
// program (its exact path in `program`) unless that name has no exact ANSI form
// (the uninstall entry is ANSI text). False when it does not fit.
bool BuildCopyPath(const SetupContextRecord& context, const wchar_t* program, char* copyPath,
                   size_t cbCopyPath);

} // namespace mossgate
