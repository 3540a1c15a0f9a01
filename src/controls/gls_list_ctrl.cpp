#include "controls/gls_list_ctrl.h"

#include <commctrl.h>

#include <algorithm>

namespace {

SIZE NormalSize(HWND hwnd) {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hwnd, &placement);
    const RECT& r = placement.rcNormalPosition;
    return {r.right - r.left, r.bottom - r.top};
}

} // namespace

void CGLSListCtrl::OnAttached() {
    // The list view creates its header as the child with identifier 0.
    header_.Attach(hwnd(), 0);
}

void CGLSListCtrl::InsertColumns(const std::vector<ReportColumn>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = const_cast<char*>(columns[i].heading);
        column.iSubItem = static_cast<int>(i);
        SendMessageA(hwnd(), LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    const DWORD styles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
    SendMessageA(hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    SendMessageA(hwnd(), LVM_SETSELECTIONMARK, 0, 0);
}

void CGLSListCtrl::RememberLayout() {
    const SIZE dialog = NormalSize(GetParent(hwnd()));
    const SIZE list = NormalSize(hwnd());
    dialogHeight0_ = dialog.cy;
    listHeight0_ = list.cy;
    dialogWidth0_ = dialog.cx;
    listWidth0_ = list.cx;
}

void CGLSListCtrl::FollowDialogSize() {
    RECT dialog{};
    GetWindowRect(GetParent(hwnd()), &dialog);
    const int width = (dialog.right - dialog.left) - (dialogWidth0_ - listWidth0_);
    const int height = (dialog.bottom - dialog.top) - (dialogHeight0_ - listHeight0_);
    SetWindowPos(hwnd(), nullptr, 0, 0, std::max(width, 0), std::max(height, 0),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
