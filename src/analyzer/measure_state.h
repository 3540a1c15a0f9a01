// The measurement state machine: what each analyzer line and each operator action does to
// the measurement under way. Every visible effect goes through MeasureEffects, which the
// Measure dialog implements with its controls and the tests with a recorder.
#pragma once

#include "storage/records.h"

#include <cstdint>

namespace MeasureState {
constexpr int Idle = 0;
constexpr int Identified = 1;
constexpr int Started = 2;
constexpr int Measuring = 3;
} // namespace MeasureState

// Read by the serial watch thread (no line is handed over while Idle); written only on the
// UI thread.
extern int g_nMeasureState;
// The subject the next START measures (only ID, Name and CardSerial are used): cards, picks
// and the edits prepare it while g_CurrentRecord, the measurement in flight, keeps its own.
extern MeasureRecord g_NextSubject;
// From START until its "RES", "END" or the port lost a measurement is in flight.
extern bool g_bMeasurementInFlight;

// The four state boxes, in their order on the dialog ("Ready" ... "Completion").
enum StateBox { kBoxReady = 0, kBoxBlowing = 1, kBoxAnalyzing = 2, kBoxCompletion = 3 };

constexpr uint64_t kMinFreeBytes = 5000000;
constexpr const char* kDiskFullMessage = "Disk full !!!\r\nBackup data file.";
constexpr const char* kNotValidMessage = "Not a valid ID, Name set";
// Status display while the analyzer's port is gone.
constexpr const char* kPortLostText = "DISCONNECTED";

class MeasureEffects {
  public:
    virtual ~MeasureEffects() = default;
    virtual void ShowStatus(const char* text) = 0;
    virtual void MarkState(int box) = 0;
    virtual void ClearStates() = 0;
    virtual void ShowMode(const char* text) = 0;
    virtual void Send(const char* command) = 0;
    virtual int64_t Now() = 0; // seconds since 1970-01-01 UTC
    // True only when the photo file, named after `record`, was written.
    virtual bool TakePhoto(const MeasureRecord& record) = 0;
    virtual void StoreResult(const MeasureRecord& record) = 0;
    virtual void RestartCamera() = 0;
    virtual void Beep() = 0;
    virtual void ShowMessage(const char* text) = 0;
    virtual bool IsValidMember(const MeasureRecord& record) = 0;
};

// What the state machine reads and writes; the program binds it to its globals.
struct MeasureContext {
    int& state;
    const AppSettings& settings;
    MeasureRecord& record; // the measurement in flight, or the last one
    int& deviceTotal;
    MeasureRecord& next; // the subject the next START measures
    bool& inFlight;
};

// g_nMeasureState, g_Settings, g_CurrentRecord, g_nDeviceTotal, g_NextSubject,
// g_bMeasurementInFlight.
MeasureContext ProgramMeasureContext();

// One received line, `chars` characters of `text` (NULs and other noise included). Does
// nothing while Idle.
void HandleAnalyzerLine(MeasureContext& ctx, MeasureEffects& fx, const char* text, int chars);

// The Measure dialog initialises.
void ResetMeasureState(MeasureContext& ctx);

// Cards are polled only while no measurement is under way.
bool CardPollAllowed(int state);

// A card was read into `card`. A card that differs from the next subject in ID, name or
// serial identifies it (true); the same card lying on the reader changes nothing.
bool OnCardRead(MeasureContext& ctx, const MeasureRecord& card);

// The member selection closed; `chosen` is null when it was cancelled. Either way the next
// subject counts as identified, from any state (the way out of a stuck measurement), and
// carries no card serial: only a card read sets one. A measurement in flight keeps its own.
void OnMemberSelectionClosed(MeasureContext& ctx, const MemberEntry* chosen);

struct StartRequest {
    bool freeSpaceKnown = false;
    uint64_t freeBytes = 0;
    // The ID and Name edits. They name the subject: an identified one whose edits were
    // changed is replaced by what the edits show.
    const char* typedId = "";
    const char* typedName = "";
    bool channelExists = false;
    // The port is not usable (it never opened, or went away) and could not be opened again.
    bool channelLost = false;
};

enum class StartOutcome { DiskFull, Ignored, NotValid, NoChannel, NoLink, Sent };

// The channel lost its port: a measurement under way is dropped (nothing of it is stored)
// and the operator sees why. An identified subject stays identified for the next start.
void OnPortLost(MeasureContext& ctx, MeasureEffects& fx);

// Backup moves the data file away: not while a result may still come.
bool BackupAllowed(int state, bool inFlight);

StartOutcome PressStart(MeasureContext& ctx, MeasureEffects& fx, const StartRequest& request);
