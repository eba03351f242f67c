#include "tools/mossgate-package/extract.h"

#include "tools/mossgate-package/file_io.h"
#include "tools/mossgate-package/inspect.h"
#include "tools/mossgate-package/tool_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace package_tool {

namespace {

using mossgate::PackageEntry;

// The name's components; empty ones (two separators in a row) name nothing new.
// The program's rule, already applied, keeps out "." and "..", a root and a drive.
std::vector<std::string> Components(const PackageEntry& entry) {
    std::vector<std::string> components;
    std::string_view rest = entry.name;
    while (!rest.empty()) {
        const size_t separator = rest.find_first_of("\\/");
        if (separator != 0) {
            components.emplace_back(rest.substr(0, separator));
        }
        rest.remove_prefix(separator == std::string_view::npos ? rest.size() : separator + 1);
    }
    return components;
}

// Writes one entry below the folder open as `root`; an empty text or why not.
std::string WriteEntry(int root, const PackageEntry& entry, const uint8_t* bytes, bool force,
                       std::string& written) {
    const std::vector<std::string> components = Components(entry);
    FileDescriptor folder;
    int at = root;
    for (size_t i = 0; i + 1 < components.size(); ++i) {
        written += components[i] + "/";
        if (::mkdirat(at, components[i].c_str(), 0777) != 0 && errno != EEXIST) {
            return SystemMessage("cannot create folder " + written, errno);
        }
        // O_NOFOLLOW: a link in the way is refused, never entered.
        FileDescriptor next(
            ::openat(at, components[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (next.get() < 0) {
            const int error = errno;
            struct stat status {};
            if (::fstatat(at, components[i].c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(status.st_mode)) {
                return written + " is a symbolic link, not entered";
            }
            return SystemMessage("cannot enter folder " + written, error);
        }
        folder = std::move(next);
        at = folder.get();
    }
    const char* name = components.back().c_str();
    written += name;
    // O_EXCL creates a new file and never follows a link at the name.
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    FileDescriptor file(::openat(at, name, flags, 0666));
    if (file.get() < 0 && errno == EEXIST) {
        if (!force) {
            return written + " exists (--force replaces it)";
        }
        if (::unlinkat(at, name, 0) != 0) {
            return SystemMessage("cannot replace " + written, errno);
        }
        file = FileDescriptor(::openat(at, name, flags, 0666));
    }
    if (file.get() < 0) {
        return SystemMessage("cannot create " + written, errno);
    }
    if (!WriteAll(file.get(), bytes, entry.dataSize) || file.Close() != 0) {
        const std::string why = SystemMessage("cannot write " + written, errno);
        ::unlinkat(at, name, 0);
        return why;
    }
    return {};
}

} // namespace

bool ExtractPackage(const std::filesystem::path& file, const std::filesystem::path& folder,
                    bool force) {
    FileDescriptor root;
    size_t count = 0;
    const auto write = [&](size_t index, const EntryReport& report, const uint8_t* payload) {
        if (root.get() < 0) {
            std::error_code ignored; // an open that fails says why
            std::filesystem::create_directories(folder, ignored);
            root = FileDescriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (root.get() < 0) {
                throw ToolError(SystemMessage("cannot open folder " + folder.string(), errno));
            }
        }
        std::string written;
        const std::string why = !report.reason.empty()
                                    ? report.reason
                                    : WriteEntry(root.get(), report.entry, payload, force, written);
        if (why.empty()) {
            ++count;
            std::printf("%s (%" PRIu32 " bytes)\n", written.c_str(), report.entry.dataSize);
        } else {
            std::fflush(stdout);
            std::fprintf(stderr, "mossgate-package: entry %zu \"%s\": not written: %s\n", index,
                         ShownName(report.entry).c_str(), why.c_str());
        }
    };
    const Inspection inspection = Inspect(file, write);
    std::printf("%zu of %zu entries written to %s\n", count, inspection.entries.size(),
                folder.c_str());
    return count == inspection.entries.size();
}

} // namespace package_tool
