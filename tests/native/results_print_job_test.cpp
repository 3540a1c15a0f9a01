#include "results/print_job.h"
#include "results/print_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the calls and fails the ones it is told to.
class Recorder : public PrintJobSteps {
  public:
    int startResult = 1;
    int failEndOfPage = -1; // page whose end fails
    std::vector<std::string> calls;

    int StartDocument() override {
        calls.push_back("doc");
        return startResult;
    }
    void StartPage() override { calls.push_back("start"); }
    void PrintPage(int page) override {
        current_ = page;
        calls.push_back("page " + std::to_string(page));
    }
    int EndPage() override {
        calls.push_back("end");
        return current_ == failEndOfPage ? 0 : 1;
    }
    void EndDocument() override { calls.push_back("enddoc"); }
    void AbortDocument() override { calls.push_back("abort"); }

  private:
    int current_ = -1;
};

using Calls = std::vector<std::string>;

TEST(ResultPrintJob, StepOrderAndFailures) {
    {
        Recorder r;
        EXPECT_EQ(RunPrintJob(r, 0, 1), 2);
        EXPECT_EQ(r.calls,
                  (Calls{"doc", "start", "page 0", "end", "start", "page 1", "end", "enddoc"}));
    }
    {
        // A document that does not start prints nothing and is aborted; a print spooler
        // reports failure as 0 or as a negative error.
        for (int result : {0, -1}) {
            Recorder r;
            r.startResult = result;
            EXPECT_EQ(RunPrintJob(r, 0, 3), 0);
            EXPECT_EQ(r.calls, (Calls{"doc", "abort"}));
        }
    }
    {
        // A page that cannot be ended is the last one tried.
        Recorder r;
        r.failEndOfPage = 1;
        EXPECT_EQ(RunPrintJob(r, 0, 3), 1);
        EXPECT_EQ(r.calls,
                  (Calls{"doc", "start", "page 0", "end", "start", "page 1", "end", "abort"}));
    }
}

TEST(ResultPrintJob, PageRangeFromTheLayout) {
    // 40 rows a page: 40 items need a second page of headings only, 41 a second page with
    // one row; an empty list still prints page 0.
    PrintMetrics metrics;
    ASSERT_EQ(MeasurePrintPage(10, 5, 1000, 500, metrics), PrintSetup::Ok);
    ASSERT_EQ(metrics.RowsPerPage, 40);
    for (auto [items, pages] : {std::pair{0, 1}, {39, 1}, {40, 2}, {41, 2}, {81, 3}}) {
        Recorder r;
        EXPECT_EQ(RunPrintJob(r, 0, LastPrintPage(items, metrics)), pages) << items;
    }
    // A page of ten lines has no room for a row.
    EXPECT_EQ(MeasurePrintPage(10, 5, 1000, 109, metrics), PrintSetup::PageTooSmall);
}

} // namespace
