#include "results/record_cells.h"

#include "storage/data_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

const RecordColumn kRecordColumns[kRecordColumnCount] = {
    {"NO", 7},    {"ID", 10},  {"Name", 20}, {"Result", 12}, {"Date", 10},
    {"Time", 10}, {"Mode", 8}, {"Low", 8},   {"Hi", 8},      {"Photo", 45}};

int ColumnWidth(int widthFactor, float columnUnit) {
    return static_cast<int>(static_cast<float>(widthFactor) * columnUnit) + 1;
}

namespace {

size_t Put(char* out, size_t size, const char* text, size_t length) {
    const size_t n = length < size - 1 ? length : size - 1;
    std::memcpy(out, text, n);
    out[n] = 0;
    return n;
}

size_t Print(char* out, size_t size, const char* format, ...) {
    // vsnprintf cuts and terminates; report what actually landed in the buffer.
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(out, size, format, args);
    va_end(args);
    if (n < 0) {
        out[0] = 0;
        return 0;
    }
    return static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1;
}

} // namespace

size_t FormatRecordCell(const MeasureRecord& record, int row, int column, LowHiRule rule, char* out,
                        size_t size) {
    if (!out || size == 0)
        return 0;
    out[0] = 0;
    const bool lowHi = rule == LowHiRule::Always || record.Mode == kModeFast;
    std::tm tm{};
    switch (column) {
    case 0:
        return Print(out, size, "%d", row + 1);
    case 1:
        return Put(out, size, record.ID, FieldLength(record.ID));
    case 2:
        return Put(out, size, record.Name, FieldLength(record.Name));
    case 3:
        if (record.Mode == kModeFast)
            return Print(out, size, "%s", ClassText(record.Level));
        return Print(out, size, "%.3f %s", static_cast<double>(record.Value),
                     UnitText(record.Unit));
    case 4:
        // A time the C library cannot convert (damaged record) shows an empty cell.
        if (!LocalTime(record.Time, tm))
            return 0;
        return Print(out, size, "%02d_%02d_%02d", tm.tm_year + 1900 - 2000, tm.tm_mon + 1,
                     tm.tm_mday);
    case 5:
        if (!LocalTime(record.Time, tm))
            return 0;
        return Print(out, size, "%02d_%02d_%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
    case 6:
        return Print(out, size, "%s", ModeText(record.Mode));
    case 7:
        return lowHi ? Print(out, size, "%.3f", static_cast<double>(record.Low)) : 0;
    case 8:
        return lowHi ? Print(out, size, "%.3f", static_cast<double>(record.Hi)) : 0;
    case 9:
        if (record.Photo != 1)
            return 0;
        {
            const std::string name = PhotoFileName(record);
            return Put(out, size, name.c_str(), name.size());
        }
    default:
        return 0;
    }
}

namespace {

std::string ControlsToSpaces(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = ' ';
    }
    return text;
}

} // namespace

std::string FormulaSafeCell(int column, std::string text) {
    const bool named = column == 1 || column == 2 || column == 9;
    return named ? SpreadsheetText(std::move(text)) : ControlsToSpaces(std::move(text));
}

std::string SpreadsheetText(std::string text) {
    text = ControlsToSpaces(std::move(text));
    if (StartsAFormula(text))
        text.insert(text.begin(), '\'');
    return text;
}

bool StartsAFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
}
