// File helpers of mossgate-package: a descriptor that closes itself, and reads and
// writes that succeed only when every byte moved (EINTR retried).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace package_tool {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor();
    int get() const { return fd_; }
    // Closes now and reports the result (a delayed write error shows up here).
    int Close();

  private:
    int fd_;
};

// The whole of a regular file. Throws ToolError naming the file.
std::vector<uint8_t> ReadWholeFile(const std::filesystem::path& path);

// Writes every byte; false with errno set otherwise.
bool WriteAll(int fd, const uint8_t* bytes, size_t size);

} // namespace package_tool
