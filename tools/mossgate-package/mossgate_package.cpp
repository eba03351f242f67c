// mossgate-package - looks inside a MOSSGATE setup program or its package without
// running it, and writes the package that the program embeds.
//
//   mossgate-package list [--json] FILE         entries, digests, verified or not
//   mossgate-package verify [--json] FILE       the count only; exit 1 on any failure
//   mossgate-package extract [--force] FILE DIR writes the verified entries below DIR
//   mossgate-package write MANIFEST OUTPUT      writes the package MANIFEST describes
//
// FILE is a setup program (its resource RCDATA 100, language 0x0409) or a bare
// package. Manifest lines are NAME<TAB>RESERVED<TAB>SOURCE (see manifest.h). Exit
// status: 0 on success, 1 on an error or an entry that fails, 2 on a usage error.

#include "tools/mossgate-package/extract.h"
#include "tools/mossgate-package/inspect.h"
#include "tools/mossgate-package/manifest.h"
#include "tools/mossgate-package/tool_error.h"
#include "tools/mossgate-package/write_package.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int EXIT_FAILED = 1;
constexpr int EXIT_USAGE = 2;

int Usage() {
    std::fputs("usage: mossgate-package list [--json] FILE\n"
               "       mossgate-package verify [--json] FILE\n"
               "       mossgate-package extract [--force] FILE DIR\n"
               "       mossgate-package write MANIFEST OUTPUT\n"
               "FILE is a setup program or a bare package.\n",
               stderr);
    return EXIT_USAGE;
}

struct Command {
    std::string_view verb;
    std::vector<std::string> operands;
    bool json = false;
    bool force = false;
};

// Options may stand anywhere after the verb; "--" ends them.
bool Parse(int argc, char** argv, Command& command) {
    command.verb = argv[1];
    const bool inspects = command.verb == "list" || command.verb == "verify";
    bool options = true;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && arg == "--json" && inspects) {
            command.json = true;
        } else if (options && arg == "--force" && command.verb == "extract") {
            command.force = true;
        } else if (options && arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            command.operands.emplace_back(arg);
        }
    }
    const size_t wanted = inspects                                               ? 1
                          : command.verb == "extract" || command.verb == "write" ? 2
                                                                                 : 0;
    return wanted != 0 && command.operands.size() == wanted;
}

int Run(const Command& command) {
    const std::vector<std::string>& operands = command.operands;
    if (command.verb == "write") {
        package_tool::WritePackageFile(package_tool::ReadManifest(operands[0]), operands[1]);
        return 0;
    }
    if (command.verb == "extract") {
        return package_tool::ExtractPackage(operands[0], operands[1], command.force) ? 0
                                                                                     : EXIT_FAILED;
    }
    const package_tool::Inspection inspection = package_tool::Inspect(operands[0]);
    if (command.verb == "list") {
        package_tool::PrintList(inspection, command.json);
    } else {
        package_tool::PrintVerify(inspection, command.json);
    }
    return inspection.verified == inspection.entries.size() ? 0 : EXIT_FAILED;
}

} // namespace

int main(int argc, char** argv) {
    Command command;
    if (argc < 2 || !Parse(argc, argv, command)) {
        return Usage();
    }
    try {
        return Run(command);
    } catch (const std::exception& error) {
        const bool expected = dynamic_cast<const package_tool::ToolError*>(&error) != nullptr;
        const std::string message =
            (expected ? "" : "unexpected error: ") + std::string(error.what());
        if (command.json) {
            package_tool::PrintJsonError(message);
        }
        std::fflush(stdout);
        std::fprintf(stderr, "mossgate-package: %s\n", message.c_str());
        return EXIT_FAILED;
    }
}
