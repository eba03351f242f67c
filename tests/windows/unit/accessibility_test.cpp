// A silent run makes no accessible object and loads no OLEACC. In-process: a silent
// run's window thread is inside its procedure almost from the start, so another
// process could hardly ever ask it.
#include "app/accessibility.h"
#include "app/setup_context.h"
#include "common/win32/holders.h"
#include "common/win32/system_library.h"
#include "tests/windows/support/accessible_child.h"

#include <gtest/gtest.h>

#include <oleacc.h>

namespace {

using mossgate::testing::Child;

// What a client gets for a missing out-parameter or a child that does not exist:
// an error, never a write through null. OLEACC is loaded only now, by name, so
// that the silent run's check above sees it unloaded.
void ExpectErrorsForBadArguments(LRESULT answer) {
    using ObjectFromLresultFunction = HRESULT(WINAPI*)(LRESULT, REFIID, WPARAM, void**);
    const mossgate::UniqueModule oleacc(mossgate::LoadSystemLibrary("oleacc.dll"));
    const auto objectFromLresult =
        mossgate::FindExport<ObjectFromLresultFunction>(oleacc.Get(), "ObjectFromLresult");
    ASSERT_NE(objectFromLresult, nullptr);
    mossgate::ComPointer<IAccessible> object;
    ASSERT_EQ(objectFromLresult(answer, __uuidof(IAccessible), 0, object.Receive()), S_OK);

    UINT types = 9;
    EXPECT_EQ(object->GetTypeInfoCount(nullptr), E_POINTER);
    EXPECT_EQ(object->GetTypeInfoCount(&types), S_OK);
    EXPECT_EQ(types, 0u);
    LONG count = 0;
    EXPECT_EQ(object->get_accChildCount(nullptr), E_POINTER);
    EXPECT_EQ(object->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 4) << "the label, two status lines, the button";
    EXPECT_EQ(object->get_accChild(Child(1), nullptr), E_POINTER);
    BSTR text = nullptr;
    for (const LONG missing : {-1L, 5L, 99L}) {
        EXPECT_EQ(object->get_accName(Child(missing), &text), E_INVALIDARG) << missing;
    }
    EXPECT_EQ(object->get_accName(Child(4), nullptr), E_POINTER);
    LONG x = 0, y = 0, width = 0, height = 0;
    EXPECT_EQ(object->accLocation(nullptr, &y, &width, &height, Child(4)), E_POINTER);
    EXPECT_EQ(object->accLocation(&x, &y, &width, &height, Child(99)), E_INVALIDARG);
    EXPECT_EQ(object->accNavigate(NAVDIR_NEXT, Child(1), nullptr), E_POINTER);
    EXPECT_EQ(object->accHitTest(0, 0, nullptr), E_POINTER);
}

TEST(AccessibleObject, NoneInASilentRunOneForAWindowThatShows) {
    const mossgate::ComApartment com;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    silentMode = 1;
    EXPECT_EQ(mossgate::AnswerGetObject(window, 0, OBJID_CLIENT), 0);
    EXPECT_EQ(GetModuleHandleA("OLEACC.DLL"), nullptr);
    silentMode = 0;
    const LRESULT answer = mossgate::AnswerGetObject(window, 0, OBJID_CLIENT);
    EXPECT_GT(answer, 0);
    ExpectErrorsForBadArguments(answer);
    mossgate::ReleaseAccessibleObject();
    DestroyWindow(window);
}

} // namespace
