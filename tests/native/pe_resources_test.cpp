// The resource lookup over small program files built here, damaged one field at a
// time, in PE32 and PE32+: each damage ends in its own status. Every image is read
// from a heap block of exactly its size, so AddressSanitizer stops a read past it.
#include "common/portable/pe_resources.h"
#include "tests/native/support/pe_image.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace mossgate;
using mossgate::testing::PeImage;
using mossgate::testing::Put16;
using mossgate::testing::Put32;

PeResource Find(const std::vector<uint8_t>& bytes) {
    const std::vector<uint8_t> exact(bytes); // a copy allocates exactly its size
    PeResource found = FindPeResource(exact.data(), exact.size(), 10, 100, 0x0409);
    if (found.status == PeStatus::Found) {
        EXPECT_EQ(found.offset, PeImage::DATA);
        EXPECT_EQ(
            std::vector<uint8_t>(bytes.begin() + static_cast<long>(found.offset),
                                 bytes.begin() + static_cast<long>(found.offset + found.size)),
            std::vector<uint8_t>(100, 0x5A));
    }
    return found;
}

TEST(PeResources, EachDamageEndsInItsOwnStatus) {
    const auto cut = [](size_t size) { return [size](PeImage& i) { i.bytes.resize(size); }; };
    const auto set = [](size_t at, uint32_t value, int bytes = 4) {
        return
            [=](PeImage& i) { bytes == 4 ? Put32(i.bytes, at, value) : Put16(i.bytes, at, value); };
    };
    constexpr uint32_t SUB = 0x80000000u;
    const size_t root = PeImage::RSRC, ids = PeImage::ID_DIRECTORY;
    const size_t languages = PeImage::LANGUAGE_DIRECTORY, data = PeImage::DATA_ENTRY;
    const struct {
        const char* what;
        std::function<void(PeImage&)> damage;
        PeStatus status;
    } cases[] = {
        {"intact", [](PeImage&) {}, PeStatus::Found},
        {"VirtualSize 0: the raw size counts",
         [](PeImage& i) { Put32(i.bytes, i.RsrcHeader() + 8, 0); }, PeStatus::Found},
        {"signed: a certificate table appended", mossgate::testing::AppendCertificateTable,
         PeStatus::Found},
        {"shorter than a DOS header", cut(63), PeStatus::NotPe},
        {"no MZ", [](PeImage& i) { i.bytes[0] = 'Z'; }, PeStatus::NotPe},
        {"PE signature past the end", set(0x3C, 0xFFFFFFFE), PeStatus::NoPeSignature},
        {"cut in the COFF header", cut(0x50), PeStatus::HeadersTruncated},
        {"cut in the optional header", cut(0x100), PeStatus::HeadersTruncated},
        {"optional header of another kind", set(PeImage::OPTIONAL, 0x107, 2),
         PeStatus::UnknownOptionalHeader},
        {"65535 sections", set(PeImage::COFF + 2, 0xFFFF, 2), PeStatus::SectionTableTruncated},
        {"two data directories only", [](PeImage& i) { Put32(i.bytes, i.DataDirectory(0) - 4, 2); },
         PeStatus::NoResourceDirectory},
        {"resource address in no section",
         [](PeImage& i) { Put32(i.bytes, i.DataDirectory(2), 0x9000); },
         PeStatus::ResourceDirectoryOutsideSections},
        {"root claims 65535 ids", set(root + 14, 0xFFFF, 2), PeStatus::EntriesPastSection},
        {"language directory claims 65535 names", set(languages + 12, 0xFFFF, 2),
         PeStatus::EntriesPastSection},
        {"subdirectory past the section", set(root + 20, SUB | 0x7FFFFFF0),
         PeStatus::DirectoryOutsideSection},
        {"cut in the resource tree", cut(PeImage::LANGUAGE_DIRECTORY + 4),
         PeStatus::DirectoryOutsideSection},
        {"data entry past the section", set(languages + 20, 0x7FFFFFF0),
         PeStatus::DirectoryOutsideSection},
        {"id level points back to the root", set(ids + 20, SUB), PeStatus::DirectoryLoops},
        {"id level points to itself", set(ids + 20, SUB | 24), PeStatus::DirectoryLoops},
        {"language level is a directory", set(languages + 20, SUB | 48), PeStatus::WrongEntryKind},
        {"type level is data", set(root + 20, 24), PeStatus::WrongEntryKind},
        {"another type", set(root + 16, 3), PeStatus::TypeMissing},
        {"the type as a name", set(root + 16, SUB | 10), PeStatus::TypeMissing},
        {"another id", set(ids + 16, 101), PeStatus::IdMissing},
        {"another language", set(languages + 16, 0x0407), PeStatus::LanguageMissing},
        {"data address in no section", set(data, 0x800), PeStatus::DataOutsideSections},
        {"data size past the end of the file", set(data + 4, 0xFFFFFFF0), PeStatus::DataPastFile},
        {"data past VirtualSize, inside the raw bytes", set(data + 4, 101),
         PeStatus::DataPastSection},
    };
    for (const bool pe32Plus : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (pe32Plus ? " (PE32+)" : " (PE32)"));
            PeImage image =
                mossgate::testing::MakePeImage(std::vector<uint8_t>(100, 0x5A), pe32Plus);
            c.damage(image);
            const PeResource found = Find(image.bytes);
            EXPECT_EQ(found.status, c.status) << PeStatusText(found.status);
            if (c.status > PeStatus::UnknownOptionalHeader) {
                EXPECT_EQ(found.pe32Plus, pe32Plus);
                EXPECT_EQ(found.machine, pe32Plus ? 0x8664 : 0x014C);
            }
        }
    }
}

} // namespace
