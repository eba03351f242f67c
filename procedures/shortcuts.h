// Start-menu shortcuts through the shell link object. COM must be initialised on
// the calling thread.
#pragma once

#include <windows.h>

namespace mossgate {

// Makes "<folder>\<name>.LNK" pointing at target, with the name as description and
// the target's folder as working directory. Returns the HRESULT of the last COM
// step that ran (0 on success).
HRESULT CreateShortcut(const char* target, const char* folder, const char* name,
                       const char* arguments);

} // namespace mossgate
