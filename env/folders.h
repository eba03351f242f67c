// The all-users Start-menu Programs folder, found once at start-up, and the
// install folder below Program Files, composed afresh on every request.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

constexpr size_t COMMON_PROGRAMS_BYTES = 512;

void DiscoverCommonProgramsFolder();

// Asks the shell for one of its folders (a CSIDL), never making it: SHELL32 first,
// then SHFOLDER, as for the folders above. folder holds at least MAX_PATH bytes;
// false, folder empty, when neither source gives it.
bool FindShellFolder(int folderId, char* folder);

// Fills context.installFolder with Program Files, one backslash and subPath;
// 0 on success, -1 when no Program Files folder could be determined.
int ComposeInstallFolder(SetupContextRecord& context, const char* subPath);

} // namespace mossgate

// Empty text when the folder was not found.
extern char commonProgramsFolder[mossgate::COMMON_PROGRAMS_BYTES];
