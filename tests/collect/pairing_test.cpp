// The pairing of positive screenings with their confirmation tests, at the edges of the
// window and with several screenings open at once.
#include "collect/pairing.h"

#include <gtest/gtest.h>

using pairing::Measurement;
using pairing::Pair;

namespace {

constexpr int64_t kMinute = 60;

Measurement Pos(int64_t minute, int64_t second = 0) {
    return {minute * kMinute + second, true};
}
Measurement Neg(int64_t minute, int64_t second = 0) {
    return {minute * kMinute + second, false};
}

// "screening>confirmation" per screening, "-" when nothing confirms it.
std::string Pairs(const std::vector<Measurement>& ms, bool pairs = true) {
    std::string text;
    for (const pairing::Screening& s : Pair(ms, pairing::Window{}, pairs))
        text += (text.empty() ? "" : " ") + std::to_string(s.index) + ">" +
                (s.confirmation ? std::to_string(*s.confirmation) : "-");
    return text;
}

TEST(Pairing, WindowIncludesBothEndsAndNothingOutside) {
    EXPECT_EQ(Pairs({Pos(0), Neg(15)}), "0>1");
    EXPECT_EQ(Pairs({Pos(0), Pos(30)}), "0>1");
    // Too early: a second screening of its own, which the later test then confirms.
    EXPECT_EQ(Pairs({Pos(0), Pos(14, 59), Neg(30, 1)}), "0>- 1>2");
    EXPECT_EQ(Pairs({Pos(0), Neg(14, 59), Neg(30, 1)}), "0>-");
    EXPECT_EQ(Pairs({Pos(0), Pos(30, 1)}), "0>- 1>-");
    EXPECT_EQ(Pairs({Pos(0)}), "0>-");
}

TEST(Pairing, FirstTestInTheWindowGovernsAndIsNoScreening) {
    // The negative first: not confirmed; the positive after it is a new screening.
    EXPECT_EQ(Pairs({Pos(0), Neg(16), Pos(20)}), "0>1 2>-");
    // A positive confirmation is no new screening, so the next test confirms nothing.
    EXPECT_EQ(Pairs({Pos(0), Pos(20), Pos(40)}), "0>1 2>-");
    EXPECT_EQ(Pairs({Neg(0), Neg(20)}), "");
}

TEST(Pairing, OneTestConfirmsEveryScreeningWhoseWindowHoldsIt) {
    EXPECT_EQ(Pairs({Pos(0), Pos(5), Neg(22)}), "0>2 1>2");
    // Outside the second one's window: that one waits for its own test.
    EXPECT_EQ(Pairs({Pos(0), Pos(10), Pos(20), Neg(26)}), "0>2 1>3");
}

TEST(Pairing, UntimedAndUnidentifiedNeverPair) {
    EXPECT_EQ(Pairs({Pos(0), {std::nullopt, false}, Neg(20)}), "0>2");
    EXPECT_EQ(Pairs({{std::nullopt, true}, Pos(0), Neg(20)}), "0>- 1>2");
    EXPECT_EQ(Pairs({Pos(0), Pos(20), Neg(25)}, false), "0>- 1>-");
}

TEST(Pairing, SiteWindowIsHonoured) {
    const pairing::Window tight{5 * kMinute, 10 * kMinute};
    const auto screenings = Pair({Pos(0), Neg(5), Pos(16)}, tight);
    ASSERT_EQ(screenings.size(), 2u);
    EXPECT_EQ(screenings[0].confirmation, 1u);
    EXPECT_FALSE(screenings[1].confirmation);
}

} // namespace
