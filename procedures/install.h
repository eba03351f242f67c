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

} // namespace mossgate
