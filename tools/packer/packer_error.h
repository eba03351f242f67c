// The one error type of the packer: a message for stderr, already naming what failed.
#pragma once

#include <stdexcept>
#include <string>

namespace packer {

struct PackerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "what: <errno text>" for a failed system call.
std::string SystemMessage(const std::string& what, int error);

} // namespace packer
