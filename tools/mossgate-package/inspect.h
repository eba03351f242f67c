// Opens a setup program or a bare package and walks the package as the program
// does: the directory, then every entry in order along the chain, each payload
// verified and its name held to the program's rule.
//
// A file that starts with "MZ" is read as a Windows program, whose package is its
// resource RCDATA 100 in language 0x0409; any other file as a bare package.
#pragma once

#include "package/portable/package_format.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace package_tool {

struct EntryReport {
    mossgate::PackageEntry entry;
    // Empty when the entry verified and its name is one the program writes;
    // otherwise why not, e.g. "digest mismatch" or "unsafe name (device name)".
    std::string reason;
};

struct Inspection {
    std::filesystem::path file;
    bool setupProgram = false;
    bool pe32Plus = false;
    uint16_t machine = 0;
    size_t fileBytes = 0;
    size_t packageOffset = 0; // in the file: 0 for a bare package
    // The package after the walk: descrambled in place, entry by entry.
    std::vector<uint8_t> package;
    std::vector<EntryReport> entries; // all 61, in directory order
    size_t verified = 0;
};

// Called for each entry right after it is read, while its payload (at `payload`,
// entry.dataSize bytes) is plain: an entry read later whose payload overlaps it
// may change those bytes again, as it would in the program.
using EntryVisitor =
    std::function<void(size_t index, const EntryReport& report, const uint8_t* payload)>;

// Throws ToolError (one line) when the file cannot be read, is a program without
// a sound package resource, or is too small to be a package; the visitor is then
// never called.
Inspection Inspect(const std::filesystem::path& file, const EntryVisitor& visit = nullptr);

// The entry's name as printable ASCII: backslashes doubled, other bytes as \xNN,
// "..." after a name that fills its field without a terminator.
std::string ShownName(const mossgate::PackageEntry& entry);

// `list`: a line on the source, the table and the count; with `json` one JSON
// object instead (see the README). Failing entries also go to stderr.
void PrintList(const Inspection& inspection, bool json);
// `verify`: the failing entries on stderr and the count, or the JSON object
// without its entries.
void PrintVerify(const Inspection& inspection, bool json);
// A JSON object {"format": 1, "ok": false, "error": message} for a file that
// could not be inspected.
void PrintJsonError(const std::string& message);

} // namespace package_tool
