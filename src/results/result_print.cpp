#include "results/result_print.h"

#include "framework/message_box.h"
#include "res/resource.h"
#include "results/print_job.h"
#include "results/result_dialog.h"

#include <commdlg.h>

namespace {

constexpr COLORREF kRuleColour = RGB(0, 0, 0);

// The print dialog's device mode and names, freed on every way out.
class PrintDialogMemory {
  public:
    explicit PrintDialogMemory(PRINTDLGA& pd) : pd_(pd) {}
    ~PrintDialogMemory() {
        if (pd_.hDevMode)
            GlobalFree(pd_.hDevMode);
        if (pd_.hDevNames)
            GlobalFree(pd_.hDevNames);
    }
    PrintDialogMemory(const PrintDialogMemory&) = delete;
    PrintDialogMemory& operator=(const PrintDialogMemory&) = delete;

  private:
    PRINTDLGA& pd_;
};

class PrinterDC {
  public:
    explicit PrinterDC(HDC dc) : dc_(dc) {}
    ~PrinterDC() {
        if (dc_)
            DeleteDC(dc_);
    }
    PrinterDC(const PrinterDC&) = delete;
    PrinterDC& operator=(const PrinterDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

class GdiPrintJob : public PrintJobSteps {
  public:
    GdiPrintJob(CResult& dialog, HDC dc, ResultPrintInfo& info)
        : dialog_(dialog), dc_(dc), info_(info) {}

    int StartDocument() override {
        char title[64] = {};
        if (LoadStringA(GetModuleHandleA(nullptr), IDS_APP_TITLE, title, sizeof title) <= 0)
            lstrcpynA(title, "Quelma", sizeof title);
        DOCINFOA doc{};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = title;
        return StartDocA(dc_, &doc);
    }
    void StartPage() override { ::StartPage(dc_); }
    void PrintPage(int page) override {
        info_.currentPage = page;
        dialog_.PrintPage(dc_, info_);
    }
    int EndPage() override { return ::EndPage(dc_); }
    void EndDocument() override { EndDoc(dc_); }
    void AbortDocument() override { AbortDoc(dc_); }

  private:
    CResult& dialog_;
    HDC dc_;
    ResultPrintInfo& info_;
};

} // namespace

fw::Font FitPrintFont(HDC dc, int areaWidth, int charsNeeded, int defaultCharWidth) {
    const int wanted = PrintCharWidthFor(areaWidth, charsNeeded, defaultCharWidth);
    // Fixed-pitch faces are about twice as high as wide; the font mapper picks by height,
    // and each try shrinks in proportion to how much too wide the last one came out.
    int height = 2 * wanted;
    fw::Font font;
    for (int tries = 0; tries < 8 && wanted > 0 && height > 0; ++tries) {
        font.Reset(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               FIXED_PITCH | FF_MODERN, "Courier New"));
        if (!font)
            break;
        TEXTMETRICA metrics{};
        fw::ScopedSelect selected(dc, font.Get());
        if (!GetTextMetricsA(dc, &metrics) || metrics.tmAveCharWidth <= 0)
            break;
        if (metrics.tmAveCharWidth <= wanted)
            return font;
        height = SmallerPrintFontHeight(height, metrics.tmAveCharWidth, wanted);
    }
    return fw::Font();
}

void DrawPrintOps(HDC dc, const std::vector<PrintOp>& ops) {
    SetTextAlign(dc, TA_TOP | TA_LEFT | TA_NOUPDATECP);
    for (const PrintOp& op : ops) {
        if (op.kind == PrintOp::Rule) {
            for (int x = op.x; x <= op.x1; ++x)
                SetPixel(dc, x, op.y, kRuleColour);
        } else if (!op.text.empty()) {
            TextOutA(dc, op.x, op.y, op.text.c_str(), static_cast<int>(op.text.size()));
        }
    }
}

bool PrintResultListOn(CResult& dialog, HDC printer) {
    ResultPrintInfo info;
    info.drawRect = {0, 0, GetDeviceCaps(printer, HORZRES), GetDeviceCaps(printer, VERTRES)};
    // Measured before the document starts, so a refused printer gets no empty job.
    if (!dialog.BeginPrint(printer, info)) {
        fw::MessageBox(dialog.hwnd(), PrintSetupMessage(dialog.LastPrintSetup()));
        return false;
    }
    GdiPrintJob job(dialog, printer, info);
    const int printed = RunPrintJob(job, info.minPage, info.maxPage);
    dialog.EndPrint(printer, info);
    return printed == info.maxPage - info.minPage + 1;
}

void PrintResultList(CResult& dialog) {
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = dialog.hwnd();
    pd.Flags = PD_ALLPAGES | PD_NOPAGENUMS | PD_NOSELECTION | PD_HIDEPRINTTOFILE | PD_RETURNDC |
               PD_USEDEVMODECOPIESANDCOLLATE;
    const BOOL chosen = PrintDlgA(&pd);
    PrintDialogMemory memory(pd);
    PrinterDC printer(pd.hDC);
    if (!chosen || !printer.Get())
        return;
    PrintResultListOn(dialog, printer.Get());
}
