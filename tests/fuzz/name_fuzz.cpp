// libFuzzer target for the name rule: arbitrary bytes as a name field (the input's
// first 128 bytes, fewer when it is shorter) in a heap block of exactly that size,
// so that ASan stops any read past the field. A second, plain reading of the rule
// written apart from path_text.cpp must give the same verdict, and so must the
// package's IsContainedRelativeName over a full field; a broken promise aborts.
// What an accepted name promises: terminated inside its field, not empty, no
// leading separator, no ':', none of < > " | ? * or 0x01-0x1F, and no component
// that ends in '.' or ' ' or that is a device with or without an extension.
#include "common/portable/path_text.h"
#include "package/portable/package_format.h"
#include "tests/fuzz/walk_promises.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace {

using namespace mossgate;
using fuzz::Require;

bool IsDevice(const std::string& component) {
    static const std::set<std::string> devices = [] {
        std::set<std::string> names{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
        for (const char* port : {"COM", "LPT"}) {
            for (const char number : std::string("123456789\xB9\xB2\xB3")) {
                names.insert(port + std::string(1, number));
            }
        }
        return names;
    }();
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.pop_back();
    }
    for (char& c : base) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return devices.count(base) != 0;
}

bool PlainVerdict(const std::string& field) {
    const size_t end = field.find('\0');
    if (end == std::string::npos || end == 0) {
        return false;
    }
    std::string name = field.substr(0, end);
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 ||
            std::string("<>:\"|?*").find(c) != std::string::npos) {
            return false;
        }
    }
    for (char& c : name) {
        c = c == '/' ? '\\' : c;
    }
    if (name[0] == '\\') {
        return false;
    }
    for (size_t start = 0; start <= name.size();) {
        const size_t stop = std::min(name.find('\\', start), name.size());
        const std::string component = name.substr(start, stop - start);
        if (!component.empty() &&
            (component.back() == '.' || component.back() == ' ' || IsDevice(component))) {
            return false;
        }
        start = stop + 1;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t cbField = size < PACKAGE_NAME_BYTES ? size : PACKAGE_NAME_BYTES;
    const std::unique_ptr<char[]> field(new char[cbField]);
    std::memcpy(field.get(), data, cbField);
    const bool safe = IsSafeRelativePath(field.get(), cbField);
    Require(safe == PlainVerdict(std::string(field.get(), cbField)));
    if (cbField == PACKAGE_NAME_BYTES) {
        PackageEntry entry{};
        std::memcpy(entry.name, field.get(), PACKAGE_NAME_BYTES);
        Require(IsContainedRelativeName(entry) == safe);
    }
    return 0;
}
