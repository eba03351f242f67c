// Starting the stand-in programs the way the product does, and looking at what they
// leave behind: devices seen through SetupAPI, and the test variables they read.
#pragma once

#include "tests/windows/support/test_process.h"

#include <setupapi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mossgate::testing {

inline constexpr DWORD kRunTimeoutMs = 30000;

// The contract's device-interface classes of the two drivers and the MEDIA setup class.
inline constexpr GUID kInterfaceC = {
    0xB6879024, 0xAABF, 0x4E6A, {0xAB, 0x8B, 0x4E, 0x4C, 0x17, 0xF9, 0x1F, 0x50}};
inline constexpr GUID kInterfaceD = {
    0xB33AA4D0, 0x491A, 0x433D, {0xAB, 0x35, 0xF4, 0x63, 0xF1, 0xD9, 0x55, 0x82}};
inline constexpr GUID kMediaClass = {
    0x4d36e96c, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// The whole command lines that the product gives the driver setup programs.
inline constexpr char kInstallCommandLine[] = "-h -i -H -n";
inline constexpr char kUninstallCommandLine[] = "-h -u -H";

// A program built beside the tests, by file name.
std::string BesideTests(const char* fileName);
std::string SetupC();
std::string SetupD();

// A folder like the product's install folder (with a space), made when missing.
std::string InstallFolder();

// Starts `program` (full path) with exactly `commandLine` as its whole command line,
// no program name in front, as the product starts the driver setup programs.
bool StartBare(const std::string& program, const std::string& commandLine,
               const std::string& folder, ChildProcess& child);

// StartBare, then the signed 32-bit exit code; nothing when it did not start or end.
std::optional<int32_t> RunBare(const std::string& program, const std::string& commandLine,
                               const std::string& folder = InstallFolder());

// Sets an environment variable of this process (inherited by the programs it starts)
// and restores the earlier state when it goes.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    std::string name_;
    std::optional<std::string> earlier_;
};

// The devices that expose the interface class, as the product looks for them:
// SetupDiGetClassDevsA(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE), then enumerated.
struct ListedInterface {
    std::string devicePath;
    std::string instanceId;
    GUID setupClass;
};
std::vector<ListedInterface> PresentInterfaces(const GUID& interfaceClass);

// Exactly the product's check: the first interface of the present listing exists.
bool ProductFindsDriver(const GUID& interfaceClass);

// Instance ids of all MEDIA-class devices.
std::vector<std::string> MediaDevices();

// The text in double quotes, as a program name at the start of a command line.
std::string Quoted(const std::string& text);

// A fresh file path in the temporary folder (the file itself is not made).
std::string TemporaryFilePath(const char* name);

// Splits text into CRLF-ended lines; a trailing piece without CRLF is kept as is.
std::vector<std::string> CrlfLines(const std::string& text);

} // namespace mossgate::testing
