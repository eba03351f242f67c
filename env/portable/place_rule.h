// The rule of where the elevated program may act, decided from where a folder lies.
// An ordinary user can write in their own profile (their temporary folder, their
// Start menu, everything else below it) and in the system's temporary folder; only
// administrators can write in Program Files, the all-users Start menu and the
// Windows folder. A place the rule does not know counts as the users'.
#pragma once

#include <cstddef>

namespace mossgate {

enum class PlaceOwner { AdministratorsOnly, OrdinaryUsers };

// Full paths, each a list of folders whose texts are compared whole and without
// regard to ASCII case; empty texts (folders that could not be found) are ignored.
struct PlaceRoots {
    const char* const* userWritable;
    size_t userWritableCount;
    const char* const* administratorsOnly;
    size_t administratorsOnlyCount;
};

// True when path is root itself or lies below it, component by component: "C:\A"
// holds "C:\a\b" but not "C:\AB". Trailing separators do not count; an empty root
// holds nothing.
bool IsAtOrBelow(const char* path, const char* root);

// OrdinaryUsers when the path lies at or below a user-writable root (that wins: a
// user's folder inside an administrators' one stays the user's), else
// AdministratorsOnly when it lies at or below an administrators' root, else
// OrdinaryUsers.
PlaceOwner OwnerOfPlace(const char* path, const PlaceRoots& roots);

} // namespace mossgate
