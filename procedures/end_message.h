// How a procedure reports its end to the window: one posted WM_COMMAND.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

constexpr WORD CMD_PROCEDURE_END = 180;
constexpr LPARAM END_FAILED = 127;
constexpr LPARAM END_INSTALLED = 128;
constexpr WORD CMD_COMMAND_LINE_RUN = 165;
constexpr LPARAM COMMAND_LINE_RUN_PARAMETER = 101;

// Copies text into context.errorText (whole previous content replaced), then posts
// CMD_PROCEDURE_END with END_FAILED to context.mainWindow.
void ReportFailure(SetupContextRecord& context, const char* text);

void PostProcedureEnd(const SetupContextRecord& context, LPARAM end);

} // namespace mossgate
