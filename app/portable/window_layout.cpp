#include "app/portable/window_layout.h"

namespace mossgate {

WindowLayout LayoutFor(int32_t w, int32_t h) {
    WindowLayout layout{};
    layout.picture = {0, 0, w, h};
    // The label's 34 rows end with the picture: rows 390 to 424 of the program's own.
    layout.osLabel = {20, h - OS_LABEL_HEIGHT, w - 160, h};
    layout.osLabelShadow = {21, h - OS_LABEL_HEIGHT + 1, w - 160, h};
    layout.statusPanelFill = {0, h, w + 1, h + STATUS_PANEL_HEIGHT + 1};
    layout.statusLine1 = {20, h + 30, w, h + STATUS_PANEL_HEIGHT};
    layout.statusLine2 = {20, h + 50, w, h + STATUS_PANEL_HEIGHT};
    layout.button = {w - 320, h + 20, w - 20, h + 80};
    layout.progressWord = {w - 320, h + 20, w - 20, h + 65};
    layout.progressStep = {w - 320, h + 60, w - 20, h + 80};
    return layout;
}

const char* OsLabelText(int32_t osCode) {
    static const char* const labels[] = {
        "O/S: < XP", "O/S: WIN XP", "O/S: Server 2003", "O/S: VISTA",   "O/S: WIN7",
        "O/S: WIN8", "O/S: WIN8.1", "O/S: WIN10",       "O/S: > WIN10",
    };
    if (osCode < 0 || osCode >= static_cast<int32_t>(sizeof(labels) / sizeof(labels[0]))) {
        return "O/S: unknown";
    }
    return labels[osCode];
}

ActionTexts TextsFor(int32_t driverInstalled) {
    if (driverInstalled == 0) {
        return {"Install", "Ready to install ? Click the button right there...",
                "it will install MOSSGATE Package on your system..."};
    }
    return {"Remove", "The MOSSGATE Package is already installed...",
            "previous version has to be removed before installing new one..."};
}

bool StrictlyInside(const Rectangle& r, int32_t x, int32_t y) {
    return x > r.left && x < r.right && y > r.top && y < r.bottom;
}

} // namespace mossgate
