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

namespace {

// One walk over every entry, writing the verified entries that `wanted` accepts
// below folder; the number of wanted entries that failed.
template <typename Wanted>
int WriteEntries(const PackageEntry (&directory)[PACKAGE_ENTRY_COUNT], uint8_t* image,
                 size_t imageSize, const char* folder, Wanted wanted) {
    WalkState state = StartWalk();
    int failures = 0;
    for (const PackageEntry& entry : directory) {
        char target[PATH_BYTES];
        const bool targetUsable = BuildEntryTargetPath(target, sizeof(target), folder, entry);
        // Every entry is read, usable name or not: the chain runs through all of them.
        const bool verified =
            ReadPackageEntry(entry, image, imageSize, state) == EntryOutcome::Verified;
        if (!wanted(entry)) {
            continue;
        }
        if (!verified || !targetUsable ||
            !WriteVerifiedEntry(folder, target, image + entry.dataOffset, entry.dataSize)) {
            ++failures;
        }
    }
    return failures;
}

} // namespace

int ExtractPackageImage(SetupContextRecord& context, uint8_t* image, size_t imageSize) {
    const int failures =
        WriteEntries(context.packageDirectory, image, imageSize, context.installFolder,
                     [](const PackageEntry&) { return true; });
    return failures > 0 ? -(FAILED_ENTRIES_BASE + failures) : 0;
}

int ExtractPackage(SetupContextRecord& context) {
    WritablePackageImage image(context.instance);
    if (!CopyPackageDirectory(image.Bytes(), image.Size(), context.packageDirectory)) {
        return EXTRACT_PACKAGE_UNUSABLE;
    }
    return ExtractPackageImage(context, image.Bytes(), image.Size());
}

int ExtractNamedEntries(SetupContextRecord& context, const char* folder, const char* const* names,
                        size_t count) {
    WritablePackageImage image(context.instance);
    if (!CopyPackageDirectory(image.Bytes(), image.Size(), context.packageDirectory)) {
        return 0;
    }
    size_t found = 0;
    const int failures = WriteEntries(context.packageDirectory, image.Bytes(), image.Size(), folder,
                                      [names, count, &found](const PackageEntry& entry) {
                                          const char* name = TerminatedEntryName(entry);
                                          for (size_t i = 0; name != nullptr && i < count; ++i) {
                                              if (lstrcmpiA(name, names[i]) == 0) {
                                                  ++found;
                                                  return true;
                                              }
                                          }
                                          return false;
                                      });
    return failures == 0 && found == count ? 1 : 0;
}

} // namespace mossgate
