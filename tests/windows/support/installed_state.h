// What an install leaves on the system, as the scenario tests look at it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mossgate::testing {

std::string InstallFolder();        // the twin's: below C:\Program Files
std::string UserProgramsFolder();   // from the per-user Shell Folders key
std::string CommonProgramsFolder(); // the all-users Programs folder
std::string UserStartMenuFolder();  // <user Programs>\Kestrine\MOSSGATE_CD_Pack
std::string CommonStartMenuFolder();
std::string MakerFolder();   // the install folder's parent, which other products share
std::string InstalledCopy(); // the program's copy in its install folder
// The build of a driver's setup program that the program runs here: on 64-bit
// Windows the 32-bit product (under WOW64) starts the "_x64.exe" builds.
std::string DriverSetupProgram(char driver);

constexpr const char* kShortcutFiles[] = {"Readme.LNK", "MOSSGATE C Control Panel.LNK",
                                          "MOSSGATE D Control Panel.LNK"};
void ExpectShortcutsIn(const std::string& folder, bool present);

// A folder outside every place of the program, with files ("keep") and a subfolder
// of names a walk, the package or a replacement would use; and the check that
// nothing in it was changed, nor any file made there.
std::string OutsideFolder(const std::string& name);
void ExpectUntouched(const std::string& folder);

// A copy of the twin with its resources damaged by resource_patch (`damage`: its words).
std::string DamagedCopy(const std::string& damage);

// (name, Windows path of its source file) of every package entry, in directory
// order, from the manifest the build wrote beside the package.
std::vector<std::pair<std::string, std::string>> PackageSources();
// Every package entry in the folder, byte for byte.
void ExpectPackageIn(const std::string& folder);

std::optional<std::string> UninstallValue(const char* name);
// A REG_DWORD value of the uninstall entry; none for a value of another type.
std::optional<uint32_t> UninstallDword(const char* name);
// In the program's own registry view, or in the view given (KEY_WOW64_32KEY, _64KEY).
bool UninstallKeyExists(unsigned long view = 0);

// Runs the twin (or another copy) with a command line and waits for its exit code.
std::optional<int32_t> RunSetup(const std::string& program, const std::string& arguments,
                                uint32_t timeoutMs = 120000);

// The stand-in driver setup programs' start log (one line a start), set up by
// UseStandinLog; empty when nothing started.
void UseStandinLog(const std::string& path);
std::vector<std::string> StandinLogLines(const std::string& path);
// Both drivers' setup programs started, each from the install folder and in it.
void ExpectBothStartedInTheInstallFolder(const std::string& log);

// Sets or clears (value null) an environment variable that children inherit.
void SetChildEnvironment(const char* name, const char* value);

std::string TempFolder(const std::string& name);

// The product version of a program file as Windows reads it (version.dll), "" when
// it has none.
std::string ProductVersionOf(const std::string& program);

// Bytes of every file below a folder, subfolders included.
uint64_t FolderBytes(const std::string& folder);

// A real link at `link` (a Windows path) to `target`: a Unix symbolic link made from
// the Unix side, which Wine presents as a link (CreateSymbolicLink makes nothing
// under Wine). `link` must not exist yet; false when the link could not be made.
bool MakeUnixLink(const std::string& target, const std::string& link);

// Moves a file or folder from the Unix side, where no Windows handle stops it: as a
// user's process does on Windows where the program's handle does not stop it.
bool MoveFromUnixSide(const std::string& from, const std::string& to);

// Deletes a file or a folder tree (a link as itself) from the Unix side.
bool RemoveFromUnixSide(const std::string& path);

// A drive letter for the folder, as Wine makes its drive letters (SUBST makes one for
// a session on Windows); and taken away again. True once the letter works or is gone.
bool GiveDriveLetter(char letter, const std::string& folder);
bool TakeDriveLetter(char letter);

// The system's restart as far as Wine has one (wineboot -r): it carries out the
// restart plans. The calling test keeps the prefix's server running, so that no
// other start of the server carries them out before.
bool SimulateRestart();

// The restart plans' value exactly as stored, in UTF-16 units, or written so (an
// empty one: the value goes).
std::wstring PendingRenamesValue();
void SetPendingRenamesValue(const std::wstring& value);

// The texts of the restart plans (PendingFileRenameOperations), in order: source,
// target, source, target... Empty when there are none.
std::vector<std::wstring> PendingRenames();
// How many of them are deletions (an empty target).
size_t PlannedDeletions();
// Replaces them (no texts: the value goes).
void SetPendingRenames(const std::vector<std::wstring>& texts);

// The Unix path of a Windows path of the prefix; empty when there is none. And a
// Unix path as Windows programs reach it (drive Z:).
std::string UnixPathOf(const std::string& path);
std::string WindowsPathOf(const std::string& unixPath);

} // namespace mossgate::testing
