// How a procedure reports its end to the window: one posted CMD_PROCEDURE_END.
#pragma once

#include "app/messages.h"
#include "app/setup_context.h"

namespace mossgate {

// Copies text into context.errorText (whole previous content replaced), then posts
// CMD_PROCEDURE_END with END_FAILED to context.mainWindow.
void ReportFailure(SetupContextRecord& context, const char* text);

// ReportFailure, then the procedure's result for the caller to return.
int FailWith(SetupContextRecord& context, const char* text, int result);

void PostProcedureEnd(const SetupContextRecord& context, LPARAM end);

} // namespace mossgate
