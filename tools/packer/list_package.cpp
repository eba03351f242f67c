#include "tools/packer/list_package.h"

#include "common/portable/path_text.h"
#include "package/portable/package_format.h"
#include "tools/packer/packer_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace packer {

namespace {

using mossgate::EntryOutcome;
using mossgate::PACKAGE_DIRECTORY_BYTES;
using mossgate::PACKAGE_ENTRY_COUNT;
using mossgate::PACKAGE_NAME_BYTES;
using mossgate::PackageEntry;

std::vector<uint8_t> ReadImage(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw PackerError(SystemMessage("cannot open " + path.string(), errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        throw PackerError(SystemMessage("cannot read " + path.string(), errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw PackerError(path.string() + ": not a regular file");
    }
    const uint64_t size = static_cast<uint64_t>(status.st_size);
    if (size <= PACKAGE_DIRECTORY_BYTES) {
        throw PackerError(path.string() + " is " + std::to_string(size) +
                          " bytes: not a package (its directory alone is " +
                          std::to_string(PACKAGE_DIRECTORY_BYTES) + " bytes, and payloads follow)");
    }
    std::vector<uint8_t> image(static_cast<size_t>(size));
    for (size_t done = 0; done < image.size();) {
        const ssize_t got = ::read(fd, image.data() + done, image.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw PackerError(SystemMessage("cannot read " + path.string(), errno));
        }
        if (got == 0) {
            throw PackerError(path.string() + ": file shrank while being read");
        }
        done += static_cast<size_t>(got);
    }
    return image;
}

// The name as printable ASCII, at most the field's bytes; other bytes as \xNN.
std::string ShownName(const PackageEntry& entry) {
    std::string shown;
    for (size_t i = 0; i < PACKAGE_NAME_BYTES && entry.name[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(entry.name[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            shown += static_cast<char>(c);
        } else if (c == '\\') {
            shown += "\\\\";
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return shown;
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

} // namespace

bool ListPackage(const std::filesystem::path& package) {
    std::vector<uint8_t> image = ReadImage(package);
    PackageEntry directory[PACKAGE_ENTRY_COUNT];
    if (!mossgate::CopyPackageDirectory(image.data(), image.size(), directory)) {
        throw PackerError(package.string() + ": not a package");
    }

    std::printf("%s: %zu bytes\n", package.c_str(), image.size());
    std::printf("%3s %10s %10s  %-10s  %-32s  %-6s  %s\n", "#", "offset", "size", "reserved",
                "plain MD5", "check", "name");
    mossgate::WalkState state = mossgate::StartWalk();
    size_t verified = 0;
    for (size_t i = 0; i < PACKAGE_ENTRY_COUNT; ++i) {
        const PackageEntry& entry = directory[i];
        std::string why;
        const auto add = [&why](const char* reason) {
            why += why.empty() ? reason : std::string(", ") + reason;
        };
        // The program's own rule: a name it would not write is no package entry.
        if (const char* unsafe =
                mossgate::UnsafeRelativePathReason(entry.name, PACKAGE_NAME_BYTES)) {
            add(("unsafe name (" + std::string(unsafe) + ")").c_str());
        }
        // The payload is read even under a bad name, so that the chain goes on.
        switch (mossgate::ReadPackageEntry(entry, image.data(), image.size(), state)) {
        case EntryOutcome::OutOfBounds:
            add(entry.dataSize == 0 ? "out of bounds (empty payload)" : "out of bounds");
            break;
        case EntryOutcome::DigestMismatch:
            add("digest mismatch");
            break;
        case EntryOutcome::Verified:
            break;
        }
        std::string name = ShownName(entry);
        if (mossgate::TerminatedEntryName(entry) == nullptr) {
            name += "...";
        }
        std::printf("%3zu %10" PRIu32 " %10" PRIu32 "  0x%08" PRIX32 "  %s  %-6s  %s\n", i,
                    entry.dataOffset, entry.dataSize, entry.reserved,
                    Hex(entry.plainDigest, sizeof entry.plainDigest).c_str(),
                    why.empty() ? "ok" : "FAILED", name.c_str());
        if (why.empty()) {
            ++verified;
        } else {
            std::fflush(stdout);
            std::fprintf(stderr, "packer: entry %zu \"%s\": %s\n", i, name.c_str(), why.c_str());
        }
    }
    std::printf("%zu of %zu entries verified\n", verified, PACKAGE_ENTRY_COUNT);
    std::fflush(stdout);
    return verified == PACKAGE_ENTRY_COUNT;
}

} // namespace packer
