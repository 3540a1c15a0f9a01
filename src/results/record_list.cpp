#include "results/record_list.h"

#include "results/record_cells.h"

#include <commctrl.h>

void CRecordList::InitRecordColumns(float columnUnit) {
    std::vector<ReportColumn> columns;
    for (const RecordColumn& column : kRecordColumns)
        columns.push_back({column.heading, ColumnWidth(column.widthFactor, columnUnit)});
    InsertColumns(columns);
}

bool CRecordList::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != hwnd())
        return false;
    char text[kCellTextSize];
    if (header.code == LVN_GETDISPINFOA) {
        auto& info = const_cast<NMLVDISPINFOA&>(reinterpret_cast<const NMLVDISPINFOA&>(header));
        if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
            CellText(info.item.iItem, info.item.iSubItem, text, sizeof text);
            lstrcpynA(info.item.pszText, text, info.item.cchTextMax);
        }
        return true;
    }
    if (header.code == LVN_GETDISPINFOW) {
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
        if ((info.item.mask & LVIF_TEXT) && info.item.pszText && info.item.cchTextMax > 0) {
            CellText(info.item.iItem, info.item.iSubItem, text, sizeof text);
            if (!MultiByteToWideChar(CP_ACP, 0, text, -1, info.item.pszText, info.item.cchTextMax))
                info.item.pszText[0] = L'\0';
        }
        return true;
    }
    return false;
}
