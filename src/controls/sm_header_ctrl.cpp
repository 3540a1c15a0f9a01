#include "controls/sm_header_ctrl.h"

#include "controls/control_layout.h"
#include "controls/face_recolour.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {
controls::Rect ToRect(const RECT& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}
RECT ToRECT(const controls::Rect& rc) {
    return {rc.left, rc.top, rc.right, rc.bottom};
}
} // namespace

void CSMHeaderCtrl::LoadArrows() {
    if (!upArrow_)
        upArrow_.Reset(controls::LoadResourceBitmap(IDB_ARROW_UP));
    if (!downArrow_)
        downArrow_.Reset(controls::LoadResourceBitmap(IDB_ARROW_DOWN));
}

int CSMHeaderCtrl::SetSortImage(int column, bool ascending) {
    LoadArrows();
    const int previous = arrowColumn_;
    arrowColumn_ = column;
    arrowUp_ = ascending;
    if (column >= 0 && hwnd()) {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        if (SendMessageA(hwnd(), HDM_GETITEMA, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(&item))) {
            item.fmt |= HDF_OWNERDRAW;
            SendMessageA(hwnd(), HDM_SETITEMA, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(&item));
        }
    }
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
    return previous;
}

void CSMHeaderCtrl::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    fw::SavedDCState saved(dc);
    const RECT& rc = item.rcItem;
    IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));

    SIZE blank{};
    GetTextExtentPoint32A(dc, " ", 1, &blank);

    char text[256] = {};
    HDITEMA header{};
    header.mask = HDI_TEXT | HDI_FORMAT;
    header.pszText = text;
    header.cchTextMax = sizeof text;
    if (hwnd())
        SendMessageA(hwnd(), HDM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&header));
    text[sizeof text - 1] = '\0';

    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP | DT_END_ELLIPSIS;
    if (header.fmt & HDF_CENTER)
        format |= DT_CENTER;
    else if (header.fmt & HDF_RIGHT)
        format |= DT_RIGHT;
    else
        format |= DT_LEFT;

    const bool arrowColumn = static_cast<int>(item.itemID) == arrowColumn_;
    HBITMAP arrow = arrowUp_ ? upArrow_.Get() : downArrow_.Get();
    BITMAP arrowInfo{};
    if (arrowColumn && arrow)
        GetObjectA(arrow, sizeof arrowInfo, &arrowInfo);
    const controls::HeaderItemLayout layout = controls::LayoutHeaderItem(
        ToRect(rc), blank.cx, item.itemState == ODS_SELECTED, arrowColumn, arrowInfo.bmHeight);
    if (layout.drawText) {
        RECT textRect = ToRECT(layout.text);
        DrawTextA(dc, text, -1, &textRect, format);
    }
    if (arrowColumn && arrow)
        DrawArrow(dc, layout.arrowX, layout.arrowY);
}

void CSMHeaderCtrl::DrawArrow(HDC dc, int x, int y) {
    HBITMAP arrow = arrowUp_ ? upArrow_.Get() : downArrow_.Get();
    // The bitmap itself keeps the new colour, so later draws find nothing left to change.
    controls::RecolourFace(arrow, GetSysColor(COLOR_BTNFACE));
    BITMAP info{};
    if (!GetObjectA(arrow, sizeof info, &info))
        return;
    fw::MemoryDC memory(dc);
    if (!memory.Get())
        return;
    fw::ScopedSelect selected(memory.Get(), arrow);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}
