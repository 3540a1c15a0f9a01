// The entry of the Windows test program. ctest runs it once per suite with a filter: a
// filter that selects nothing must fail, not pass, and skipped tests get a line of their
// own that ctest reports as a skip (only when nothing failed, so a skip never hides a failure).
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    const ::testing::UnitTest& run = *::testing::UnitTest::GetInstance();
    if (run.test_to_run_count() == 0 && !::testing::GTEST_FLAG(list_tests)) {
        std::printf("wine_tests: no test matches the filter\n");
        return 1;
    }
    if (result == 0 && run.skipped_test_count() > 0)
        std::printf("wine_tests: %d skipped\n", run.skipped_test_count());
    std::fflush(stdout);
    return result;
}
