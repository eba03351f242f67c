#include "tools/mossgate-package/tool_error.h"

#include <cstring>

namespace package_tool {

std::string SystemMessage(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

} // namespace package_tool
