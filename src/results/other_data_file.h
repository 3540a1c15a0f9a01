// Reading another year's data file for the Result list's "File" button.
#pragma once

#include "storage/records.h"

#include <string>
#include <vector>

enum class OtherFileRead {
    Loaded,
    CannotOpen, // no message: the list keeps its rows
    Empty,      // a count of 0 (or an empty file): no message, the list keeps its rows
    Damaged,    // header cut short, negative count, fewer records than the count, or far
                // more bytes than the count needs
    Unreadable, // it exists but cannot be opened or read (held, refused, a disk error)
    NoMemory,
};

// The count, a marker that is not checked (files of other builds carry other values), then
// `count` records, read only once the file's size agrees with the count. `records` gets exactly
// those, with room reserved for 300 more, and is left untouched unless the result is Loaded.
OtherFileRead ReadOtherDataFile(const char* path, std::vector<MeasureRecord>& records);

// The operator message for a refused file, "" when the refusal is silent.
std::string OtherFileMessage(OtherFileRead result, const char* path);
