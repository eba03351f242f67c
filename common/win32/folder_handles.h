// The program's own folders opened once and worked in through their handles: made,
// written, walked and removed relative to a handle, so that a folder swapped for a
// link after its check cannot send the work elsewhere. The folders a system call
// names (Program Files, a Programs folder) are opened as the system resolves them;
// the program's own levels below them are opened one by one, each relative to the
// handle of the one above.
#pragma once

#include "common/win32/holders.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace mossgate {

// What a link at one of the program's own levels is: the administrators' choice
// (followed as the folder it stands for, never removed) or a user's (never
// followed: the level counts as missing).
enum class LinkRule { Follow, Refuse };

enum class Missing { Fail, Create };

struct OwnFolder {
    UniqueHandle handle;
    // The last level is a link (or a mounted volume) that was followed.
    bool isLink = false;
    // The level above the last one, the last one's name and file index there: to
    // remove the last level, which is opened again for that.
    UniqueHandle parent;
    wchar_t name[256] = L"";
    uint64_t fileId = 0;
};

// Opens the last `ownLevels` components of the ANSI path as described above. With
// Missing::Create every missing folder is made (those above the own levels through
// their path). With LinkRule::Refuse a level fails when it is a link, or when the
// folder opened is not the entry its parent lists under that name (something was
// swapped in between). False, out empty, when any level fails.
bool OpenOwnFolder(const char* path, int ownLevels, LinkRule rule, Missing missing, OwnFolder& out);

// Writes a new file `name` in the folder holding exactly these bytes. A file that
// stood under that name is deleted first; a link there stays, and nothing is
// written (neither through it nor instead of it). False when no file was made or
// not every byte was written.
bool ReplaceFileInFolder(HANDLE folder, const wchar_t* name, const void* bytes, size_t cbBytes);

// Deletes the file `name` in the folder; true when it is gone. A link is left alone.
bool DeleteFileInFolder(HANDLE folder, const wchar_t* name);

// Removes the folder's files and subfolders as far as it can: subfolders whose name
// begins with "." are passed over (so their parent stays), links are neither
// entered nor removed (nor what they lead to), and the first entry that cannot be
// removed ends the walk of
// its folder. The walk looks at no more than a fixed number of entries and levels
// in all, so it ends even while somebody keeps adding entries. The folder itself
// stays. True when every entry went.
bool RemoveFolderContents(HANDLE folder);

// Removes an opened own folder with its contents, then closes it; a followed link
// is emptied but stays. The folder stays too when anything is left in it, or when
// its name there no longer leads to it.
void RemoveOpenedFolder(OwnFolder& folder);

// Opens the own folder, then removes it so; nothing is done when it cannot be
// opened under the rule.
void RemoveOwnFolder(const char* path, int ownLevels, LinkRule rule);

} // namespace mossgate
