// The yearly data file Data\Quelma<year>.dat and the in-memory RecordTable.
#pragma once

#include "storage/file_io.h"
#include "storage/records.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// The current year's records, slots 0..count-1 in file order. `capacity` follows the
// file's growth rule (count + 300 after a load, +300 whenever an append fills it); the
// vector reserves that much so appends never move the records in between.
struct RecordList {
    std::vector<MeasureRecord> records;
    int capacity = 0;
    int savedCount = 0; // records known to be in the file, byte for byte

    int Count() const { return static_cast<int>(records.size()); }
    const MeasureRecord* data() const { return records.data(); }
};

extern RecordList RecordTable;
extern char g_szDataFileName[64];
extern int g_nDeviceTotal;
extern MeasureRecord g_CurrentRecord;
extern int g_SortColumn;
extern int g_SortAscending;

// "Quelma<year>.dat" for the local year of `now`.
std::string DataFileName(std::time_t now);

enum class DataLoad { Loaded, CannotOpen, Broken, NoMemory };
// Reads a data file. A file whose magic is wrong, whose count is negative or which is
// shorter than its count promises is Broken: loading it would let a later write fill the
// missing records with garbage. `why` tells a missing file from one that is held, refused
// or fails to read (CannotOpen).
DataLoad ReadDataFile(const char* path, RecordList& table, file_io::Failure* why = nullptr);
// The 8-byte file of a new year: count 0 and the magic, never over a file that holds
// anything (`taken` says when one does), and whole or not at all.
bool CreateDataFile(const char* path, bool* taken = nullptr);
// g_szInstallDir + "Data\" + name; "" when that would not fit a path buffer.
std::string DataFilePath(const char* name);

// Fresh empty table with room for 300 records.
bool ResetRecordTable(RecordList& table);

// Brings the file up to the table. The records go in before the count, so a process that
// dies at any point leaves a file that loads with every record of the previous write.
bool WriteDataFile(const char* path, RecordList& table);

enum class AppendResult { Stored, GrowFailed };
// Numbers the record, appends it and grows the capacity by 300 when it is reached.
// The file write is the caller's, between the two steps (see the Measure dialog).
void AppendToTable(RecordList& table, MeasureRecord record);
AppendResult GrowIfFull(RecordList& table);

// Local calendar date of a record time; zeros when it cannot be converted.
struct CivilDate {
    int year = 0, month = 0, day = 0;
};
CivilDate SplitDate(int64_t time);
bool LocalTime(int64_t time, std::tm& out);
int CompareDates(const CivilDate& a, const CivilDate& b);

// "<Name>_YYYY_MM_DD_AM|PM_hh_mm_ss.bmp". Characters a Windows file name cannot hold
// (or that would leave the Photo folder) are replaced by '_', the same way for the
// writer and every reader.
std::string PhotoFileName(const MeasureRecord& record);
