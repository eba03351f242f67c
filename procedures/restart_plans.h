// File deletions planned for the next restart, asked for by a removal that cannot
// delete everything now (the running program among it), and taken back by an
// install that puts the program there again before that restart.
#pragma once

#include "common/win32/file_system.h"
#include "common/win32/holders.h"
#include "common/win32/nt_files.h"

#include <windows.h>

#include <cstddef>

namespace mossgate {

// One of the program's own files or folders as a planned deletion may name it: the
// folder it lies in, by identity (so any spelling of that folder: a short name,
// another drive letter, a link to it on the way), and its own name there, in full.
struct OwnEntry {
    FileIdentity folder;
    wchar_t name[ENTRY_NAME_CHARS];
};

// The program's own entries an install has just put in place. Not an owner class.
class OwnEntries {
  public:
    explicit OwnEntries(size_t capacity);

    // Adds the existing file or folder at this ANSI path; one that cannot be
    // described is left out.
    void Add(const char* path);
    bool Names(const OwnEntry& entry) const;

  private:
    HeapBuffer entries_;
    size_t count_ = 0;
};

// Takes out of the system's restart plans exactly the deletions of these entries
// themselves: a link to one of them, or another hard-link name of a file, is
// another entry, and its deletion stays. Only the pairs that the system carries out
// are looked at (up to the first empty source text); every other pair stays whole
// and in order, every unit after them as it is, and the list goes when nothing
// else is left. A list that cannot be read whole is left as it is.
void CancelDeletionsAtRestart(const OwnEntries& own);

} // namespace mossgate
