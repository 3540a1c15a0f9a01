// Throughput of the framing and the protocol over 100 MB of analyzer traffic: prints the
// figures (scripts/bench-analyzer builds it without sanitizers and runs it).
#include "analyzer/line_assembler.h"
#include "analyzer/line_queue.h"
#include "analyzer/measure_state.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

namespace {

constexpr size_t kTotalBytes = 100u << 20;
constexpr size_t kReadSize = 4096; // what one wake-up of the watch thread reads at most

// One megabyte of measurements as the analyzer sends them, with some noise between lines.
std::string MakeTraffic() {
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> noise(0, 3), byte(0x80, 0xFF), milli(0, 400);
    std::string out;
    for (int total = 0; out.size() < (1u << 20); ++total) {
        char result[32];
        std::snprintf(result, sizeof result, "RES    %d.%03d", milli(rng) / 1000, milli(rng));
        for (const std::string& line :
             {"U/M T/" + std::to_string(total), std::string("INI 30"), std::string("WAI"),
              std::string("STA"), std::string("BRE"), std::string(result), std::string("END")}) {
            for (int n = noise(rng); n > 0; --n)
                out += static_cast<char>(byte(rng));
            out += "$" + line + "\r\n";
        }
    }
    return out;
}

class QuietEffects : public MeasureEffects {
  public:
    void ShowStatus(const char*) override { ++effects; }
    void MarkState(int) override { ++effects; }
    void ClearStates() override { ++effects; }
    void ShowMode(const char*) override { ++effects; }
    void Send(const char*) override { ++effects; }
    int64_t Now() override { return 0; }
    bool TakePhoto(const MeasureRecord&) override { return false; }
    void StoreResult(const MeasureRecord&) override { ++effects; }
    void RestartCamera() override {}
    void Beep() override {}
    void ShowMessage(const char*) override {}
    bool IsValidMember(const MeasureRecord&) override { return true; }
    long effects = 0;
};

class CountingSink : public LineSink {
  public:
    void OnLine(const char*, int, int) override { ++lines; }
    long lines = 0;
};

// The whole receiving path: copy into the hand-over queue, take it out, run the protocol.
class ProtocolSink : public LineSink {
  public:
    ProtocolSink() : ctx{state, settings, record, total, next, inFlight} {}
    void OnLine(const char* text, int chars, int length) override {
        ++lines;
        queue.Push(text, chars, length);
        ReceivedLine line;
        queue.Pop(line);
        if (state == MeasureState::Idle)
            state = MeasureState::Started; // as if start had been pressed
        HandleAnalyzerLine(ctx, fx, line.text, line.chars);
    }
    int state = MeasureState::Started;
    AppSettings settings{};
    MeasureRecord record{}, next{};
    int total = 0;
    bool inFlight = false;
    MeasureContext ctx;
    QuietEffects fx;
    LineQueue queue;
    long lines = 0;
};

template <typename Sink> double Feed(const std::string& block, Sink& sink) {
    LineAssembler assembler;
    const auto start = std::chrono::steady_clock::now();
    for (size_t fed = 0; fed < kTotalBytes; fed += block.size()) {
        for (size_t pos = 0; pos < block.size(); pos += kReadSize)
            assembler.Feed(block.data() + pos, std::min(kReadSize, block.size() - pos), sink);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main() {
    const std::string block = MakeTraffic();
    const double mb = static_cast<double>(kTotalBytes) / (1u << 20);

    CountingSink framing;
    const double framingSeconds = Feed(block, framing);
    std::printf("framing only:            %8.1f MB/s  %10.0f lines/s  (%ld lines)\n",
                mb / framingSeconds, static_cast<double>(framing.lines) / framingSeconds,
                framing.lines);

    ProtocolSink protocol;
    const double protocolSeconds = Feed(block, protocol);
    std::printf("framing, queue, protocol: %8.1f MB/s  %10.0f lines/s  (%ld effects)\n",
                mb / protocolSeconds, static_cast<double>(protocol.lines) / protocolSeconds,
                protocol.fx.effects);
    if (framing.lines != protocol.lines) {
        std::printf("the protocol path saw %ld lines, the framing %ld\n", protocol.lines,
                    framing.lines);
        return 1;
    }
    return 0;
}
