#include "tools/mossgate-package/file_io.h"

#include "tools/mossgate-package/tool_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace package_tool {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

int FileDescriptor::Close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
}

std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path) {
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw ToolError(SystemMessage("cannot open " + path.string(), errno));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        throw ToolError(SystemMessage("cannot read " + path.string(), errno));
    }
    if (!S_ISREG(status.st_mode)) {
        throw ToolError(path.string() + ": not a regular file");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(status.st_size));
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw ToolError(SystemMessage("cannot read " + path.string(), errno));
        }
        if (got == 0) {
            throw ToolError(path.string() + ": file shrank while being read");
        }
        done += static_cast<size_t>(got);
    }
    return bytes;
}

bool WriteAll(int fd, const uint8_t* bytes, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t written = ::write(fd, bytes + done, size - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

} // namespace package_tool
