#include "analyzer/line_assembler.h"
#include "analyzer/line_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Delivered {
    std::string text; // the characters as delivered, NULs included
    int length;
    bool terminated;
};

class Recorder : public LineSink {
  public:
    void OnLine(const char* text, int chars, int length) override {
        lines.push_back({std::string(text, static_cast<size_t>(chars)), length, text[chars] == 0});
    }
    std::vector<Delivered> lines;
};

std::vector<Delivered> Assemble(const std::vector<std::string>& reads) {
    LineAssembler assembler;
    Recorder sink;
    for (const std::string& r : reads)
        assembler.Feed(r.data(), r.size(), sink);
    return sink.lines;
}

TEST(AnalyzerFraming, OneLineKeepsItsCarriageReturn) {
    const auto lines = Assemble({"$END\r\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "END\r");
    EXPECT_EQ(lines[0].length, 5);
    EXPECT_TRUE(lines[0].terminated);
}

TEST(AnalyzerFraming, NoiseBeforeDollarAndDollarInsideALineRestart) {
    auto lines = Assemble({"abcd$END\r\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "END\r");
    EXPECT_EQ(lines[0].length, 5);

    lines = Assemble({"$RES  0.1$STA\r\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "STA\r");
}

TEST(AnalyzerFraming, TwoLinesInOneReadArriveInOrderOnce) {
    auto lines = Assemble({"$WAI\r\n$STA\r\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "WAI\r");
    EXPECT_EQ(lines[1].text, "STA\r");

    // A delivered line starts the next one afresh, with or without its own "$".
    lines = Assemble({"$WAI\r\nSTA\r\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].text, "STA\r");
    EXPECT_EQ(lines[1].length, 5);
}

TEST(AnalyzerFraming, LineSplitAcrossReads) {
    const auto lines = Assemble({"$RE", "S    0.0", "45\r", "\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "RES    0.045\r");
    EXPECT_EQ(lines[0].length, 14);
}

TEST(AnalyzerFraming, OverlongLinesAreCutAt255Characters) {
    const std::string body(300, 'x');
    auto lines = Assemble({"$" + body + "\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, std::string(255, 'x'));
    EXPECT_EQ(lines[0].length, 255);
    EXPECT_TRUE(lines[0].terminated);

    lines = Assemble({"$" + std::string(254, 'y') + "\n", "$OK\n"});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.size(), 254u);
    EXPECT_EQ(lines[0].length, 255);
    EXPECT_EQ(lines[1].text, "OK"); // the next line starts clean
    EXPECT_EQ(lines[1].length, 3);
}

TEST(AnalyzerFraming, BareLineFeedDeliversNothingAndBlanksTheNextUnmarkedLine) {
    EXPECT_TRUE(Assemble({"\n"}).empty());
    EXPECT_TRUE(Assemble({"$\n"}).empty());

    // Without its own "$" the following line keeps the stored NUL in front: no token.
    auto lines = Assemble({"\n", "END\r\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, std::string("\0END\r", 5));
    EXPECT_EQ(lines[0].length, 6);

    // A "$" clears it again.
    lines = Assemble({"\n", "$END\r\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "END\r");
}

TEST(AnalyzerFraming, ShortestLineHasOneCharacter) {
    const auto lines = Assemble({"$X\n"});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, "X");
    EXPECT_EQ(lines[0].length, 2);
}

TEST(AnalyzerLineQueue, KeepsOrderAndDropsTheOldestWhenNobodyReads) {
    LineQueue queue;
    ReceivedLine line{};
    EXPECT_FALSE(queue.Pop(line));
    for (int i = 0; i < static_cast<int>(LineQueue::kCapacity) + 3; ++i) {
        const std::string text = "INI " + std::to_string(i);
        queue.Push(text.c_str(), static_cast<int>(text.size()), static_cast<int>(text.size()) + 1);
    }
    EXPECT_EQ(queue.Size(), LineQueue::kCapacity);
    ASSERT_TRUE(queue.Pop(line));
    EXPECT_STREQ(line.text, "INI 3");
    EXPECT_EQ(line.chars, 5);
    EXPECT_EQ(line.length, 6);
    queue.Push("STA", 3, 4);
    queue.DropNewest(); // its notification could not be posted
    while (queue.Pop(line))
        EXPECT_STRNE(line.text, "STA");
    queue.Push("END", 3, 4);
    queue.Clear();
    EXPECT_FALSE(queue.Pop(line));
}

TEST(AnalyzerLineQueue, CopiesTheTextSoTheAssemblerMayReuseItsBuffer) {
    LineQueue queue;
    char buffer[kLineBufferSize] = "WAI\r";
    queue.Push(buffer, 4, 5);
    buffer[0] = 'S';
    ReceivedLine line{};
    ASSERT_TRUE(queue.Pop(line));
    EXPECT_STREQ(line.text, "WAI\r");

    // Counts outside the buffer are clamped rather than trusted.
    std::string big(kLineBufferSize + 10, 'z');
    queue.Push(big.c_str(), 400, 255);
    ASSERT_TRUE(queue.Pop(line));
    EXPECT_EQ(line.chars, kMaxLineChars);
    EXPECT_EQ(line.text[kMaxLineChars], 0);
}

} // namespace
