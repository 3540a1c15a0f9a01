#include "analyzer/measure_state.h"

#include "analyzer/analyzer_protocol.h"
#include "analyzer/line_assembler.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <cstring>

int g_nMeasureState = MeasureState::Idle;

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

void HandleUnitLine(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars) {
    fx.MarkState(kBoxReady);
    ReadDeviceTotal(text, chars, &ctx.deviceTotal);
    ctx.state = MeasureState::Measuring;
    ctx.record.Unit = static_cast<uint8_t>(UnitCodeOf(text, chars));
    fx.Send(ctx.settings.Mode == kModeFast ? kCommandFast : kCommandStart);
}

void HandleEnd(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus("Ready");
    if (ctx.state != MeasureState::Measuring)
        return;
    fx.ClearStates();
    ctx.state = MeasureState::Idle;
    ClearBreath(ctx.record);
    if (ctx.settings.UseWebCam)
        fx.RestartCamera();
}

void HandleBreath(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus("Analyzing");
    fx.MarkState(kBoxAnalyzing);
    ctx.record.Time = fx.Now();
    // The record claims a photo only once its file exists; the Result list opens it by name.
    ctx.record.Photo = 0;
    if (ctx.settings.UseWebCam && fx.TakePhoto())
        ctx.record.Photo = 1;
}

void HandleResult(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars) {
    const AppSettings& s = ctx.settings;
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
    fx.StoreResult();
}

} // namespace

MeasureContext ProgramMeasureContext() {
    return MeasureContext{g_nMeasureState, g_Settings, g_CurrentRecord, g_nDeviceTotal};
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
}

bool CardPollAllowed(int state) {
    return state == MeasureState::Idle || state == MeasureState::Identified;
}

bool OnCardRead(MeasureContext& ctx, const MeasureRecord& card) {
    if (std::memcmp(card.ID, ctx.record.ID, sizeof card.ID) == 0)
        return false;
    std::memcpy(ctx.record.ID, card.ID, sizeof card.ID);
    std::memcpy(ctx.record.Name, card.Name, sizeof card.Name);
    std::memcpy(ctx.record.CardSerial, card.CardSerial, sizeof card.CardSerial);
    ctx.state = MeasureState::Identified;
    return true;
}

void OnMemberSelectionClosed(MeasureContext& ctx, const MemberEntry* chosen) {
    if (chosen) {
        char id[sizeof chosen->ID + 1] = {};
        char name[sizeof chosen->Name + 1] = {};
        std::memcpy(id, chosen->ID, sizeof chosen->ID);
        std::memcpy(name, chosen->Name, sizeof chosen->Name);
        SetField(ctx.record.ID, id);
        SetField(ctx.record.Name, name);
        ClearCardSerial(ctx.record);
    }
    ctx.state = MeasureState::Identified;
}

void OnPortLost(MeasureContext& ctx, MeasureEffects& fx) {
    fx.ShowStatus(kPortLostText);
    if (ctx.state != MeasureState::Started && ctx.state != MeasureState::Measuring)
        return;
    const bool measuring = ctx.state == MeasureState::Measuring;
    fx.ClearStates();
    ctx.state = MeasureState::Idle;
    ClearBreath(ctx.record);
    // A photo taken at "BRE" froze the picture; no "END" will come to restart it.
    if (measuring && ctx.settings.UseWebCam)
        fx.RestartCamera();
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
    if (ctx.state == MeasureState::Idle || !EditsShowRecord(ctx.record, request)) {
        SetField(ctx.record.ID, request.typedId);
        SetField(ctx.record.Name, request.typedName);
        ClearCardSerial(ctx.record);
        ctx.state = MeasureState::Identified;
    }
    if (!fx.IsValidMember(ctx.record)) {
        fx.ShowMessage(kNotValidMessage);
        ctx.state = MeasureState::Idle;
        return StartOutcome::NotValid;
    }
    if (!request.channelExists)
        return StartOutcome::NoChannel;
    if (request.channelLost) {
        fx.ShowStatus(kPortLostText);
        return StartOutcome::NoLink;
    }
    fx.Send(kCommandRecall);
    ClearBreath(ctx.record);
    ctx.record.Low = ctx.settings.Low;
    ctx.record.Mode = static_cast<uint8_t>(ctx.settings.Mode);
    ctx.record.Hi = ctx.settings.Hi;
    ctx.state = MeasureState::Started;
    return StartOutcome::Sent;
}
