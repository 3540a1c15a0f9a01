// The order of a print job's steps and which failures end it, apart from the printer.
#pragma once

// What a print job asks of the printer. Results follow the printing calls: greater than 0
// means success.
class PrintJobSteps {
  public:
    virtual ~PrintJobSteps() = default;
    virtual int StartDocument() = 0;
    virtual void StartPage() = 0;
    virtual void PrintPage(int page) = 0;
    virtual int EndPage() = 0;
    virtual void EndDocument() = 0;
    virtual void AbortDocument() = 0;
};

// Starts the document, then prints pages `firstPage`..`lastPage` while every step so far
// succeeded; a page whose end fails is the last one tried. Ends the document when the last
// step succeeded, else aborts it. Returns the pages ended successfully.
int RunPrintJob(PrintJobSteps& steps, int firstPage, int lastPage);
