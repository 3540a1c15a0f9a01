#include "collect/rows.h"

#include "collect/station_text.h"
#include "results/record_cells.h"
#include "storage/data_file.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace rows {

void PutUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

namespace {

const char kNull[] = "\\N";

std::string Float(float f) {
    if (std::isnan(f))
        return "NaN";
    if (std::isinf(f))
        return f > 0 ? "Infinity" : "-Infinity";
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(f));
    return text;
}

// UTC text of a record time; NULL for times the database cannot hold (damaged records keep
// them in their raw bytes).
std::string Timestamp(int64_t time) {
    constexpr int64_t kYear1 = -62135596800;     // 0001-01-01
    constexpr int64_t kYear10000 = 253402300800; // 10000-01-01
    if (time < kYear1 || time >= kYear10000)
        return kNull;
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return kNull;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d+00", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

std::string CodeText(const char* text) {
    return *text ? CopyText(text) : kNull;
}

template <size_t N> std::string Serial(const uint8_t (&serial)[N]) {
    return Hex(serial, N);
}

template <size_t N> std::string FieldText(const StationText& text, const char (&field)[N]) {
    return CopyText(text.Utf8(std::string_view(field, FieldLength(field))));
}

} // namespace

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2)
                return false;
        i += n;
    }
    return true;
}

std::string CopyText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Hex(const void* bytes, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    const auto* p = static_cast<const unsigned char*>(bytes);
    std::string out(size * 2, '0');
    for (size_t i = 0; i < size; ++i) {
        out[2 * i] = kDigits[p[i] >> 4];
        out[2 * i + 1] = kDigits[p[i] & 15];
    }
    return out;
}

std::string CopyBytea(const void* bytes, size_t size) {
    return "\\\\x" + Hex(bytes, size);
}

const char kMeasurementColumns[] = "station, year, generation, number, id, name, card_serial, "
                                   "time, mode, unit, low, hi, value, level, result, photo, "
                                   "photo_file, raw";

std::string MeasurementRow(const StationText& text, const std::string& station, int year,
                           int generation, int number, const MeasureRecord& r) {
    char result[kCellTextSize];
    FormatRecordCell(r, number, 3, LowHiRule::Always, result, sizeof result);
    const bool fast = r.Mode == kModeFast;
    std::string row;
    row.reserve(400);
    row += CopyText(station) + '\t' + std::to_string(year) + '\t' + std::to_string(generation) +
           '\t' + std::to_string(number) + '\t';
    row +=
        FieldText(text, r.ID) + '\t' + FieldText(text, r.Name) + '\t' + Serial(r.CardSerial) + '\t';
    row += Timestamp(r.Time) + '\t' + CodeText(ModeText(r.Mode)) + '\t' +
           CodeText(UnitText(r.Unit)) + '\t';
    row += Float(r.Low) + '\t' + Float(r.Hi) + '\t' + Float(r.Value) + '\t';
    row += (fast ? CodeText(ClassText(r.Level)) : kNull) + '\t';
    row += CopyText(text.Utf8(result)) + '\t';
    row += r.Photo == 1 ? "t\t" + CopyText(text.PhotoFile(r)) : "f\t\\N";
    row += '\t' + CopyBytea(&r, sizeof r);
    return row;
}

std::string MemberRow(const StationText& text, const std::string& station, int slot,
                      const MemberEntry& m) {
    return CopyText(station) + '\t' + std::to_string(slot) + '\t' + FieldText(text, m.ID) + '\t' +
           FieldText(text, m.Name) + '\t' + Serial(m.CardSerial);
}

std::string Thousands(int64_t n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return n < 0 ? "-" + out : out;
}

std::string Counted(int64_t n, const char* singular, const char* plural) {
    return Thousands(n) + ' ' + (n == 1 ? singular : plural);
}

} // namespace rows
