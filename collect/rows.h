// The text the collector sends and prints: COPY rows of the station records, and the
// station's summary line. Pure functions, no database.
#pragma once

#include "storage/records.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rows {

// Station texts are Windows-1252 bytes; the database gets UTF-8. Bytes the code page leaves
// undefined map to the same code point, as Windows itself converts them.
std::string Utf8FromAnsi(std::string_view ansi);
// A name as the folder gave it: kept when it is UTF-8 (a share mounted with a UTF-8
// character set), else read as Windows-1252 (bytes copied as they were).
std::string Utf8FileName(std::string_view name);
// A fixed text field up to its zero, converted to UTF-8.
template <size_t N> std::string FieldUtf8(const char (&field)[N]) {
    return Utf8FromAnsi(std::string_view(field, FieldLength(field)));
}

// `bytes` as a COPY text bytea value (\\x followed by hex digits).
std::string CopyBytea(const void* bytes, size_t size);
std::string Hex(const void* bytes, size_t size);

// One row of quelma.measurements, without the line feed.
std::string MeasurementRow(const std::string& station, int year, int number,
                           const MeasureRecord& record);
// One row of quelma.members.
std::string MemberRow(const std::string& station, int slot, const MemberEntry& member);

// A text escaped for COPY's text format.
std::string CopyText(std::string_view text);

// 1204 -> "1,204".
std::string Thousands(int64_t n);
// "3 new records", "1 photo".
std::string Counted(int64_t n, const char* singular, const char* plural);

} // namespace rows
