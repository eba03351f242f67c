// Where the elevated program may act, by the rule of env/portable/place_rule.h
// applied to this machine's folders. The program writes, extracts, loads and
// starts its programs only where administrators alone can write; in such places a
// link or a mounted volume is the administrators' and followed as the folder it
// stands for, never removed. Where an ordinary user can write (their Start menu) it
// only makes and removes its own shortcuts and folders, never through a link.
#pragma once

#include "common/win32/folder_handles.h"
#include "env/portable/place_rule.h"

namespace mossgate {

// The owner of an ANSI folder path, from this machine's user and system folders;
// OrdinaryUsers when the path cannot be read.
PlaceOwner OwnerOfFolder(const char* folder);

// How links at the program's own folder levels are taken in a place of that owner.
LinkRule LinkRuleIn(PlaceOwner owner);

// What a removal does there with what it cannot delete now.
Leftovers LeftoversIn(PlaceOwner owner);

} // namespace mossgate
