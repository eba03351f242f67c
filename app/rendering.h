// All drawing of the main window, with GDI. Every routine restores what it selected
// into the device context and releases what it created.
#pragma once

#include "app/setup_context.h"

namespace mossgate {

// Fonts, the background picture with its size, the hand cursor. A picture that
// cannot be loaded leaves the default size, and the picture area is then filled.
void CreateDrawingResources(SetupContextRecord& context);

// Deletes the picture and the fonts; safe to call twice. Returns 0.
int ReleaseDrawingObjects(SetupContextRecord& context);

// Copies the picture at its full size to (x, y); without a picture, fills its area.
void BlitBackground(HDC dc, int x, int y, HBITMAP picture, const SetupContextRecord& context);

void PaintWindow(SetupContextRecord& context, HDC dc); // O/S label, status panel, button
void DrawOsLabel(const SetupContextRecord& context, HDC dc);
void DrawStatusPanel(const SetupContextRecord& context, HDC dc);
enum class ButtonLook { Normal, Pressed };
void DrawButton(SetupContextRecord& context, HDC dc, ButtonLook look);
void DrawProgressBox(SetupContextRecord& context, HDC dc, int phase);

} // namespace mossgate
