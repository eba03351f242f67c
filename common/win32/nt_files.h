// The native file calls that work through a folder's handle instead of a path: a
// name opened relative to an open folder, a folder's entries read from its handle,
// a file deleted through its own handle, a handle's attributes and file index. A
// name that a path resolves again on every use can be swapped between a check and
// its use; a handle keeps naming the object it opened. NT has had these calls since
// its first versions, so they are imported, not looked up.
#pragma once

#include "common/portable/listing_record.h"
#include "common/win32/holders.h"

#include <windows.h>

#include <cstdint>

namespace mossgate {

using NtStatus = LONG;

constexpr size_t ENTRY_NAME_CHARS = LISTED_NAME_CHARS;

// One entry of a folder, as the folder's handle lists it.
struct FolderEntry {
    wchar_t name[ENTRY_NAME_CHARS];
    DWORD attributes;
    uint64_t fileId;
};

enum class Disposition { OpenExisting, OpenOrCreate, CreateNew };

// Opens `name` (one component, no separator) inside `folder`, never resolving any
// path above it, to list it and add entries to it, for synchronous use. Links are
// opened as themselves unless `followLink`. Nobody can move or delete the folder
// while the handle is open, yet it may be another process's current folder. The
// native status: 0 on success, else out stays empty.
NtStatus OpenFolderToWorkIn(HANDLE folder, const wchar_t* name, Disposition disposition,
                            bool followLink, UniqueHandle& out);
// The same, existing, opened as itself, to list it and delete it; this fails while
// the folder is held without delete sharing (an open handle to work in, a current
// folder).
NtStatus OpenFolderToRemove(HANDLE folder, const wchar_t* name, UniqueHandle& out);
// A file opened as itself, to delete it and to clear its attributes first.
NtStatus OpenFileForDeletion(HANDLE folder, const wchar_t* name, UniqueHandle& out);
// A file or folder opened as itself only to ask what it is: no access that a
// sharing mode can refuse, so this opens what another process holds exclusively.
NtStatus OpenToInspect(HANDLE folder, const wchar_t* name, UniqueHandle& out);
NtStatus CreateNewFileForWriting(HANDLE folder, const wchar_t* name, UniqueHandle& out);

constexpr NtStatus STATUS_NAME_TAKEN = static_cast<NtStatus>(0xC0000035L);
constexpr NtStatus STATUS_NAME_MISSING = static_cast<NtStatus>(0xC0000034L);
constexpr NtStatus STATUS_PATH_MISSING = static_cast<NtStatus>(0xC000003AL);

// The attributes of what the handle names: for a link opened as itself, the link's.
bool QueryHandleAttributes(HANDLE handle, DWORD& attributes);
// The file index of what the handle names, unique on its volume.
bool QueryFileId(HANDLE handle, uint64_t& fileId);

// Asks for the deletion of what the handle names, done when its last handle closes.
bool MarkForDeletion(HANDLE handle);

// Sets the attributes of what the handle names (opened with attribute-writing
// access), its times unchanged.
bool SetHandleAttributes(HANDLE handle, DWORD attributes);

// The full name of what the handle names, as the system gives it (its own form,
// the same for every handle of one system). An entry opened in a folder has that
// folder's name, a backslash and its own name; anything else was reached through
// a link, even where nothing flags the link. False when it does not fit.
bool QueryHandleName(HANDLE handle, wchar_t* name, size_t cchName);

// The entry of `name` as `folder` lists it. The first listing on a handle fixes the
// names it matches, so this must be the only listing ever made on that handle.
bool FindFolderEntry(HANDLE folder, const wchar_t* name, FolderEntry& entry);

// Every entry of a folder, "." and ".." included, in one pass through its handle;
// the only listing made on that handle. Entries added during the pass may or may
// not be seen. Owns no handle; not an owner class.
class FolderListing {
  public:
    explicit FolderListing(HANDLE folder) : folder_(folder) {}

    // False at the end of the listing or when it cannot be read.
    bool Next(FolderEntry& entry);

  private:
    bool Refill();

    HANDLE folder_;
    HeapBuffer batch_{16 * 1024};
    size_t filled_ = 0;
    size_t offset_ = 0;
    bool started_ = false;
    bool ended_ = false;
};

} // namespace mossgate
