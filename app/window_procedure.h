#pragma once

#include <windows.h>

namespace mossgate {

LRESULT CALLBACK MainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace mossgate
