// The program's own folders opened once and worked in through their handles: made,
// written, walked and removed relative to a handle, so that a folder swapped for a
// link after its check cannot send the work elsewhere. The folders a system call
// names (Program Files, a Programs folder) are opened as the system resolves them;
// the program's own levels below them are opened one by one, each relative to the
// handle of the one above.
#pragma once

#include "common/portable/path_text.h"
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
    // The path it was opened by, which the system's folders give: the names under
    // which what a removal leaves is planned for deletion at the restart.
    wchar_t path[PATH_UNITS] = L"";
};

// What a removal does with an entry of its own that it cannot delete now (held
// open, a running program, somebody's current folder).
enum class Leftovers {
    // Left: where an ordinary user can write, the restart (which deletes by path,
    // with the system's rights) would follow any link put on the path by then.
    Stay,
    // Planned for deletion at the next restart, after what is in it.
    GoAtRestart,
};

// How a removal ended for an entry, or for a folder with everything in it; each
// worse than the one before.
enum class Removal {
    Gone,      // deleted now, or it was not there
    AtRestart, // it, or what is left of it, goes at the next restart
    NotOurs,   // kept: it is, or holds, a link or a folder whose name begins with "."
    Stays,     // something could be neither deleted nor planned
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

// Deletes the file `name` in the opened folder, its read-only, hidden and system
// attributes cleared first, or else deals with it as `leftovers` says. A link is
// left alone (NotOurs).
Removal RemoveFileInFolder(const OwnFolder& folder, const wchar_t* name, Leftovers leftovers);

// Removes the folder's files and subfolders, each as RemoveFileInFolder does a
// file, going on past what stays: subfolders whose name begins with "." are passed
// over (so their parent stays), links are neither entered nor removed (nor what
// they lead to), and a subfolder goes (now or at the restart) when what is in it
// goes. The walk looks at no more than a fixed number of entries and levels in
// all, so it ends even while somebody keeps adding entries. The folder itself
// stays. The worst end of any entry.
Removal RemoveFolderContents(const OwnFolder& folder, Leftovers leftovers);

// Removes an opened own folder with its contents, then closes it; a followed link
// is emptied but stays. The file named `last` (may be null) goes after everything
// else in the folder, and only when nothing else stays. The folder stays too when
// anything is left in it, or when its name there no longer leads to it.
Removal RemoveOpenedFolder(OwnFolder& folder, Leftovers leftovers, const wchar_t* last = nullptr);

// Opens the own folder, then removes it so, leaving what cannot go now; nothing is
// done when it cannot be opened under the rule.
void RemoveOwnFolder(const char* path, int ownLevels, LinkRule rule);

} // namespace mossgate
