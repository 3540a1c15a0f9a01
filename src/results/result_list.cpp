#include "results/result_list.h"

#include "storage/data_file.h"

#include <commctrl.h>

CResultList::CResultList() : rows_(RecordTable) {
}

void CResultList::InitRecordColumns(float columnUnit) {
    for (int i = 0; i < kRecordColumnCount; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = ColumnWidth(kRecordColumns[i].widthFactor, columnUnit);
        column.pszText = const_cast<char*>(kRecordColumns[i].heading);
        column.iSubItem = i;
        SendMessageA(hwnd(), LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
    }
    const DWORD styles = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_FLATSB;
    SendMessageA(hwnd(), LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
    SendMessageA(hwnd(), LVM_SETSELECTIONMARK, 0, 0);
}

void CResultList::ResetItems() {
    SendMessageA(hwnd(), LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(hwnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rows_.RowCount()), 0);
    Redraw();
}

void CResultList::SyncCount() {
    SendMessageA(hwnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rows_.RowCount()), LVSICF_NOSCROLL);
    Redraw();
}

void CResultList::Redraw() {
    InvalidateRect(hwnd(), nullptr, FALSE);
}

int CResultList::ItemCount() const {
    return static_cast<int>(SendMessageA(hwnd(), LVM_GETITEMCOUNT, 0, 0));
}

std::string CResultList::ItemText(int row, int column) const {
    char text[kCellTextSize] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(sizeof text);
    SendMessageA(hwnd(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    text[sizeof text - 1] = '\0';
    return text;
}

bool CResultList::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != hwnd())
        return false;
    char text[kCellTextSize];
    if (header.code == LVN_GETDISPINFOA) {
        auto& info = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header));
        if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
            rows_.CellText(info.item.iItem, info.item.iSubItem, text, sizeof text);
            lstrcpynA(info.item.pszText, text, info.item.cchTextMax);
        }
        return true;
    }
    if (header.code == LVN_GETDISPINFOW) {
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
        if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
            rows_.CellText(info.item.iItem, info.item.iSubItem, text, sizeof text);
            if (!MultiByteToWideChar(CP_ACP, 0, text, -1, info.item.pszText, info.item.cchTextMax))
                info.item.pszText[0] = L'\0';
        }
        return true;
    }
    return false;
}
