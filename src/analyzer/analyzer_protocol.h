// The analyzer's line protocol: the commands it takes, the tokens it answers with, and how
// the numbers inside its lines are read and shown.
#pragma once

#include <cstddef>

constexpr const char* kCommandRecall = "$RECALL\r\n";
constexpr const char* kCommandFast = "$FAST\r\n";
constexpr const char* kCommandStart = "$START\r\n";

// In the order the table is searched.
enum class AnalyzerToken {
    None,
    UnitB,
    UnitM,
    UnitG,
    End,
    Ini,
    Wai,
    Sta,
    Tri,
    Bre,
    Res,
    Flo,
    Tim,
    Sen,
    Cal,
    Bat
};

// The token of a line: its first three characters compared as a whole, case-sensitive.
// A line of fewer than three characters matches nothing.
AnalyzerToken MatchToken(const char* line, int chars);

bool IsUnitToken(AnalyzerToken token);

// The status text a token shows when it is fixed ("WAIT", "Blow", "FLOW", ...); null for the
// tokens whose text depends on the line or that leave the display alone.
const char* FixedStatusText(AnalyzerToken token);

// 0 "%BAC" for "B", 1 "mg/l" for "M", 2 "g/l" for anything else (the unit line's third
// character).
int UnitCodeOf(const char* line, int chars);

// The running total after the first "T/" of the line: white space skipped, then decimal
// digits up to the first other character (0 when there are none; clamped to the int range).
// False, and `total` untouched, when the line has no "T/".
bool ReadDeviceTotal(const char* line, int chars, int* total);

// The number of a "RES" line, read from index 7 like strtod in the C locale (white space,
// sign, digits with a decimal point and exponent); 0 when nothing there reads as a number.
float ReadResultValue(const char* line, int chars);

// Fast-mode class: 0 below `low`, 1 from `low` up to below `hi`, 2 from `hi` up; a value
// equal to a threshold takes the higher class.
int ClassifyValue(float value, float low, float hi);

// Normal-mode result text, "%.3f %s" with the unit's name, into `out` of `size` bytes.
void FormatNormalResult(float value, int unit, char* out, size_t size);

// Copies the characters [from, chars) of a line for the status display. Bytes that are not
// printable ASCII show as '?', so noise on the line can neither end the text early nor draw
// control characters; the carriage return the analyzer ends its lines with is kept.
void CopyDisplayText(const char* line, int chars, int from, char* out, size_t size);
