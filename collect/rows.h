// The text the collector sends and prints: COPY rows of the station records, and the
// station's summary line. Pure functions, no database.
#pragma once

#include "storage/records.h"

class StationText;

#include <cstdint>
#include <string>
#include <string_view>

namespace rows {

void PutUtf8(std::string& out, unsigned code);
bool IsUtf8(std::string_view s);

// `bytes` as a COPY text bytea value (\\x followed by hex digits).
std::string CopyBytea(const void* bytes, size_t size);
std::string Hex(const void* bytes, size_t size);

// One row of quelma.measurements, without the line feed.
// Its columns: kMeasurementColumns.
extern const char kMeasurementColumns[];
std::string MeasurementRow(const StationText& text, const std::string& station, int year,
                           int generation, int number, const MeasureRecord& record);
// One row of quelma.members.
std::string MemberRow(const StationText& text, const std::string& station, int slot,
                      const MemberEntry& member);

// A text escaped for COPY's text format.
std::string CopyText(std::string_view text);

// 1204 -> "1,204".
std::string Thousands(int64_t n);
// "3 new records", "1 photo".
std::string Counted(int64_t n, const char* singular, const char* plural);

} // namespace rows
