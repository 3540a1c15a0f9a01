#include "results/print_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

const char* const kPrintHeadings[kPrintColumnCount] = {"No",   "ID",   "Name", "Result", "Date",
                                                       "Time", "Mode", "Low",  "Hi",     "Photo"};
const int kPrintColumnOffsets[kPrintColumnCount] = {0, 7, 17, 37, 49, 59, 69, 78, 86, 95};

namespace {
constexpr int kHeadLines = 10;
constexpr size_t kMaxCellChars = 255;
constexpr int kLeftMarginChars = 3;
constexpr int kRightSpareChars = 2;
constexpr size_t kWidestPageLabel = sizeof "Page = -2147483648" - 1;
} // namespace

int PrintLineCharsNeeded(size_t longestPhotoName) {
    // Cells are printed cut to 255 characters.
    const size_t photo =
        std::max(std::min(longestPhotoName, kMaxCellChars), std::strlen(kPrintHeadings[9]));
    const size_t row = kLeftMarginChars + kPrintColumnOffsets[9] + photo + kRightSpareChars;
    // The page label ends 3 characters short of the line.
    const size_t head = kLeftMarginChars + std::strlen(kPrintTitle) + 1 + kWidestPageLabel + 3;
    return static_cast<int>(std::max(row, head));
}

int PrintCharWidthFor(int areaWidth, int charsNeeded, int defaultCharWidth) {
    if (areaWidth <= 0 || charsNeeded <= 0)
        return 0;
    const int fits = areaWidth / charsNeeded;
    return defaultCharWidth > 0 ? std::min(fits, defaultCharWidth) : fits;
}

int SmallerPrintFontHeight(int requestedHeight, int measuredWidth, int wantedWidth) {
    if (measuredWidth <= 0 || wantedWidth <= 0)
        return requestedHeight - 1;
    const int64_t scaled = static_cast<int64_t>(requestedHeight) * wantedWidth / measuredWidth;
    return static_cast<int>(std::min<int64_t>(scaled, requestedHeight - 1));
}

PrintSetup MeasurePrintPage(int textHeight, int averageCharWidth, int areaWidth, int areaHeight,
                            PrintMetrics& metrics) {
    if (textHeight <= 0 || averageCharWidth <= 0)
        return PrintSetup::NoFont;
    const int rows = areaHeight / textHeight - kHeadLines;
    if (rows <= 0)
        return PrintSetup::PageTooSmall;
    metrics.PrintLineHeight = textHeight;
    metrics.PrintCharWidth = averageCharWidth;
    metrics.PrintLineChars = areaWidth / averageCharWidth;
    metrics.RowsPerPage = rows;
    return PrintSetup::Ok;
}

const char* PrintSetupMessage(PrintSetup setup) {
    switch (setup) {
    case PrintSetup::NoFont:
        return "The printer reports no usable font";
    case PrintSetup::PageTooSmall:
        return "The printer page is too small for the result list";
    case PrintSetup::PageTooNarrow:
        return "The printer page is too narrow for the result list";
    default:
        return "";
    }
}

int LastPrintPage(int itemCount, const PrintMetrics& metrics) {
    if (metrics.RowsPerPage <= 0 || itemCount <= 0)
        return 0;
    return itemCount / metrics.RowsPerPage;
}

std::vector<PrintOp> LayoutPrintPage(const PrintMetrics& metrics, int page, int& cursor,
                                     int itemCount, const PrintCellSource& cell) {
    const int lh = metrics.PrintLineHeight;
    const int cw = metrics.PrintCharWidth;
    const int margin = 3 * cw;
    const int m = lh / 8;
    const int ruleEnd = (metrics.PrintLineChars - 2) * cw - 1;

    std::vector<PrintOp> ops;
    ops.push_back({PrintOp::Text, margin, 5 * lh, 0, kPrintTitle});
    char label[32];
    const int labelLength = std::snprintf(label, sizeof label, "Page = %d", page);
    ops.push_back(
        {PrintOp::Text, cw * (metrics.PrintLineChars - labelLength - 3), 5 * lh, 0, label});
    ops.push_back({PrintOp::Rule, margin, 6 * lh + 4 * m, ruleEnd, {}});
    for (int n = 0; n < kPrintColumnCount; ++n)
        ops.push_back(
            {PrintOp::Text, margin + kPrintColumnOffsets[n] * cw, 7 * lh, 0, kPrintHeadings[n]});
    ops.push_back({PrintOp::Rule, margin, 8 * lh + 4 * m, ruleEnd, {}});

    for (int k = 0; k < metrics.RowsPerPage && cursor < itemCount; ++k, ++cursor) {
        for (int n = 0; n < kPrintColumnCount; ++n) {
            std::string text = cell ? cell(cursor, n) : std::string();
            if (text.size() > kMaxCellChars)
                text.resize(kMaxCellChars);
            ops.push_back(
                {PrintOp::Text, margin + kPrintColumnOffsets[n] * cw, (9 + k) * lh, 0, text});
        }
    }
    return ops;
}
