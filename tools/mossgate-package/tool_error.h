// The one error type of mossgate-package: a message for stderr, already naming what failed.
#pragma once

#include <stdexcept>
#include <string>

namespace package_tool {

struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "what: <errno text>" for a failed system call.
std::string SystemMessage(const std::string& what, int error);

} // namespace package_tool
