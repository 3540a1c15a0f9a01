#include "results/print_job.h"

int RunPrintJob(PrintJobSteps& steps, int firstPage, int lastPage) {
    bool ok = steps.StartDocument() > 0;
    int printed = 0;
    for (int page = firstPage; ok && page <= lastPage; ++page) {
        steps.StartPage();
        steps.PrintPage(page);
        ok = steps.EndPage() > 0;
        if (ok)
            ++printed;
    }
    if (ok)
        steps.EndDocument();
    else
        steps.AbortDocument();
    return printed;
}
