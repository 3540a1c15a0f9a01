// The serial channel to the analyzer: owns the COM port, a watch thread that cuts the
// incoming bytes into lines, and the hand-over of each line to the owner window.
#pragma once

#include "analyzer/line_assembler.h"
#include "analyzer/line_queue.h"
#include "analyzer/port_health.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

class CCommPort : private LineSink {
  public:
    static constexpr int kMaxPortIndex = 20; // COM21
    static constexpr DWORD kRxBufferSize = 4608;
    static constexpr DWORD kTxBufferSize = 4096;
    static constexpr DWORD kMaxRead = 4096;

    // Open result codes; the caller treats anything but kOpened as failure.
    enum OpenResult {
        kOpened = 0,
        kNoMemory = 1,
        kNoReadEvent = 2,
        kNoWriteEvent = 3,
        kNoDevice = 4,     // the channel object stays, without a usable port
        kBadSettings = 5,  // likewise, its handle closed
        kNoRxBuffer = 7,   // no channel left
        kNoTxBuffer = 8,   // no channel left
        kBadPortIndex = 9, // nothing touched: port index outside 0..20 or speed outside 0..7
    };

    // Opens COM(portIndex + 1) at the speed of g_Settings and makes `owner` the receiver of
    // line notifications. A channel that exists already is closed first.
    static int Open(int portIndex, HWND owner);
    // Opens the port again after it was lost, never opened, or took the channel with it,
    // with the port and speed of g_Settings (a port changed in Setting is the one tried).
    // Same result codes as Open; a channel that still has no port stays lost.
    static int Reopen(HWND owner);
    // 0 when there is no channel, else 1 once the channel is gone and g_pCommPort is null.
    static int Close();

    void SetOwner(HWND owner) { m_hOwnerWnd.store(owner); }
    HWND Owner() const { return m_hOwnerWnd.load(); }
    bool HasPort() const { return m_hComm != INVALID_HANDLE_VALUE; }
    bool WatchThreadRunning() const { return m_bThreadAlive.load(); }
    HANDLE PortHandle() const { return m_hComm; }
    // The port went away while open: the watch thread has ended and posted ID_CMD_PORT_LOST
    // to the owner; writes fail at once until Reopen.
    bool IsLost() const { return m_bLost.load(); }
    // Open with its watch thread running: not lost, and not left without a port by Open
    // (codes 4 and 5, or a watch thread that did not start).
    bool IsUsable() const { return HasPort() && WatchThreadRunning() && !IsLost(); }

    // Sends the first m_nTxLength bytes of the transmit buffer; 1 when all went out, else 0.
    // Blocks the calling (UI) thread until the bytes are out.
    int Write();
    // Copies `text` into the transmit buffer and writes it; 0 when it does not fit.
    int Send(const char* text);
    char* TxBuffer() { return m_pTxBuffer.get(); }

    // Takes the oldest line that was notified and not yet taken. The receiver of
    // ID_CMD_RXOK calls it once per notification, also when it then ignores the line, so a
    // line is never read by a later notification.
    bool TakeLine(ReceivedLine& line) { return m_Lines.Pop(line); }

    int m_nTxLength = 0;

  private:
    CCommPort() = default;
    static int OpenPort(int portIndex, int speedIndex, HWND owner);
    ~CCommPort() override;
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    bool Configure(int speedIndex);
    void WatchProc();
    DWORD ReadAvailable();
    DWORD QueuedBytes();
    bool ReadQueued(char* into, DWORD count, DWORD* got);
    bool WaitForFirstByte(DWORD* got);
    void PauseAfterError();
    void ReadFailed();
    void ReadEnded(DWORD got);
    void OnPortLost();
    void OnLine(const char* text, int chars, int length) override;

    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    std::atomic<HWND> m_hOwnerWnd{nullptr};
    std::atomic<int> m_bRunning{0};
    OVERLAPPED m_osWrite{};
    OVERLAPPED m_osRead{};
    HANDLE m_hStopEvent = nullptr; // set by Close: wakes the watch thread out of its wait
    std::thread m_WatchThread;
    std::atomic<bool> m_bThreadAlive{false};
    std::atomic<bool> m_bLost{false};
    PortHealth m_Health; // watch thread only
    int m_nPortIndex = 0;
    int m_nSpeedIndex = 0;
    std::unique_ptr<char[]> m_pTxBuffer;
    std::unique_ptr<char[]> m_pRxBuffer;
    LineAssembler m_Assembler;
    LineQueue m_Lines;
};

extern CCommPort* g_pCommPort;
