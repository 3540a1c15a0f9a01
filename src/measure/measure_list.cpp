#include "measure/measure_list.h"

#include "storage/data_file.h"

#include <commctrl.h>

#include <cstring>

CMeasureList::CMeasureList() : rows_(RecordTable) {
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

size_t CMeasureList::CellText(int row, int column, char* out, size_t size) const {
    return rows_.CellText(row, column, out, size);
}
