// Records what the measurement state machine asks for, one readable string per effect.
#pragma once

#include "analyzer/measure_state.h"
#include "storage/records.h"

#include <string>
#include <vector>

class EffectsRecorder : public MeasureEffects {
  public:
    void ShowStatus(const char* text) override { Log("status:", text); }
    void MarkState(int box) override { Log("mark:", std::to_string(box)); }
    void ClearStates() override { Log("clear"); }
    void ShowMode(const char* text) override { Log("mode:", text); }
    void Send(const char* command) override { Log("send:", command); }
    int64_t Now() override { return now; }
    bool TakePhoto(const MeasureRecord& r) override {
        return Log("photo"), photoOf = r.ID, photoWritten;
    }
    void StoreResult(const MeasureRecord& r) override { Log("store"), stored.push_back(r); }
    void RestartCamera() override { Log("camera"); }
    void Beep() override { Log("beep"); }
    void ShowMessage(const char* text) override { Log("message:", text); }
    bool IsValidMember(const MeasureRecord& record) override {
        checkedId = record.ID;
        checkedName = record.Name;
        return memberValid;
    }

    std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.swap(events);
        return out;
    }

    std::vector<std::string> events;
    int64_t now = 1700000000;
    bool memberValid = true;
    bool photoWritten = true;
    std::string checkedId, checkedName;
    std::vector<MeasureRecord> stored;
    std::string photoOf;

  private:
    void Log(const char* what, const std::string& detail = "") {
        events.push_back(std::string(what) + detail);
    }
};

// A state machine world of its own, so tests never touch the program's globals.
struct MeasureWorld {
    int state = MeasureState::Idle;
    AppSettings settings{};
    MeasureRecord record{};
    int total = 0;
    MeasureRecord next{};
    bool inFlight = false;
    EffectsRecorder fx;
    MeasureContext ctx{state, settings, record, total, next, inFlight};

    MeasureWorld() {
        settings.Mode = kModeFast;
        settings.Low = 0.1f;
        settings.Hi = 0.25f;
    }
    // A line as it comes from the channel, without its "$" and line feed.
    void Line(const std::string& text) {
        HandleAnalyzerLine(ctx, fx, text.data(), static_cast<int>(text.size()));
    }
};
