#include "results/workbook_path.h"

#include <cstdio>

namespace {
constexpr size_t kMaxPath = 260;
}

std::string WorkbookPath(const std::string& windowTitle) {
    const size_t blank = windowTitle.find(' ');
    std::string path = blank == std::string::npos ? windowTitle : windowTitle.substr(blank + 1);
    const size_t dot = path.find('.');
    if (dot != std::string::npos)
        path.resize(dot);
    if (path.empty())
        return "";
    path += ".xls";
    return path.size() < kMaxPath ? path : "";
}

std::string CellItemName(int row, int column) {
    char name[32];
    std::snprintf(name, sizeof name, "r%dc%d", row + kFirstSheetRow, column + 1);
    return name;
}
