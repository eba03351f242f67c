// What Windows this is, and whether the 32-bit program runs on 64-bit Windows.
#pragma once

#include "env/portable/os_generation.h"

#include <windows.h>

namespace mossgate {

OsGeneration ClassifyOperatingSystem();

// Corrects the record's major and minor numbers from the kernel version service;
// -1 when the service is not there, else 0.
int ReadTrueVersion(OSVERSIONINFOEXA& record);

// ntdll's structure, declared here to keep the unicode headers out.
struct KernelVersionRecord {
    ULONG size;
    ULONG major;
    ULONG minor;
    ULONG build;
    ULONG platform;
    WCHAR servicePack[128];
};
static_assert(sizeof(KernelVersionRecord) == 276);

using RtlGetVersionFunction = LONG(WINAPI*)(KernelVersionRecord*);
// The same with the service given: nullptr when the system lacks it. A failing
// service leaves the record as it is.
int CorrectVersion(OSVERSIONINFOEXA& record, RtlGetVersionFunction rtlGetVersion);

// Nonzero when the process runs under WOW64; every problem yields 0.
int DetectWow64();

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
// The answer of the system's IsWow64Process, as DetectWow64 gives it: 0 where the
// function is missing (Windows without WOW64) or fails.
int AskWow64(IsWow64ProcessFunction isWow64Process);

// True on Windows Vista (classic version 6.0).
bool RunsOnWindowsVista();

// The classic version query with its fallbacks; false when every attempt is refused.
bool ReadClassicVersion(OSVERSIONINFOEXA& record);

} // namespace mossgate
