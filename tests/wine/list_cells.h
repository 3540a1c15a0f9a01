// Whether a report list shows a cell's whole text at the dialog's default size: the text's
// width in the list's font plus the margins the list keeps on both sides of a cell must fit
// the column, and the column must end inside the list without scrolling.
#pragma once

#include "wine/wine_harness.h"

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace list_cells {

// The list's own autosize adds this much to a text's width.
constexpr int kCellMargins = 12;

// "" when cell (row, column) shows whole; else what is cut.
inline std::string CellCut(HWND list, int row, int column) {
    const std::string text = wine_harness::ListText(list, row, column);
    const int needed = static_cast<int>(SendMessageA(list, LVM_GETSTRINGWIDTHA, 0,
                                                     reinterpret_cast<LPARAM>(text.c_str()))) +
                       kCellMargins;
    int right = 0;
    for (int c = 0; c <= column; ++c)
        right += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    const int width = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
    RECT client{};
    GetClientRect(list, &client);
    const std::string where = "column " + std::to_string(column) + " \"" + text + "\": ";
    if (needed > width)
        return where + "needs " + std::to_string(needed) + " pixels, has " + std::to_string(width);
    if (right > client.right)
        return where + "ends at " + std::to_string(right) + ", the list at " +
               std::to_string(client.right);
    return "";
}

// Every cut among the first `columns` cells of `row`, one per line.
inline std::string RowCuts(HWND list, int row, int columns) {
    std::string cuts;
    for (int column = 0; column < columns; ++column) {
        const std::string cut = CellCut(list, row, column);
        if (!cut.empty())
            cuts += cut + "\n";
    }
    return cuts;
}

} // namespace list_cells
