// A window sized for the client area it must have.
#pragma once

#include <windows.h>

namespace mossgate {

// Sizes `window` so that its client area is exactly clientWidth x clientHeight,
// keeping its position, and shows it. The frame metrics give the size; where the
// window's frame differs from them (a menu, another border, a system's own frame),
// the difference is taken off in a second step.
void SizeWindowToClient(HWND window, int clientWidth, int clientHeight);

} // namespace mossgate
