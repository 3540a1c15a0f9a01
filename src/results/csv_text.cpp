#include "results/csv_text.h"

#include "results/record_cells.h"
#include "results/workbook_path.h"

namespace {
constexpr size_t kMaxPath = 260;
}

std::string CsvField(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string ResultListCsv(int rowCount,
                          const std::function<std::string(int row, int column)>& cell) {
    std::string text;
    for (int row = -1; row < rowCount; ++row) {
        for (int column = 0; column < kRecordColumnCount; ++column) {
            if (column)
                text += ',';
            text += CsvField(row < 0 ? kRecordColumns[column].heading
                                     : FormulaSafeCell(column, cell(row, column)));
        }
        text += "\r\n";
    }
    return text;
}

std::string CsvPathForTitle(const std::string& windowTitle) {
    const std::string path = ShownFileWithExtension(windowTitle, ".csv");
    return path.size() < kMaxPath ? path : "";
}

std::string CsvSaveMessage(file_io::Saved saved, const std::string& path) {
    switch (saved) {
    case file_io::Saved::Ok:
        return "";
    case file_io::Saved::DiskFull:
        return "The disk is full: " + path + " was not saved";
    default:
        return "Cannot write the file " + path;
    }
}
