#include "tools/packer/packer_error.h"

#include <cstring>

namespace packer {

std::string SystemMessage(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

} // namespace packer
