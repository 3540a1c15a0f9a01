// Pictures painted on the classic beige button face take the system's face colour.
#pragma once

#include <windows.h>

namespace controls {

constexpr COLORREF kClassicFace = RGB(236, 233, 216);

// Repaints every pixel of exactly kClassicFace in `bitmap` with `face`, changing the bitmap
// itself; nothing happens when `face` is the classic colour. The bitmap must not be
// selected into a device context. False when its pixels cannot be read or written.
bool RecolourFace(HBITMAP bitmap, COLORREF face);

// Loads a bitmap resource of the program as a device-compatible bitmap, so that the
// recolouring writes exact colours whatever the picture's own colour depth.
HBITMAP LoadResourceBitmap(int bitmapId);

} // namespace controls
