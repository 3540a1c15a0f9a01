// The yearly data file as every reader of it takes it: the start-up load, the Result
// list's "File" button with its sorting, filters and cells, and the Backup dialog's summary.
// A loaded table written back must give the same bytes.
#include "fuzz_support.h"

#include "results/other_data_file.h"
#include "results/result_rows.h"
#include "settings/backup_info.h"
#include "storage/data_file.h"
#include "storage/file_io.h"
#include "storage/ordering.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using fuzz::Require;

constexpr size_t kRecordSize = sizeof(MeasureRecord);

int32_t HeaderCount(const uint8_t* data, size_t size) {
    int32_t count = 0;
    if (size >= sizeof count)
        std::memcpy(&count, data, sizeof count);
    return count;
}

size_t RecordsHeld(size_t size) {
    return size < static_cast<size_t>(kDataHeaderSize) ? 0 : (size - kDataHeaderSize) / kRecordSize;
}

void CheckStartupLoad(const fuzz::ScratchFile& file, const uint8_t* data, size_t size) {
    RecordList table;
    const DataLoad load = ReadDataFile(file.Path(), table);
    int32_t magic = 0;
    if (size >= 8)
        std::memcpy(&magic, data + 4, sizeof magic);
    const int32_t count = HeaderCount(data, size);
    const bool sound = size >= 8 && magic == kDataFileMagic && count >= 0 &&
                       static_cast<size_t>(count) <= RecordsHeld(size);
    Require((load == DataLoad::Loaded) == sound, "start-up load accepts exactly sound files");
    if (load != DataLoad::Loaded)
        return;
    Require(table.Count() == count, "loaded count is the header's");
    Require(table.capacity == count + kRecordGrowth, "capacity is count + 300");
    Require(table.savedCount == count, "a loaded table is saved");
    Require(table.records.capacity() >= static_cast<size_t>(table.capacity),
            "room reserved for the capacity");
    Require(count == 0 || std::memcmp(table.data(), data + kDataHeaderSize,
                                      kRecordSize * static_cast<size_t>(count)) == 0,
            "records are the file's bytes");

    // Written back into a new file, the table gives the same leading bytes.
    fuzz::ScratchFile copy("copy.dat");
    Require(CreateDataFile(copy.Path()), "new data file");
    table.savedCount = 0;
    Require(WriteDataFile(copy.Path(), table), "rewrite of a loaded table");
    std::vector<uint8_t> written;
    Require(file_io::ReadAll(copy.Path(), written) == file_io::Read::Ok, "read back");
    const size_t used = kDataHeaderSize + kRecordSize * static_cast<size_t>(count);
    Require(written.size() == used && std::memcmp(written.data(), data, used) == 0,
            "a loaded table writes back byte for byte");
}

void CheckCell(const ResultRows& rows, int row, int column) {
    char text[kCellTextSize];
    std::memset(text, 'x', sizeof text);
    const size_t n = rows.CellText(row, column, text, sizeof text);
    Require(n < sizeof text && text[n] == 0, "cell text terminated at its length");
    Require(std::strlen(text) <= n, "no terminator past the cell length");
    if (column == 9)
        for (size_t i = 0; i < n; ++i)
            Require(text[i] != '\\' && text[i] != '/' && text[i] != ':',
                    "photo name stays in the Photo folder");
}

bool SortedBy(const ResultRows& rows, int column, int ascending) {
    for (int row = 1; row < rows.RowCount(); ++row) {
        const MeasureRecord* a = rows.RecordOfRow(row - 1);
        const MeasureRecord* b = rows.RecordOfRow(row);
        if (column == 3 && (std::isnan(a->Value) || std::isnan(b->Value)))
            continue;
        if (CompareRecords(*a, *b, column, ascending) > 0)
            return false;
    }
    return true;
}

void CheckResultList(const fuzz::ScratchFile& file, const uint8_t* data, size_t size) {
    const RecordList noTable;
    ResultRows rows(noTable);
    std::string message;
    const ResultRows::Shown shown = rows.ShowFile(file.Path(), "C:\\Data\\Quelma2026.dat", message);
    const int32_t count = HeaderCount(data, size);
    const bool loadable = size >= static_cast<size_t>(kDataHeaderSize) && count > 0 &&
                          static_cast<size_t>(count) <= RecordsHeld(size);
    Require((shown == ResultRows::Shown::OtherFile) == loadable,
            "the File button takes exactly the files with all their records");
    if (shown != ResultRows::Shown::OtherFile) {
        Require(rows.RowCount() == 0, "a refused file shows no rows");
        const bool silent = size == 0 || (size >= 8 && count == 0);
        Require(message.empty() == silent, "a damaged file is reported, an empty one is not");
        return;
    }
    Require(rows.RecordCount() == count && rows.RowCount() == count, "one row per record");
    Require(std::memcmp(rows.Records(), data + kDataHeaderSize,
                        kRecordSize * static_cast<size_t>(count)) == 0,
            "rows show the file's records");

    // Every heading, twice (both directions), then every cell of the order it leaves.
    int sortColumn = 0;
    int sortAscending = 0;
    for (int click = 0; click < 14; ++click) {
        const int column = click % 7 + 1;
        const ColumnClick result = rows.ClickColumn(column, sortColumn, sortAscending);
        if (!result.sorts)
            continue;
        Require(rows.RowCount() == count, "sorting keeps every row");
        std::vector<int> seen(static_cast<size_t>(count), 0);
        for (int row = 0; row < count; ++row) {
            const int at = rows.RecordAt(row);
            Require(at >= 0 && at < count && ++seen[static_cast<size_t>(at)] == 1,
                    "sorted rows are a permutation of the records");
        }
        Require(SortedBy(rows, sortColumn, sortAscending), "rows are in the clicked order");
    }
    const int shownRows = count < 40 ? count : 40;
    for (int row = -1; row <= shownRows; ++row)
        for (int column = -1; column <= kRecordColumnCount; ++column)
            CheckCell(rows, row, column);

    // Filters read from the records themselves must keep the row index inside the set.
    ResultFilter& filter = rows.Filter();
    filter.PeriodFilterOn = 1;
    filter.PeriodStart = SplitDate(rows.FirstTime());
    filter.PeriodEnd = SplitDate(rows.LastTime());
    filter.IdFilterOn = 1;
    std::memcpy(filter.FilterId, rows.Records()[0].ID, sizeof filter.FilterId);
    filter.FilterId[sizeof filter.FilterId - 1] = 0;
    filter.LevelFilter = static_cast<int32_t>(rows.Records()[0].Reserved2 % 5);
    filter.LevelChoice = rows.Records()[0].Level;
    filter.RangeLow = rows.Records()[0].Low;
    filter.RangeHigh = rows.Records()[0].Hi;
    rows.ApplyChosenFilter();
    Require(rows.RowCount() <= count, "a filter never adds rows");
    for (int row = 0; row < rows.RowCount(); ++row)
        Require(rows.RecordAt(row) >= 0, "filtered rows point at records");
}

void CheckBackupInfo(const fuzz::ScratchFile& file, const uint8_t* data, size_t size) {
    DataFileInfo info;
    Require(ReadDataFileInfo(file.Path(), info), "backup summary opens the file");
    Require(info.size == static_cast<int64_t>(size), "backup summary size");
    const int32_t count = HeaderCount(data, size);
    const bool records = size >= static_cast<size_t>(kDataHeaderSize) && count > 0 &&
                         static_cast<size_t>(count) <= RecordsHeld(size);
    Require(info.hasRecords == records, "first and last record read only when present");
    if (info.hasRecords) {
        Require(std::memcmp(&info.first, data + kDataHeaderSize, kRecordSize) == 0, "first record");
        Require(std::memcmp(&info.last,
                            data + kDataHeaderSize + kRecordSize * static_cast<size_t>(count - 1),
                            kRecordSize) == 0,
                "last record");
    }
    const std::string duration = DurationText(info);
    Require(duration.size() < 96, "duration fits its buffer");
    Require(!FileSizeText(info).empty(), "size text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::ScratchFile file("data.dat");
    file.Write(data, size);
    CheckStartupLoad(file, data, size);
    CheckResultList(file, data, size);
    CheckBackupInfo(file, data, size);
    return 0;
}
