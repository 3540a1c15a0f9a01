// What the Backup dialog shows about a data file (its size and the dates of its first and
// last record) and the names it works with.
#pragma once

#include "storage/records.h"

#include <cstdint>
#include <string>

struct DataFileInfo {
    int64_t size = 0;
    int32_t count = 0;       // as the file's header says
    bool hasRecords = false; // first and last record were read
    MeasureRecord first{};
    MeasureRecord last{};
};

// False when the file cannot be opened. A file without records, or one whose count
// promises records it does not hold, gives hasRecords false: nothing is read past its end.
bool ReadDataFileInfo(const char* path, DataFileInfo& info);

// "%d" of the size.
std::string FileSizeText(const DataFileInfo& info);
// "YYYY-MM-DD ~ YYYY-MM-DD" from the local dates of the first and the last record in file
// order; empty when there are no records.
std::string DurationText(const DataFileInfo& info);

// The part of a path after its last backslash: the name the save dialog suggests.
std::string BackupSuggestion(const std::string& path);
// The file the data is copied to: the chosen name with ".dat" appended, whatever it ends in.
std::string BackupTarget(const std::string& chosen);
