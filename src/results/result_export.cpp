#include "results/result_export.h"

#include "results/record_cells.h"
#include "results/result_dialog.h"

ExportResult ExportResultList(CResult& dialog) {
    char title[kCellTextSize] = {};
    GetWindowTextA(dialog.hwnd(), title, sizeof title);
    CResultList& list = dialog.RecordList();
    // The whole export blocks the window; the wait cursor says so.
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    const ExportResult result =
        g_DdeClient.ExportRows(dialog.hwnd(), title, list.ItemCount(),
                               [&list](int row, int column) { return list.ItemText(row, column); });
    SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
    return result;
}
