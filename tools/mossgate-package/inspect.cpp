#include "tools/mossgate-package/inspect.h"

#include "common/portable/path_text.h"
#include "common/portable/pe_resources.h"
#include "common/product_names.h"
#include "tools/mossgate-package/file_io.h"
#include "tools/mossgate-package/tool_error.h"

#include <cinttypes>
#include <cstdio>
#include <string_view>

namespace package_tool {

namespace {

using namespace mossgate;

constexpr uint16_t PACKAGE_LANGUAGE = 0x0409; // resources/setup.rc: U.S. English

// Code page 1252 from 0x80 to 0x9F; the five bytes it leaves undefined stand for
// the C1 controls of the same value, as Windows converts them.
constexpr uint16_t CP1252_80_TO_9F[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the well-formed UTF-8 sequence at the start of text (no overlong
// forms, no surrogates, nothing above U+10FFFF), 0 when there is none.
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&text](size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0u;
    };
    const unsigned lead = byte(0);
    size_t length = 0;
    unsigned low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

void AppendCodePoint(std::string& out, unsigned codePoint) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\u%04x", codePoint);
    out += escaped;
}

// A JSON string. Entry names are bytes of code page 1252 (cp1252), other texts
// UTF-8 whose ill-formed bytes become U+FFFD.
std::string JsonString(std::string_view text, bool cp1252) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            AppendCodePoint(out, c);
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (cp1252) {
            AppendCodePoint(out, c < 0xA0 ? CP1252_80_TO_9F[c - 0x80] : c);
        } else if (const size_t length = Utf8SequenceLength(text.substr(i)); length != 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else {
            AppendCodePoint(out, 0xFFFD);
        }
    }
    return out + "\"";
}

std::string Hex(const uint8_t* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
        text += pair;
    }
    return text;
}

// Why the program would not write this entry's name, or an empty text.
std::string NameProblem(const PackageEntry& entry) {
    if (const char* unsafe = UnsafeRelativePathReason(entry.name, PACKAGE_NAME_BYTES)) {
        return "unsafe name (" + std::string(unsafe) + ")";
    }
    const std::string_view name = entry.name;
    if (name.back() == '\\' || name.back() == '/') {
        return "names a folder (ends in a separator)";
    }
    return {};
}

void PrintSource(const Inspection& inspection) {
    if (inspection.setupProgram) {
        std::printf("%s: setup program, %zu bytes, %s (machine 0x%04X); package in resource "
                    "RCDATA %d language 0x%04X at offset %zu, %zu bytes\n",
                    inspection.file.c_str(), inspection.fileBytes,
                    inspection.pe32Plus ? "PE32+" : "PE32", inspection.machine, PACKAGE_RESOURCE_ID,
                    PACKAGE_LANGUAGE, inspection.packageOffset, inspection.package.size());
    } else {
        std::printf("%s: package, %zu bytes\n", inspection.file.c_str(), inspection.package.size());
    }
}

void PrintFailures(const Inspection& inspection) {
    std::fflush(stdout);
    for (size_t i = 0; i < inspection.entries.size(); ++i) {
        const EntryReport& report = inspection.entries[i];
        if (!report.reason.empty()) {
            std::fprintf(stderr, "mossgate-package: entry %zu \"%s\": %s\n", i,
                         ShownName(report.entry).c_str(), report.reason.c_str());
        }
    }
}

void PrintCount(const Inspection& inspection) {
    std::printf("%zu of %zu entries verified\n", inspection.verified, inspection.entries.size());
}

std::string JsonEntry(size_t index, const EntryReport& report) {
    const PackageEntry& e = report.entry;
    const size_t length =
        TerminatedEntryName(e) ? std::string_view(e.name).size() : PACKAGE_NAME_BYTES;
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "\"index\": %zu, \"offset\": %" PRIu32 ", \"size\": %" PRIu32
                  ", \"reserved\": %" PRIu32 ", ",
                  index, e.dataOffset, e.dataSize, e.reserved);
    return "{" + std::string(numbers) +
           "\"name\": " + JsonString(std::string_view(e.name, length), true) +
           ", \"plain_md5\": \"" + Hex(e.plainDigest, sizeof e.plainDigest) +
           "\", \"verified\": " + (report.reason.empty() ? "true" : "false") +
           ", \"reason\": " + (report.reason.empty() ? "null" : JsonString(report.reason, false)) +
           "}";
}

// The JSON object of list (every entry) and verify (the failing ones only).
void PrintJson(const Inspection& inspection, bool failuresOnly) {
    std::printf("{\n  \"format\": 1,\n  \"kind\": \"%s\",\n",
                inspection.setupProgram ? "setup program" : "package");
    if (inspection.setupProgram) {
        std::printf("  \"program\": {\"pe\": \"%s\", \"machine\": %u, \"file_bytes\": %zu, "
                    "\"package_offset\": %zu},\n",
                    inspection.pe32Plus ? "PE32+" : "PE32", inspection.machine,
                    inspection.fileBytes, inspection.packageOffset);
    } else {
        std::printf("  \"program\": null,\n");
    }
    std::printf("  \"package_bytes\": %zu,\n  \"%s\": [", inspection.package.size(),
                failuresOnly ? "failures" : "entries");
    const char* separator = "\n";
    for (size_t i = 0; i < inspection.entries.size(); ++i) {
        if (!failuresOnly || !inspection.entries[i].reason.empty()) {
            std::printf("%s    %s", separator, JsonEntry(i, inspection.entries[i]).c_str());
            separator = ",\n";
        }
    }
    std::printf("%s],\n  \"verified\": %zu,\n  \"total\": %zu,\n  \"ok\": %s\n}\n",
                *separator == ',' ? "\n  " : "", inspection.verified, inspection.entries.size(),
                inspection.verified == inspection.entries.size() ? "true" : "false");
}

} // namespace

Inspection Inspect(const std::filesystem::path& file, const EntryVisitor& visit) {
    Inspection result;
    result.file = file;
    std::vector<uint8_t> bytes = ReadWholeFile(file);
    result.fileBytes = bytes.size();
    const PeResource resource = FindPeResource(bytes.data(), bytes.size(), PE_RESOURCE_TYPE_RCDATA,
                                               PACKAGE_RESOURCE_ID, PACKAGE_LANGUAGE);
    std::string what;
    if (resource.status == PeStatus::NotPe) {
        result.package = std::move(bytes);
    } else if (resource.status == PeStatus::Found) {
        result.setupProgram = true;
        result.pe32Plus = resource.pe32Plus;
        result.machine = resource.machine;
        result.packageOffset = resource.offset;
        result.package.assign(bytes.begin() + static_cast<std::ptrdiff_t>(resource.offset),
                              bytes.begin() +
                                  static_cast<std::ptrdiff_t>(resource.offset + resource.size));
        what = "its package resource ";
    } else {
        char key[64];
        std::snprintf(key, sizeof key, "resource RCDATA %d language 0x%04X", PACKAGE_RESOURCE_ID,
                      PACKAGE_LANGUAGE);
        throw ToolError(file.string() + ": not a setup program (looking for its package, " + key +
                        "): " + PeStatusText(resource.status));
    }

    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    if (!CopyPackageDirectory(result.package.data(), result.package.size(), directory)) {
        throw ToolError(file.string() + ": " + what + "is " +
                        std::to_string(result.package.size()) +
                        " bytes: not a package (its directory alone is " +
                        std::to_string(PACKAGE_DIRECTORY_BYTES) + " bytes, and payloads follow)");
    }
    WalkState state = StartWalk();
    for (const PackageEntry& entry : directory) {
        std::string why = NameProblem(entry);
        const auto add = [&why](const char* reason) {
            why += why.empty() ? reason : std::string(", ") + reason;
        };
        // The payload is read even under a bad name, so that the chain goes on.
        switch (ReadPackageEntry(entry, result.package.data(), result.package.size(), state)) {
        case EntryOutcome::OutOfBounds:
            add(entry.dataSize == 0 ? "out of bounds (empty payload)" : "out of bounds");
            break;
        case EntryOutcome::DigestMismatch:
            add("digest mismatch");
            break;
        case EntryOutcome::Verified:
            break;
        }
        result.verified += why.empty() ? 1 : 0;
        result.entries.push_back({entry, why});
        if (visit) {
            visit(result.entries.size() - 1, result.entries.back(),
                  result.package.data() + (why.empty() ? entry.dataOffset : 0));
        }
    }
    return result;
}

std::string ShownName(const PackageEntry& entry) {
    std::string shown;
    for (size_t i = 0; i < PACKAGE_NAME_BYTES && entry.name[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(entry.name[i]);
        if (c == '\\') {
            shown += "\\\\";
        } else if (c >= 0x20 && c < 0x7F) {
            shown += static_cast<char>(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return TerminatedEntryName(entry) ? shown : shown + "...";
}

void PrintList(const Inspection& inspection, bool json) {
    if (json) {
        PrintJson(inspection, false);
        return;
    }
    PrintSource(inspection);
    std::printf("%3s %10s %10s  %-10s  %-32s  %-6s  %s\n", "#", "offset", "size", "reserved",
                "plain MD5", "check", "name");
    for (size_t i = 0; i < inspection.entries.size(); ++i) {
        const EntryReport& report = inspection.entries[i];
        const PackageEntry& e = report.entry;
        std::printf("%3zu %10" PRIu32 " %10" PRIu32 "  0x%08" PRIX32 "  %s  %-6s  %s\n", i,
                    e.dataOffset, e.dataSize, e.reserved,
                    Hex(e.plainDigest, sizeof e.plainDigest).c_str(),
                    report.reason.empty() ? "ok" : "FAILED", ShownName(e).c_str());
    }
    PrintCount(inspection);
    PrintFailures(inspection);
}

void PrintVerify(const Inspection& inspection, bool json) {
    if (json) {
        PrintJson(inspection, true);
        return;
    }
    PrintCount(inspection);
    PrintFailures(inspection);
}

void PrintJsonError(const std::string& message) {
    std::printf("{\n  \"format\": 1,\n  \"ok\": false,\n  \"error\": %s\n}\n",
                JsonString(message, false).c_str());
}

} // namespace package_tool
