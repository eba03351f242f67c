// The window's private messages: WM_COMMAND with these identifiers. The procedures
// post CMD_PROCEDURE_END; the window posts CMD_COMMAND_LINE_RUN to itself, and its
// accessible button's default action posts CMD_PRESS_BUTTON.
#pragma once

#include <windows.h>

namespace mossgate {

constexpr WORD CMD_PROCEDURE_END = 180;
constexpr LPARAM END_FAILED = 127;
constexpr LPARAM END_INSTALLED = 128;
constexpr WORD CMD_COMMAND_LINE_RUN = 165;
constexpr LPARAM COMMAND_LINE_RUN_PARAMETER = 101;
constexpr WORD CMD_PRESS_BUTTON = 166;

} // namespace mossgate
