// The list of file operations that the system carries out at its next start
// (PendingFileRenameOperations): UTF-16 texts in pairs, a source and a target, each
// ended by a zero unit, the list ended by an empty text. An empty target asks for
// the source to be deleted.
#pragma once

#include <cstddef>

namespace mossgate {

// Whether the deletion of `source` (cchSource units, not terminated) is to go.
using DeletionFilter = bool (*)(const char16_t* source, size_t cchSource, void* context);

struct RestartPlanEdit {
    bool wellFormed; // false: out holds nothing of use, the list is to be left alone
    size_t cchOut;   // units written, the final empty text included; 0 when no pair is left
    size_t pairsKept;
    size_t pairsDropped;
};

// Copies the list of cchList units into out without the deletions that `drop`
// accepts, keeping every other pair whole and in order. The list may end with or
// without its final empty text; zero units after it are ignored. Anything else (a
// text without its zero, a source without a target, more text after the end, or a
// result that would not fit out) makes the list not well formed.
RestartPlanEdit DropPlannedDeletions(const char16_t* list, size_t cchList, char16_t* out,
                                     size_t cchOut, DeletionFilter drop, void* context);

} // namespace mossgate
