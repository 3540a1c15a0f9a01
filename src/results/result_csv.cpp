#include "results/result_csv.h"

#include "framework/busy_wait.h"
#include "framework/message_box.h"
#include "results/csv_text.h"
#include "results/record_cells.h"
#include "results/result_dialog.h"

#include <commdlg.h>

file_io::Saved SaveResultListCsvTo(CResult& dialog, const std::string& path) {
    file_io::Saved saved;
    {
        // A long list takes a moment to format and write.
        const fw::WaitCursor wait;
        const ResultRows& rows = dialog.RecordList().Rows();
        const std::string text =
            ResultListCsv(dialog.RecordList().ItemCount(),
                          [&rows](int row, int column) { return rows.CellString(row, column); });
        saved = file_io::SaveWhole(path.c_str(), text.data(), text.size());
    }
    const std::string message = CsvSaveMessage(saved, path);
    if (!message.empty())
        fw::MessageBox(dialog.hwnd(), message.c_str());
    return saved;
}

void SaveResultListCsv(CResult& dialog) {
    if (dialog.RecordList().ItemCount() == 0) {
        fw::MessageBox(dialog.hwnd(), "There is no data to save");
        return;
    }
    char path[MAX_PATH] = {};
    lstrcpynA(path, CsvPathForTitle(dialog.Title()).c_str(), sizeof path);

    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog.hwnd();
    ofn.lpstrFilter = "CSV File (*.csv)\0*.csv\0All Files (*.*)\0*.*\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.lpstrDefExt = "csv";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameA(&ofn))
        return;
    SaveResultListCsvTo(dialog, path);
}
