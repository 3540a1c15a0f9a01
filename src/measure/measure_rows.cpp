#include "measure/measure_rows.h"

void MeasureRows::Fill() {
    rows_ = table_.Count();
    inserted_ = 0;
    bulkRule_ = LowHiRule::Always;
}

void MeasureRows::InsertTop() {
    // One row per record: a second insert for the same append would show nothing new.
    if (rows_ >= table_.Count())
        return;
    ++rows_;
    ++inserted_;
}

void MeasureRows::Refresh() {
    inserted_ = 0;
    bulkRule_ = LowHiRule::FastOnly;
}

int MeasureRows::RecordAt(int row) const {
    if (row < 0 || row >= rows_)
        return -1;
    const int index = rows_ - 1 - row;
    return index < table_.Count() ? index : -1;
}

int MeasureRows::NumberAt(int row) const {
    if (RecordAt(row) < 0)
        return 0;
    // An inserted row got the table's count right after its record was appended.
    if (row < inserted_)
        return RecordAt(row) + 1;
    return row - inserted_ + 1;
}

LowHiRule MeasureRows::RuleAt(int row) const {
    return row < inserted_ ? LowHiRule::Always : bulkRule_;
}

size_t MeasureRows::CellText(int row, int column, char* out, size_t size) const {
    if (!out || size == 0)
        return 0;
    out[0] = 0;
    const int index = RecordAt(row);
    if (index < 0)
        return 0;
    return FormatRecordCell(table_.records[static_cast<size_t>(index)], NumberAt(row) - 1, column,
                            RuleAt(row), out, size);
}

std::string MeasureRows::CellString(int row, int column) const {
    char text[kCellTextSize];
    CellText(row, column, text, sizeof text);
    return text;
}
