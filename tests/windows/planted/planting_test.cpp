// Runs from a folder where SHELL32.DLL and SHFOLDER.DLL have been planted.
#include "common/product_names.h"
#include "common/win32/system_library.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

std::string PlantedTrace(const char* name) {
    return ExecutableFolder() + "\\" + name + ".loaded";
}

std::string ModuleFolder(HMODULE module) {
    char path[MAX_PATH * 2];
    const DWORD cch = GetModuleFileNameA(module, path, sizeof(path));
    std::string full(path, cch);
    return full.substr(0, full.find_last_of('\\'));
}

std::string SystemFolder() {
    char path[MAX_PATH];
    const UINT cch = GetSystemDirectoryA(path, sizeof(path));
    return std::string(path, cch);
}

TEST(DllPlanting, TheProgramsLoaderMapsTheSystemCopies) {
    for (const char* name : {"SHELL32.DLL", "SHFOLDER.DLL"}) {
        DeleteFileA(PlantedTrace(name).c_str());
        HMODULE module = LoadSystemLibrary(name);
        ASSERT_NE(module, nullptr) << name;
        EXPECT_EQ(lstrcmpiA(ModuleFolder(module).c_str(), SystemFolder().c_str()), 0) << name;
        EXPECT_FALSE(FileExists(PlantedTrace(name)))
            << name << " was taken from beside the program";
        FreeLibrary(module);
    }
}

TEST(DllPlanting, TheTwinStartedBesidePlantedDllsNeverLoadsThem) {
    DeleteFileA(PlantedTrace("SHELL32.DLL").c_str());
    DeleteFileA(PlantedTrace("SHFOLDER.DLL").c_str());
    // A whole install: the start-up's folder lookups and the install's own.
    ChildProcess twin;
    ASSERT_TRUE(StartProgram(ExecutableFolder() + "\\MOSSGATE_CD_Pack_Setup.exe", "-h -i", twin,
                             ExecutableFolder().c_str()));
    EXPECT_EQ(WaitForExit(twin, 120000), std::optional<int32_t>(0));
    EXPECT_FALSE(FileExists(PlantedTrace("SHELL32.DLL")));
    EXPECT_FALSE(FileExists(PlantedTrace("SHFOLDER.DLL")));
}

// Last, since it maps the bait into this process: a bare-name load, as the program
// must never do, takes the planted copy. Without this the tests above prove nothing.
TEST(DllPlanting, ABareNameLoadWouldTakeThePlantedCopy) {
    HMODULE module = LoadLibraryA("SHFOLDER.DLL");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(FileExists(PlantedTrace("SHFOLDER.DLL")));
    FreeLibrary(module);
}

} // namespace
