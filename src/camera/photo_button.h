// Owner-drawn button that shows a bitmap file centred in its area. The file is read at
// every draw, so a picture rewritten behind an unchanged path shows at the next redraw.
// A file that cannot be loaded is replaced by the placeholder Resources\person.bmp below
// the install folder, and that placeholder becomes the control's path.
#pragma once

#include "framework/control.h"

#include <windows.h>

class CPhotoButton : public fw::Control {
  public:
    // Full path of the bitmap to show; empty shows nothing. The owner writes it and then
    // posts WM_COMMAND 32783 to the control (or invalidates it).
    char PhotoPath[256] = {};

    void DrawItem(const DRAWITEMSTRUCT& item) override;

  protected:
    // WM_COMMAND 32783: repaint with background erase.
    LRESULT SubclassProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

  private:
    HBITMAP LoadPicture();
};
