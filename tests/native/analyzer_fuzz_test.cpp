// Random traffic through the framing and the protocol: nothing may crash, overrun or leave
// the state machine in a state it does not know.
#include "analyzer/analyzer_protocol.h"
#include "analyzer/line_assembler.h"
#include "analyzer/line_queue.h"
#include "analyzer_effects_recorder.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace {

// Random bytes, but with "$", line feeds and token beginnings often enough to reach deep.
std::string RandomTraffic(std::mt19937& rng, size_t size) {
    static const char* const kPieces[] = {
        "$",   "\n",      "\r\n", "U/M T/", "U/B", "U/G", "END", "INI",   "WAI", "STA", "TRI",
        "BRE", "RES    ", "FLO",  "TIM",    "SEN", "CAL", "BAT", "0.045", "1e9", "T/99"};
    std::string out;
    std::uniform_int_distribution<int> kind(0, 9), byte(0, 255);
    std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
    while (out.size() < size) {
        if (kind(rng) < 4)
            out += kPieces[piece(rng)];
        else
            out += static_cast<char>(byte(rng));
    }
    return out;
}

class CheckingSink : public LineSink {
  public:
    explicit CheckingSink(MeasureWorld& world) : w(world) {}
    void OnLine(const char* text, int chars, int length) override {
        ++lines;
        ASSERT_GE(chars, 1);
        ASSERT_LE(chars, kMaxLineChars);
        ASSERT_EQ(text[chars], 0);
        ASSERT_EQ(length, chars == kMaxLineChars ? kMaxLineChars : std::min(chars + 1, 255));
        queue.Push(text, chars, length);
        ReceivedLine line{};
        ASSERT_TRUE(queue.Pop(line));
        if (w.state == MeasureState::Idle && line.chars % 3 == 0)
            w.state = MeasureState::Started; // keep the machine awake most of the time
        HandleAnalyzerLine(w.ctx, w.fx, line.text, line.chars);
        ASSERT_GE(w.state, MeasureState::Idle);
        ASSERT_LE(w.state, MeasureState::Measuring);
        ASSERT_LE(w.record.Unit, 2);
        ASSERT_LE(w.record.Level, 2);
        for (const std::string& e : w.fx.Take()) {
            for (char c : e)
                ASSERT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << e;
        }
    }
    MeasureWorld& w;
    LineQueue queue;
    long lines = 0;
};

TEST(AnalyzerFuzz, RandomTrafficKeepsEveryInvariant) {
    std::mt19937 rng(20240611);
    MeasureWorld w;
    w.settings.UseWebCam = 1;
    LineAssembler assembler;
    CheckingSink sink(w);
    std::uniform_int_distribution<size_t> chunk(1, 700);
    for (int round = 0; round < 40; ++round) {
        w.settings.Mode = round % 2;
        const std::string traffic = RandomTraffic(rng, 50000);
        for (size_t pos = 0; pos < traffic.size();) {
            const size_t n = std::min(chunk(rng), traffic.size() - pos);
            assembler.Feed(traffic.data() + pos, n, sink);
            pos += n;
            ASSERT_GE(assembler.Position(), 0);
            ASSERT_LE(assembler.Position(), kMaxLineChars);
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GT(sink.lines, 10000);
}

// The result reader must agree with the C library's strtod on every decimal text it sees.
TEST(AnalyzerFuzz, ResultValueAgreesWithStrtod) {
    std::setlocale(LC_NUMERIC, "C");
    std::mt19937 rng(7);
    const char alphabet[] = "0123456789..eE+- \tz"; // no "x": hex is not a decimal number
    std::uniform_int_distribution<size_t> pick(0, sizeof alphabet - 2), len(0, 24);
    for (int i = 0; i < 200000; ++i) {
        std::string number;
        for (size_t n = len(rng); n > 0; --n)
            number += alphabet[pick(rng)];
        const std::string line = "RES    " + number + "\r";
        const float mine = ReadResultValue(line.data(), static_cast<int>(line.size()));
        const double expected = std::strtod(line.c_str() + 7, nullptr);
        if (std::fabs(expected) > std::numeric_limits<float>::max()) {
            ASSERT_TRUE(std::isinf(mine)) << number;
            continue;
        }
        ASSERT_EQ(mine, static_cast<float>(expected)) << "\"" << number << "\"";
    }
}

} // namespace
