#include "procedures/portable/restart_plans.h"

namespace mossgate {

namespace {

// The length of the text at `at`, or cchList when it has no zero before the end.
size_t TextLength(const char16_t* list, size_t cchList, size_t at) {
    size_t end = at;
    while (end < cchList && list[end] != u'\0') {
        ++end;
    }
    return end < cchList ? end - at : cchList;
}

bool OnlyZerosFrom(const char16_t* list, size_t cchList, size_t at) {
    for (; at < cchList; ++at) {
        if (list[at] != u'\0') {
            return false;
        }
    }
    return true;
}

bool Append(char16_t* out, size_t cchOut, size_t& written, const char16_t* text, size_t cch) {
    if (cch >= cchOut - written) {
        return false;
    }
    for (size_t i = 0; i < cch; ++i) {
        out[written + i] = text[i];
    }
    out[written + cch] = u'\0';
    written += cch + 1;
    return true;
}

} // namespace

RestartPlanEdit DropPlannedDeletions(const char16_t* list, size_t cchList, char16_t* out,
                                     size_t cchOut, DeletionFilter drop, const void* context) {
    RestartPlanEdit edit = {false, 0, 0, 0};
    if (list == nullptr || out == nullptr || drop == nullptr) {
        return edit;
    }
    size_t written = 0;
    size_t at = 0;
    while (at < cchList && list[at] != u'\0') {
        const size_t cchSource = TextLength(list, cchList, at);
        const size_t targetAt = at + cchSource + 1;
        if (cchSource == cchList || targetAt >= cchList) {
            return edit;
        }
        const size_t cchTarget = TextLength(list, cchList, targetAt);
        if (cchTarget == cchList) {
            return edit;
        }
        if (cchTarget == 0 && drop(list + at, cchSource, context)) {
            ++edit.pairsDropped;
        } else if (Append(out, cchOut, written, list + at, cchSource) &&
                   Append(out, cchOut, written, list + targetAt, cchTarget)) {
            ++edit.pairsKept;
        } else {
            return edit;
        }
        at = targetAt + cchTarget + 1;
    }
    const size_t cchRest = cchList - at;
    if (written == 0 && OnlyZerosFrom(list, cchList, at)) {
        edit.wellFormed = true;
        return edit;
    }
    // A list that ends right after a pair gets the empty text that ends it.
    const size_t cchTail = cchRest == 0 ? 1 : cchRest;
    if (cchTail > cchOut - written) {
        return edit;
    }
    for (size_t i = 0; i < cchRest; ++i) {
        out[written + i] = list[at + i];
    }
    if (cchRest == 0) {
        out[written] = u'\0';
    }
    edit.wellFormed = true;
    edit.cchOut = written + cchTail;
    return edit;
}

bool DrivePathOfNativeName(const char16_t* name, size_t cchName, char16_t* path, size_t cchPath) {
    constexpr char16_t NATIVE_PREFIX[] = u"\\??\\";
    constexpr size_t cchPrefix = sizeof(NATIVE_PREFIX) / sizeof(char16_t) - 1;
    if (name == nullptr || path == nullptr || cchName < cchPrefix + 3 ||
        name[cchPrefix + 1] != u':' || name[cchPrefix + 2] != u'\\') {
        return false;
    }
    for (size_t i = 0; i < cchPrefix; ++i) {
        if (name[i] != NATIVE_PREFIX[i]) {
            return false;
        }
    }
    const size_t cchDrivePath = cchName - cchPrefix;
    if (cchDrivePath >= cchPath) {
        return false;
    }
    for (size_t i = 0; i < cchDrivePath; ++i) {
        path[i] = name[cchPrefix + i];
    }
    path[cchDrivePath] = u'\0';
    return true;
}

} // namespace mossgate
