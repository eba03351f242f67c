// Shortcuts through the real shell link object, and the registry value routines.
#include "common/portable/bounded_text.h"
#include "common/win32/folder_handles.h"
#include "common/win32/holders.h"
#include "common/win32/registry.h"
#include "common/win32/shell_link.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <objidl.h>
#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

using namespace mossgate;
using mossgate::testing::FileExists;

struct LinkContents {
    std::string target, description, workingFolder, arguments;
};

LinkContents LoadLink(const std::string& linkPath) {
    LinkContents contents;
    ComPointer<IShellLinkA> link;
    ComPointer<IPersistFile> file;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.Receive())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.Receive())) ||
        FAILED(file->Load(wide, STGM_READ))) {
        return contents;
    }
    char text[MAX_PATH] = "";
    link->GetPath(text, sizeof(text), nullptr, 0);
    contents.target = text;
    link->GetDescription(text, sizeof(text));
    contents.description = text;
    link->GetWorkingDirectory(text, sizeof(text));
    contents.workingFolder = text;
    link->GetArguments(text, sizeof(text));
    contents.arguments = text;
    return contents;
}

std::string FreshFolder(const std::string& name) {
    return mossgate::testing::TempFolder("links-" + name);
}

HANDLE OpenFolder(const std::string& path, OwnFolder& folder) {
    EXPECT_TRUE(OpenOwnFolder(path.c_str(), 1, LinkRule::Refuse, Missing::Fail, folder)) << path;
    return folder.handle.Get();
}

TEST(Shortcuts, ThreeLinksWithExactNamesReadBackThroughTheShell) {
    ComApartment com;
    const std::string installFolder = FreshFolder("install");
    const std::string menuFolder = FreshFolder("menu");
    OwnFolder menu;
    const HANDLE menuHandle = OpenFolder(menuFolder, menu);
    const std::pair<const char*, const char*> links[] = {
        {"Readme", "readme.txt"},
        {"MOSSGATE C Control Panel", "MOSSGATE_C_ControlPanel.exe"},
        {"MOSSGATE D Control Panel", "MOSSGATE_D_ControlPanel.exe"},
    };
    for (const auto& [name, file] : links) {
        const std::string target = installFolder + "\\" + file;
        mossgate::testing::ReadWholeFile(target); // the target need not exist for the link
        EXPECT_EQ(CreateShortcut(target.c_str(), menuHandle, name, nullptr), S_OK);
        const std::string linkPath = menuFolder + "\\" + name + ".LNK";
        ASSERT_TRUE(FileExists(linkPath)) << linkPath;
        const LinkContents contents = LoadLink(linkPath);
        EXPECT_EQ(lstrcmpiA(contents.target.c_str(), target.c_str()), 0) << contents.target;
        EXPECT_EQ(contents.description, name);
        EXPECT_EQ(lstrcmpiA(contents.workingFolder.c_str(), installFolder.c_str()), 0);
        EXPECT_EQ(contents.arguments, "");
    }
    // Saving over an existing link replaces it.
    ASSERT_EQ(CreateShortcut("C:\\second\\b.exe", menuHandle, "Readme", nullptr), S_OK);
    const LinkContents contents = LoadLink(menuFolder + "\\Readme.LNK");
    EXPECT_EQ(lstrcmpiA(contents.target.c_str(), "C:\\second\\b.exe"), 0) << contents.target;
    EXPECT_EQ(lstrcmpiA(contents.workingFolder.c_str(), "C:\\second"), 0);
    EXPECT_EQ(DeleteShortcut(menu, "Readme", Leftovers::Stay), Removal::Gone);
    EXPECT_FALSE(FileExists(menuFolder + "\\Readme.LNK"));
}

TEST(Shortcuts, WithoutComTheFirstStepFailsAndNoFileIsMade) {
    const std::string folder = FreshFolder("nocom");
    OwnFolder opened;
    EXPECT_NE(CreateShortcut("C:\\x\\a.exe", OpenFolder(folder, opened), "Readme", nullptr), S_OK);
    EXPECT_FALSE(FileExists(folder + "\\Readme.LNK"));
}

constexpr const char* kTestKey = "Software\\MossgateTests\\Values";

void SetUserValue(const char* name, DWORD type, const void* data, DWORD cbData) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyA(HKEY_CURRENT_USER, kTestKey, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), cbData),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Only a REG_SZ that fits is read, terminated even when stored without its
// terminator; anything else leaves the buffer as it was, and nothing overflows.
TEST(RegistryValues, UserStringIsReadOnlyAsAFittingRegSz) {
    const std::string longText(40, 'L');
    const struct {
        const char* name;
        DWORD type;
        std::string stored; // its terminator included when it has one
        int result;
        const char* read;
    } cases[] = {
        {"Plain", REG_SZ, std::string("C:\\Menu", 8), 1, "C:\\Menu"},
        {"Expand", REG_EXPAND_SZ, std::string("%APPDATA%", 10), 0, "untouched"},
        {"Long", REG_SZ, longText + '\0', 0, "untouched"},
        {"Bare", REG_SZ, "C:\\Bare", 1, "C:\\Bare"},
        {"Missing", REG_NONE, "", 0, "untouched"},
    };
    for (const auto& c : cases) {
        if (c.type != REG_NONE) {
            SetUserValue(c.name, c.type, c.stored.data(), static_cast<DWORD>(c.stored.size()));
        }
        char buffer[16];
        CopyText(buffer, sizeof(buffer), "untouched");
        EXPECT_EQ(ReadUserStringValue(kTestKey, c.name, buffer, sizeof(buffer)), c.result)
            << c.name;
        EXPECT_STREQ(buffer, c.read) << c.name;
    }
    char buffer[16];
    CopyText(buffer, sizeof(buffer), "untouched");
    EXPECT_EQ(
        ReadUserStringValue("Software\\MossgateTests\\NoSuchKey", "Plain", buffer, sizeof(buffer)),
        0);
    EXPECT_STREQ(buffer, "untouched");

    // Over 4096 bytes: refused by the query itself.
    const std::string huge(5000, 'H');
    SetUserValue("Huge", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));
    char large[8192];
    EXPECT_EQ(ReadUserStringValue(kTestKey, "Huge", large, sizeof(large)), 0);

    // 4095 bytes without terminator: at most 4050 bytes are taken, and terminated.
    const std::string full(4095, 'F');
    SetUserValue("Full", REG_SZ, full.data(), 4095);
    std::memset(large, 'Z', sizeof(large));
    ASSERT_EQ(ReadUserStringValue(kTestKey, "Full", large, sizeof(large)), 1);
    EXPECT_EQ(strnlen(large, sizeof(large)), 4050u);
}

TEST(RegistryValues, MachineKeyIsCreatedOnceAndValuesReplaced) {
    const char* key = "SOFTWARE\\MossgateTests\\Uninstall\\KS:Entry {X}";
    EXPECT_EQ(WriteMachineStringValue(key, "DisplayName", "first"), 1);
    EXPECT_EQ(WriteMachineStringValue(key, "Publisher", "Kestrine Software"), 1);
    EXPECT_EQ(WriteMachineStringValue(key, "DisplayName", "second"), 1);
    char value[64];
    DWORD cbValue = sizeof(value);
    DWORD type = 0;
    HKEY opened = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, key, &opened), ERROR_SUCCESS);
    ASSERT_EQ(RegQueryValueExA(opened, "DisplayName", nullptr, &type,
                               reinterpret_cast<BYTE*>(value), &cbValue),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(value, "second");
    EXPECT_EQ(cbValue, 7u); // the length counts the terminating zero

    // A key name over the registry's 255 characters can be neither opened nor made.
    const std::string tooLong = "SOFTWARE\\MossgateTests\\" + std::string(300, 'k');
    EXPECT_EQ(WriteMachineStringValue(tooLong.c_str(), "DisplayName", "x"), 0);
}

TEST(RegistryValues, ATreeGoesWholeWithItsSubkeys) {
    const char* tree = "SOFTWARE\\MossgateTests\\Tree";
    for (const char* key :
         {"SOFTWARE\\MossgateTests\\Tree\\a\\deep", "SOFTWARE\\MossgateTests\\Tree\\b"}) {
        ASSERT_EQ(WriteMachineDwordValue(key, "Value", 1), 1);
    }
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree), 1);
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, tree, &opened), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteRegistryTree(HKEY_LOCAL_MACHINE, tree), 0) << "nothing there to delete";
}

} // namespace
