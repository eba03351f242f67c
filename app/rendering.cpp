#include "app/rendering.h"

#include "app/portable/window_layout.h"
#include "common/portable/bounded_text.h"
#include "common/product_names.h"
#include "common/win32/holders.h"

#include <cstring>
#include <string_view>

namespace mossgate {

namespace {

constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF GREY = RGB(100, 100, 100);
constexpr COLORREF MISSING_PICTURE = RGB(16, 40, 64);
constexpr int CORNER = 8;

HFONT CreateArial(LONG height, LONG weight) {
    LOGFONTA description;
    std::memset(&description, 0, sizeof(description));
    description.lfHeight = height;
    description.lfWeight = weight;
    CopyText(description.lfFaceName, sizeof(description.lfFaceName), "Arial");
    return CreateFontIndirectA(&description);
}

RECT ToRect(const Rectangle& r) {
    return RECT{r.left, r.top, r.right, r.bottom};
}

void DrawLine(HDC dc, std::string_view text, const Rectangle& where, UINT format) {
    RECT rect = ToRect(where);
    DrawTextA(dc, text.data(), static_cast<int>(text.size()), &rect,
              format | DT_SINGLELINE | DT_NOPREFIX);
}

WindowLayout CurrentLayout(const SetupContextRecord& context) {
    return LayoutFor(context.bitmapWidth, context.bitmapHeight);
}

void StoreButtonRect(SetupContextRecord& context, const Rectangle& button) {
    context.buttonRect = {button.left, button.top, button.right, button.bottom};
}

template <typename Handle> void DeleteIfPresent(Handle& object) {
    if (object != nullptr) {
        DeleteObject(object);
        object = nullptr;
    }
}

} // namespace

void CreateDrawingResources(SetupContextRecord& context) {
    context.textFont = CreateArial(16, 800);
    context.buttonFont = CreateArial(40, 400);
    context.labelFont = CreateArial(28, 400);
    context.backgroundBitmap = static_cast<HBITMAP>(LoadImageA(
        context.instance, MAKEINTRESOURCEA(BACKGROUND_BITMAP_ID), IMAGE_BITMAP, 0, 0, 0));
    BITMAP picture = {};
    if (context.backgroundBitmap != nullptr &&
        GetObjectA(context.backgroundBitmap, sizeof(picture), &picture) == sizeof(picture)) {
        context.bitmapWidth = picture.bmWidth;
        context.bitmapHeight = picture.bmHeight;
    } else {
        context.bitmapWidth = DEFAULT_PICTURE_WIDTH;
        context.bitmapHeight = DEFAULT_PICTURE_HEIGHT;
    }
    context.handCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)); // IDC_HAND
}

int ReleaseDrawingObjects(SetupContextRecord& context) {
    DeleteIfPresent(context.backgroundBitmap);
    DeleteIfPresent(context.textFont);
    DeleteIfPresent(context.buttonFont);
    DeleteIfPresent(context.labelFont);
    return 0;
}

void BlitBackground(HDC dc, int x, int y, HBITMAP picture, const SetupContextRecord& context) {
    if (picture == nullptr) {
        RECT area = {x, y, x + context.bitmapWidth, y + context.bitmapHeight};
        UniqueGdiObject<HBRUSH> fill(CreateSolidBrush(MISSING_PICTURE));
        FillRect(dc, &area, fill.Get());
        return;
    }
    BITMAP size = {};
    GetObjectA(picture, sizeof(size), &size);
    MemoryDC memory(CreateCompatibleDC(dc));
    if (memory.Get() == nullptr) {
        return;
    }
    ScopedSelection selected(memory.Get(), picture);
    BitBlt(dc, x, y, size.bmWidth, size.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}

void DrawOsLabel(const SetupContextRecord& context, HDC dc) {
    const WindowLayout layout = CurrentLayout(context);
    const char* text = OsLabelText(context.osCode);
    ScopedSelection font(dc, context.labelFont);
    {
        ScopedTextLook shadow(dc, BLACK);
        DrawLine(dc, text, layout.osLabelShadow, DT_LEFT | DT_TOP);
    }
    ScopedTextLook label(dc, WHITE);
    DrawLine(dc, text, layout.osLabel, DT_LEFT | DT_TOP);
}

void DrawStatusPanel(const SetupContextRecord& context, HDC dc) {
    const WindowLayout layout = CurrentLayout(context);
    const ActionTexts texts = TextsFor(context.driverInstalled);
    {
        ScopedSelection pen(dc, GetStockObject(NULL_PEN));
        ScopedSelection brush(dc, GetStockObject(WHITE_BRUSH));
        const Rectangle& fill = layout.statusPanelFill;
        ::Rectangle(dc, fill.left, fill.top, fill.right, fill.bottom);
    }
    ScopedSelection font(dc, context.textFont);
    {
        ScopedTextLook black(dc, BLACK);
        DrawLine(dc, texts.line1, layout.statusLine1, DT_LEFT | DT_TOP);
    }
    ScopedTextLook grey(dc, GREY);
    DrawLine(dc, texts.line2, layout.statusLine2, DT_LEFT | DT_TOP);
}

void DrawButton(SetupContextRecord& context, HDC dc, ButtonLook look) {
    const bool pressed = look == ButtonLook::Pressed;
    const WindowLayout layout = CurrentLayout(context);
    StoreButtonRect(context, layout.button);
    const Rectangle& r = layout.button;
    ScopedSelection pen(dc, GetStockObject(BLACK_PEN));
    ScopedSelection brush(dc, GetStockObject(pressed ? BLACK_BRUSH : WHITE_BRUSH));
    RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, CORNER, CORNER);
    ScopedSelection font(dc, context.buttonFont);
    ScopedTextLook text(dc, pressed ? WHITE : BLACK);
    DrawLine(dc, TextsFor(context.driverInstalled).button, r, DT_CENTER | DT_VCENTER);
}

void DrawProgressBox(SetupContextRecord& context, HDC dc, int phase) {
    const WindowLayout layout = CurrentLayout(context);
    StoreButtonRect(context, layout.button);
    const Rectangle& r = layout.button;
    ScopedSelection pen(dc, GetStockObject(BLACK_PEN));
    ScopedSelection brush(dc, GetStockObject(BLACK_BRUSH));
    RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, CORNER, CORNER);
    ScopedTextLook look(dc, WHITE);
    if (phase == 1) {
        ScopedSelection font(dc, context.buttonFont);
        DrawLine(dc, PROGRESS_WORD, layout.progressWord, DT_CENTER | DT_VCENTER);
    }
    char step[STATUS_TEXT_BYTES];
    SnapshotStatusText(context, step, sizeof(step));
    ScopedSelection font(dc, context.textFont);
    DrawLine(dc, std::string_view(step, strnlen(step, STEP_TEXT_MAX_CHARS)), layout.progressStep,
             DT_CENTER | DT_TOP);
}

void PaintWindow(SetupContextRecord& context, HDC dc) {
    DrawOsLabel(context, dc);
    DrawStatusPanel(context, dc);
    DrawButton(context, dc, ButtonLook::Normal);
}

} // namespace mossgate
