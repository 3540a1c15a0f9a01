// The receiving end of the channel's line notification (ID_CMD_RXOK).
#pragma once

#include "analyzer/line_assembler.h"
#include "analyzer/measure_state.h"

// Takes the line the notification stands for and runs it through the measurement state
// machine of the program-wide state. The line is taken even while Idle (and then ignored),
// so that a later notification never reads an older line. `copy`, when given, receives the
// line. False when there was no channel or no line.
bool HandleRxNotification(MeasureEffects& fx, ReceivedLine* copy = nullptr);
