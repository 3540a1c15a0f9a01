// Tells from the outcomes of the watch thread's reads when the analyzer's port has gone (a
// USB bridge pulled out, or the simulator's pseudo-terminal closed), so that the thread can
// stop and the operator be told, instead of failing on a dead handle for ever.
#pragma once

#include <cstdint>

class PortHealth {
  public:
    // Failed reads or status calls in a row that mean the device is gone.
    static constexpr int kFailuresToLose = 3;
    // Reads that end without a byte: Windows ends one every 500 ms when the line is quiet
    // (the read timeout), a hung-up pseudo-terminal ends them at once, over and over.
    static constexpr int kEmptyReadsToLose = 50;
    static constexpr uint32_t kEmptyWindowMs = 1000;

    void Data();
    void Failure();
    void Empty(uint32_t nowMs);
    bool Lost() const { return m_bLost; }

  private:
    int m_nFailures = 0;
    int m_nEmpty = 0;
    uint32_t m_FirstEmptyMs = 0;
    bool m_bLost = false;
};
