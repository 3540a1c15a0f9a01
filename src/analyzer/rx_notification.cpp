#include "analyzer/rx_notification.h"

#include "analyzer/comm_port.h"

bool HandleRxNotification(MeasureEffects& fx, ReceivedLine* copy) {
    ReceivedLine line{};
    if (!g_pCommPort || !g_pCommPort->TakeLine(line))
        return false;
    if (copy)
        *copy = line;
    MeasureContext ctx = ProgramMeasureContext();
    HandleAnalyzerLine(ctx, fx, line.text, line.chars);
    return true;
}
