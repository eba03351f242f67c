#include "env/portable/place_rule.h"

namespace mossgate {

namespace {

char FoldAsciiCase(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

size_t LengthWithoutTrailingSeparators(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    while (length > 0 && text[length - 1] == '\\') {
        --length;
    }
    return length;
}

bool AnyHolds(const char* path, const char* const* roots, size_t count) {
    for (size_t i = 0; roots != nullptr && i < count; ++i) {
        if (roots[i] != nullptr && IsAtOrBelow(path, roots[i])) {
            return true;
        }
    }
    return false;
}

} // namespace

bool IsAtOrBelow(const char* path, const char* root) {
    if (path == nullptr || root == nullptr) {
        return false;
    }
    const size_t cchRoot = LengthWithoutTrailingSeparators(root);
    if (cchRoot == 0) {
        return false;
    }
    for (size_t i = 0; i < cchRoot; ++i) {
        if (path[i] == '\0' || FoldAsciiCase(path[i]) != FoldAsciiCase(root[i])) {
            return false;
        }
    }
    return path[cchRoot] == '\0' || path[cchRoot] == '\\';
}

PlaceOwner OwnerOfPlace(const char* path, const PlaceRoots& roots) {
    if (AnyHolds(path, roots.userWritable, roots.userWritableCount)) {
        return PlaceOwner::OrdinaryUsers;
    }
    if (AnyHolds(path, roots.administratorsOnly, roots.administratorsOnlyCount)) {
        return PlaceOwner::AdministratorsOnly;
    }
    return PlaceOwner::OrdinaryUsers;
}

} // namespace mossgate
