// The rows of the Result list without the window: which record set is shown, the row order,
// the filter state and which row writer last formatted the rows. The dialog mirrors this
// into its owner-data list and its filter controls.
#pragma once

#include "results/other_data_file.h"
#include "results/record_cells.h"
#include "results/result_filter.h"
#include "results/result_sort.h"
#include "storage/data_file.h"

#include <cstdint>
#include <string>
#include <vector>

class ResultRows {
  public:
    // Shows `table` until "File" picks another file. The table may grow and move meanwhile;
    // it is reached through the reference, never through a kept pointer.
    explicit ResultRows(const RecordList& table) : table_(table) {}

    const MeasureRecord* Records() const;
    int RecordCount() const { return recordCount_; }
    bool ShowsTable() const { return !ownBuffer_; }
    int RowCount() const { return static_cast<int>(rowCount_); }
    // Position in the record set of the record shown in `row`; -1 outside the rows.
    int RecordAt(int row) const;
    const MeasureRecord* RecordOfRow(int row) const;
    LowHiRule RowWriter() const { return writer_; }
    // Every row was rewritten by the writer that always fills "Low" and "Hi".
    void MarkRefreshed() { writer_ = LowHiRule::Always; }
    // Cell text as the list shows it; "" outside the rows.
    size_t CellText(int row, int column, char* out, size_t size) const;
    std::string CellString(int row, int column) const;
    // Length of the longest text of `column` over the shown rows.
    size_t LongestCell(int column) const;

    bool ShowingAll() const { return showingAll_ != 0; }
    int ArrowColumn() const { return arrowColumn_; } // -1: no sort arrow
    const CivilDate& FirstDate() const { return firstDate_; }
    const CivilDate& LastDate() const { return lastDate_; }
    // Times of the first and last record of the set, for the two date pickers.
    int64_t FirstTime() const;
    int64_t LastTime() const;
    ResultFilter& Filter() { return filter_; }
    const ResultFilter& Filter() const { return filter_; }

    // Shows the whole table, newest first. False (nothing changed) when it is empty or
    // memory runs out.
    bool LoadTable();

    // NoMemory: the filter could not be applied; ReloadFailed: the whole set could not be
    // shown again. Either way the list keeps its rows.
    enum class Applied { Filtered, Reloaded, Unchanged, NoMemory, ReloadFailed };
    // "OK" after the filter was read: filter, reload everything, or leave the list.
    Applied ApplyChosenFilter();

    // After the Measure dialog appended to the table: true when rows were added.
    bool AppendNewRecords();

    // A heading click; the rows are resorted when the result says so.
    ColumnClick ClickColumn(int column, int& sortColumn, int& sortAscending);

    enum class Shown { OtherFile, Table, Unchanged, Refused };
    // "File": `path` is the chosen file, `currentYearPath` the table's own file. On
    // Refused, `message` holds the text to show ("" for a silent refusal).
    Shown ShowFile(const char* path, const char* currentYearPath, std::string& message);

  private:
    bool LoadRecordSet(bool table, int count);
    bool BuildNewestFirst(int count);
    // FirstDate and LastDate from the first and last record of the set.
    void SetPeriodBounds();

    const RecordList& table_;
    std::vector<MeasureRecord> own_;
    bool ownBuffer_ = false;
    int recordCount_ = 0;
    std::vector<int32_t> rowIndex_;
    size_t rowCount_ = 0;
    int showingAll_ = 0;
    LowHiRule writer_ = LowHiRule::FastOnly;
    int arrowColumn_ = -1;
    CivilDate firstDate_, lastDate_;
    ResultFilter filter_;
};

// Case-insensitive (ASCII) equality of two paths, as the "File" button compares them.
bool SamePathIgnoringCase(const char* a, const char* b);
