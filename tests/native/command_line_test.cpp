#include "app/portable/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct SwitchCase {
    const char* text;
    int silent;
    int install;
    int uninstall;
};

// Every rule of the scan: only the character after a "-" counts, "-" anywhere,
// "I" is not install, nothing for texts under two characters.
const SwitchCase kCases[] = {
    {nullptr, 0, 0, 0},       {"", 0, 0, 0},
    {"-", 0, 0, 0},           {"h", 0, 0, 0},
    {"-h", 1, 0, 0},          {"-H", 1, 0, 0},
    {"-i", 0, 1, 0},          {"-I", 0, 0, 0},
    {"-u", 0, 0, 1},          {"-U", 0, 0, 1},
    {"-h -i", 1, 1, 0},       {"-h -u", 1, 0, 1},
    {"-hi", 1, 0, 0},         {"-hu", 1, 0, 0},
    {"-ih", 0, 1, 0},         {"x-u", 0, 0, 1},
    {"setup.exe-i", 0, 1, 0}, {"/h /i /u", 0, 0, 0},
    {"-x -y", 0, 0, 0},       {"--i", 0, 0, 0},
    {"- i", 0, 0, 0},         {"-h-i", 1, 1, 0},
    {"-", 0, 0, 0},           {"ab-", 0, 0, 0},
    {"-h -i -H -n", 1, 1, 0}, {"  -U   -h  ", 1, 0, 1},
    {"-i -u", 0, 1, 1},
};

TEST(CommandLineScan, EveryRuleOfTheTable) {
    for (const SwitchCase& c : kCases) {
        // An exact heap copy: ASan reports a read past the terminator (a lone "-" at
        // the end invites one).
        const std::string label = c.text == nullptr ? "(null)" : c.text;
        const std::vector<char> text(label.c_str(), label.c_str() + label.size() + 1);
        const mossgate::CommandLineSwitches s =
            mossgate::ScanCommandLine(c.text == nullptr ? nullptr : text.data());
        EXPECT_EQ(s.silent, c.silent) << label;
        EXPECT_EQ(s.install, c.install) << label;
        EXPECT_EQ(s.uninstall, c.uninstall) << label;
    }
}

TEST(CommandLineScan, FlagsAreSetNeverCleared) {
    silentMode = installRequested = uninstallRequested = 0;
    ParseCommandLine("-h -i");
    ParseCommandLine("-u");
    ParseCommandLine("");
    EXPECT_EQ(silentMode, 1);
    EXPECT_EQ(installRequested, 1);
    EXPECT_EQ(uninstallRequested, 1);
    silentMode = installRequested = uninstallRequested = 0;
}

} // namespace
