#include "package/portable/package_writer.h"

#include "package/portable/md5_digest.h"

#include <cstring>

namespace mossgate {

std::string PackageInputProblem(const std::vector<PlainFile>& files) {
    if (files.size() != PACKAGE_ENTRY_COUNT) {
        return "a package holds exactly " + std::to_string(PACKAGE_ENTRY_COUNT) + " files, not " +
               std::to_string(files.size());
    }
    uint64_t total = PACKAGE_DIRECTORY_BYTES;
    for (const PlainFile& file : files) {
        if (file.name.empty() || file.name.size() >= PACKAGE_NAME_BYTES ||
            file.name.find('\0') != std::string::npos) {
            return "entry name \"" + file.name + "\" must have 1 to " +
                   std::to_string(PACKAGE_NAME_BYTES - 1) + " characters";
        }
        if (file.bytes.empty()) {
            return "file for \"" + file.name + "\" is empty";
        }
        total += file.bytes.size();
        if (total > UINT32_MAX) {
            return "the package would exceed 4 GiB";
        }
    }
    return {};
}

std::vector<uint8_t> WritePackage(const std::vector<PlainFile>& files) {
    if (!PackageInputProblem(files).empty()) {
        return {};
    }
    size_t total = PACKAGE_DIRECTORY_BYTES;
    for (const PlainFile& file : files) {
        total += file.bytes.size();
    }
    std::vector<uint8_t> image(total, 0);
    WalkState state = StartWalk();
    size_t offset = PACKAGE_DIRECTORY_BYTES;
    for (size_t i = 0; i < files.size(); ++i) {
        const PlainFile& file = files[i];
        PackageEntry entry{};
        std::memcpy(entry.name, file.name.data(), file.name.size());
        entry.dataOffset = static_cast<uint32_t>(offset);
        entry.dataSize = static_cast<uint32_t>(file.bytes.size());
        entry.reserved = file.reserved;
        MD5(file.bytes.data(), file.bytes.size(), entry.plainDigest);

        uint8_t* stored = image.data() + offset;
        std::memcpy(stored, file.bytes.data(), file.bytes.size());
        DescramblePayload(state.seed, stored, entry.dataSize, state.key);
        uint8_t storedDigest[MD5_DIGEST_BYTES];
        MD5(stored, file.bytes.size(), storedDigest);
        AdvanceChain(state, storedDigest);

        std::memcpy(image.data() + i * sizeof(PackageEntry), &entry, sizeof(entry));
        offset += file.bytes.size();
    }
    return image;
}

} // namespace mossgate
