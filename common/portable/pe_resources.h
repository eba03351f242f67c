// Finds one resource in a PE32 or PE32+ file held in memory, as a Windows program
// file lies on disk: the resource directory's address through the section table to
// a file offset, then its three levels (type, name, language) down to the data
// entry, whose address and size give the resource's bytes in the file.
//
// Reads nothing but the given bytes. Every offset, size and count is checked
// against them with 64-bit arithmetic, which 32-bit fields cannot wrap; the
// descent is three levels deep and every table it scans lies inside the resource
// section, so any input ends in a result. What follows the sections (a certificate
// table of a signed file, other appended data) is never looked at.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

constexpr uint16_t PE_RESOURCE_TYPE_RCDATA = 10;

enum class PeStatus {
    Found,
    NotPe, // shorter than a DOS header or not starting with "MZ": some other file
    NoPeSignature,
    HeadersTruncated,
    UnknownOptionalHeader,
    SectionTableTruncated,
    NoResourceDirectory,
    ResourceDirectoryOutsideSections,
    DirectoryOutsideSection,
    EntriesPastSection,
    DirectoryLoops,
    WrongEntryKind,
    TypeMissing,
    IdMissing,
    LanguageMissing,
    DataOutsideSections,
    DataPastFile,
    DataPastSection,
};

struct PeResource {
    PeStatus status = PeStatus::NotPe;
    // From the optional header on (every status after HeadersTruncated):
    bool pe32Plus = false;
    uint16_t machine = 0;
    // With Found: where the resource's bytes lie in the file (offset + size <= file size).
    size_t offset = 0;
    size_t size = 0;
};

// The resource of integer type, id and language, each matched exactly (no
// fallback to another language).
PeResource FindPeResource(const uint8_t* file, size_t cbFile, uint16_t type, uint16_t id,
                          uint16_t language);

// One line for a status: "resource directory loops ...".
const char* PeStatusText(PeStatus status);

} // namespace mossgate
