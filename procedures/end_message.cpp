#include "procedures/end_message.h"

#include "common/portable/bounded_text.h"

namespace mossgate {

void ReportFailure(SetupContextRecord& context, const char* text) {
    CopyTextTruncating(context.errorText, sizeof(context.errorText), text);
    PostProcedureEnd(context, END_FAILED);
}

int FailWith(SetupContextRecord& context, const char* text, int result) {
    ReportFailure(context, text);
    return result;
}

void PostProcedureEnd(const SetupContextRecord& context, LPARAM end) {
    PostMessageA(context.mainWindow, WM_COMMAND, CMD_PROCEDURE_END, end);
}

} // namespace mossgate
