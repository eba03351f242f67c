#include "package/extraction.h"

#include "common/portable/bounded_text.h"
#include "common/portable/path_text.h"
#include "common/win32/file_system.h"
#include "package/package_resource.h"

#include <cstring>

namespace mossgate {

namespace {

constexpr int FAILED_ENTRIES_BASE = 100;

bool WriteVerifiedEntry(const char* installFolder, const char* target, const uint8_t* payload,
                        uint32_t size) {
    char parent[PATH_BYTES];
    if (!CopyText(parent, sizeof(parent), target)) {
        return false;
    }
    CutAtLastSeparator(parent);
    if (std::strcmp(parent, installFolder) != 0) {
        // A folder that cannot be made shows up as a failed write.
        CreateFolderPath(parent);
    }
    return WriteWholeFile(target, payload, size) == 1;
}

} // namespace

bool BuildEntryTargetPath(char* target, size_t cbTarget, const char* installFolder,
                          const PackageEntry& entry) {
    return IsContainedRelativeName(entry) &&
           JoinPath(target, cbTarget, installFolder, TerminatedEntryName(entry));
}

int ExtractPackageImage(SetupContextRecord& context, uint8_t* image, size_t imageSize) {
    WalkState state = StartWalk();
    int failures = 0;
    for (const PackageEntry& entry : context.packageDirectory) {
        char target[PATH_BYTES];
        const bool targetUsable =
            BuildEntryTargetPath(target, sizeof(target), context.installFolder, entry);
        // Every entry is read, usable name or not: the chain runs through all of them.
        if (ReadPackageEntry(entry, image, imageSize, state) != EntryOutcome::Verified ||
            !targetUsable ||
            !WriteVerifiedEntry(context.installFolder, target, image + entry.dataOffset,
                                entry.dataSize)) {
            ++failures;
        }
    }
    return failures > 0 ? -(FAILED_ENTRIES_BASE + failures) : 0;
}

int ExtractPackage(SetupContextRecord& context) {
    WritablePackageImage image(context.instance);
    if (!CopyPackageDirectory(image.Bytes(), image.Size(), context.packageDirectory)) {
        return EXTRACT_PACKAGE_UNUSABLE;
    }
    return ExtractPackageImage(context, image.Bytes(), image.Size());
}

} // namespace mossgate
