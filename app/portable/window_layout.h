// The window's fixed texts and layout, from the picture's width W and height H.
// Platform-free, so that the numbers are checked natively.
#pragma once

#include <cstdint>

namespace mossgate {

struct Rectangle {
    int32_t left, top, right, bottom;
};

constexpr int32_t STATUS_PANEL_HEIGHT = 100;
constexpr int32_t OS_LABEL_HEIGHT = 34;
// Used when the picture cannot be loaded, so that the layout still rests on numbers.
constexpr int32_t DEFAULT_PICTURE_WIDTH = 900;
constexpr int32_t DEFAULT_PICTURE_HEIGHT = 424;
constexpr int32_t STEP_TEXT_MAX_CHARS = 111;

struct WindowLayout {
    Rectangle picture, osLabel, osLabelShadow, statusPanelFill, statusLine1, statusLine2, button,
        progressWord, progressStep;
};

WindowLayout LayoutFor(int32_t pictureWidth, int32_t pictureHeight);

// The "O/S:" label for a generation code; "O/S: unknown" outside 0 to 8.
const char* OsLabelText(int32_t osCode);

struct ActionTexts {
    const char* button;
    const char* line1;
    const char* line2;
};

ActionTexts TextsFor(int32_t driverInstalled);

constexpr const char* PROGRESS_WORD = "Installing";

// Strictly inside: a point on the border line is not in the button.
bool StrictlyInside(const Rectangle& rectangle, int32_t x, int32_t y);

} // namespace mossgate
