// The ten columns of a record row, shared by the Measure list and the Result list, and the
// text of each cell. The lists are owner-data: they ask for a cell's text when they draw.
#pragma once

#include "storage/records.h"

#include <cstddef>
#include <string>
#include <string_view>

constexpr int kRecordColumnCount = 10;
constexpr size_t kCellTextSize = 256; // at most 255 characters and the zero

struct RecordColumn {
    const char* heading;
    int widthFactor;
};
extern const RecordColumn kRecordColumns[kRecordColumnCount];

// Pixel width of a column: factor times the dialog's unit, truncated, plus 1.
int ColumnWidth(int widthFactor, float columnUnit);

// Which row writer last formatted the row decides the "Low" and "Hi" cells: one writer
// always fills them, the other only for Fast-mode records.
enum class LowHiRule { Always, FastOnly };

// Writes the text of cell `column` of the row at `row` (0-based; "NO" shows row + 1) into
// `out`, cut to size - 1 characters and always terminated. Unknown columns give "".
// Returns the length written.
size_t FormatRecordCell(const MeasureRecord& record, int row, int column, LowHiRule rule, char* out,
                        size_t size);

// A cell as a spreadsheet program must take it. A control character inside (a tab, CR or
// LF) would split it into the next cell or row, where the rest could run as a formula: it
// becomes a space. An ID, name or photo name that then starts a formula gets a leading
// apostrophe, which marks text. Names come from cards and files anyone can write.
std::string FormulaSafeCell(int column, std::string text);
// The same rule for a cell of any column: quelma-web's CSV, whose every cell may be a name.
std::string SpreadsheetText(std::string text);

// Spreadsheet programs take a cell that starts with one of = + - @, a tab or a carriage
// return for a formula; such a cell goes out with a leading apostrophe. quelma-web's CSV
// follows the same rule.
bool StartsAFormula(std::string_view text);
