#include "common/portable/pe_resources.h"

namespace mossgate {

namespace {

constexpr size_t DOS_HEADER_BYTES = 64;
constexpr size_t DOS_NEW_HEADER_FIELD = 0x3C; // e_lfanew
constexpr uint64_t COFF_HEADER_BYTES = 20;
constexpr uint64_t SECTION_HEADER_BYTES = 40;
constexpr uint16_t PE32_MAGIC = 0x10B;
constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr uint64_t RESOURCE_DATA_DIRECTORY = 2;
constexpr uint64_t DIRECTORY_TABLE_BYTES = 16;
constexpr uint64_t DIRECTORY_ENTRY_BYTES = 8;
constexpr uint64_t DATA_ENTRY_BYTES = 16;
constexpr uint32_t SUBDIRECTORY_BIT = 0x80000000u;
constexpr int LEVELS = 3; // type, id, language

uint16_t U16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t U32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// [offset, offset + count) lies inside [0, limit). Operands come from 32-bit fields
// or from sums of at most two of them, so 64 bits never wrap.
bool Inside(uint64_t offset, uint64_t count, uint64_t limit) {
    return offset <= limit && count <= limit - offset;
}

struct Image {
    const uint8_t* file;
    uint64_t size;
    uint64_t sectionTable;
    uint32_t sectionCount;

    const uint8_t* At(uint64_t offset) const { return file + static_cast<size_t>(offset); }
};

// The file offset of an address and the end of the file bytes of its section:
// the part of the section that is in the file (SizeOfRawData) and in memory
// (VirtualSize, unless 0). False when no section's file bytes hold the address.
bool MapAddress(const Image& image, uint32_t rva, uint64_t& offset, uint64_t& sectionEnd) {
    for (uint32_t i = 0; i < image.sectionCount; ++i) {
        const uint8_t* section = image.At(image.sectionTable + i * SECTION_HEADER_BYTES);
        const uint32_t virtualSize = U32(section + 8);
        const uint32_t address = U32(section + 12);
        const uint32_t rawSize = U32(section + 16);
        const uint32_t rawOffset = U32(section + 20);
        const uint32_t extent = virtualSize != 0 && virtualSize < rawSize ? virtualSize : rawSize;
        if (rva >= address && rva - address < extent) {
            offset = static_cast<uint64_t>(rawOffset) + (rva - address);
            sectionEnd = static_cast<uint64_t>(rawOffset) + extent;
            return true;
        }
    }
    return false;
}

// The resource tree: offsets inside it count from its root, and every table read
// lies before `limit` (the end of the resource section's bytes, or of the file).
struct Tree {
    const Image& image;
    uint64_t root;
    uint64_t limit;
};

// Looks up an integer id among a directory's id entries and gives the entry's
// OffsetToData. Named entries come first; an id entry with the name bit set is
// not an id and matches nothing.
PeStatus FindEntry(const Tree& tree, uint32_t directory, uint16_t id, PeStatus missing,
                   uint32_t& target) {
    const uint64_t table = tree.root + directory;
    if (!Inside(table, DIRECTORY_TABLE_BYTES, tree.limit)) {
        return PeStatus::DirectoryOutsideSection;
    }
    const uint8_t* header = tree.image.At(table);
    const uint32_t named = U16(header + 12);
    const uint32_t count = named + U16(header + 14);
    const uint64_t entries = table + DIRECTORY_TABLE_BYTES;
    if (!Inside(entries, count * DIRECTORY_ENTRY_BYTES, tree.limit)) {
        return PeStatus::EntriesPastSection;
    }
    for (uint32_t i = named; i < count; ++i) {
        const uint8_t* entry = tree.image.At(entries + i * DIRECTORY_ENTRY_BYTES);
        if (U32(entry) == id) {
            target = U32(entry + 4);
            return PeStatus::Found;
        }
    }
    return missing;
}

PeStatus FindData(const Tree& tree, const uint16_t (&key)[LEVELS], PeResource& result) {
    const Image& image = tree.image;
    static const PeStatus missing[LEVELS] = {PeStatus::TypeMissing, PeStatus::IdMissing,
                                             PeStatus::LanguageMissing};
    uint32_t visited[LEVELS] = {0}; // the directories on the way down, the root first
    uint32_t target = 0;
    for (int level = 0; level < LEVELS; ++level) {
        const PeStatus status = FindEntry(tree, visited[level], key[level], missing[level], target);
        if (status != PeStatus::Found) {
            return status;
        }
        const bool last = level == LEVELS - 1;
        if (((target & SUBDIRECTORY_BIT) != 0) == last) {
            return PeStatus::WrongEntryKind;
        }
        if (last) {
            break;
        }
        const uint32_t next = target & ~SUBDIRECTORY_BIT;
        for (int above = 0; above <= level; ++above) {
            if (visited[above] == next) {
                return PeStatus::DirectoryLoops;
            }
        }
        visited[level + 1] = next;
    }

    const uint64_t dataEntry = tree.root + target;
    if (!Inside(dataEntry, DATA_ENTRY_BYTES, tree.limit)) {
        return PeStatus::DirectoryOutsideSection;
    }
    const uint32_t address = U32(image.At(dataEntry));
    const uint32_t size = U32(image.At(dataEntry) + 4);
    uint64_t offset = 0;
    uint64_t sectionEnd = 0;
    if (!MapAddress(image, address, offset, sectionEnd)) {
        return PeStatus::DataOutsideSections;
    }
    if (!Inside(offset, size, image.size)) {
        return PeStatus::DataPastFile;
    }
    if (!Inside(offset, size, sectionEnd)) {
        return PeStatus::DataPastSection;
    }
    result.offset = static_cast<size_t>(offset);
    result.size = size;
    return PeStatus::Found;
}

PeStatus Find(const uint8_t* file, size_t cbFile, const uint16_t (&key)[LEVELS],
              PeResource& result) {
    if (file == nullptr || cbFile < DOS_HEADER_BYTES || file[0] != 'M' || file[1] != 'Z') {
        return PeStatus::NotPe;
    }
    Image image{file, cbFile, 0, 0};
    const uint64_t signature = U32(file + DOS_NEW_HEADER_FIELD);
    if (!Inside(signature, 4, image.size) || U32(image.At(signature)) != 0x00004550) { // "PE\0\0"
        return PeStatus::NoPeSignature;
    }
    const uint64_t coff = signature + 4;
    if (!Inside(coff, COFF_HEADER_BYTES, image.size)) {
        return PeStatus::HeadersTruncated;
    }
    const uint64_t optional = coff + COFF_HEADER_BYTES;
    const uint16_t optionalSize = U16(image.At(coff) + 16);
    if (optionalSize < 2 || !Inside(optional, optionalSize, image.size)) {
        return PeStatus::HeadersTruncated;
    }
    const uint16_t magic = U16(image.At(optional));
    if (magic != PE32_MAGIC && magic != PE32_PLUS_MAGIC) {
        return PeStatus::UnknownOptionalHeader;
    }
    result.pe32Plus = magic == PE32_PLUS_MAGIC;
    result.machine = U16(image.At(coff));

    image.sectionTable = optional + optionalSize;
    image.sectionCount = U16(image.At(coff) + 2);
    if (!Inside(image.sectionTable, image.sectionCount * SECTION_HEADER_BYTES, image.size)) {
        return PeStatus::SectionTableTruncated;
    }

    // NumberOfRvaAndSizes, then the data directories of 8 bytes each.
    const uint64_t directoryCountField = result.pe32Plus ? 108 : 92;
    const uint64_t resourceDirectory = directoryCountField + 4 + RESOURCE_DATA_DIRECTORY * 8;
    if (resourceDirectory + 8 > optionalSize ||
        U32(image.At(optional + directoryCountField)) <= RESOURCE_DATA_DIRECTORY) {
        return PeStatus::NoResourceDirectory;
    }
    const uint32_t rootAddress = U32(image.At(optional + resourceDirectory));
    if (rootAddress == 0 || U32(image.At(optional + resourceDirectory) + 4) == 0) {
        return PeStatus::NoResourceDirectory;
    }
    uint64_t root = 0;
    uint64_t sectionEnd = 0;
    if (!MapAddress(image, rootAddress, root, sectionEnd)) {
        return PeStatus::ResourceDirectoryOutsideSections;
    }
    const Tree tree{image, root, sectionEnd < image.size ? sectionEnd : image.size};
    return FindData(tree, key, result);
}

} // namespace

PeResource FindPeResource(const uint8_t* file, size_t cbFile, uint16_t type, uint16_t id,
                          uint16_t language) {
    PeResource result;
    const uint16_t key[LEVELS] = {type, id, language};
    result.status = Find(file, cbFile, key, result);
    if (result.status != PeStatus::Found) {
        result.offset = 0;
        result.size = 0;
    }
    return result;
}

const char* PeStatusText(PeStatus status) {
    switch (status) {
    case PeStatus::Found:
        return "found";
    case PeStatus::NotPe:
        return "not a Windows program (no MZ header)";
    case PeStatus::NoPeSignature:
        return "MZ header without a PE signature where it points";
    case PeStatus::HeadersTruncated:
        return "the file ends inside the PE headers";
    case PeStatus::UnknownOptionalHeader:
        return "the optional header is neither PE32 nor PE32+";
    case PeStatus::SectionTableTruncated:
        return "the section table runs past the end of the file";
    case PeStatus::NoResourceDirectory:
        return "the program has no resource directory";
    case PeStatus::ResourceDirectoryOutsideSections:
        return "the resource directory's address lies in no section's file bytes";
    case PeStatus::DirectoryOutsideSection:
        return "a resource directory or data entry lies outside the resource section or the file";
    case PeStatus::EntriesPastSection:
        return "a resource directory claims more entries than its section holds";
    case PeStatus::DirectoryLoops:
        return "the resource directory loops: a subdirectory points back to one above it";
    case PeStatus::WrongEntryKind:
        return "a resource directory entry is a subdirectory where data belongs, or the reverse";
    case PeStatus::TypeMissing:
        return "no resource of that type";
    case PeStatus::IdMissing:
        return "no resource of that type and id";
    case PeStatus::LanguageMissing:
        return "the resource is not there in that language";
    case PeStatus::DataOutsideSections:
        return "the resource data's address lies in no section's file bytes";
    case PeStatus::DataPastFile:
        return "the resource data runs past the end of the file";
    case PeStatus::DataPastSection:
        return "the resource data runs past the end of its section";
    }
    return "unknown status";
}

} // namespace mossgate
