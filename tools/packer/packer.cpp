// packer - writes and checks the package that the setup program embeds.
//
//   packer write MANIFEST OUTPUT   writes the package that MANIFEST describes
//   packer list PACKAGE            prints the directory and verifies every entry
//
// Manifest lines are NAME<TAB>RESERVED<TAB>SOURCE (see manifest.h). Exit status:
// 0 on success, 1 on an error or an entry that fails, 2 on a usage error.

#include "tools/packer/list_package.h"
#include "tools/packer/manifest.h"
#include "tools/packer/packer_error.h"
#include "tools/packer/write_package.h"

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

int Usage() {
    std::fputs("usage: packer write MANIFEST OUTPUT\n"
               "       packer list PACKAGE\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::string_view command = argv[1];
    try {
        if (command == "write" && argc == 4) {
            packer::WritePackageFile(packer::ReadManifest(argv[2]), argv[3]);
            return 0;
        }
        if (command == "list" && argc == 3) {
            return packer::ListPackage(argv[2]) ? 0 : 1;
        }
    } catch (const packer::PackerError& error) {
        std::fprintf(stderr, "packer: %s\n", error.what());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "packer: unexpected error: %s\n", error.what());
        return 1;
    }
    return Usage();
}
