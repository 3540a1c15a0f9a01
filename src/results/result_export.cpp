#include "results/result_export.h"

#include "framework/busy_wait.h"
#include "results/record_cells.h"
#include "results/result_dialog.h"

ExportResult ExportResultList(CResult& dialog) {
    char title[kCellTextSize] = {};
    GetWindowTextA(dialog.hwnd(), title, sizeof title);
    CResultList& list = dialog.RecordList();
    // The windows keep painting while the export waits for the spreadsheet program, but take
    // no input: the wait cursor says so, and clicks made meanwhile are dropped afterwards.
    const fw::WaitCursor waitCursor;
    const ExportResult result =
        g_DdeClient.ExportRows(dialog.hwnd(), title, list.ItemCount(),
                               [&list](int row, int column) { return list.ItemText(row, column); });
    fw::DropQueuedInput();
    return result;
}
