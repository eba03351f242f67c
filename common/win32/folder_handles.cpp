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

enum class Outcome { Removed, PassedOver, Failed };

struct WalkBudget {
    size_t entriesLeft = WALK_ENTRY_LIMIT;
};

bool RemoveContents(HANDLE folder, WalkBudget& budget, int depth);

bool IsDotName(const FolderEntry& entry) {
    return entry.name[0] == L'.';
}

bool IsSelfOrParent(const FolderEntry& entry) {
    return wcscmp(entry.name, L".") == 0 || wcscmp(entry.name, L"..") == 0;
}

bool IsGone(NtStatus status) {
    return status == STATUS_NAME_MISSING || status == STATUS_PATH_MISSING;
}

Outcome RemoveSubfolder(HANDLE folder, const FolderEntry& entry, WalkBudget& budget, int depth) {
    UniqueHandle child;
    const NtStatus status = OpenFolderToRemove(folder, entry.name, child);
    if (IsGone(status)) {
        return Outcome::Removed;
    }
    if (status < 0 || !IsListedPlainFolder(child.Get(), entry) || depth >= WALK_DEPTH_LIMIT) {
        return Outcome::Failed;
    }
    RemoveContents(child.Get(), budget, depth + 1);
    // Refused while anything is left in it.
    return MarkForDeletion(child.Get()) ? Outcome::Removed : Outcome::Failed;
}

bool IsLink(DWORD attributes) {
    return HasAttribute(attributes, FILE_ATTRIBUTE_REPARSE_POINT);
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

// A link is passed over, never deleted: it is not the program's to remove. The
// file is opened as itself, so a link swapped in after the listing is seen on the
// handle (Windows flags it there); where the handle is of what the link leads to
// (Wine), its name tells.
Outcome DeleteFileEntry(HANDLE folder, const wchar_t* name) {
    UniqueHandle file;
    const NtStatus status = OpenFileForDeletion(folder, name, file);
    if (IsGone(status)) {
        return Outcome::Removed;
    }
    DWORD attributes = 0;
    if (status < 0 || !QueryHandleAttributes(file.Get(), attributes)) {
        return Outcome::Failed;
    }
    if (IsLink(attributes) || !IsEntryItself(folder, name, file.Get())) {
        return Outcome::PassedOver;
    }
    return MarkForDeletion(file.Get()) ? Outcome::Removed : Outcome::Failed;
}

Outcome RemoveEntry(HANDLE folder, const FolderEntry& entry, WalkBudget& budget, int depth) {
    if (IsLink(entry.attributes)) {
        return Outcome::PassedOver;
    }
    if (HasAttribute(entry.attributes, FILE_ATTRIBUTE_DIRECTORY)) {
        return IsDotName(entry) ? Outcome::PassedOver
                                : RemoveSubfolder(folder, entry, budget, depth);
    }
    return DeleteFileEntry(folder, entry.name);
}

bool RemoveContents(HANDLE folder, WalkBudget& budget, int depth) {
    FolderListing listing(folder);
    FolderEntry entry;
    bool everything = true;
    while (listing.Next(entry)) {
        if (IsSelfOrParent(entry)) {
            continue;
        }
        if (budget.entriesLeft == 0) {
            return false;
        }
        --budget.entriesLeft;
        switch (RemoveEntry(folder, entry, budget, depth)) {
        case Outcome::Removed:
            break;
        case Outcome::PassedOver:
            everything = false;
            break;
        case Outcome::Failed:
            return false;
        }
    }
    return everything;
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
    if (!SplitLastComponents(path, ownLevels, split)) {
        return false;
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

bool DeleteFileInFolder(HANDLE folder, const wchar_t* name) {
    return DeleteFileEntry(folder, name) == Outcome::Removed;
}

bool ReplaceFileInFolder(HANDLE folder, const wchar_t* name, const void* bytes, size_t cbBytes) {
    // A second try covers a name taken again between the deletion and the creation.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (DeleteFileEntry(folder, name) == Outcome::PassedOver) {
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

bool RemoveFolderContents(HANDLE folder) {
    WalkBudget budget;
    return RemoveContents(folder, budget, 0);
}

void RemoveOpenedFolder(OwnFolder& folder) {
    RemoveFolderContents(folder.handle.Get());
    // Held to work in, the folder cannot be deleted through its own handle: it is
    // opened again, by its name in its parent, and only when that still leads to
    // the very folder that was emptied.
    folder.handle.Reset();
    UniqueHandle again;
    DWORD attributes = 0;
    uint64_t fileId = 0;
    if (!folder.isLink && OpenFolderToRemove(folder.parent.Get(), folder.name, again) >= 0 &&
        QueryHandleAttributes(again.Get(), attributes) && IsPlainFolder(attributes) &&
        QueryFileId(again.Get(), fileId) && fileId == folder.fileId) {
        MarkForDeletion(again.Get());
    }
}

void RemoveOwnFolder(const char* path, int ownLevels, LinkRule rule) {
    OwnFolder own;
    if (OpenOwnFolder(path, ownLevels, rule, Missing::Fail, own)) {
        RemoveOpenedFolder(own);
    }
}

} // namespace mossgate
