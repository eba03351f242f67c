#include "common/portable/listing_record.h"

#include <algorithm>

namespace mossgate {

namespace {

uint32_t ReadLittle32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}

uint64_t ReadLittle64(const uint8_t* at) {
    return static_cast<uint64_t>(ReadLittle32(at)) | static_cast<uint64_t>(ReadLittle32(at + 4))
                                                         << 32;
}

} // namespace

bool ReadListedRecord(const uint8_t* bytes, size_t cbFilled, size_t offset, ListedRecord& record) {
    const size_t cbLeft = cbFilled - std::min(offset, cbFilled);
    if (bytes == nullptr || cbLeft < LISTING_NAME_OFFSET) {
        return false;
    }
    const uint8_t* at = bytes + offset;
    const uint32_t nextOffset = ReadLittle32(at);
    const uint32_t cbName = ReadLittle32(at + LISTING_NAME_LENGTH_OFFSET);
    const size_t cch = cbName / sizeof(char16_t);
    const size_t cbRecord = LISTING_NAME_OFFSET + cbName;
    if (cbName % sizeof(char16_t) != 0 || cch >= LISTED_NAME_CHARS || cbLeft < cbRecord) {
        return false;
    }
    // The next record starts after this one's name and inside the batch.
    if (nextOffset != 0 && (nextOffset < cbRecord || nextOffset > cbLeft)) {
        return false;
    }
    for (size_t i = 0; i < cch; ++i) {
        const uint8_t* unit = at + LISTING_NAME_OFFSET + i * sizeof(char16_t);
        record.name[i] = static_cast<char16_t>(unit[0] | unit[1] << 8);
    }
    record.name[cch] = u'\0';
    record.attributes = ReadLittle32(at + LISTING_ATTRIBUTES_OFFSET);
    record.fileId = ReadLittle64(at + LISTING_FILE_ID_OFFSET);
    record.next = nextOffset == 0 ? cbFilled : offset + nextOffset;
    return true;
}

} // namespace mossgate
