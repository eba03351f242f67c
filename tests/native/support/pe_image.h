// A small Windows program file for the tests and the fuzz seeds: DOS and PE
// headers, a section without file bytes (".bss"), then ".rsrc", whose file bytes
// (at 0x200) differ from its address (0x1000), holding a resource tree with one
// leaf over the given bytes. The
// positions of the fields that tests damage are kept beside the bytes.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace mossgate::testing {

inline void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes.at(at) = static_cast<uint8_t>(value);
    bytes.at(at + 1) = static_cast<uint8_t>(value >> 8);
}

inline void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    Put16(bytes, at, value);
    Put16(bytes, at + 2, value >> 16);
}

struct PeImage {
    static constexpr size_t COFF = 0x44;
    static constexpr size_t OPTIONAL = 0x58;
    static constexpr size_t RSRC = 0x200;        // the section's file bytes
    static constexpr uint32_t RSRC_RVA = 0x1000; // and its address
    // In the section: root, type and id directories of one entry each, the data
    // entry, then the data.
    static constexpr size_t ID_DIRECTORY = RSRC + 24;
    static constexpr size_t LANGUAGE_DIRECTORY = RSRC + 48;
    static constexpr size_t DATA_ENTRY = RSRC + 72;
    static constexpr size_t DATA = RSRC + 88;

    std::vector<uint8_t> bytes;
    bool pe32Plus = false;

    size_t DataDirectory(int index) const { return OPTIONAL + (pe32Plus ? 112 : 96) + index * 8; }
    size_t SectionTable() const { return OPTIONAL + (pe32Plus ? 240 : 224); }
    size_t RsrcHeader() const { return SectionTable() + 40; }
};

inline PeImage MakePeImage(const std::vector<uint8_t>& resource, bool pe32Plus = false,
                           uint16_t type = 10, uint16_t id = 100, uint16_t language = 0x0409) {
    PeImage image;
    image.pe32Plus = pe32Plus;
    const size_t used = PeImage::DATA - PeImage::RSRC + resource.size();
    const size_t rawSize = (used + 0x1FF) & ~size_t{0x1FF};
    std::vector<uint8_t>& b = image.bytes;
    b.assign(PeImage::RSRC + rawSize, 0);
    Put16(b, 0, 0x5A4D); // "MZ"
    Put32(b, 0x3C, 0x40);
    Put32(b, 0x40, 0x00004550); // "PE\0\0"
    Put16(b, PeImage::COFF, pe32Plus ? 0x8664 : 0x014C);
    Put16(b, PeImage::COFF + 2, 2);
    Put16(b, PeImage::COFF + 16, pe32Plus ? 240 : 224);
    Put16(b, PeImage::OPTIONAL, pe32Plus ? 0x20B : 0x10B);
    Put32(b, image.DataDirectory(0) - 4, 16); // NumberOfRvaAndSizes
    Put32(b, image.DataDirectory(2), PeImage::RSRC_RVA);
    Put32(b, image.DataDirectory(2) + 4, static_cast<uint32_t>(used));
    std::memcpy(&b[image.SectionTable()], ".bss", 4);
    Put32(b, image.SectionTable() + 8, 0x100);
    Put32(b, image.SectionTable() + 12, 0x3000);
    const size_t section = image.RsrcHeader();
    std::memcpy(&b[section], ".rsrc", 5);
    Put32(b, section + 8, static_cast<uint32_t>(used));
    Put32(b, section + 12, PeImage::RSRC_RVA);
    Put32(b, section + 16, static_cast<uint32_t>(rawSize));
    Put32(b, section + 20, PeImage::RSRC);
    // Three directories of one id entry each, every one pointing to the next.
    const uint16_t keys[] = {type, id, language};
    for (size_t level = 0; level < 3; ++level) {
        const size_t table = PeImage::RSRC + level * 24;
        Put16(b, table + 14, 1);
        Put32(b, table + 16, keys[level]);
        Put32(b, table + 20,
              static_cast<uint32_t>(level < 2 ? 0x80000000u | (table + 24 - PeImage::RSRC)
                                              : PeImage::DATA_ENTRY - PeImage::RSRC));
    }
    Put32(b, PeImage::DATA_ENTRY, PeImage::RSRC_RVA + (PeImage::DATA - PeImage::RSRC));
    Put32(b, PeImage::DATA_ENTRY + 4, static_cast<uint32_t>(resource.size()));
    std::copy(resource.begin(), resource.end(), b.begin() + PeImage::DATA);
    return image;
}

// Signs the image in appearance: a certificate table (WIN_CERTIFICATE: its length
// first) appended after the sections and named by the security directory, whose
// address is a file offset.
inline void AppendCertificateTable(PeImage& image) {
    const size_t at = image.bytes.size();
    image.bytes.resize(at + 0x408, 0xAB);
    Put32(image.bytes, at, 0x408);
    Put32(image.bytes, image.DataDirectory(4), static_cast<uint32_t>(at));
    Put32(image.bytes, image.DataDirectory(4) + 4, 0x408);
}

} // namespace mossgate::testing
