// The list of file operations that the system carries out at its next start
// (PendingFileRenameOperations): UTF-16 texts in pairs, a source and a target, each
// ended by a zero unit, the list ended by an empty text. An empty target asks for
// the source to be deleted. The system reads pairs up to the first empty source
// text; whatever follows it is never carried out, and is not this program's to
// change.
#pragma once

#include <cstddef>

namespace mossgate {

// Whether the deletion of `source` (cchSource units, not terminated) is to go.
using DeletionFilter = bool (*)(const char16_t* source, size_t cchSource, const void* context);

struct RestartPlanEdit {
    bool wellFormed; // false: out holds nothing of use, the list is to be left alone
    size_t cchOut;   // units written, everything after the pairs included; 0 when
                     // nothing is left but zeros
    size_t pairsKept;
    size_t pairsDropped;
};

// Copies the list of cchList units into out without the deletions that `drop`
// accepts among the pairs the system reads, keeping every other pair whole and in
// order, then every unit from the first empty source text on exactly as it is. A
// list that ends after a pair gets its final empty text. A text among the pairs
// without its zero, a source without a target, or a result that would not fit out
// makes the list not well formed.
RestartPlanEdit DropPlannedDeletions(const char16_t* list, size_t cchList, char16_t* out,
                                     size_t cchOut, DeletionFilter drop, const void* context);

// The drive path that a text of the list names in the native form "\??\C:\..." (cchName
// units, not terminated), into path (cchPath units, terminated). False, reading no
// unit past the text, for any other form (a share, a device, a text too short for a
// drive's root), and for a path that would not fit.
bool DrivePathOfNativeName(const char16_t* name, size_t cchName, char16_t* path, size_t cchPath);

} // namespace mossgate
