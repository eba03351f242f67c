#include "app/portable/command_line.h"

int32_t silentMode = 0;
int32_t installRequested = 0;
int32_t uninstallRequested = 0;

namespace mossgate {

CommandLineSwitches ScanCommandLine(const char* text) {
    CommandLineSwitches switches;
    if (text == nullptr || text[0] == '\0' || text[1] == '\0') {
        return switches;
    }
    const char* at = text;
    for (;;) {
        while (*at != '\0' && *at != '-') {
            ++at;
        }
        if (*at == '\0') {
            break;
        }
        ++at;
        const char letter = *at;
        if (letter == '\0') {
            break;
        }
        if (letter == 'h' || letter == 'H') {
            switches.silent = 1;
        } else if (letter == 'u' || letter == 'U') {
            switches.uninstall = 1;
        } else if (letter == 'i') {
            switches.install = 1;
        }
        ++at;
    }
    return switches;
}

} // namespace mossgate

void ParseCommandLine(const char* text) {
    const mossgate::CommandLineSwitches switches = mossgate::ScanCommandLine(text);
    if (switches.silent != 0) {
        silentMode = 1;
    }
    if (switches.install != 0) {
        installRequested = 1;
    }
    if (switches.uninstall != 0) {
        uninstallRequested = 1;
    }
}
