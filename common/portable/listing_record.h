// One record of a folder listing as NT returns it for the "id, both names" class:
// fixed fields, then the entry's name (UTF-16, not terminated), each record
// pointing at the next by its offset, 0 on the last of a batch.
//
// Reads nothing but the given bytes, little-endian, whatever the host: a record
// whose fields or name reach past the filled bytes, whose name is odd-sized or too
// long, or which points back into itself or past the batch is refused, never read
// in part; so every record read moves the reader forward.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mossgate {

// A name is at most 255 UTF-16 units on every file system Windows ships.
constexpr size_t LISTED_NAME_CHARS = 256;
// Where the fields the program uses lie in a record.
constexpr size_t LISTING_ATTRIBUTES_OFFSET = 56;
constexpr size_t LISTING_NAME_LENGTH_OFFSET = 60;
constexpr size_t LISTING_FILE_ID_OFFSET = 96;
constexpr size_t LISTING_NAME_OFFSET = 104;

struct ListedRecord {
    char16_t name[LISTED_NAME_CHARS]; // terminated
    uint32_t attributes;
    uint64_t fileId;
    size_t next; // where the following record starts; the filled size after the last
};

// Reads the record at `offset` of a batch of `cbFilled` bytes into `record`.
bool ReadListedRecord(const uint8_t* bytes, size_t cbFilled, size_t offset, ListedRecord& record);

} // namespace mossgate
