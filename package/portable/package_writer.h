// Writes a package the reader accepts: 61 entries, payloads back to back from the
// end of the directory in directory order, scrambled along the reader's own chain.
// Used by mossgate-package and by tests; the program itself only reads packages.
#pragma once

#include "package/portable/package_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mossgate {

struct PlainFile {
    std::string name;
    uint32_t reserved = 0;
    std::vector<uint8_t> bytes;
};

// Why a set of files cannot become a package; empty when it can.
std::string PackageInputProblem(const std::vector<PlainFile>& files);

// The package image; empty when PackageInputProblem reports anything.
std::vector<uint8_t> WritePackage(const std::vector<PlainFile>& files);

} // namespace mossgate
