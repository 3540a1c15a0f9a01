#include "controls/tc_toolbar.h"

#include "framework/handles.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {
constexpr int kImageSize = 96;
constexpr COLORREF kTransparent = RGB(192, 192, 192);
} // namespace

namespace {

// The strips are lower than the list's square cells; rows the strip does not cover would
// stay black and opaque. Centre the strip in a cell-high copy filled with the transparent
// colour instead.
fw::Bitmap PadToCellHeight(HBITMAP strip, int cellHeight) {
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    if (info.bmHeight >= cellHeight)
        return fw::Bitmap();
    fw::WindowDC screen(nullptr);
    fw::Bitmap padded(CreateCompatibleBitmap(screen.Get(), info.bmWidth, cellHeight));
    fw::MemoryDC source(screen.Get()), target(screen.Get());
    if (!padded || !source.Get() || !target.Get())
        return fw::Bitmap();
    fw::ScopedSelect selectSource(source.Get(), strip);
    fw::ScopedSelect selectTarget(target.Get(), padded.Get());
    fw::Brush fill(CreateSolidBrush(kTransparent));
    RECT all{0, 0, info.bmWidth, cellHeight};
    FillRect(target.Get(), &all, fill.Get());
    BitBlt(target.Get(), 0, (cellHeight - info.bmHeight) / 2, info.bmWidth, info.bmHeight,
           source.Get(), 0, 0, SRCCOPY);
    return padded;
}

} // namespace

int AddBitmap(HIMAGELIST list, int bitmapId) {
    fw::Bitmap strip(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                     MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0,
                                                     0, LR_CREATEDIBSECTION)));
    if (!strip)
        return 0;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    fw::Bitmap padded = PadToCellHeight(strip.Get(), cy);
    ImageList_AddMasked(list, padded ? padded.Get() : strip.Get(), kTransparent);
    return 1;
}

int SetTrueColorImageList(HWND toolBar, UINT message, int bitmapId) {
    HIMAGELIST list = ImageList_Create(kImageSize, kImageSize, ILC_COLOR32 | ILC_MASK, 0, 0);
    if (list)
        AddBitmap(list, bitmapId);
    // The toolbar owns the list from here on; nothing destroys it during the run.
    SendMessageA(toolBar, message, 0, reinterpret_cast<LPARAM>(list));
    return 1;
}

int LoadTrueColorImages(HWND toolBar) {
    if (!SetTrueColorImageList(toolBar, TB_SETHOTIMAGELIST, IDB_TOOLBAR_HOT))
        return 0;
    return SetTrueColorImageList(toolBar, TB_SETDISABLEDIMAGELIST, IDB_TOOLBAR_DISABLED);
}
