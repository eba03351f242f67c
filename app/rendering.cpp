#include "app/rendering.h"

#include "app/bounded_text.h"
#include "app/program_names.h"
#include "app/status_text.h"
#include "app/window_texts.h"

#include <cstring>

namespace mossgate {

namespace {

constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF GREY = RGB(100, 100, 100);
constexpr COLORREF MISSING_PICTURE = RGB(16, 40, 64);
constexpr int CORNER = 8;

// Selects an object for one scope and puts the previous one back.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object)
        : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Text colour and a transparent background for one scope.
class TextLook {
  public:
    TextLook(HDC dc, COLORREF colour)
        : dc_(dc), colour_(SetTextColor(dc, colour)), mode_(SetBkMode(dc, TRANSPARENT)) {}
    ~TextLook() {
        SetTextColor(dc_, colour_);
        SetBkMode(dc_, mode_);
    }
    TextLook(const TextLook&) = delete;
    TextLook& operator=(const TextLook&) = delete;

  private:
    HDC dc_;
    COLORREF colour_;
    int mode_;
};

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

void DrawLine(HDC dc, const char* text, int length, const Rectangle& where, UINT format) {
    RECT rect = ToRect(where);
    DrawTextA(dc, text, length, &rect, format | DT_SINGLELINE | DT_NOPREFIX);
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
        HBRUSH fill = CreateSolidBrush(MISSING_PICTURE);
        FillRect(dc, &area, fill);
        DeleteObject(fill);
        return;
    }
    BITMAP size = {};
    GetObjectA(picture, sizeof(size), &size);
    HDC memory = CreateCompatibleDC(dc);
    if (memory == nullptr) {
        return;
    }
    {
        Selection selected(memory, picture);
        BitBlt(dc, x, y, size.bmWidth, size.bmHeight, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
}

void DrawOsLabel(const SetupContextRecord& context, HDC dc) {
    const WindowLayout layout = CurrentLayout(context);
    const char* text = OsLabelText(context.osCode);
    Selection font(dc, context.labelFont);
    {
        TextLook shadow(dc, BLACK);
        DrawLine(dc, text, -1, layout.osLabelShadow, DT_LEFT | DT_TOP);
    }
    TextLook label(dc, WHITE);
    DrawLine(dc, text, -1, layout.osLabel, DT_LEFT | DT_TOP);
}

void DrawStatusPanel(const SetupContextRecord& context, HDC dc) {
    const WindowLayout layout = CurrentLayout(context);
    const ActionTexts texts = TextsFor(context.driverInstalled);
    {
        Selection pen(dc, GetStockObject(NULL_PEN));
        Selection brush(dc, GetStockObject(WHITE_BRUSH));
        const Rectangle& fill = layout.statusPanelFill;
        ::Rectangle(dc, fill.left, fill.top, fill.right, fill.bottom);
    }
    Selection font(dc, context.textFont);
    {
        TextLook black(dc, BLACK);
        DrawLine(dc, texts.line1, -1, layout.statusLine1, DT_LEFT | DT_TOP);
    }
    TextLook grey(dc, GREY);
    DrawLine(dc, texts.line2, -1, layout.statusLine2, DT_LEFT | DT_TOP);
}

void DrawButton(SetupContextRecord& context, HDC dc, int pressed) {
    const WindowLayout layout = CurrentLayout(context);
    StoreButtonRect(context, layout.button);
    const Rectangle& r = layout.button;
    Selection pen(dc, GetStockObject(BLACK_PEN));
    Selection brush(dc, GetStockObject(pressed == 1 ? BLACK_BRUSH : WHITE_BRUSH));
    RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, CORNER, CORNER);
    Selection font(dc, context.buttonFont);
    TextLook look(dc, pressed == 1 ? WHITE : BLACK);
    DrawLine(dc, TextsFor(context.driverInstalled).button, -1, r, DT_CENTER | DT_VCENTER);
}

void DrawProgressBox(SetupContextRecord& context, HDC dc, int phase) {
    const WindowLayout layout = CurrentLayout(context);
    StoreButtonRect(context, layout.button);
    const Rectangle& r = layout.button;
    Selection pen(dc, GetStockObject(BLACK_PEN));
    Selection brush(dc, GetStockObject(BLACK_BRUSH));
    RoundRect(dc, r.left, r.top, r.right + 1, r.bottom + 1, CORNER, CORNER);
    TextLook look(dc, WHITE);
    if (phase == 1) {
        Selection font(dc, context.buttonFont);
        DrawLine(dc, PROGRESS_WORD, -1, {r.left, r.top, r.right, r.bottom - 15},
                 DT_CENTER | DT_VCENTER);
    }
    char step[STATUS_TEXT_BYTES];
    SnapshotStatusText(context, step, sizeof(step));
    const int length = static_cast<int>(strnlen(step, STEP_TEXT_MAX_CHARS));
    Selection font(dc, context.textFont);
    DrawLine(dc, step, length, {r.left, r.bottom - 20, r.right, r.bottom}, DT_CENTER | DT_TOP);
}

void PaintWindow(SetupContextRecord& context, HDC dc) {
    DrawOsLabel(context, dc);
    DrawStatusPanel(context, dc);
    DrawButton(context, dc, 0);
}

} // namespace mossgate
