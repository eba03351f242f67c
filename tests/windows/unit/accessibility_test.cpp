// A silent run makes no accessible object and loads no OLEACC. In-process: a silent
// run's window thread is inside its procedure almost from the start, so another
// process could hardly ever ask it.
#include "app/accessibility.h"
#include "app/setup_context.h"
#include "common/win32/holders.h"

#include <gtest/gtest.h>

namespace {

TEST(AccessibleObject, NoneInASilentRunOneForAWindowThatShows) {
    const mossgate::ComApartment com;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    silentMode = 1;
    EXPECT_EQ(mossgate::AnswerGetObject(window, 0, OBJID_CLIENT), 0);
    EXPECT_EQ(GetModuleHandleA("OLEACC.DLL"), nullptr);
    silentMode = 0;
    EXPECT_GT(mossgate::AnswerGetObject(window, 0, OBJID_CLIENT), 0);
    mossgate::ReleaseAccessibleObject();
    DestroyWindow(window);
}

} // namespace
