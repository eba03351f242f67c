#include "common/portable/listing_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace mossgate;

void PutLittle(std::vector<uint8_t>& bytes, size_t at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

struct Listed {
    std::u16string name;
    uint32_t attributes = 0x10;
    uint64_t fileId = 0x1122334455667788u;
    uint32_t padding = 0; // bytes between this record's name and the next record
};

// Lays records out as the system does, each pointing at the next, the last at 0.
std::vector<uint8_t> Batch(const std::vector<Listed>& entries) {
    std::vector<uint8_t> bytes;
    size_t previous = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        const Listed& entry = entries[i];
        const size_t at = bytes.size();
        if (i > 0) {
            PutLittle(bytes, previous, at - previous, 4);
        }
        const size_t cbName = entry.name.size() * sizeof(char16_t);
        bytes.resize(at + LISTING_NAME_OFFSET + cbName + entry.padding, 0xCD);
        PutLittle(bytes, at, 0, 4);
        PutLittle(bytes, at + LISTING_ATTRIBUTES_OFFSET, entry.attributes, 4);
        PutLittle(bytes, at + LISTING_NAME_LENGTH_OFFSET, cbName, 4);
        PutLittle(bytes, at + LISTING_FILE_ID_OFFSET, entry.fileId, 8);
        for (size_t c = 0; c < entry.name.size(); ++c) {
            PutLittle(bytes, at + LISTING_NAME_OFFSET + 2 * c, entry.name[c], 2);
        }
        previous = at;
    }
    return bytes;
}

std::vector<std::u16string> ReadAll(const std::vector<uint8_t>& bytes) {
    std::vector<std::u16string> names;
    ListedRecord record;
    for (size_t offset = 0; offset < bytes.size(); offset = record.next) {
        if (!ReadListedRecord(bytes.data(), bytes.size(), offset, record)) {
            names.push_back(u"<refused>");
            break;
        }
        names.emplace_back(record.name);
    }
    return names;
}

TEST(ListingRecord, ReadsEveryFieldOfEachRecordInTurn) {
    const auto bytes =
        Batch({{u"Driver C", 0x20, 7, 6}, {u"\u03a9mega", 0x410, 0x8000000000000001u}});
    ListedRecord record;
    ASSERT_TRUE(ReadListedRecord(bytes.data(), bytes.size(), 0, record));
    EXPECT_EQ(std::u16string(record.name), u"Driver C");
    EXPECT_EQ(record.attributes, 0x20u);
    EXPECT_EQ(record.fileId, 7u);
    EXPECT_EQ(record.next, LISTING_NAME_OFFSET + 16 + 6);
    ASSERT_TRUE(ReadListedRecord(bytes.data(), bytes.size(), record.next, record));
    EXPECT_EQ(std::u16string(record.name), u"\u03a9mega");
    EXPECT_EQ(record.attributes, 0x410u);
    EXPECT_EQ(record.fileId, 0x8000000000000001u);
    EXPECT_EQ(record.next, bytes.size()) << "the last record ends the batch";
}

TEST(ListingRecord, NamesUpTo255UnitsAndNoLonger) {
    const std::u16string longest(LISTED_NAME_CHARS - 1, u'n');
    EXPECT_EQ(ReadAll(Batch({{longest}, {u"b"}})), (std::vector<std::u16string>{longest, u"b"}));
    EXPECT_EQ(ReadAll(Batch({{longest + u"n"}})), std::vector<std::u16string>{u"<refused>"});
    EXPECT_EQ(ReadAll(Batch({{u""}})), std::vector<std::u16string>{u""});
}

TEST(ListingRecord, ARecordReachingPastTheFilledBytesIsRefused) {
    const auto bytes = Batch({{u"abc"}});
    ListedRecord record;
    EXPECT_TRUE(ReadListedRecord(bytes.data(), bytes.size(), 0, record));
    for (size_t filled = 0; filled < bytes.size(); ++filled) {
        EXPECT_FALSE(ReadListedRecord(bytes.data(), filled, 0, record)) << filled;
    }
    EXPECT_FALSE(ReadListedRecord(bytes.data(), bytes.size(), 1, record));
    EXPECT_FALSE(ReadListedRecord(bytes.data(), bytes.size(), bytes.size(), record));
    EXPECT_FALSE(ReadListedRecord(bytes.data(), bytes.size(), bytes.size() + 1, record));
    EXPECT_FALSE(ReadListedRecord(nullptr, bytes.size(), 0, record));
    auto odd = Batch({{u"abc", 0x20, 1, 2}});
    PutLittle(odd, LISTING_NAME_LENGTH_OFFSET, 5, 4); // half a unit
    EXPECT_FALSE(ReadListedRecord(odd.data(), odd.size(), 0, record));
}

// A reader that followed such offsets would read one record forever, or read
// its own name as the next record.
TEST(ListingRecord, TheNextRecordLiesAfterThisOneAndInsideTheBatch) {
    auto bytes = Batch({{u"ab"}, {u"cd"}});
    const size_t cbFirst = LISTING_NAME_OFFSET + 4;
    ListedRecord record;
    ASSERT_TRUE(ReadListedRecord(bytes.data(), bytes.size(), 0, record));
    EXPECT_EQ(record.next, cbFirst) << "right after the name: packed records are fine";
    const struct {
        uint64_t nextOffset;
        bool read;
    } cases[] = {{cbFirst - 1, false},
                 {8, false},
                 {bytes.size(), true},
                 {bytes.size() + 1, false},
                 {0xFFFFFFFFu, false}};
    for (const auto& c : cases) {
        PutLittle(bytes, 0, c.nextOffset, 4);
        EXPECT_EQ(ReadListedRecord(bytes.data(), bytes.size(), 0, record), c.read) << c.nextOffset;
    }
    EXPECT_EQ(record.next, bytes.size());
}

} // namespace
