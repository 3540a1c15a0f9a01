#include "analyzer/measure_state.h"

#include "analyzer/analyzer_protocol.h"
#include "analyzer/line_assembler.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <cstring>

int g_nMeasureState = MeasureState::Idle;
MeasureRecord g_NextSubject;
bool g_bMeasurementInFlight = false;

namespace {

// A record field as the edits show it: cut to the field's size - 1, like the typed text.
template <size_t N> bool FieldShows(const char (&field)[N], const char* typed) {
    char shown[N] = {};
    std::memcpy(shown, field, N - 1);
    char cut[N];
    SetField(cut, typed);
    return std::strcmp(shown, cut) == 0;
}

bool EditsShowRecord(const MeasureRecord& record, const StartRequest& request) {
    return FieldShows(record.ID, request.typedId) && FieldShows(record.Name, request.typedName);
}

void ClearCardSerial(MeasureRecord& record) {
    std::memset(record.CardSerial, 0, sizeof record.CardSerial);
}

// Until its own "BRE" a measurement has no time (0 never comes from a running clock) and no
// photo, so it never carries those of an earlier one.
void ClearBreath(MeasureRecord& record) {
    record.Time = 0;
    record.Photo = 0;
}

void CopySubject(MeasureRecord& to, const MeasureRecord& from) {
    std::memcpy(to.ID, from.ID, sizeof to.ID);
    std::memcpy(to.Name, from.Name, sizeof to.Name);
    std::memcpy(to.CardSerial, from.CardSerial, sizeof to.CardSerial);
}

bool SameSubject(const MeasureRecord& a, const MeasureRecord& b) {
    return std::memcmp(a.ID, b.ID, sizeof a.ID) == 0 &&
           std::memcmp(a.Name, b.Name, sizeof a.Name) == 0 &&
           std::memcmp(a.CardSerial, b.CardSerial, sizeof a.CardSerial) == 0;
}

// The subject, time and photo of a measurement are fixed from here to its end; fields it
// does not write keep the previous measurement's values.
void BeginMeasurement(MeasureContext& ctx) {
    CopySubject(ctx.record, ctx.next);
    ClearBreath(ctx.record);
    ctx.inFlight = true;
}

// A line of a measurement that no START of this run began (the analyzer's own button, or
// one after its "RES") measures the subject prepared by then.
void EnsureInFlight(MeasureContext& ctx) {
    if (!ctx.inFlight)
        BeginMeasurement(ctx);
}

void HandleUnitLine(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars) {
    fx.MarkState(kBoxReady);
    ReadDeviceTotal(text, chars, &ctx.deviceTotal);
    ctx.state = MeasureState::Measuring;
    EnsureInFlight(ctx);
    ctx.record.Unit = static_cast<uint8_t>(UnitCodeOf(text, chars));
    fx.Send(ctx.settings.Mode == kModeFast ? kCommandFast : kCommandStart);
}

void HandleEnd(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus("Ready");
    // Before its unit line the analyzer has not begun the measurement just started: an
    // "END" then is an earlier one's.
    if (ctx.state != MeasureState::Started)
        ctx.inFlight = false;
    if (ctx.state != MeasureState::Measuring)
        return;
    fx.ClearStates();
    ctx.state = MeasureState::Idle;
    if (ctx.settings.UseWebCam)
        fx.RestartCamera();
}

void HandleBreath(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus("Analyzing");
    fx.MarkState(kBoxAnalyzing);
    EnsureInFlight(ctx);
    ctx.record.Time = fx.Now();
    // The record claims a photo only once its file exists; the Result list opens it by name.
    ctx.record.Photo = 0;
    if (ctx.settings.UseWebCam && fx.TakePhoto(ctx.record))
        ctx.record.Photo = 1;
}

void HandleResult(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars) {
    const AppSettings& s = ctx.settings;
    EnsureInFlight(ctx);
    if (ctx.record.Time == 0) // a result without its own "BRE" is stamped when it comes
        ctx.record.Time = fx.Now();
    fx.ShowMode(ModeText(s.Mode));
    const float value = ReadResultValue(text, chars);
    ctx.record.Value = value;
    char display[kLineBufferSize];
    if (s.Mode == kModeFast) {
        const int level = ClassifyValue(value, s.Low, s.Hi);
        ctx.record.Level = static_cast<uint8_t>(level);
        std::strcpy(display, ClassText(level));
    } else {
        FormatNormalResult(value, ctx.record.Unit, display, sizeof display);
    }
    fx.ShowStatus(display);
    fx.MarkState(kBoxCompletion);
    // Stored, the measurement is over: anything from here on concerns the next one.
    ctx.inFlight = false;
    fx.StoreResult(ctx.record);
}

} // namespace

MeasureContext ProgramMeasureContext() {
    return MeasureContext{g_nMeasureState, g_Settings,    g_CurrentRecord,
                          g_nDeviceTotal,  g_NextSubject, g_bMeasurementInFlight};
}

void HandleAnalyzerLine(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars) {
    if (ctx.state == MeasureState::Idle || !text)
        return;
    if (chars > kMaxLineChars)
        chars = kMaxLineChars;
    const AnalyzerToken token = MatchToken(text, chars);
    if (IsUnitToken(token)) {
        HandleUnitLine(ctx, fx, text, chars);
        return;
    }
    switch (token) {
    case AnalyzerToken::None:
        return;
    case AnalyzerToken::End:
        HandleEnd(ctx, fx);
        return;
    case AnalyzerToken::Ini: {
        char display[kLineBufferSize];
        CopyDisplayText(text, chars, 4, display, sizeof display);
        fx.ShowStatus(display);
        return;
    }
    case AnalyzerToken::Sta:
    case AnalyzerToken::Tri:
        fx.ShowStatus(FixedStatusText(token));
        fx.MarkState(kBoxBlowing);
        return;
    case AnalyzerToken::Bre:
        HandleBreath(ctx, fx);
        return;
    case AnalyzerToken::Res:
        HandleResult(ctx, fx, text, chars);
        return;
    default: // "WAI" and the error tokens only change the display
        fx.ShowStatus(FixedStatusText(token));
        return;
    }
}

void ResetMeasureState(MeasureContext& ctx) {
    ctx.state = MeasureState::Idle;
    ctx.inFlight = false;
}

bool CardPollAllowed(int state) {
    return state == MeasureState::Idle || state == MeasureState::Identified;
}

bool OnCardRead(MeasureContext& ctx, const MeasureRecord& card) {
    if (SameSubject(card, ctx.next))
        return false;
    CopySubject(ctx.next, card);
    ctx.state = MeasureState::Identified;
    return true;
}

void OnMemberSelectionClosed(MeasureContext& ctx, const MemberEntry* chosen) {
    if (chosen) {
        char id[sizeof chosen->ID + 1] = {};
        char name[sizeof chosen->Name + 1] = {};
        std::memcpy(id, chosen->ID, sizeof chosen->ID);
        std::memcpy(name, chosen->Name, sizeof chosen->Name);
        SetField(ctx.next.ID, id);
        SetField(ctx.next.Name, name);
    }
    ClearCardSerial(ctx.next);
    ctx.state = MeasureState::Identified;
}

void OnPortLost(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus(kPortLostText);
    ctx.inFlight = false;
    if (ctx.state != MeasureState::Started && ctx.state != MeasureState::Measuring)
        return;
    const bool measuring = ctx.state == MeasureState::Measuring;
    fx.ClearStates();
    ctx.state = MeasureState::Idle;
    // A photo taken at "BRE" froze the picture; no "END" will come to restart it.
    if (measuring && ctx.settings.UseWebCam)
        fx.RestartCamera();
}

bool BackupAllowed(int state, bool inFlight) {
    return !inFlight && (state == MeasureState::Idle || state == MeasureState::Identified);
}

StartOutcome PressStart(MeasureContext& ctx, MeasureEffects& fx, const StartRequest& request) {
    if (!request.freeSpaceKnown || request.freeBytes < kMinFreeBytes) {
        fx.Beep();
        fx.ShowMessage(kDiskFullMessage);
        return StartOutcome::DiskFull;
    }
    if (ctx.state == MeasureState::Started || ctx.state == MeasureState::Measuring)
        return StartOutcome::Ignored;
    // The subject is the one the edits show: an identified card or member counts only while
    // its edits are left alone.
    if (ctx.state == MeasureState::Idle || !EditsShowRecord(ctx.next, request)) {
        SetField(ctx.next.ID, request.typedId);
        SetField(ctx.next.Name, request.typedName);
        ClearCardSerial(ctx.next);
        ctx.state = MeasureState::Identified;
    }
    if (!fx.IsValidMember(ctx.next)) {
        fx.ShowMessage(kNotValidMessage);
        ctx.state = MeasureState::Idle;
        return StartOutcome::NotValid;
    }
    if (!request.channelExists || request.channelLost) {
        fx.ShowStatus(kPortLostText);
        return request.channelExists ? StartOutcome::NoLink : StartOutcome::NoChannel;
    }
    fx.Send(kCommandRecall);
    BeginMeasurement(ctx);
    ctx.record.Low = ctx.settings.Low;
    ctx.record.Mode = static_cast<uint8_t>(ctx.settings.Mode);
    ctx.record.Hi = ctx.settings.Hi;
    ctx.state = MeasureState::Started;
    return StartOutcome::Sent;
}
