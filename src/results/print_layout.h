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

enum class PrintSetup { Ok, NoFont, PageTooSmall };

// From the font's text metrics and the drawing area. A page that holds fewer than 11 text
// lines leaves no room for a single list row and is refused.
PrintSetup MeasurePrintPage(int textHeight, int averageCharWidth, int areaWidth, int areaHeight,
                            PrintMetrics& metrics);
// The operator message for a refused printer.
const char* PrintSetupMessage(PrintSetup setup);

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
