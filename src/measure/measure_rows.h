// The rows of the Measure dialog's record list without the window. The list shows every
// record of the table, newest at the top, and asks for a cell's text when it draws, so the
// rows cost no memory of their own: row r always shows table record count - 1 - r.
//
// What a row shows besides its record depends on which writer formatted it last. The
// initial fill and each later rewrite format every row (the fill with "Low" and "Hi"
// always shown, the rewrite only for Fast-mode records), numbering them from 1 at the top.
// A row inserted for a stored result shows its own number and always "Low" and "Hi" until
// the next rewrite. Inserted rows are always the top ones, so two numbers describe it all.
#pragma once

#include "results/record_cells.h"
#include "storage/data_file.h"

#include <cstddef>
#include <string>

class MeasureRows {
  public:
    // The table is reached through the reference: it may grow and move meanwhile.
    explicit MeasureRows(const RecordList& table) : table_(table) {}

    // Initial fill: one row per record of the table, as if each was inserted at the top
    // from the oldest to the newest with its number count - index.
    void Fill();
    // A stored result was appended to the table: a new top row with the table's count as
    // its number.
    void InsertTop();
    // Rewrites every row: numbers from 1 at the top, "Low"/"Hi" for Fast records only.
    void Refresh();

    int RowCount() const { return rows_; }
    // Table index of the record in `row`; -1 outside the rows.
    int RecordAt(int row) const;
    // The "NO" text's number of `row` (0 outside the rows).
    int NumberAt(int row) const;
    LowHiRule RuleAt(int row) const;

    // Cell text as the list shows it; "" outside the rows.
    size_t CellText(int row, int column, char* out, size_t size) const;
    std::string CellString(int row, int column) const;

  private:
    const RecordList& table_;
    int rows_ = 0;
    int inserted_ = 0; // top rows inserted since the last fill or rewrite
    LowHiRule bulkRule_ = LowHiRule::Always;
};
