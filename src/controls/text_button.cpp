#include "controls/text_button.h"

#include "framework/handles.h"

#include <cstring>

void CTextButton::SetText(const char* text) {
    std::strncpy(caption, text ? text : "", sizeof caption - 1);
    caption[sizeof caption - 1] = '\0';
    if (hwnd())
        InvalidateRect(hwnd(), nullptr, TRUE);
}

void CTextButton::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    fw::SavedDCState saved(dc);
    if (font)
        SelectObject(dc, font);
    const RECT& rc = item.rcItem;
    // The field may have been written directly by the owner: never read past it.
    const int length = static_cast<int>(strnlen(caption, sizeof caption));
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption, length, &extent);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour);
    TextOutA(dc, (rc.right - extent.cx - rc.left) / 2, (rc.bottom - extent.cy - rc.top) / 2,
             caption, length);
    MoveToEx(dc, rc.left, rc.top, nullptr);
    LineTo(dc, rc.right - 1, rc.top);
    LineTo(dc, rc.right - 1, rc.bottom - 1);
    LineTo(dc, rc.left, rc.bottom - 1);
    LineTo(dc, rc.left, rc.top);
}
