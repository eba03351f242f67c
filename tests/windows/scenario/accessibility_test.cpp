// The real program's window as a screen reader finds it from another process: its
// client area's object walked (roles, names, values, states, places), hit-tested,
// navigated and pressed, and its WinEvents caught by an out-of-context hook.
#include "app/messages.h"
#include "app/portable/window_layout.h"
#include "common/product_names.h"
#include "env/os_version.h"
#include "tests/windows/support/accessible_child.h"
#include "tests/windows/support/installed_state.h"
#include "tests/windows/support/test_process.h"

#include <gtest/gtest.h>

#include <ole2.h>
#include <oleacc.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace mossgate;
using namespace mossgate::testing;

constexpr LONG kNone = -1, kButton = 4, kStep = 5;
constexpr LONG kText = ROLE_SYSTEM_STATICTEXT, kReadOnly = STATE_SYSTEM_READONLY;

struct Element {
    LONG role;
    std::wstring name, value;
    LONG state;
    std::array<LONG, 4> place; // left, top, width, height in client coordinates
    bool operator==(const Element&) const = default;
};

void PrintTo(const Element& e, std::ostream* os) {
    *os << "\n{role " << e.role << ", " << ::testing::PrintToString(e.name) << ", "
        << ::testing::PrintToString(e.value) << ", state 0x" << std::hex << e.state << std::dec
        << ", " << ::testing::PrintToString(e.place) << "}";
}

struct Texts {
    const wchar_t *button, *line1, *line2;
};
constexpr Texts kInstall = {L"Install", L"Ready to install ? Click the button right there...",
                            L"it will install MOSSGATE Package on your system..."};
constexpr Texts kRemove = {L"Remove", L"The MOSSGATE Package is already installed...",
                           L"previous version has to be removed before installing new one..."};

// The layout's rectangles with the program's 900 x 424 picture.
std::vector<Element> Expected(const Texts& t, LONG buttonState, const wchar_t* step = nullptr) {
    const char* label = OsLabelText(ClassifyOperatingSystem());
    std::vector<Element> tree = {
        {kText,
         std::wstring(label, label + std::strlen(label)),
         L"",
         kReadOnly,
         {20, 390, 720, 34}},
        {kText, t.line1, L"", kReadOnly, {20, 454, 880, 70}},
        {kText, t.line2, L"", kReadOnly, {20, 474, 880, 50}},
        {ROLE_SYSTEM_PUSHBUTTON, t.button, L"", buttonState, {580, 444, 300, 60}},
    };
    if (step != nullptr) {
        tree.push_back({kText, step, step, kReadOnly, {580, 484, 300, 20}});
    }
    return tree;
}

std::vector<std::pair<DWORD, LONG>> events; // (event, child) on the watched client area
HWND watched = nullptr;

void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                     DWORD) {
    if (window == watched && object == OBJID_CLIENT) {
        events.emplace_back(event, child);
    }
}

size_t Seen(DWORD event, LONG child) {
    return std::count(events.begin(), events.end(), std::make_pair(event, child));
}

// Out-of-context hooks are called, and COM calls served, while this thread pumps.
template <typename Done> bool PumpUntil(Done done, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageA(&message);
            }
            return done();
        },
        timeoutMs);
}

HWND WaitForBox(const char* caption) {
    HWND box = nullptr;
    PumpUntil([&] { return (box = FindWindowA("#32770", caption)) != nullptr; }, 90000);
    return box;
}

using mossgate::testing::Child;

LONG Id(VARIANT& v) {
    const LONG id = V_VT(&v) == VT_I4 ? V_I4(&v) : kNone;
    VariantClear(&v);
    return id;
}

// The program started with its window, the window's client object from this
// process, and a hook on the program's events.
class Reader {
  public:
    explicit Reader(const char* arguments) {
        if (StartProgram(TwinPath(), arguments, program)) {
            window = WaitForProcessWindow(program.id, WINDOW_CLASS_NAME, 20000);
        }
        if (window == nullptr || !PumpUntil([&] { return IsWindowVisible(window); }, 20000)) {
            return;
        }
        watched = window;
        events.clear();
        hook_ = SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr, Record,
                                program.id, 0, WINEVENT_OUTOFCONTEXT);
        AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), object.Receive());
    }
    ~Reader() {
        UnhookWinEvent(hook_);
        if (program.process.Valid() && !WaitForExit(program, 0)) {
            TerminateProcess(program.process.Get(), 1); // a failed test leaves no copy running
        }
    }

    std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), LONG id) {
        BSTR text = nullptr;
        (object.Get()->*get)(Child(id), &text);
        std::wstring result = text != nullptr ? std::wstring(text, SysStringLen(text)) : L"";
        SysFreeString(text);
        return result;
    }
    LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), LONG id) {
        VARIANT number;
        VariantInit(&number);
        (object.Get()->*get)(Child(id), &number);
        return Id(number);
    }

    std::vector<Element> Tree() {
        POINT origin = {0, 0};
        ClientToScreen(window, &origin);
        LONG count = 0;
        object->get_accChildCount(&count);
        std::vector<Element> tree;
        for (LONG id = 1; id <= count; ++id) {
            LONG x = 0, y = 0, width = 0, height = 0;
            object->accLocation(&x, &y, &width, &height, Child(id));
            tree.push_back({Number(&IAccessible::get_accRole, id),
                            Text(&IAccessible::get_accName, id),
                            Text(&IAccessible::get_accValue, id),
                            Number(&IAccessible::get_accState, id),
                            {x - origin.x, y - origin.y, width, height}});
        }
        return tree;
    }

    // Points inside one element, or on top where elements overlap; one outside.
    void ExpectHitsAndNavigation(bool installing) {
        const LONG last = installing ? kStep : kButton;
        const struct {
            LONG x, y, child;
        } hits[] = {{30, 400, 1},     {30, 460, 2},           {30, 480, 3},   {600, 450, kButton},
                    {600, 490, last}, {30, 30, CHILDID_SELF}, {-3, -3, kNone}};
        for (const auto& hit : hits) {
            POINT point = {hit.x, hit.y};
            ClientToScreen(window, &point);
            VARIANT found;
            VariantInit(&found);
            object->accHitTest(point.x, point.y, &found);
            EXPECT_EQ(Id(found), hit.child) << "hit at " << hit.x << "," << hit.y;
        }
        const struct {
            LONG direction, from, to;
        } moves[] = {{NAVDIR_FIRSTCHILD, CHILDID_SELF, 1},
                     {NAVDIR_LASTCHILD, CHILDID_SELF, last},
                     {NAVDIR_NEXT, 1, 2},
                     {NAVDIR_PREVIOUS, 1, kNone},
                     {NAVDIR_NEXT, kButton, installing ? kStep : kNone},
                     {NAVDIR_DOWN, 1, kButton},
                     {NAVDIR_UP, kButton, 1}};
        for (const auto& move : moves) {
            VARIANT to;
            VariantInit(&to);
            object->accNavigate(move.direction, Child(move.from), &to);
            EXPECT_EQ(Id(to), move.to) << "direction " << move.direction << " from " << move.from;
        }
    }

    ComApartment com;
    ChildProcess program;
    HWND window = nullptr;
    ComPointer<IAccessible> object;

  private:
    HWINEVENTHOOK hook_ = nullptr;
};

TEST(AccessibleWindow, ReadyThenInstallingByTheDefaultActionThenItsEnd) {
    // Driver C's stand-in waits, then fails: the install stays at driver C long
    // enough to be read, and ends in the failure box (no link is opened).
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", "8000");
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_C", "-5");
    Reader reader("");
    SetChildEnvironment("MOSSGATE_STANDIN_WAIT_MS_C", nullptr);
    SetChildEnvironment("MOSSGATE_STANDIN_EXIT_C", nullptr);
    ASSERT_NE(reader.object.Get(), nullptr) << "no object from the window";
    RECT client = {};
    GetClientRect(reader.window, &client);
    ASSERT_EQ(std::make_pair(client.right, client.bottom), std::make_pair(900L, 524L));
    // A plain window of its own, in the taskbar and not kept on top: no extended
    // style but the frame edge the system gives every captioned window.
    EXPECT_EQ(GetWindowLongA(reader.window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE, 0);

    EXPECT_EQ(reader.Tree(), Expected(kInstall, STATE_SYSTEM_DEFAULT));
    reader.ExpectHitsAndNavigation(false);
    EXPECT_EQ(reader.Text(&IAccessible::get_accDefaultAction, kButton), L"Press");
    EXPECT_EQ(reader.object->accDoDefaultAction(Child(1)), DISP_E_MEMBERNOTFOUND);
    // The client area itself is the standard object's: the window's title, a parent.
    EXPECT_EQ(reader.Text(&IAccessible::get_accName, CHILDID_SELF),
              L"Kestrine MOSSGATE Package Installation (Version 2.1.5.2)");
    EXPECT_EQ(reader.Number(&IAccessible::get_accRole, CHILDID_SELF), ROLE_SYSTEM_CLIENT);
    ComPointer<IDispatch> parent;
    EXPECT_EQ(reader.object->get_accParent(reinterpret_cast<IDispatch**>(parent.Receive())), S_OK);

    ASSERT_EQ(reader.object->accDoDefaultAction(Child(kButton)), S_OK);
    EXPECT_TRUE(PumpUntil([] { return Seen(EVENT_OBJECT_STATECHANGE, kButton) == 1; }, 10000))
        << "the install's start was not announced";
    const wchar_t* step = L"Install Audio Driver C";
    ASSERT_TRUE(
        PumpUntil([&] { return reader.Text(&IAccessible::get_accValue, kStep) == step; }, 60000))
        << "the default action started no install";
    EXPECT_TRUE(PumpUntil(
        [] {
            return Seen(EVENT_OBJECT_NAMECHANGE, kStep) && Seen(EVENT_OBJECT_VALUECHANGE, kStep);
        },
        5000))
        << "the step text's change was not announced";
    EXPECT_EQ(reader.Tree(), Expected(kInstall, STATE_SYSTEM_UNAVAILABLE, step));
    reader.ExpectHitsAndNavigation(true);

    // Neither the default action nor the message it posts starts a second install,
    // which would begin with "Extract Package".
    EXPECT_EQ(reader.object->accDoDefaultAction(Child(kButton)), E_ACCESSDENIED);
    PostMessageA(reader.window, WM_COMMAND, CMD_PRESS_BUTTON, 0);
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(reader.Text(&IAccessible::get_accValue, kStep), step);

    // The end, announced while the failure box is open: the step text is gone and
    // the button stays unavailable behind the box.
    const HWND box = WaitForBox("MOSSGATE Installation Error");
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(PumpUntil([] { return Seen(EVENT_OBJECT_STATECHANGE, kButton) == 2; }, 10000))
        << "the install's end was not announced";
    EXPECT_EQ(reader.Tree(), Expected(kInstall, STATE_SYSTEM_UNAVAILABLE));
    EXPECT_EQ(reader.object->accDoDefaultAction(Child(kButton)), E_ACCESSDENIED);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForExit(reader.program, 30000), std::optional<int32_t>(0));
}

TEST(AccessibleWindow, RemoveStateThenUnavailableWhileTheRemovalRuns) {
    ASSERT_EQ(RunSetup(TwinPath(), "-h -i"), std::optional<int32_t>(0));
    Reader reader("");
    ASSERT_NE(reader.object.Get(), nullptr) << "no object from the window";
    EXPECT_EQ(reader.Tree(), Expected(kRemove, STATE_SYSTEM_DEFAULT));

    ASSERT_EQ(reader.object->accDoDefaultAction(Child(kButton)), S_OK);
    // The removal blocks the window thread, which serves calls again only in the
    // restart notice at its end; its start was announced before it blocked.
    EXPECT_TRUE(PumpUntil([] { return Seen(EVENT_OBJECT_STATECHANGE, kButton) == 1; }, 30000))
        << "the removal's start was not announced";
    const HWND box = WaitForBox("REBOOT YOUR SYSTEM");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(reader.Number(&IAccessible::get_accState, kButton), STATE_SYSTEM_UNAVAILABLE);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(WaitForExit(reader.program, 30000), std::optional<int32_t>(0));
    EXPECT_FALSE(UninstallKeyExists()) << "the default action removed nothing";
}

} // namespace
