// Serial traffic from the analyzer, cut into reads of varying size, through the line
// framing, the hand-over queue and the measurement state machine. The effects check what
// the Measure dialog would be asked to show, send and store.
//
// Input: byte 0 settings flags, bytes 1..8 the Low and Hi thresholds (raw floats, so NaN
// and infinity too), bytes 9..16 the sizes of successive reads, then the traffic itself.
#include "fuzz_support.h"

#include "analyzer/analyzer_protocol.h"
#include "analyzer/line_assembler.h"
#include "analyzer/line_queue.h"
#include "analyzer/measure_state.h"
#include "storage/data_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

using fuzz::Require;

constexpr size_t kHeaderBytes = 17;

bool IsDisplayable(const char* text) {
    const size_t n = std::strlen(text);
    if (n >= static_cast<size_t>(kLineBufferSize))
        return false;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '\r' && (c < 0x20 || c >= 0x7F))
            return false;
    }
    return true;
}

// The "RES" number as strtod in the C locale reads it, for the forms the analyzer can
// send (strtod also reads "inf", "nan" and hex numbers, which the protocol never holds).
bool ReferenceValue(const char* line, int chars, float* value) {
    const std::string tail =
        chars > 7 ? std::string(line + 7, static_cast<size_t>(chars - 7)) : std::string();
    const char* p = tail.c_str();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (std::strchr("iInN", *p) && *p)
        return false;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        return false;
    const double d = std::strtod(tail.c_str(), nullptr);
    if (d > std::numeric_limits<float>::max())
        *value = std::numeric_limits<float>::infinity();
    else if (d < -std::numeric_limits<float>::max())
        *value = -std::numeric_limits<float>::infinity();
    else
        *value = static_cast<float>(d);
    return true;
}

class CheckingEffects : public MeasureEffects {
  public:
    explicit CheckingEffects(const MeasureRecord& record) : record_(record) {}

    void ShowStatus(const char* text) override {
        Require(text != nullptr, "status text present");
        Require(IsDisplayable(text), "status text printable and inside its buffer");
    }
    void MarkState(int box) override {
        Require(box >= kBoxReady && box <= kBoxCompletion, "state box in range");
    }
    void ClearStates() override {}
    void ShowMode(const char* text) override {
        Require(text && (!std::strcmp(text, "Fast") || !std::strcmp(text, "Normal") || !*text),
                "mode text");
    }
    void Send(const char* command) override {
        Require(command &&
                    (!std::strcmp(command, kCommandRecall) || !std::strcmp(command, kCommandFast) ||
                     !std::strcmp(command, kCommandStart)),
                "only the three commands are sent");
    }
    int64_t Now() override { return now; }
    bool TakePhoto(const MeasureRecord&) override { return true; }
    void StoreResult(const MeasureRecord&) override {
        Require(record_.Unit <= 2, "stored unit in range");
        Require(record_.Level <= 2, "stored level in range");
        Require(fuzz::Terminated(record_.ID) && fuzz::Terminated(record_.Name), "stored texts end");
        AppendToTable(table, record_);
        Require(table.records.back().Number == table.Count() - 1, "record numbered by index");
        if (table.Count() >= table.capacity)
            Require(GrowIfFull(table) == AppendResult::Stored, "table grows");
    }
    void RestartCamera() override {}
    void Beep() override {}
    void ShowMessage(const char* text) override {
        Require(text &&
                    (!std::strcmp(text, kDiskFullMessage) || !std::strcmp(text, kNotValidMessage)),
                "message text");
    }
    bool IsValidMember(const MeasureRecord& record) override {
        Require(fuzz::Terminated(record.ID) && fuzz::Terminated(record.Name), "checked texts end");
        return record.ID[0] != 'X';
    }

    int64_t now = 0;
    RecordList table;

  private:
    const MeasureRecord& record_;
};

class CheckingSink : public LineSink {
  public:
    CheckingSink(MeasureContext& ctx, CheckingEffects& fx) : ctx_(ctx), fx_(fx) {}

    void OnLine(const char* text, int chars, int length) override {
        Require(chars >= 1 && chars <= kMaxLineChars, "line length in range");
        Require(text[chars] == 0, "line terminated");
        Require(length == (chars < kMaxLineChars ? chars + 1 : kMaxLineChars), "channel length");
        queue_.Push(text, chars, length);
        ReceivedLine line{};
        Require(queue_.Pop(line) && line.chars == chars && !std::memcmp(line.text, text, chars),
                "the queue hands over the same line");

        if (ctx_.state == MeasureState::Idle)
            PressStartWith(line);
        const bool awake = ctx_.state != MeasureState::Idle;
        HandleAnalyzerLine(ctx_, fx_, line.text, line.chars);
        Require(ctx_.state >= MeasureState::Idle && ctx_.state <= MeasureState::Measuring,
                "state in range");
        Require(ctx_.deviceTotal >= 0, "device total never negative");
        Require(ctx_.record.Unit <= 2, "unit in range");

        if (awake && MatchToken(line.text, line.chars) == AnalyzerToken::Res) {
            float expected = 0;
            if (ReferenceValue(line.text, line.chars, &expected))
                Require(ctx_.record.Value == expected ||
                            (std::isnan(expected) && std::isnan(ctx_.record.Value)),
                        "result value reads as strtod reads it");
            if (ctx_.settings.Mode == kModeFast)
                Require(ctx_.record.Level ==
                            ClassifyValue(ctx_.record.Value, ctx_.settings.Low, ctx_.settings.Hi),
                        "fast-mode level");
        }
    }

  private:
    // An idle machine ignores the analyzer; the operator's start makes the next lines count.
    void PressStartWith(const ReceivedLine& line) {
        StartRequest request;
        request.freeSpaceKnown = line.chars % 7 != 0;
        request.freeBytes = static_cast<uint64_t>(line.chars) * 100000;
        request.typedId = line.text;
        request.typedName = line.chars > 3 ? line.text + 3 : "";
        request.channelExists = line.chars % 5 != 0;
        const StartOutcome outcome = PressStart(ctx_, fx_, request);
        Require(fuzz::Terminated(ctx_.record.ID) && fuzz::Terminated(ctx_.record.Name),
                "typed texts end in the record");
        if (outcome == StartOutcome::Sent)
            Require(ctx_.state == MeasureState::Started, "a sent start waits for the unit");
    }

    MeasureContext& ctx_;
    CheckingEffects& fx_;
    LineQueue queue_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderBytes)
        return 0;
    int state = MeasureState::Idle;
    AppSettings settings{};
    settings.Mode = data[0] & 1 ? kModeNormal : kModeFast;
    if (data[0] & 0x80)
        settings.Mode = static_cast<int8_t>(data[0]); // a damaged configuration
    settings.UseWebCam = (data[0] >> 1) & 1;
    std::memcpy(&settings.Low, data + 1, sizeof settings.Low);
    std::memcpy(&settings.Hi, data + 5, sizeof settings.Hi);
    MeasureRecord record{}, next{};
    int total = 0;
    bool inFlight = false;
    MeasureContext ctx{state, settings, record, total, next, inFlight};
    CheckingEffects fx(record);
    fx.now = static_cast<int64_t>(data[9]) << 40;
    CheckingSink sink(ctx, fx);
    LineAssembler assembler;

    const uint8_t* const sizes = data + 9;
    const char* traffic = reinterpret_cast<const char*>(data + kHeaderBytes);
    size_t left = size - kHeaderBytes;
    for (size_t read = 0; left > 0; ++read) {
        const size_t n = std::min<size_t>(left, 1 + sizes[read % 8] % 64);
        assembler.Feed(traffic, n, sink);
        Require(assembler.Position() >= 0 && assembler.Position() <= kMaxLineChars,
                "assembler position inside its buffer");
        traffic += n;
        left -= n;
    }
    return 0;
}
