#include "tools/mossgate-package/write_package.h"

#include "package/portable/package_format.h"
#include "package/portable/package_writer.h"
#include "tools/mossgate-package/file_io.h"
#include "tools/mossgate-package/tool_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace package_tool {

namespace {

using mossgate::PACKAGE_DIRECTORY_BYTES;
using mossgate::PACKAGE_ENTRY_COUNT;

constexpr uint64_t MAX_PACKAGE_BYTES = UINT32_MAX; // as the core's writer counts

// A source opened and measured before anything is read.
struct Source {
    FileDescriptor fd;
    size_t size = 0;
};

std::string Where(const ManifestEntry& entry) {
    return "line " + std::to_string(entry.line) + " (" + entry.name + "): source " +
           entry.source.string();
}

std::vector<Source> OpenSources(const std::vector<ManifestEntry>& entries) {
    std::vector<Source> sources;
    uint64_t total = PACKAGE_DIRECTORY_BYTES;
    for (const ManifestEntry& entry : entries) {
        FileDescriptor fd(::open(entry.source.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0) {
            throw ToolError(SystemMessage(Where(entry), errno));
        }
        struct stat status {};
        if (::fstat(fd.get(), &status) != 0) {
            throw ToolError(SystemMessage(Where(entry), errno));
        }
        if (!S_ISREG(status.st_mode)) {
            throw ToolError(Where(entry) + ": not a regular file");
        }
        if (status.st_size == 0) {
            throw ToolError(Where(entry) + ": empty file (every payload has at least one byte)");
        }
        total += static_cast<uint64_t>(status.st_size);
        if (total > MAX_PACKAGE_BYTES) {
            throw ToolError(Where(entry) + ": the package would exceed 4 GiB (" +
                            std::to_string(total) + " bytes up to this entry, at most " +
                            std::to_string(MAX_PACKAGE_BYTES) + ")");
        }
        sources.push_back(Source{std::move(fd), static_cast<size_t>(status.st_size)});
    }
    return sources;
}

std::vector<uint8_t> ReadSource(const ManifestEntry& entry, const Source& source) {
    std::vector<uint8_t> bytes(source.size + 1); // one more, to notice a file that grew
    size_t done = 0;
    for (;;) {
        const ssize_t got = ::read(source.fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw ToolError(SystemMessage(Where(entry), errno));
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
        if (done == bytes.size()) {
            throw ToolError(Where(entry) + ": file grew while being read");
        }
    }
    if (done != source.size) {
        throw ToolError(Where(entry) + ": file shrank while being read");
    }
    bytes.resize(done);
    return bytes;
}

// The package under construction: a fresh file beside the output, removed unless
// it was renamed into place.
class TemporaryPackage {
  public:
    explicit TemporaryPackage(const std::filesystem::path& output) : output_(output) {
        std::filesystem::path folder = output.parent_path();
        if (folder.empty()) {
            folder = ".";
        }
        std::string hidden = output.filename().string();
        hidden.insert(hidden.begin(), '.');
        hidden.append(".partial-XXXXXX");
        std::string pattern = (folder / hidden).string();
        fd_ = FileDescriptor(::mkostemp(pattern.data(), O_CLOEXEC));
        if (fd_.get() < 0) {
            throw ToolError(SystemMessage("cannot create a file beside " + output.string(), errno));
        }
        path_ = pattern;
    }
    TemporaryPackage(const TemporaryPackage&) = delete;
    TemporaryPackage& operator=(const TemporaryPackage&) = delete;
    ~TemporaryPackage() {
        if (!committed_) {
            ::unlink(path_.c_str());
        }
    }

    void Write(const std::vector<uint8_t>& image) {
        if (!WriteAll(fd_.get(), image.data(), image.size())) {
            throw ToolError(SystemMessage("cannot write " + path_, errno));
        }
    }

    void Commit() {
        // mkostemp makes the file private; give it the mode a new file gets.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        if (::fchmod(fd_.get(), 0666 & ~mask) != 0 || ::fsync(fd_.get()) != 0) {
            throw ToolError(SystemMessage("cannot finish " + path_, errno));
        }
        if (fd_.Close() != 0) {
            throw ToolError(SystemMessage("cannot write " + path_, errno));
        }
        if (::rename(path_.c_str(), output_.c_str()) != 0) {
            throw ToolError(SystemMessage("cannot replace " + output_.string(), errno));
        }
        committed_ = true;
    }

  private:
    std::filesystem::path output_;
    std::string path_;
    FileDescriptor fd_;
    bool committed_ = false;
};

} // namespace

void WritePackageFile(const std::vector<ManifestEntry>& entries,
                      const std::filesystem::path& output) {
    if (entries.size() != PACKAGE_ENTRY_COUNT) {
        throw ToolError("the manifest names " + std::to_string(entries.size()) +
                        " entries; a package has exactly " + std::to_string(PACKAGE_ENTRY_COUNT));
    }
    const std::vector<Source> sources = OpenSources(entries);
    std::vector<mossgate::PlainFile> files;
    for (size_t i = 0; i < entries.size(); ++i) {
        files.push_back({entries[i].name, entries[i].reserved, ReadSource(entries[i], sources[i])});
    }
    // The manifest and the sources were checked above with line numbers; this
    // is the writer's own word on the same rules.
    const std::string problem = mossgate::PackageInputProblem(files);
    if (!problem.empty()) {
        throw ToolError(problem);
    }
    const std::vector<uint8_t> image = mossgate::WritePackage(files);
    TemporaryPackage package(output);
    package.Write(image);
    package.Commit();
}

} // namespace package_tool
