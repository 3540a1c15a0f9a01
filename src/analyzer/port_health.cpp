#include "analyzer/port_health.h"

void PortHealth::Data() {
    m_nFailures = 0;
    m_nEmpty = 0;
}

void PortHealth::Failure() {
    m_nEmpty = 0;
    if (++m_nFailures >= kFailuresToLose)
        m_bLost = true;
}

void PortHealth::Empty(uint32_t nowMs) {
    m_nFailures = 0;
    // Unsigned difference: right across the wrap of the millisecond counter too.
    if (m_nEmpty == 0 || nowMs - m_FirstEmptyMs >= kEmptyWindowMs) {
        m_nEmpty = 1;
        m_FirstEmptyMs = nowMs;
        return;
    }
    if (++m_nEmpty >= kEmptyReadsToLose)
        m_bLost = true;
}
