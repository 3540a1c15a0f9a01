#include "controls/face_recolour.h"

#include "controls/control_layout.h"
#include "framework/handles.h"

#include <cstdint>
#include <vector>

namespace controls {

namespace {
std::uint32_t ToDib(COLORREF c) {
    return DibPixel(GetRValue(c), GetGValue(c), GetBValue(c));
}
} // namespace

bool RecolourFace(HBITMAP bitmap, COLORREF face) {
    if (!bitmap)
        return false;
    if (face == kClassicFace)
        return true;
    BITMAP info{};
    if (!GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return false;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight; // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(info.bmWidth) *
                                      static_cast<size_t>(info.bmHeight));
    fw::WindowDC screen(nullptr);
    const UINT rows = static_cast<UINT>(info.bmHeight);
    if (GetDIBits(screen.Get(), bitmap, 0, rows, pixels.data(), &header, DIB_RGB_COLORS) !=
        static_cast<int>(rows))
        return false;
    if (RecolourPixels(pixels.data(), pixels.size(), ToDib(kClassicFace), ToDib(face)) == 0)
        return true;
    return SetDIBits(screen.Get(), bitmap, 0, rows, pixels.data(), &header, DIB_RGB_COLORS) ==
           static_cast<int>(rows);
}

HBITMAP LoadResourceBitmap(int bitmapId) {
    return static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(bitmapId),
                                           IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

} // namespace controls
