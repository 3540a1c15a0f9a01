#include "results/result_export.h"

#include "framework/busy_wait.h"
#include "results/result_dialog.h"

ExportResult ExportResultList(CResult& dialog) {
    CResultList& list = dialog.RecordList();
    // The transactions wait in loops that would pass the operator's clicks on; nothing but
    // painting reaches the windows until the export is over, and closing waits for it.
    const fw::InputBlock block;
    return g_DdeClient.ExportRows(
        dialog.hwnd(), dialog.Title(), list.ItemCount(),
        [&list](int row, int column) { return list.ItemText(row, column); });
}
