#include "results/result_list.h"

#include "storage/data_file.h"

#include <commctrl.h>

CResultList::CResultList() : rows_(RecordTable) {
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

size_t CResultList::CellText(int row, int column, char* out, size_t size) const {
    return rows_.CellText(row, column, out, size);
}
