#include "tools/mossgate-package/manifest.h"

#include "common/portable/path_text.h"
#include "package/portable/package_format.h"
#include "tools/mossgate-package/tool_error.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string_view>

namespace package_tool {

namespace {

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(tab + 1);
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// 0x followed by 1..8 hex digits, nothing else.
bool ParseReserved(std::string_view text, uint32_t& value) {
    if (text.size() < 3 || text.size() > 10 || text[0] != '0' ||
        (text[1] != 'x' && text[1] != 'X')) {
        return false;
    }
    uint32_t result = 0;
    for (const char c : text.substr(2)) {
        const int digit = HexValue(c);
        if (digit < 0) {
            return false;
        }
        result = (result << 4) | static_cast<uint32_t>(digit);
    }
    value = result;
    return true;
}

} // namespace

std::vector<ManifestEntry> ReadManifest(const std::filesystem::path& manifest) {
    std::ifstream in(manifest, std::ios::binary);
    if (!in) {
        throw ToolError(SystemMessage("cannot open manifest " + manifest.string(), errno));
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        throw ToolError("cannot read manifest " + manifest.string());
    }
    const std::filesystem::path folder = manifest.parent_path();

    std::vector<ManifestEntry> entries;
    size_t lineNumber = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view line(text.data() + start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (IsBlank(line) || line.front() == '#') {
            continue;
        }
        const auto fail = [&](const std::string& why) {
            throw ToolError(manifest.string() + ":" + std::to_string(lineNumber) + ": " + why);
        };
        const std::vector<std::string_view> fields = SplitTabs(line);
        if (fields.size() != 3) {
            fail("expected NAME<TAB>RESERVED<TAB>SOURCE, found " + std::to_string(fields.size()) +
                 (fields.size() == 1 ? " field" : " fields"));
        }
        ManifestEntry entry;
        entry.line = lineNumber;
        entry.name = fields[0];
        if (entry.name.empty()) {
            fail("empty entry name");
        }
        if (entry.name.size() >= mossgate::PACKAGE_NAME_BYTES) {
            fail("entry name of " + std::to_string(entry.name.size()) + " characters, at most " +
                 std::to_string(mossgate::PACKAGE_NAME_BYTES - 1) + " fit");
        }
        for (const char c : entry.name) {
            if (static_cast<unsigned char>(c) < 0x20) {
                fail("control character in entry name");
            }
        }
        if (const char* unsafe =
                mossgate::UnsafeRelativePathReason(entry.name.c_str(), entry.name.size() + 1)) {
            fail("unsafe entry name \"" + entry.name + "\": " + unsafe);
        }
        if (!ParseReserved(fields[1], entry.reserved)) {
            fail("reserved value \"" + std::string(fields[1]) +
                 "\" is not 0x and 1 to 8 hex digits");
        }
        if (fields[2].empty()) {
            fail("empty source path");
        }
        if (fields[2].find('\0') != std::string_view::npos) {
            fail("NUL byte in source path");
        }
        entry.source = std::filesystem::path(std::string(fields[2]));
        if (entry.source.is_relative()) {
            entry.source = folder / entry.source;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace package_tool
