// The free-space seam: an override text becomes the start's free-space figure; anything
// that is not a plain byte count reads as unknown, which refuses the start.
#include "measure/free_space.h"
#include "native/analyzer_effects_recorder.h"

#include <gtest/gtest.h>

namespace {

StartOutcome StartWith(const char* overrideText) {
    MeasureWorld w;
    StartRequest r;
    r.freeSpaceKnown = ParseFreeBytes(overrideText, &r.freeBytes);
    r.typedId = "A1";
    r.typedName = "Kim";
    r.channelExists = true;
    return PressStart(w.ctx, w.fx, r);
}

TEST(MeasureFreeSpace, OverrideAtTheLimit) {
    EXPECT_EQ(StartWith("4999999"), StartOutcome::DiskFull);
    EXPECT_EQ(StartWith("5000000"), StartOutcome::Sent);
    EXPECT_EQ(StartWith("18446744073709551615"), StartOutcome::Sent);
}

TEST(MeasureFreeSpace, MalformedOverrideIsUnknown) {
    uint64_t bytes = 7;
    for (const char* bad : {"", "-5000000", "+5000000", " 5000000", "5000000 ", "5e6", "0x4C4B40",
                            "18446744073709551616", "99999999999999999999999"}) {
        EXPECT_FALSE(ParseFreeBytes(bad, &bytes)) << bad;
        EXPECT_EQ(StartWith(bad), StartOutcome::DiskFull) << bad;
    }
    EXPECT_FALSE(ParseFreeBytes(nullptr, &bytes));
    EXPECT_EQ(bytes, 7u);
    EXPECT_TRUE(ParseFreeBytes("0", &bytes));
    EXPECT_EQ(bytes, 0u);
}

} // namespace
