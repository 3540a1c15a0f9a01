#include "results/workbook_path.h"

#include <cstdio>

namespace {
constexpr size_t kMaxTopic = 255; // the longest text a DDE string handle holds
}

std::string ShownFileWithExtension(const std::string& windowTitle, const char* extension) {
    const size_t blank = windowTitle.find(' ');
    std::string path = blank == std::string::npos ? windowTitle : windowTitle.substr(blank + 1);
    const size_t nameStart = path.find_last_of("\\/:");
    const size_t name = nameStart == std::string::npos ? 0 : nameStart + 1;
    if (name >= path.size())
        return "";
    // Only the file name's own extension goes: folders may hold dots.
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot >= name)
        path.resize(dot);
    if (path.size() == name)
        return "";
    return path + extension;
}

std::string WorkbookPath(const std::string& windowTitle) {
    const std::string path = ShownFileWithExtension(windowTitle, ".xls");
    return path.size() <= kMaxTopic ? path : "";
}

std::string CellItemName(int row, int column) {
    char name[32];
    std::snprintf(name, sizeof name, "r%dc%d", row + kFirstSheetRow, column + 1);
    return name;
}
