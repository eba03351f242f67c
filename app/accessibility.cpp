#include "app/accessibility.h"

#include "app/messages.h"
#include "app/portable/window_layout.h"
#include "app/setup_context.h"
#include "app/worker.h"
#include "common/win32/system_library.h"
#include "common/win32/wide_text.h"

#include <ole2.h>
#include <oleacc.h>

#include <climits>
#include <cstring>

namespace mossgate {

namespace {

// Defined here: MinGW's oleacc import library makes IID_IAccessible a code thunk.
constexpr IID UNKNOWN_INTERFACE = {
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID DISPATCH_INTERFACE = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID ACCESSIBLE_INTERFACE = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

using LresultFromObjectFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);
using CreateStdAccessibleObjectFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using SysAllocStringFunction = BSTR(WINAPI*)(const OLECHAR*);

// Children are numbered in the order the window draws them, so where they overlap
// the highest number lies on top.
enum Element : LONG { SELF = CHILDID_SELF, OS_LABEL, STATUS_LINE_1, STATUS_LINE_2, BUTTON, STEP };
constexpr LONG NO_ELEMENT = -1;
constexpr size_t STEP_BYTES = STEP_TEXT_MAX_CHARS + 1; // the step text as drawn

enum class Stage { NotMade, Live, Closed };

struct {
    Stage stage;
    LresultFromObjectFunction lresultFromObject;
    SysAllocStringFunction sysAllocString;
    bool removing;
    bool announcedBusy;
    char announcedStep[STEP_BYTES];
} state;

bool Busy() {
    return IsWorkerRunning(SetupContext) || state.removing;
}

LONG ChildCount() {
    return IsWorkerRunning(SetupContext) ? STEP : BUTTON;
}

Rectangle Place(LONG child) {
    const WindowLayout layout = LayoutFor(SetupContext.bitmapWidth, SetupContext.bitmapHeight);
    const Rectangle places[] = {layout.osLabel, layout.statusLine1, layout.statusLine2,
                                layout.button, layout.progressStep};
    return places[child - OS_LABEL];
}

// The child's text as the window draws it; the step text is copied into `step`.
const char* TextOf(LONG child, char (&step)[STEP_BYTES]) {
    const ActionTexts texts = TextsFor(SetupContext.driverInstalled);
    const char* const fixed[] = {OsLabelText(SetupContext.osCode), texts.line1, texts.line2,
                                 texts.button};
    if (child != STEP) {
        return fixed[child - OS_LABEL];
    }
    SnapshotStatusText(SetupContext, step, sizeof(step));
    return step;
}

HRESULT ReturnText(const char* text, BSTR* out) {
    wchar_t wide[STATUS_TEXT_BYTES];
    *out = AnsiToWide(text, wide, STATUS_TEXT_BYTES) ? state.sysAllocString(wide) : nullptr;
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The nearest child wholly beyond `from`'s edge in a screen direction; 0 when none.
LONG Beyond(LONG from, LONG direction) {
    const Rectangle a = Place(from);
    LONG nearest = 0;
    int32_t nearestGap = INT32_MAX;
    for (LONG child = OS_LABEL; child <= ChildCount(); ++child) {
        const Rectangle b = Place(child);
        const int32_t gaps[] = {a.top - b.bottom, b.top - a.bottom, a.left - b.right,
                                b.left - a.right};
        const int32_t gap = gaps[direction - NAVDIR_UP];
        if (child != from && gap >= 0 && gap < nearestGap) {
            nearest = child;
            nearestGap = gap;
        }
    }
    return nearest;
}

// The client area's object. What concerns the client area itself (CHILDID_SELF:
// its name, role, state, place, parent, focus) is the standard object's answer.
// One per process, never on the heap: it outlives every reference a client holds.
class ClientObject final : public IAccessible {
  public:
    void Connect(HWND window, IAccessible* standard) {
        window_ = window;
        standard_ = standard;
    }
    // Clients that still hold the object get errors from now on.
    void Disconnect() {
        window_ = nullptr;
        standard_->Release();
        standard_ = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        const bool known =
            iid == UNKNOWN_INTERFACE || iid == DISPATCH_INTERFACE || iid == ACCESSIBLE_INTERFACE;
        *out = known ? static_cast<IAccessible*>(this) : nullptr;
        if (!known) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&references_); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&references_); }

    // No type information: clients call the IAccessible methods directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) {
            return E_POINTER;
        }
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return window_ != nullptr ? standard_->get_accParent(parent) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        if (count == nullptr || window_ == nullptr) {
            return count == nullptr ? E_POINTER : E_FAIL;
        }
        *count = ChildCount();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT id, IDispatch** child) override {
        if (child == nullptr) {
            return E_POINTER;
        }
        *child = nullptr;
        // The children are simple elements without objects of their own.
        return ElementOf(id) > SELF ? S_FALSE : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accName);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accValue);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accDescription);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accHelp);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accKeyboardShortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT id, BSTR* out) override {
        return Text(id, out, &IAccessible::get_accDefaultAction);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT id, LONG* topic) override {
        const LONG child = ElementOf(id);
        if (child == SELF) {
            return standard_->get_accHelpTopic(file, id, topic);
        }
        if (file != nullptr) {
            *file = nullptr;
        }
        return child == NO_ELEMENT ? E_INVALIDARG : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT id, VARIANT* out) override {
        return Number(id, out, &IAccessible::get_accRole);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT id, VARIANT* out) override {
        return Number(id, out, &IAccessible::get_accState);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        return window_ != nullptr ? standard_->get_accFocus(out) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        return window_ != nullptr ? standard_->get_accSelection(out) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT id) override {
        const LONG child = ElementOf(id);
        return child == SELF         ? standard_->accSelect(flags, id)
               : child == NO_ELEMENT ? E_INVALIDARG
                                     : DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* width, LONG* height,
                                          VARIANT id) override {
        const LONG child = ElementOf(id);
        if (child == SELF) {
            return standard_->accLocation(x, y, width, height, id);
        }
        if (x == nullptr || y == nullptr || width == nullptr || height == nullptr) {
            return E_POINTER;
        }
        if (child == NO_ELEMENT) {
            return E_INVALIDARG;
        }
        const Rectangle place = Place(child);
        POINT corner = {place.left, place.top};
        ClientToScreen(window_, &corner);
        *x = corner.x;
        *y = corner.y;
        *width = place.right - place.left;
        *height = place.bottom - place.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        const LONG from = ElementOf(start);
        const bool toChild = direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD;
        if (from == SELF && !toChild) {
            return standard_->accNavigate(direction, start, end); // the window's siblings
        }
        if (end == nullptr) {
            return E_POINTER;
        }
        V_VT(end) = VT_EMPTY;
        if (from == NO_ELEMENT || (from != SELF && toChild) || direction < NAVDIR_UP ||
            direction > NAVDIR_LASTCHILD) {
            return E_INVALIDARG;
        }
        LONG to = direction == NAVDIR_NEXT ? from + 1 : from - 1;
        if (toChild) {
            to = direction == NAVDIR_FIRSTCHILD ? OS_LABEL : ChildCount();
        } else if (direction <= NAVDIR_RIGHT) {
            to = Beyond(from, direction);
        }
        return to >= OS_LABEL ? ReturnElement(to, end) : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* out) override {
        if (out == nullptr || window_ == nullptr) {
            return out == nullptr ? E_POINTER : E_FAIL;
        }
        V_VT(out) = VT_EMPTY;
        POINT point = {x, y};
        RECT client = {};
        ScreenToClient(window_, &point);
        GetClientRect(window_, &client);
        if (!PtInRect(&client, point)) {
            return S_FALSE;
        }
        LONG child = ChildCount();
        while (child > SELF && !Contains(Place(child), point)) {
            --child;
        }
        return ReturnElement(child, out);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT id) override {
        const LONG child = ElementOf(id);
        if (child == SELF) {
            return standard_->accDoDefaultAction(id);
        }
        if (child != BUTTON) {
            return child == NO_ELEMENT ? E_INVALIDARG : DISP_E_MEMBERNOTFOUND;
        }
        if (!ButtonAvailable(window_)) {
            return E_ACCESSDENIED;
        }
        // Posted, not run here: the action waits, and a removal blocks the window
        // thread until it ends; the client's call must not wait for that.
        return PostMessageA(window_, WM_COMMAND, CMD_PRESS_BUTTON, 0) ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

  private:
    using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
    using NumberGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, VARIANT*);

    // SELF, a child that exists now, or NO_ELEMENT (also once disconnected).
    LONG ElementOf(const VARIANT& id) const {
        const bool valid = window_ != nullptr && V_VT(&id) == VT_I4 && V_I4(&id) >= SELF &&
                           V_I4(&id) <= ChildCount();
        return valid ? V_I4(&id) : NO_ELEMENT;
    }

    static bool Contains(const Rectangle& r, POINT p) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    }

    static HRESULT ReturnElement(LONG child, VARIANT* out) {
        if (child < SELF || child > ChildCount()) {
            return S_FALSE;
        }
        V_VT(out) = VT_I4;
        V_I4(out) = child;
        return S_OK;
    }

    // A child's name is its text, the step text's value the same text; the button
    // alone has a default action. Nothing else has a text.
    HRESULT Text(const VARIANT& id, BSTR* out, TextGetter standard) {
        const LONG child = ElementOf(id);
        if (child == SELF) {
            return (standard_->*standard)(id, out);
        }
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (child == NO_ELEMENT) {
            return E_INVALIDARG;
        }
        char step[STEP_BYTES];
        if (standard == &IAccessible::get_accName ||
            (standard == &IAccessible::get_accValue && child == STEP)) {
            return ReturnText(TextOf(child, step), out);
        }
        if (standard == &IAccessible::get_accDefaultAction && child == BUTTON) {
            return ReturnText("Press", out);
        }
        return S_FALSE;
    }

    HRESULT Number(const VARIANT& id, VARIANT* out, NumberGetter standard) {
        const LONG child = ElementOf(id);
        if (child == SELF) {
            return (standard_->*standard)(id, out);
        }
        if (out == nullptr) {
            return E_POINTER;
        }
        V_VT(out) = VT_EMPTY;
        if (child == NO_ELEMENT) {
            return E_INVALIDARG;
        }
        LONG value = child == BUTTON ? ROLE_SYSTEM_PUSHBUTTON : ROLE_SYSTEM_STATICTEXT;
        if (standard == &IAccessible::get_accState) {
            value = child != BUTTON            ? STATE_SYSTEM_READONLY
                    : ButtonAvailable(window_) ? STATE_SYSTEM_DEFAULT
                                               : STATE_SYSTEM_UNAVAILABLE;
        }
        V_VT(out) = VT_I4;
        V_I4(out) = value;
        return S_OK;
    }

    LONG references_ = 0;
    HWND window_ = nullptr;
    IAccessible* standard_ = nullptr;
};

ClientObject clientObject;

// OLEAUT32 first, by its full path, so that OLEACC's import of it finds the system
// copy loaded. Both stay loaded: the standard object and the proxies live there.
bool Connect(HWND window) {
    LoadSystemLibrary("OLEAUT32.DLL");
    LoadSystemLibrary("OLEACC.DLL");
    state.sysAllocString =
        FindLoadedExport<SysAllocStringFunction>("OLEAUT32.DLL", "SysAllocString");
    state.lresultFromObject =
        FindLoadedExport<LresultFromObjectFunction>("OLEACC.DLL", "LresultFromObject");
    const auto createStandard = FindLoadedExport<CreateStdAccessibleObjectFunction>(
        "OLEACC.DLL", "CreateStdAccessibleObject");
    IAccessible* standard = nullptr;
    if (state.sysAllocString == nullptr || state.lresultFromObject == nullptr ||
        createStandard == nullptr ||
        FAILED(createStandard(window, OBJID_CLIENT, ACCESSIBLE_INTERFACE,
                              reinterpret_cast<void**>(&standard)))) {
        return false;
    }
    clientObject.Connect(window, standard);
    return true;
}

} // namespace

LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
    // The object identifier arrives sign-extended from some callers, not from others.
    if (silentMode == 0 && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (state.stage == Stage::NotMade) {
            state.stage = Connect(window) ? Stage::Live : Stage::Closed;
        }
        if (state.stage == Stage::Live) {
            return state.lresultFromObject(ACCESSIBLE_INTERFACE, wParam, &clientObject);
        }
    }
    return DefWindowProcA(window, WM_GETOBJECT, wParam, lParam);
}

void ReleaseAccessibleObject() {
    if (state.stage == Stage::Live) {
        clientObject.Disconnect();
        CoDisconnectObject(&clientObject, 0);
    }
    state.stage = Stage::Closed;
}

bool ButtonAvailable(HWND window) {
    // A box the window owns disables it: no click reaches the button then.
    return !Busy() && IsWindowEnabled(window);
}

void AnnounceRemoval(HWND window) {
    state.removing = true;
    AnnounceChanges(window);
}

void AnnounceChanges(HWND window) {
    if (Busy() != state.announcedBusy) {
        state.announcedBusy = !state.announcedBusy;
        NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, BUTTON);
    }
    char step[STEP_BYTES] = "";
    if (IsWorkerRunning(SetupContext)) {
        SnapshotStatusText(SetupContext, step, sizeof(step));
    }
    if (std::strcmp(step, state.announcedStep) != 0) {
        std::memcpy(state.announcedStep, step, sizeof(step));
        if (step[0] != '\0') {
            NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, STEP);
            NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, window, OBJID_CLIENT, STEP);
        }
    }
}

} // namespace mossgate
