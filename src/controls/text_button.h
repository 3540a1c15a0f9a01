// A flat caption box on an owner-drawn button: centred text in a chosen font and colour
// inside a one-pixel frame. The owner writes the public fields and redraws the control.
#pragma once

#include "framework/control.h"

#include <windows.h>

class CTextButton : public fw::Control {
  public:
    HFONT font = nullptr; // not owned; null draws in the device context's current font
    char caption[256] = {};
    COLORREF colour = RGB(0, 0, 0);

    // Copies `text` (cut at 255 bytes; null empties it) and repaints with background erase,
    // so a shorter text leaves nothing of the longer one behind.
    void SetText(const char* text);

    void DrawItem(const DRAWITEMSTRUCT& item) override;
};
