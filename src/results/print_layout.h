// The printed result list as arithmetic: where each text and rule of a page goes, in the
// printer's device units. The printer code draws these operations; tests read them.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct PrintMetrics {
    int PrintLineHeight = 0; // the default font's height
    int PrintCharWidth = 0;  // its average character width
    int PrintLineChars = 0;  // characters per line of the drawing area
    int RowsPerPage = 0;     // text lines of the drawing area minus the 10 of the page head
};

enum class PrintSetup { Ok, NoFont, PageTooSmall, PageTooNarrow };

// From the font's text metrics and the drawing area. A page that holds fewer than 11 text
// lines leaves no room for a single list row and is refused.
PrintSetup MeasurePrintPage(int textHeight, int averageCharWidth, int areaWidth, int areaHeight,
                            PrintMetrics& metrics);
// The operator message for a refused printer.
const char* PrintSetupMessage(PrintSetup setup);

// The printout's font. Columns sit at fixed character offsets, so the font is fixed-pitch and
// small enough that the longest row (offset 95 plus the longest photo name) fits the page:
// a printer's default font would push the later columns off the paper.
//
// Characters a text line must hold: the left margin, the columns up to "Photo" and the
// longest photo name, two to spare on the right; at least the title, a gap and the widest
// page label beside it.
int PrintLineCharsNeeded(size_t longestPhotoName);
// The widest average character width with which `charsNeeded` characters fit `areaWidth`,
// never wider than the printer's default font; 0 when not even one pixel a character does.
int PrintCharWidthFor(int areaWidth, int charsNeeded, int defaultCharWidth);
// The next font height to ask for when `requestedHeight` gave characters `measuredWidth`
// wide but at most `wantedWidth` fit: scaled down in proportion, and always smaller.
int SmallerPrintFontHeight(int requestedHeight, int measuredWidth, int wantedWidth);

// Pages are numbered from 0; the last one is items / RowsPerPage, so an exact multiple
// ends with a page of headings only.
int LastPrintPage(int itemCount, const PrintMetrics& metrics);

struct PrintOp {
    enum Kind { Text, Rule } kind = Text;
    int x = 0, y = 0;
    int x1 = 0; // Rule: last pixel column, inclusive
    std::string text;
};

constexpr const char* kPrintTitle = "Quelma - Alcohol Analyzer Interface";
constexpr int kPrintColumnCount = 10;
extern const char* const kPrintHeadings[kPrintColumnCount];
extern const int kPrintColumnOffsets[kPrintColumnCount];

// Text of list row `row`, column `column`, as the list holds it.
using PrintCellSource = std::function<std::string(int row, int column)>;

// The drawing of page `page`: title, page label, rules, headings, then the rows from
// `cursor` on, which advances past the rows printed. Cell texts are cut to 255 characters.
std::vector<PrintOp> LayoutPrintPage(const PrintMetrics& metrics, int page, int& cursor,
                                     int itemCount, const PrintCellSource& cell);
