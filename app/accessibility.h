// What a screen reader finds in the window, which draws everything itself: the
// client area's accessible object with one simple child for each thing drawn (the
// O/S label, the two status lines, the button and, while the install runs, the
// step text), and the WinEvents that announce their changes. Texts and places come
// from the layout that the drawing uses. Window thread only.
#pragma once

#include <windows.h>

namespace mossgate {

// WM_GETOBJECT: the client area's object for OBJID_CLIENT, made at the first ask
// (never in a silent run); anything else goes to the default window procedure.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// At WM_DESTROY: cuts the object off from its clients; none is made afterwards.
void ReleaseAccessibleObject();

// The button can act now: no procedure runs and no box of the window is open.
bool ButtonAvailable(HWND window);

// The removal runs on the window thread from now on; the window closes after it.
void AnnounceRemoval(HWND window);

// Raises the WinEvents for what changed since the last call: the button's state
// when a procedure starts or ends, the step text's name and value.
void AnnounceChanges(HWND window);

} // namespace mossgate
