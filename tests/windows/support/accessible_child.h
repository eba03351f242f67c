// The VARIANT that names one child of an accessible object, as clients pass it.
#pragma once

#include <oleauto.h>
#include <windows.h>

namespace mossgate::testing {

inline VARIANT Child(LONG id) {
    VARIANT child;
    VariantInit(&child);
    V_VT(&child) = VT_I4;
    V_I4(&child) = id;
    return child;
}

} // namespace mossgate::testing
