// Shell links (.LNK files) made through the shell link object, and removed again.
// COM must be initialised on the calling thread.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mossgate {

// "<folder>\<name>.LNK"; false (nothing written) when it does not fit.
bool BuildLinkPath(char* linkPath, size_t cbLinkPath, const char* folder, const char* name);

// Makes "<folder>\<name>.LNK" pointing at target, with the name as description and
// the target's folder as working directory. Returns the HRESULT of the last COM
// step that ran (0 on success).
HRESULT CreateShortcut(const char* target, const char* folder, const char* name,
                       const char* arguments);

// Deletes "<folder>\<name>.LNK"; nonzero when deleted.
BOOL DeleteShortcut(const char* folder, const char* name);

} // namespace mossgate
