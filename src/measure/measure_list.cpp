#include "measure/measure_list.h"

#include "storage/data_file.h"

#include <commctrl.h>

#include <cstring>

CMeasureList::CMeasureList() : rows_(RecordTable) {
}

void CMeasureList::InitRecordColumns(float columnUnit) {
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

void CMeasureList::FillRows() {
    rows_.Fill();
    SyncCount();
}

void CMeasureList::InsertRecordRow() {
    rows_.InsertTop();
    SyncCount();
}

void CMeasureList::RefreshRecordRows() {
    rows_.Refresh();
    InvalidateRect(hwnd(), nullptr, FALSE);
}

void CMeasureList::SyncCount() {
    // Rows are formatted when drawn: the count and a repaint are all the list needs.
    SendMessageA(hwnd(), LVM_SETITEMCOUNT, static_cast<WPARAM>(rows_.RowCount()), 0);
    InvalidateRect(hwnd(), nullptr, FALSE);
}

bool CMeasureList::OnNotify(const NMHDR& header) {
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
