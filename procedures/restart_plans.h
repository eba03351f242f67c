// File deletions planned for the next restart: asked for by a removal that cannot
// delete the running program, and taken back by an install that puts the program
// there again before that restart.
#pragma once

#include <windows.h>

#include <cstddef>

namespace mossgate {

// Takes out of the system's restart plans exactly the deletions whose source is one
// of these paths' files or folders (by file identity, so any spelling of them);
// every other plan stays whole and in order, and the list goes when nothing is
// left. A list that cannot be read whole is left as it is.
void CancelDeletionsAtRestart(const wchar_t* const* paths, size_t count);

} // namespace mossgate
