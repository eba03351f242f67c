#include "common/win32/folder_handles.h"

#include "common/portable/path_text.h"
#include "common/win32/file_system.h"
#include "common/win32/nt_files.h"
#include "common/win32/wide_text.h"

#include <cwchar>

namespace mossgate {

namespace {

constexpr int MAX_OWN_LEVELS = 8;
// Far above anything the program puts in its folders; only a folder that somebody
// keeps filling while the walk runs comes near them.
constexpr size_t WALK_ENTRY_LIMIT = 10000;
constexpr int WALK_DEPTH_LIMIT = 64;

bool HasAttribute(DWORD attributes, DWORD attribute) {
    return (attributes & attribute) != 0;
}

bool IsPlainFolder(DWORD attributes) {
    return HasAttribute(attributes, FILE_ATTRIBUTE_DIRECTORY) &&
           !HasAttribute(attributes, FILE_ATTRIBUTE_REPARSE_POINT);
}

// The path split into its base and its last `levels` components, in place: the
// separators before the components become terminators.
struct SplitPath {
    wchar_t text[PATH_UNITS];
    const wchar_t* components[MAX_OWN_LEVELS];
};

bool SplitLastComponents(const char* path, int levels, SplitPath& split) {
    if (path == nullptr || levels < 1 || levels > MAX_OWN_LEVELS ||
        !AnsiToWide(path, split.text, PATH_UNITS)) {
        return false;
    }
    size_t end = wcslen(split.text);
    while (end > 0 && split.text[end - 1] == L'\\') {
        split.text[--end] = L'\0';
    }
    for (int level = levels - 1; level >= 0; --level) {
        wchar_t* separator = wcsrchr(split.text, L'\\');
        if (separator == nullptr || separator[1] == L'\0') {
            return false;
        }
        split.components[level] = separator + 1;
        *separator = L'\0';
    }
    return split.text[0] != L'\0';
}

bool OpenBase(const wchar_t* path, UniqueHandle& out) {
    // "C:" alone names that drive's current folder, not its root.
    wchar_t root[] = L"?:\\";
    if (wcslen(path) == 2 && path[1] == L':') {
        root[0] = path[0];
        path = root;
    }
    out.Reset(CreateFileW(path,
                          FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE |
                              FILE_ADD_SUBDIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    DWORD attributes = 0;
    return out.Valid() && QueryHandleAttributes(out.Get(), attributes) &&
           HasAttribute(attributes, FILE_ATTRIBUTE_DIRECTORY);
}

// The folder opened is a plain folder, and the one that its parent lists under its
// name (by file index): neither a link opened as itself nor a folder reached
// through a link swapped in after the listing.
bool IsListedPlainFolder(HANDLE folder, const FolderEntry& listed) {
    DWORD attributes = 0;
    uint64_t fileId = 0;
    return QueryHandleAttributes(folder, attributes) && IsPlainFolder(attributes) &&
           IsPlainFolder(listed.attributes) && QueryFileId(folder, fileId) &&
           fileId == listed.fileId;
}

bool OpenLevel(HANDLE parent, const wchar_t* name, LinkRule rule, Missing missing,
               UniqueHandle& child, bool& isLink) {
    const Disposition disposition =
        missing == Missing::Create ? Disposition::OpenOrCreate : Disposition::OpenExisting;
    const bool follow = rule == LinkRule::Follow;
    FolderEntry listed;
    if (OpenFolderToWorkIn(parent, name, disposition, follow, child) < 0 ||
        !FindFolderEntry(parent, name, listed)) {
        return false;
    }
    isLink = HasAttribute(listed.attributes, FILE_ATTRIBUTE_REPARSE_POINT);
    return follow || IsListedPlainFolder(child.Get(), listed);
}

bool IsLink(DWORD attributes) {
    return HasAttribute(attributes, FILE_ATTRIBUTE_REPARSE_POINT);
}

bool IsDotName(const FolderEntry& entry) {
    return entry.name[0] == L'.';
}

bool IsSelfOrParent(const FolderEntry& entry) {
    return wcscmp(entry.name, L".") == 0 || wcscmp(entry.name, L"..") == 0;
}

bool IsGone(NtStatus status) {
    return status == STATUS_NAME_MISSING || status == STATUS_PATH_MISSING;
}

// The worse of two ends, for a folder and what is in it.
Removal Worse(Removal first, Removal second) {
    return static_cast<int>(first) > static_cast<int>(second) ? first : second;
}

// Whether the entry opened is the one its folder holds under `name`, by the names
// the system gives both handles. Wine opens a link to a file as the file it leads
// to and flags it nowhere, neither in the listing nor on the handle; the handle's
// name is then that file's.
bool IsEntryItself(HANDLE folder, const wchar_t* name, HANDLE entry) {
    wchar_t folderName[JOINED_PATH_UNITS];
    wchar_t entryName[JOINED_PATH_UNITS];
    if (!QueryHandleName(folder, folderName, JOINED_PATH_UNITS) ||
        !QueryHandleName(entry, entryName, JOINED_PATH_UNITS)) {
        return false;
    }
    size_t cchFolder = wcslen(folderName);
    // A drive's root ends in its separator already.
    if (cchFolder > 0 && folderName[cchFolder - 1] == L'\\') {
        --cchFolder;
    }
    return _wcsnicmp(entryName, folderName, cchFolder) == 0 && entryName[cchFolder] == L'\\' &&
           _wcsicmp(entryName + cchFolder + 1, name) == 0;
}

// Read-only refuses a deletion; hidden and system go the same way, as they do for
// a user's own deletion. False only when the attributes could not be changed.
bool Unprotect(HANDLE handle, DWORD attributes) {
    constexpr DWORD PROTECTIVE =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return !HasAttribute(attributes, PROTECTIVE) ||
           SetHandleAttributes(handle, FILE_ATTRIBUTE_NORMAL);
}

enum class FileOutcome {
    Deleted,     // or it was not there
    NotOurs,     // a link: left alone
    Undeletable, // a file of its own that cannot go now (held, running)
    Unknown,     // what it is could not be asked
};

// A link is passed over, never deleted: it is not the program's to remove. The
// file is opened as itself, so a link swapped in after the listing is seen on the
// handle (Windows flags it there); where the handle is of what the link leads to
// (Wine), its name tells. A file held without delete sharing is still opened, only
// to ask what it is.
FileOutcome DeleteFileEntry(HANDLE folder, const wchar_t* name) {
    UniqueHandle file;
    NtStatus status = OpenFileForDeletion(folder, name, file);
    const bool toDelete = status >= 0;
    if (!toDelete && !IsGone(status)) {
        status = OpenToInspect(folder, name, file);
    }
    if (IsGone(status)) {
        return FileOutcome::Deleted;
    }
    DWORD attributes = 0;
    if (status < 0 || !QueryHandleAttributes(file.Get(), attributes)) {
        return FileOutcome::Unknown;
    }
    if (IsLink(attributes) || !IsEntryItself(folder, name, file.Get())) {
        return FileOutcome::NotOurs;
    }
    return toDelete && Unprotect(file.Get(), attributes) && MarkForDeletion(file.Get())
               ? FileOutcome::Deleted
               : FileOutcome::Undeletable;
}

// A walk's state: what it may still look at, what becomes of leftovers, and the
// path of what it looks at, to plan a deletion under. A path that would not fit is
// not written: nothing below it can be planned.
struct Walk {
    Leftovers leftovers;
    size_t entriesLeft = WALK_ENTRY_LIMIT;
    wchar_t path[JOINED_PATH_UNITS] = L"";
    size_t cchPath = 0;
    int levelsNotWritten = 0;
};

void StartWalk(Walk& walk, const wchar_t* folder) {
    if (CopyWideText(walk.path, JOINED_PATH_UNITS, folder)) {
        walk.cchPath = wcslen(walk.path);
    } else {
        walk.levelsNotWritten = 1;
    }
}

// The walk's path goes one entry down, and back up.
bool EnterEntry(Walk& walk, const wchar_t* name) {
    const size_t cchName = wcslen(name);
    if (walk.levelsNotWritten > 0 || cchName + 1 >= JOINED_PATH_UNITS - walk.cchPath) {
        ++walk.levelsNotWritten;
        return false;
    }
    walk.path[walk.cchPath] = L'\\';
    wmemcpy(walk.path + walk.cchPath + 1, name, cchName + 1);
    walk.cchPath += cchName + 1;
    return true;
}

void LeaveEntry(Walk& walk, bool entered, size_t cchBefore) {
    if (!entered) {
        --walk.levelsNotWritten;
        return;
    }
    walk.cchPath = cchBefore;
    walk.path[cchBefore] = L'\0';
}

// What cannot go now goes at the restart, where that is safe.
Removal PlanLeftover(const Walk& walk) {
    return walk.leftovers == Leftovers::GoAtRestart && walk.levelsNotWritten == 0 &&
                   PlanDeletionAtRestart(walk.path)
               ? Removal::AtRestart
               : Removal::Stays;
}

Removal RemoveFile(HANDLE folder, const wchar_t* name, const Walk& walk) {
    switch (DeleteFileEntry(folder, name)) {
    case FileOutcome::Deleted:
        return Removal::Gone;
    case FileOutcome::NotOurs:
        return Removal::NotOurs;
    case FileOutcome::Undeletable:
        return PlanLeftover(walk);
    case FileOutcome::Unknown:
        break;
    }
    return Removal::Stays;
}

// A walked folder goes now when everything in it went, at the restart when what is
// left in it goes then too, and stays with whatever is not the program's.
Removal FinishFolder(HANDLE folder, bool toDelete, Removal contents, const Walk& walk) {
    if (contents == Removal::NotOurs || contents == Removal::Stays) {
        return contents;
    }
    DWORD attributes = 0;
    if (contents == Removal::Gone && toDelete && QueryHandleAttributes(folder, attributes) &&
        Unprotect(folder, attributes) && MarkForDeletion(folder)) {
        return Removal::Gone;
    }
    return PlanLeftover(walk);
}

// Opened to be deleted, or failing that (somebody's current folder, held without
// delete sharing) only to be worked in, and planned.
NtStatus OpenFolderToEmpty(HANDLE parent, const wchar_t* name, UniqueHandle& folder,
                           bool& toDelete) {
    const NtStatus status = OpenFolderToRemove(parent, name, folder);
    toDelete = status >= 0;
    if (toDelete || IsGone(status)) {
        return status;
    }
    return OpenFolderToWorkIn(parent, name, Disposition::OpenExisting, false, folder);
}

Removal RemoveContents(HANDLE folder, Walk& walk, int depth, const wchar_t* last);

Removal RemoveSubfolder(HANDLE folder, const FolderEntry& entry, Walk& walk, int depth) {
    UniqueHandle child;
    bool toDelete = false;
    const NtStatus status = OpenFolderToEmpty(folder, entry.name, child, toDelete);
    if (IsGone(status)) {
        return Removal::Gone;
    }
    if (status < 0 || !IsListedPlainFolder(child.Get(), entry) || depth >= WALK_DEPTH_LIMIT) {
        return Removal::Stays;
    }
    const Removal contents = RemoveContents(child.Get(), walk, depth + 1, nullptr);
    return FinishFolder(child.Get(), toDelete, contents, walk);
}

Removal RemoveListed(HANDLE folder, const FolderEntry& entry, Walk& walk, int depth) {
    const bool isFolder = HasAttribute(entry.attributes, FILE_ATTRIBUTE_DIRECTORY);
    if (IsLink(entry.attributes) || (isFolder && IsDotName(entry))) {
        return Removal::NotOurs;
    }
    return isFolder ? RemoveSubfolder(folder, entry, walk, depth)
                    : RemoveFile(folder, entry.name, walk);
}

Removal RemoveEntry(HANDLE folder, const FolderEntry& entry, Walk& walk, int depth) {
    const size_t cchBefore = walk.cchPath;
    const bool entered = EnterEntry(walk, entry.name);
    const Removal removal = RemoveListed(folder, entry, walk, depth);
    LeaveEntry(walk, entered, cchBefore);
    return removal;
}

// Every entry once, `last` (when listed) after all the others and only while
// nothing else of the program's stays; past anything that stays, up to the walk's
// bound.
Removal RemoveContents(HANDLE folder, Walk& walk, int depth, const wchar_t* last) {
    FolderListing listing(folder);
    FolderEntry entry;
    FolderEntry lastEntry;
    bool lastListed = false;
    Removal removal = Removal::Gone;
    while (listing.Next(entry)) {
        if (IsSelfOrParent(entry)) {
            continue;
        }
        if (walk.entriesLeft == 0) {
            return Removal::Stays;
        }
        --walk.entriesLeft;
        if (last != nullptr && _wcsicmp(entry.name, last) == 0) {
            lastEntry = entry;
            lastListed = true;
        } else {
            removal = Worse(removal, RemoveEntry(folder, entry, walk, depth));
        }
    }
    if (lastListed) {
        removal = removal == Removal::Stays
                      ? removal
                      : Worse(removal, RemoveEntry(folder, lastEntry, walk, depth));
    }
    return removal;
}

bool WriteAll(HANDLE file, const void* bytes, size_t cbBytes) {
    DWORD written = 0;
    return cbBytes <= MAXDWORD &&
           WriteFile(file, bytes, static_cast<DWORD>(cbBytes), &written, nullptr) &&
           written == cbBytes;
}

} // namespace

bool OpenOwnFolder(const char* path, int ownLevels, LinkRule rule, Missing missing,
                   OwnFolder& out) {
    out.handle.Reset();
    out.isLink = false;
    SplitPath split;
    if (!SplitLastComponents(path, ownLevels, split) ||
        !AnsiToWide(path, out.path, sizeof(out.path) / sizeof(out.path[0]))) {
        return false;
    }
    for (size_t end = wcslen(out.path); end > 0 && out.path[end - 1] == L'\\'; --end) {
        out.path[end - 1] = L'\0';
    }
    if (missing == Missing::Create) {
        char base[PATH_UNITS];
        // A drive root cannot be made, and need not be.
        if (wcslen(split.text) > 3 && WideToAnsiExactly(split.text, base, sizeof(base))) {
            CreateFolderPath(base);
        }
    }
    UniqueHandle parent;
    if (!OpenBase(split.text, parent)) {
        return false;
    }
    for (int level = 0; level < ownLevels; ++level) {
        UniqueHandle child;
        bool isLink = false;
        if (!OpenLevel(parent.Get(), split.components[level], rule, missing, child, isLink)) {
            return false;
        }
        if (level + 1 == ownLevels) {
            out.isLink = isLink;
            out.parent.Reset(parent.Release());
            out.handle.Reset(child.Release());
        } else {
            parent.Reset(child.Release());
        }
    }
    if (!CopyWideText(out.name, sizeof(out.name) / sizeof(out.name[0]),
                      split.components[ownLevels - 1])) {
        out.handle.Reset();
        return false;
    }
    return QueryFileId(out.handle.Get(), out.fileId);
}

bool ReplaceFileInFolder(HANDLE folder, const wchar_t* name, const void* bytes, size_t cbBytes) {
    // A second try covers a name taken again between the deletion and the creation.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (DeleteFileEntry(folder, name) == FileOutcome::NotOurs) {
            return false;
        }
        UniqueHandle file;
        const NtStatus status = CreateNewFileForWriting(folder, name, file);
        if (status == STATUS_NAME_TAKEN) {
            continue;
        }
        if (status < 0) {
            return false;
        }
        if (WriteAll(file.Get(), bytes, cbBytes)) {
            return true;
        }
        MarkForDeletion(file.Get());
        return false;
    }
    return false;
}

Removal RemoveFileInFolder(const OwnFolder& folder, const wchar_t* name, Leftovers leftovers) {
    Walk walk;
    walk.leftovers = leftovers;
    StartWalk(walk, folder.path);
    const size_t cchBefore = walk.cchPath;
    const bool entered = EnterEntry(walk, name);
    const Removal removal = RemoveFile(folder.handle.Get(), name, walk);
    LeaveEntry(walk, entered, cchBefore);
    return removal;
}

Removal RemoveFolderContents(const OwnFolder& folder, Leftovers leftovers) {
    Walk walk;
    walk.leftovers = leftovers;
    StartWalk(walk, folder.path);
    return RemoveContents(folder.handle.Get(), walk, 0, nullptr);
}

Removal RemoveOpenedFolder(OwnFolder& folder, Leftovers leftovers, const wchar_t* last) {
    Walk walk;
    walk.leftovers = leftovers;
    StartWalk(walk, folder.path);
    const Removal contents = RemoveContents(folder.handle.Get(), walk, 0, last);
    // Held to work in, the folder cannot be deleted through its own handle: it is
    // opened again, by its name in its parent, and only when that still leads to
    // the very folder that was emptied. A followed link stays, emptied.
    folder.handle.Reset();
    if (folder.isLink || contents == Removal::NotOurs || contents == Removal::Stays) {
        return contents;
    }
    UniqueHandle again;
    bool toDelete = false;
    const NtStatus status = OpenFolderToEmpty(folder.parent.Get(), folder.name, again, toDelete);
    DWORD attributes = 0;
    uint64_t fileId = 0;
    if (IsGone(status)) {
        return Removal::Gone;
    }
    if (status < 0 || !QueryHandleAttributes(again.Get(), attributes) ||
        !IsPlainFolder(attributes) || !QueryFileId(again.Get(), fileId) ||
        fileId != folder.fileId) {
        return Removal::Stays;
    }
    return FinishFolder(again.Get(), toDelete, contents, walk);
}

void RemoveOwnFolder(const char* path, int ownLevels, LinkRule rule) {
    OwnFolder own;
    if (OpenOwnFolder(path, ownLevels, rule, Missing::Fail, own)) {
        RemoveOpenedFolder(own, Leftovers::Stay);
    }
}

} // namespace mossgate
