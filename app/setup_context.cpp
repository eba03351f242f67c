#include "app/setup_context.h"

#include <cstring>

mossgate::SetupContextRecord SetupContext;

namespace mossgate {

void ZeroSetupContext(SetupContextRecord& context) {
    // Every member is a plain value or a lock-free atomic whose zero bytes mean 0.
    std::memset(static_cast<void*>(&context), 0, sizeof(context));
}

} // namespace mossgate
