#include "results/result_rows.h"

#include <algorithm>
#include <cctype>
#include <new>

bool SamePathIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const int ca = std::toupper(static_cast<unsigned char>(*a));
        const int cb = std::toupper(static_cast<unsigned char>(*b));
        if (ca != cb)
            return false;
        if (ca == 0)
            return true;
    }
}

const MeasureRecord* ResultRows::Records() const {
    return ownBuffer_ ? own_.data() : table_.data();
}

int ResultRows::RecordAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= rowCount_)
        return -1;
    const int32_t position = rowIndex_[static_cast<size_t>(row)];
    // The table never shrinks, but a row must never reach past the records present.
    const int present = ownBuffer_ ? static_cast<int>(own_.size()) : table_.Count();
    return position >= 0 && position < present ? position : -1;
}

const MeasureRecord* ResultRows::RecordOfRow(int row) const {
    const int position = RecordAt(row);
    return position < 0 ? nullptr : Records() + position;
}

size_t ResultRows::CellText(int row, int column, char* out, size_t size) const {
    const MeasureRecord* record = RecordOfRow(row);
    if (!record) {
        if (out && size)
            out[0] = 0;
        return 0;
    }
    return FormatRecordCell(*record, row, column, writer_, out, size);
}

std::string ResultRows::CellString(int row, int column) const {
    char text[kCellTextSize];
    const size_t n = CellText(row, column, text, sizeof text);
    return std::string(text, n);
}

size_t ResultRows::LongestCell(int column) const {
    char text[kCellTextSize];
    size_t longest = 0;
    for (int row = 0; row < RowCount(); ++row)
        longest = std::max(longest, CellText(row, column, text, sizeof text));
    return longest;
}

int64_t ResultRows::FirstTime() const {
    return recordCount_ > 0 ? Records()[0].Time : 0;
}

int64_t ResultRows::LastTime() const {
    return recordCount_ > 0 ? Records()[recordCount_ - 1].Time : 0;
}

bool ResultRows::BuildNewestFirst(int count) {
    try {
        std::vector<int32_t> index;
        index.reserve(static_cast<size_t>(count) + kRecordGrowth);
        for (int i = 0; i < count; ++i)
            index.push_back(count - 1 - i);
        rowIndex_ = std::move(index);
    } catch (const std::bad_alloc&) {
        return false;
    }
    rowCount_ = static_cast<size_t>(count);
    return true;
}

bool ResultRows::LoadRecordSet(bool table, int count) {
    if (count <= 0)
        return false;
    const bool wasOwn = ownBuffer_;
    const int wasCount = recordCount_;
    ownBuffer_ = !table;
    recordCount_ = count;
    if (!BuildNewestFirst(count)) {
        ownBuffer_ = wasOwn;
        recordCount_ = wasCount;
        return false;
    }
    writer_ = LowHiRule::FastOnly; // the rows were only inserted, not rewritten
    SetPeriodBounds();
    showingAll_ = 1;
    filter_.PeriodFilterOn = 0;
    filter_.IdFilterOn = 0;
    filter_.LevelFilter = kLevelAll;
    arrowColumn_ = -1;
    return true;
}

bool ResultRows::LoadTable() {
    if (!LoadRecordSet(true, table_.Count()))
        return false;
    std::vector<MeasureRecord>().swap(own_);
    return true;
}

ResultRows::Applied ResultRows::ApplyChosenFilter() {
    if (filter_.AnyActive()) {
        std::vector<int32_t> index;
        if (!ApplyFilter(Records(), recordCount_, filter_, index))
            return Applied::NoMemory;
        showingAll_ = 0;
        rowIndex_ = std::move(index);
        rowCount_ = rowIndex_.size();
        writer_ = LowHiRule::Always; // inserted, then rewritten
        arrowColumn_ = -1;
        return Applied::Filtered;
    }
    if (showingAll_)
        return Applied::Unchanged;
    // From the table, a reload also brings in records appended while the list was filtered.
    const int count = ShowsTable() ? table_.Count() : recordCount_;
    return LoadRecordSet(ShowsTable(), count) ? Applied::Reloaded : Applied::ReloadFailed;
}

bool ResultRows::AppendNewRecords() {
    const int count = table_.Count();
    if (ownBuffer_ || recordCount_ >= count)
        return false;
    if (!showingAll_) {
        // The filtered rows stay as chosen until the next "OK", which filters the new
        // records too; a period ending on the day of a new one is accepted meanwhile.
        recordCount_ = count;
        SetPeriodBounds();
        return false;
    }
    const int wasCount = recordCount_;
    recordCount_ = count;
    if (!BuildNewestFirst(count)) {
        recordCount_ = wasCount;
        return false;
    }
    writer_ = LowHiRule::Always;
    // A period ending on the day of a new record must be accepted.
    SetPeriodBounds();
    return true;
}

void ResultRows::SetPeriodBounds() {
    firstDate_ = SplitDate(Records()[0].Time);
    lastDate_ = SplitDate(Records()[recordCount_ - 1].Time);
}

ColumnClick ResultRows::ClickColumn(int column, int& sortColumn, int& sortAscending) {
    const ColumnClick click = ClickSortColumn(column, sortColumn, sortAscending);
    if (!click.sorts)
        return click;
    SortRowIndex(Records(), rowIndex_, static_cast<int>(rowCount_), sortColumn, sortAscending);
    writer_ = LowHiRule::Always;
    arrowColumn_ = click.arrowColumn;
    return click;
}

ResultRows::Shown ResultRows::ShowFile(const char* path, const char* currentYearPath,
                                       std::string& message) {
    message.clear();
    if (SamePathIgnoringCase(path, currentYearPath)) {
        if (!ownBuffer_)
            return Shown::Unchanged;
        return LoadTable() ? Shown::Table : Shown::Unchanged;
    }
    std::vector<MeasureRecord> records;
    const OtherFileRead read = ReadOtherDataFile(path, records);
    if (read != OtherFileRead::Loaded) {
        message = OtherFileMessage(read, path);
        return Shown::Refused;
    }
    // Swap in the new buffer only once the rows for it exist, so a failure keeps the old
    // set whole.
    std::vector<MeasureRecord> previous = std::move(own_);
    const bool wasOwn = ownBuffer_;
    own_ = std::move(records);
    if (!LoadRecordSet(false, static_cast<int>(own_.size()))) {
        own_ = std::move(previous);
        ownBuffer_ = wasOwn;
        message = OtherFileMessage(OtherFileRead::NoMemory, path);
        return Shown::Refused;
    }
    return Shown::OtherFile;
}
