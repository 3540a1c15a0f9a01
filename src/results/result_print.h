// Printing the Result list: the print dialog, the document and its pages. The page drawing
// takes any device context, so it can be drawn into a metafile as well as onto paper.
#pragma once

#include "framework/handles.h"
#include "results/print_layout.h"

#include <windows.h>

#include <vector>

class CResult;

// What the printing operations of the Result dialog share about a job.
struct ResultPrintInfo {
    RECT drawRect{}; // drawing area in device units
    int currentPage = 0;
    int minPage = 0;
    int maxPage = 0;
    // Where the font is measured: the printer itself when null. A metafile DC answers no
    // text metrics, so drawing into one takes a reference DC here.
    HDC attributeDc = nullptr;
};

// A fixed-pitch font, measured in `dc`, whose average character is at most as wide as
// `charsNeeded` characters on `areaWidth` allow and no wider than `defaultCharWidth`; null
// when the printer offers none.
fw::Font FitPrintFont(HDC dc, int areaWidth, int charsNeeded, int defaultCharWidth);

// Draws a page's operations: texts with TextOutA at their top-left corner, rules one pixel
// high with SetPixel.
void DrawPrintOps(HDC dc, const std::vector<PrintOp>& ops);

// The "Print" button: asks for the printer, then prints the list as it is shown now.
void PrintResultList(CResult& dialog);

// Prints on an already chosen printer (the part after the print dialog). False when the
// printer is refused or the job failed.
bool PrintResultListOn(CResult& dialog, HDC printer);
