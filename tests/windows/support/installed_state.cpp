#include "tests/windows/support/installed_state.h"

#include "env/os_version.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <shlobj.h>
#include <winver.h>

#include <cctype>
#include <functional>
#include <sstream>
#include <vector>

namespace mossgate::testing {

namespace {

constexpr const char* kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KS:MOSSGATE_CD {C76D3BC2-E852-4d06}";

std::optional<std::string> ReadString(HKEY root, const char* key, const char* name) {
    char value[4096];
    DWORD cbValue = sizeof(value);
    DWORD type = 0;
    if (RegGetValueA(root, key, name, RRF_RT_REG_SZ, &type, value, &cbValue) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::string(value);
}

// The lines of a text that are not empty, without their line ends.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

std::string WindowsPathOf(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

// As the shell tells this test program, which has the product's bitness: a 32-bit
// program on 64-bit Windows gets "Program Files (x86)" and the same Start menu.
static std::string ShellFolder(int id) {
    char folder[MAX_PATH] = "";
    return SHGetSpecialFolderPathA(nullptr, folder, id, FALSE) ? folder : "";
}

std::string InstallFolder() {
    return ShellFolder(CSIDL_PROGRAM_FILES) + "\\KS\\MOSSGATE_CD_Pack";
}

std::string MakerFolder() {
    const std::string folder = InstallFolder();
    return folder.substr(0, folder.rfind('\\'));
}

std::string InstalledCopy() {
    return InstallFolder() + "\\MOSSGATE_CD_Pack_Setup.exe";
}

std::string DriverSetupProgram(char driver) {
    return InstallFolder() + "\\MOSSGATE_" + driver + "_Setup" +
           (DetectWow64() != 0 ? "_x64.exe" : ".exe");
}

void ExpectShortcutsIn(const std::string& folder, bool present) {
    for (const char* file : kShortcutFiles) {
        EXPECT_EQ(FileExists(folder + "\\" + file), present) << folder << "\\" << file;
    }
}

namespace {
constexpr const char* kOutsideFiles[] = {"\\precious.txt", "\\readme.txt", "\\new.txt.keep",
                                         "\\sub\\deep.txt"};
}

std::string OutsideFolder(const std::string& name) {
    const std::string folder = TempFolder("outside-" + name);
    CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
    for (const char* file : kOutsideFiles) {
        WriteWholeFile(folder + file, "keep");
    }
    return folder;
}

void ExpectUntouched(const std::string& folder) {
    for (const char* file : kOutsideFiles) {
        EXPECT_EQ(ReadWholeFile(folder + file), "keep") << folder + file;
    }
    for (const char* made :
         {"new.txt", "made", kShortcutFiles[0], kShortcutFiles[1], kShortcutFiles[2]}) {
        EXPECT_FALSE(FileExists(folder + "\\" + made)) << "made through a link: " << made;
    }
}

std::string DamagedCopy(const std::string& damage) {
    const std::string copy = TempFolder("damaged") + "\\MOSSGATE_CD_Pack_Setup.exe";
    EXPECT_TRUE(CopyFileA(TwinPath().c_str(), copy.c_str(), FALSE));
    EXPECT_EQ(RunSetup(ExecutableFolder() + "\\resource_patch.exe", "\"" + copy + "\" " + damage),
              std::optional<int32_t>(0));
    return copy;
}

std::string UserProgramsFolder() {
    return ReadString(HKEY_CURRENT_USER,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      "Programs")
        .value_or("");
}

std::string CommonProgramsFolder() {
    return ShellFolder(CSIDL_COMMON_PROGRAMS);
}

std::string UserStartMenuFolder() {
    return UserProgramsFolder() + "\\Kestrine\\MOSSGATE_CD_Pack";
}

std::string CommonStartMenuFolder() {
    return CommonProgramsFolder() + "\\Kestrine\\MOSSGATE_CD_Pack";
}

std::vector<std::pair<std::string, std::string>> PackageSources() {
    std::vector<std::pair<std::string, std::string>> sources;
    for (const std::string& line :
         LinesOf(ReadWholeFile(ExecutableFolder() + "\\..\\package\\package.manifest"))) {
        if (line[0] == '#') {
            continue;
        }
        const size_t first = line.find('\t');
        const size_t second = line.find('\t', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        std::string source = line.substr(second + 1);
        sources.emplace_back(line.substr(0, first),
                             source[0] == '/' ? WindowsPathOf(source) : source);
    }
    return sources;
}

void ExpectPackageIn(const std::string& folder) {
    const auto sources = PackageSources();
    ASSERT_EQ(sources.size(), 61u) << "package manifest not found beside the build";
    for (const auto& [name, source] : sources) {
        EXPECT_EQ(ReadWholeFile(folder + "\\" + name), ReadWholeFile(source)) << name;
    }
}

std::optional<std::string> UninstallValue(const char* name) {
    return ReadString(HKEY_LOCAL_MACHINE, kUninstallKey, name);
}

std::optional<uint32_t> UninstallDword(const char* name) {
    DWORD value = 0;
    DWORD cbValue = sizeof(value);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &cbValue) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool UninstallKeyExists(unsigned long view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | view, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

std::optional<int32_t> RunSetup(const std::string& program, const std::string& arguments,
                                uint32_t timeoutMs) {
    ChildProcess child;
    if (!StartProgram(program, arguments, child)) {
        return std::nullopt;
    }
    return WaitForExit(child, timeoutMs);
}

void UseStandinLog(const std::string& path) {
    DeleteFileA(path.c_str());
    SetChildEnvironment("MOSSGATE_STANDIN_LOG", path.c_str());
}

std::vector<std::string> StandinLogLines(const std::string& path) {
    return LinesOf(ReadWholeFile(path));
}

void ExpectBothStartedInTheInstallFolder(const std::string& log) {
    const auto starts = StandinLogLines(log);
    EXPECT_EQ(starts.size(), 2u) << "both drivers' setup programs ran";
    for (const std::string& start : starts) {
        EXPECT_EQ(start.rfind(InstallFolder() + "\\", 0), 0u) << start;
        EXPECT_EQ(start.substr(start.rfind('\t') + 1), InstallFolder()) << "working folder";
    }
}

void SetChildEnvironment(const char* name, const char* value) {
    SetEnvironmentVariableA(name, value);
}

std::string TempFolder(const std::string& name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof(temp), temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string ProductVersionOf(const std::string& program) {
    std::vector<char> block(GetFileVersionInfoSizeA(program.c_str(), nullptr));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT cbFixed = 0;
    if (block.empty() ||
        !GetFileVersionInfoA(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
        !VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &cbFixed) ||
        cbFixed < sizeof(VS_FIXEDFILEINFO)) {
        return "";
    }
    return std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwProductVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwProductVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwProductVersionLS));
}

uint64_t FolderBytes(const std::string& folder) {
    uint64_t bytes = 0;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        return 0;
    }
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") {
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            bytes += FolderBytes(folder + "\\" + name);
        } else {
            bytes += static_cast<uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return bytes;
}

std::string UnixPathOf(const std::string& path) {
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unixName == nullptr) {
        return "";
    }
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unixName(wide);
    std::string text = name != nullptr ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// Runs a Unix tool with the options, then the Unix paths of these Windows paths,
// then `last` (a Unix path) when given; true once `done` holds.
bool RunUnixTool(const std::string& tool, const std::string& options,
                 const std::vector<std::string>& paths, const std::function<bool()>& done,
                 const std::string& last = "") {
    std::string commandLine = options;
    for (const std::string& path : paths) {
        const std::string unixPath = UnixPathOf(path);
        if (unixPath.empty()) {
            return false;
        }
        commandLine += " \"" + unixPath + "\"";
    }
    commandLine += last.empty() ? "" : " \"" + last + "\"";
    ChildProcess child;
    if (!StartProgram(tool, commandLine, child)) {
        return false;
    }
    // Wine's handle of a Unix process cannot be waited for: wait for its effect.
    return WaitUntil(done, 10000);
}

bool MakeUnixLink(const std::string& target, const std::string& link) {
    // ln resolves a relative target from the link's folder: it gets the Unix path.
    return RunUnixTool("Z:\\bin\\ln", "-s", {target, link}, [&link] {
        return GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

bool MoveFromUnixSide(const std::string& from, const std::string& to) {
    return RunUnixTool("Z:\\bin\\mv", "--", {from, to}, [&from, &to] {
        return GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES &&
               GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES;
    });
}

bool RemoveFromUnixSide(const std::string& path) {
    return RunUnixTool("Z:\\bin\\rm", "-rf --", {path}, [&path] {
        return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
    });
}

// Wine's drive letters are links in the prefix's "dosdevices" folder, beside "c:".
static std::string DriveLetterLink(char letter) {
    std::string driveC = UnixPathOf("C:\\");
    const size_t end = driveC.rfind("/c:");
    return end == std::string::npos
               ? ""
               : driveC.substr(0, end + 1) + static_cast<char>(tolower(letter)) + ":";
}

bool GiveDriveLetter(char letter, const std::string& folder) {
    const std::string root = std::string(1, letter) + ":\\";
    return !DriveLetterLink(letter).empty() &&
           RunUnixTool(
               "Z:\\bin\\ln", "-s", {folder},
               [&root] { return GetFileAttributesA(root.c_str()) != INVALID_FILE_ATTRIBUTES; },
               DriveLetterLink(letter));
}

bool TakeDriveLetter(char letter) {
    const std::string root = std::string(1, letter) + ":\\";
    return !DriveLetterLink(letter).empty() &&
           RunUnixTool(
               "Z:\\bin\\rm", "-f --", {},
               [&root] { return GetFileAttributesA(root.c_str()) == INVALID_FILE_ATTRIBUTES; },
               DriveLetterLink(letter));
}

bool SimulateRestart() {
    ChildProcess boot;
    return StartProgram("C:\\windows\\system32\\wineboot.exe", "-r", boot) &&
           WaitForExit(boot, 120000).has_value();
}

namespace {

constexpr const wchar_t* kSessionManager = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenames = L"PendingFileRenameOperations";

} // namespace

std::wstring PendingRenamesValue() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return L"";
    }
    // RegQueryValueEx hands over the bytes as stored, with no terminator added.
    DWORD cbValue = 0;
    RegQueryValueExW(key, kPendingRenames, nullptr, nullptr, nullptr, &cbValue);
    std::wstring value(cbValue / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key, kPendingRenames, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value.data()), &cbValue) != ERROR_SUCCESS) {
        cbValue = 0;
    }
    RegCloseKey(key);
    value.resize(cbValue / sizeof(wchar_t));
    return value;
}

std::vector<std::wstring> PendingRenames() {
    std::vector<std::wstring> texts;
    const std::wstring value = PendingRenamesValue() + L'\0';
    // Pairs end with an empty text; a target is empty too, so count pairs.
    size_t at = 0;
    while (at < value.size() && value[at] != L'\0') {
        const std::wstring source(value.c_str() + at);
        at += source.size() + 1;
        const std::wstring target(at < value.size() ? value.c_str() + at : L"");
        at += target.size() + 1;
        texts.push_back(source);
        texts.push_back(target);
    }
    return texts;
}

size_t PlannedDeletions() {
    const std::vector<std::wstring> plans = PendingRenames();
    size_t count = 0;
    for (size_t i = 1; i < plans.size(); i += 2) {
        count += plans[i].empty() ? 1 : 0;
    }
    return count;
}

void SetPendingRenamesValue(const std::wstring& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    if (value.empty()) {
        RegDeleteValueW(key, kPendingRenames);
    } else {
        RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    }
    RegCloseKey(key);
}

void SetPendingRenames(const std::vector<std::wstring>& texts) {
    std::wstring value;
    for (const std::wstring& text : texts) {
        value += text;
        value.push_back(L'\0');
    }
    SetPendingRenamesValue(texts.empty() ? L"" : value + L'\0');
}

} // namespace mossgate::testing
