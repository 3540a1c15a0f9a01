#include "analyzer/analyzer_protocol.h"

#include "storage/records.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

struct TokenEntry {
    char text[4];
    AnalyzerToken token;
    const char* status;
};

constexpr TokenEntry kTokens[] = {
    {"U/B", AnalyzerToken::UnitB, nullptr},   {"U/M", AnalyzerToken::UnitM, nullptr},
    {"U/G", AnalyzerToken::UnitG, nullptr},   {"END", AnalyzerToken::End, "Ready"},
    {"INI", AnalyzerToken::Ini, nullptr},     {"WAI", AnalyzerToken::Wai, "WAIT"},
    {"STA", AnalyzerToken::Sta, "Blow"},      {"TRI", AnalyzerToken::Tri, "Blow"},
    {"BRE", AnalyzerToken::Bre, "Analyzing"}, {"RES", AnalyzerToken::Res, nullptr},
    {"FLO", AnalyzerToken::Flo, "FLOW"},      {"TIM", AnalyzerToken::Tim, "OUT"},
    {"SEN", AnalyzerToken::Sen, "SEN ERR"},   {"CAL", AnalyzerToken::Cal, "RECAL"},
    {"BAT", AnalyzerToken::Bat, "BAT"},
};

constexpr int kResultValueIndex = 7;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Power of ten of the first significant digit of a scanned decimal number ("123" 2,
// "0.05" -2, "1e-400" -400), clamped; only its sign matters to the caller.
long DecimalMagnitude(const char* p, const char* end) {
    long magnitude = 0;
    bool significant = false;
    bool fraction = false;
    for (; p < end && *p != 'e' && *p != 'E'; ++p) {
        if (*p == '.') {
            fraction = true;
        } else if (!significant && *p != '0') {
            significant = true;
            if (fraction)
                --magnitude;
        } else if (significant && !fraction) {
            ++magnitude;
        } else if (!significant && fraction) {
            --magnitude;
        }
    }
    if (p < end) {
        ++p;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+')
            ++p;
        long exponent = 0;
        for (; p < end; ++p)
            exponent = exponent < 1000000 ? exponent * 10 + (*p - '0') : exponent;
        magnitude += negative ? -exponent : exponent;
    }
    return magnitude;
}

} // namespace

AnalyzerToken MatchToken(const char* line, int chars) {
    if (!line || chars < 3)
        return AnalyzerToken::None;
    for (const TokenEntry& entry : kTokens) {
        if (std::memcmp(line, entry.text, 3) == 0)
            return entry.token;
    }
    return AnalyzerToken::None;
}

bool IsUnitToken(AnalyzerToken token) {
    return token == AnalyzerToken::UnitB || token == AnalyzerToken::UnitM ||
           token == AnalyzerToken::UnitG;
}

const char* FixedStatusText(AnalyzerToken token) {
    for (const TokenEntry& entry : kTokens) {
        if (entry.token == token)
            return entry.status;
    }
    return nullptr;
}

int UnitCodeOf(const char* line, int chars) {
    if (!line || chars < 3)
        return 2;
    if (line[2] == 'B')
        return 0;
    if (line[2] == 'M')
        return 1;
    return 2;
}

bool ReadDeviceTotal(const char* line, int chars, int* total) {
    if (!line)
        return false;
    for (int i = 0; i + 1 < chars; ++i) {
        if (line[i] != 'T' || line[i + 1] != '/')
            continue;
        int pos = i + 2;
        while (pos < chars && IsSpace(line[pos]))
            ++pos;
        long long value = 0;
        for (; pos < chars && IsDigit(line[pos]); ++pos) {
            value = value * 10 + (line[pos] - '0');
            if (value > INT_MAX)
                value = INT_MAX; // a garbled total must not overflow
        }
        *total = static_cast<int>(value);
        return true;
    }
    return false;
}

float ReadResultValue(const char* line, int chars) {
    if (!line || chars <= kResultValueIndex)
        return 0.0f;
    const char* p = line + kResultValueIndex;
    const char* const end = line + chars;
    while (p < end && IsSpace(*p))
        ++p;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    // Scan the extent ourselves: from_chars would also take "inf", "nan" and hex forms,
    // which strtod's decimal subset that the analyzer sends never holds.
    const char* const digitsStart = p;
    int digits = 0;
    while (p < end && IsDigit(*p)) {
        ++p;
        ++digits;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && IsDigit(*p)) {
            ++p;
            ++digits;
        }
    }
    if (digits == 0)
        return 0.0f;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-'))
            ++q;
        if (q < end && IsDigit(*q)) {
            while (q < end && IsDigit(*q))
                ++q;
            p = q;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(digitsStart, p, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large reads as infinity, too small as 0, as strtod does.
        value =
            DecimalMagnitude(digitsStart, p) < 0 ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc()) {
        return 0.0f;
    }
    if (negative)
        value = -value;
    // Converting a double beyond the float range is undefined; make it infinity on purpose.
    if (value > std::numeric_limits<float>::max())
        return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max())
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int ClassifyValue(float value, float low, float hi) {
    if (value < low)
        return 0;
    if (value < hi)
        return 1;
    return 2;
}

void FormatNormalResult(float value, int unit, char* out, size_t size) {
    if (!out || size == 0)
        return;
    std::snprintf(out, size, "%.3f %s", static_cast<double>(value), UnitText(unit));
}

void CopyDisplayText(const char* line, int chars, int from, char* out, size_t size) {
    if (!out || size == 0)
        return;
    size_t n = 0;
    for (int i = from < 0 ? 0 : from; line && i < chars && n + 1 < size; ++i) {
        const unsigned char c = static_cast<unsigned char>(line[i]);
        out[n++] = (c == '\r' || (c >= 0x20 && c < 0x7F)) ? static_cast<char>(c) : '?';
    }
    out[n] = 0;
}
