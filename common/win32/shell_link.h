// Shell links (.LNK files) made through the shell link object and written into a
// folder through its handle, and removed again. COM must be initialised on the
// calling thread.
#pragma once

#include "common/win32/folder_handles.h"

#include <windows.h>

#include <cstddef>

namespace mossgate {

// What follows a shortcut's name in its file's name.
constexpr const char* LINK_FILE_SUFFIX = ".LNK";

// "<name>.LNK" in UTF-16; false when it does not fit.
bool BuildLinkFileName(wchar_t* fileName, size_t cchFileName, const char* name);

// Makes "<name>.LNK" in the folder (an open handle) pointing at target, with the
// name as description and the target's folder as working directory. The link is
// saved into memory and written as a new file through the folder's handle, so a
// link planted at its name is replaced, never written through. Returns the HRESULT
// of the last step that ran (0 on success).
HRESULT CreateShortcut(const char* target, HANDLE folder, const char* name, const char* arguments);

// Deletes "<name>.LNK" in the opened folder as RemoveFileInFolder deletes a file.
Removal DeleteShortcut(const OwnFolder& folder, const char* name, Leftovers leftovers);

} // namespace mossgate
