#include "common/portable/path_text.h"

#include "common/portable/bounded_text.h"

#include <cstring>
#include <initializer_list>

namespace mossgate {

namespace {

bool IsPathSeparator(char c) {
    return c == '\\' || c == '/';
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// text[0, cch) equals upper, ASCII letters in any case.
bool SameAsciiName(const char* text, size_t cch, const char* upper) {
    for (size_t i = 0; i < cch; ++i) {
        if (upper[i] == '\0' || AsciiUpper(text[i]) != upper[i]) {
            return false;
        }
    }
    return upper[cch] == '\0';
}

// Windows looks only at the text before the first dot, less its trailing blanks,
// to decide that a name means a device ("con .txt" is the console).
bool IsDeviceName(const char* component, size_t cchComponent) {
    size_t cch = 0;
    while (cch < cchComponent && component[cch] != '.') {
        ++cch;
    }
    while (cch > 0 && component[cch - 1] == ' ') {
        --cch;
    }
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (SameAsciiName(component, cch, device)) {
            return true;
        }
    }
    if (cch != 4 || !(SameAsciiName(component, 3, "COM") || SameAsciiName(component, 3, "LPT"))) {
        return false;
    }
    const unsigned char number = static_cast<unsigned char>(component[3]);
    return (number >= '1' && number <= '9') || number == 0xB9 || number == 0xB2 || number == 0xB3;
}

bool IsForbiddenInNames(char c) {
    static constexpr char FORBIDDEN[] = {'<', '>', '"', '|', '?', '*'};
    return static_cast<unsigned char>(c) < 0x20 || std::memchr(FORBIDDEN, c, sizeof(FORBIDDEN));
}

} // namespace

bool AppendSeparator(char* destination, size_t cbDestination) {
    if (destination == nullptr) {
        return false;
    }
    const size_t cchHave = BoundedLength(destination, cbDestination);
    if (cchHave >= cbDestination) {
        return false;
    }
    if (cchHave > 0 && destination[cchHave - 1] == '\\') {
        return true;
    }
    return AppendText(destination, cbDestination, "\\");
}

bool JoinPath(char* destination, size_t cbDestination, const char* folder, const char* component) {
    if (destination == nullptr || cbDestination == 0 || folder == nullptr || component == nullptr) {
        return false;
    }
    const size_t cchFolder = BoundedLength(folder, cbDestination);
    const bool needsSeparator = cchFolder == 0 || folder[cchFolder - 1] != '\\';
    const size_t cchComponent = BoundedLength(component, cbDestination);
    const size_t cchTotal = cchFolder + (needsSeparator ? 1 : 0) + cchComponent;
    if (cchFolder >= cbDestination || cchComponent >= cbDestination || cchTotal >= cbDestination) {
        return false;
    }
    // folder may alias destination, so it is moved first and the rest follows.
    std::memmove(destination, folder, cchFolder);
    size_t at = cchFolder;
    if (needsSeparator) {
        destination[at++] = '\\';
    }
    std::memmove(destination + at, component, cchComponent);
    destination[cchTotal] = '\0';
    return true;
}

void CutAtLastSeparator(char* path) {
    if (path == nullptr) {
        return;
    }
    char* last = std::strrchr(path, '\\');
    if (last != nullptr) {
        *last = '\0';
    }
}

void FileNamePart(char* path) {
    if (path == nullptr) {
        return;
    }
    const char* last = std::strrchr(path, '\\');
    if (last != nullptr) {
        std::memmove(path, last + 1, std::strlen(last + 1) + 1);
    }
}

int PathRoot(char* path) {
    if (path == nullptr || path[0] == '\0') {
        return 0;
    }
    char* cut = nullptr;
    if (path[0] == '\\') {
        const size_t length = std::strlen(path);
        for (size_t i = 3; i < length; ++i) {
            if (path[i] == '\\') {
                cut = path + i;
                break;
            }
        }
    } else {
        cut = std::strchr(path, '\\');
    }
    if (cut == nullptr) {
        return 0;
    }
    *cut = '\0';
    return 1;
}

size_t SkipRoot(const char* path) {
    if (path == nullptr || path[0] == '\0' || path[1] == '\0') {
        return path == nullptr ? 0 : std::strlen(path);
    }
    size_t at = 2;
    while (path[at] != '\0' && path[at] != '\\') {
        ++at;
    }
    if (path[0] == '\\' && path[1] == '\\' && path[at] != '\0') {
        ++at;
        while (path[at] != '\0' && path[at] != '\\') {
            ++at;
        }
    }
    return path[at] == '\0' ? at : at + 1;
}

const char* UnsafeRelativePathReason(const char* path, size_t cbField) {
    const void* terminator = path == nullptr ? nullptr : std::memchr(path, '\0', cbField);
    if (terminator == nullptr) {
        return "not terminated within its field";
    }
    const size_t cch = static_cast<size_t>(static_cast<const char*>(terminator) - path);
    if (cch == 0) {
        return "empty";
    }
    if (IsPathSeparator(path[0])) {
        return "rooted (starts with a separator)";
    }
    size_t componentStart = 0;
    for (size_t at = 0; at <= cch; ++at) {
        if (at < cch && !IsPathSeparator(path[at])) {
            if (path[at] == ':') {
                return "drive or stream colon";
            }
            if (IsForbiddenInNames(path[at])) {
                return "character that Windows forbids in names";
            }
            continue;
        }
        const char* component = path + componentStart;
        const size_t cchComponent = at - componentStart;
        componentStart = at + 1;
        if (cchComponent == 0) {
            continue;
        }
        const char last = component[cchComponent - 1];
        if (last == '.' || last == ' ') {
            return "component ending in a dot or blank (also \".\" and \"..\")";
        }
        if (IsDeviceName(component, cchComponent)) {
            return "device name";
        }
    }
    return nullptr;
}

} // namespace mossgate
