#include "controls/tc_toolbar.h"

#include "framework/handles.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {
constexpr int kImageSize = 96;
constexpr COLORREF kTransparent = RGB(192, 192, 192);
} // namespace

int AddBitmap(HIMAGELIST list, int bitmapId) {
    fw::Bitmap strip(static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                     MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0,
                                                     0, LR_CREATEDIBSECTION)));
    if (!strip)
        return 0;
    ImageList_AddMasked(list, strip.Get(), kTransparent);
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
