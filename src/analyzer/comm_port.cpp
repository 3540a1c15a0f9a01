#include "analyzer/comm_port.h"

#include "analyzer/measure_state.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/records.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

CCommPort* g_pCommPort = nullptr;

namespace {

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// A port that keeps failing (a bridge pulled out) must not spin the watch thread.
constexpr DWORD kErrorPauseMs = 100;

static_assert(sizeof(DCB) == 28);

// "COM1".."COM9" open as they are; from COM10 on Windows knows the port only by its device
// path, which works for every number.
void FormatDeviceName(int portIndex, char (&name)[16]) {
    const int number = portIndex + 1;
    if (number < 10)
        std::snprintf(name, sizeof name, "COM%d", number);
    else
        std::snprintf(name, sizeof name, "\\\\.\\COM%d", number);
}

bool IsIdle() {
    // Written by the UI thread without a lock; read here as one whole int.
    return std::atomic_ref<int>(g_nMeasureState).load(std::memory_order_relaxed) ==
           MeasureState::Idle;
}

} // namespace

CCommPort::~CCommPort() {
    if (m_hComm != INVALID_HANDLE_VALUE)
        CloseHandle(m_hComm);
    for (HANDLE h : {m_osRead.hEvent, m_osWrite.hEvent, m_hStopEvent}) {
        if (h)
            CloseHandle(h);
    }
}

int CCommPort::Open(int portIndex, HWND owner) {
    return OpenPort(portIndex, g_Settings.Speed, owner);
}

int CCommPort::Reopen(HWND owner) {
    const int result = OpenPort(g_Settings.Port, g_Settings.Speed, owner);
    if (result != kOpened && g_pCommPort)
        g_pCommPort->m_bLost = true;
    return result;
}

int CCommPort::OpenPort(int portIndex, int speedIndex, HWND owner) {
    if (portIndex > kMaxPortIndex)
        return kBadPortIndex;
    // A damaged configuration must never reach a port.
    if (portIndex < 0 || speedIndex < 0 || speedIndex >= kSpeedCount)
        return kBadPortIndex;
    // Opening again (after the port search) replaces the channel; the old one must not
    // keep its thread and handle.
    Close();

    CCommPort* port = new (std::nothrow) CCommPort;
    if (!port)
        return kNoMemory;
    port->m_osRead.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    port->m_hStopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!port->m_osRead.hEvent || !port->m_hStopEvent) {
        delete port;
        return kNoReadEvent;
    }
    port->m_osWrite.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!port->m_osWrite.hEvent) {
        delete port;
        return kNoWriteEvent;
    }
    g_pCommPort = port;
    port->m_nPortIndex = portIndex;
    port->m_nSpeedIndex = speedIndex;

    char name[16];
    FormatDeviceName(portIndex, name);
    port->m_hComm = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (port->m_hComm == INVALID_HANDLE_VALUE)
        return kNoDevice;

    SetupComm(port->m_hComm, kRxBufferSize, kTxBufferSize);
    PurgeComm(port->m_hComm, kPurgeAll);
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
    timeouts.ReadTotalTimeoutConstant = 500;
    timeouts.WriteTotalTimeoutMultiplier = 1;
    timeouts.WriteTotalTimeoutConstant = 5000000;
    SetCommTimeouts(port->m_hComm, &timeouts);

    if (!port->Configure(speedIndex)) {
        port->m_bRunning = 0;
        CloseHandle(port->m_hComm);
        port->m_hComm = INVALID_HANDLE_VALUE;
        return kBadSettings;
    }

    port->m_bRunning = 1;
    port->m_pRxBuffer.reset(new (std::nothrow) char[kRxBufferSize]);
    if (!port->m_pRxBuffer) {
        port->m_bRunning = 0;
        Close();
        return kNoRxBuffer;
    }
    port->m_pTxBuffer.reset(new (std::nothrow) char[kTxBufferSize]);
    if (!port->m_pTxBuffer) {
        port->m_bRunning = 0;
        Close();
        return kNoTxBuffer;
    }
    port->m_hOwnerWnd = owner;

    try {
        port->m_bThreadAlive = true;
        port->m_WatchThread = std::thread(&CCommPort::WatchProc, port);
    } catch (const std::system_error&) {
        port->m_bThreadAlive = false;
        port->m_bRunning = 0;
        CloseHandle(port->m_hComm);
        port->m_hComm = INVALID_HANDLE_VALUE;
        return kNoDevice;
    }
    return kOpened;
}

bool CCommPort::Configure(int speedIndex) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(m_hComm, &dcb))
        return false;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(kBaudRates[speedIndex]);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EvtChar = 0x0A;
    return SetCommState(m_hComm, &dcb) != 0;
}

int CCommPort::Close() {
    CCommPort* port = g_pCommPort;
    if (!port)
        return 0;
    port->m_bRunning = 0;
    if (port->m_hStopEvent)
        SetEvent(port->m_hStopEvent);
    if (port->m_WatchThread.joinable())
        port->m_WatchThread.join();
    if (port->m_hComm != INVALID_HANDLE_VALUE) {
        SetCommMask(port->m_hComm, 0);
        // Modem lines may not exist (a pseudo-terminal under Wine): failures do not matter.
        EscapeCommFunction(port->m_hComm, CLRDTR);
        EscapeCommFunction(port->m_hComm, CLRRTS);
        PurgeComm(port->m_hComm, kPurgeAll);
        CloseHandle(port->m_hComm);
        port->m_hComm = INVALID_HANDLE_VALUE;
    }
    g_pCommPort = nullptr;
    delete port;
    return 1;
}

int CCommPort::Write() {
    if (!HasPort() || IsLost() || !m_pTxBuffer || m_nTxLength < 0 ||
        m_nTxLength > static_cast<int>(kTxBufferSize))
        return 0;
    const DWORD length = static_cast<DWORD>(m_nTxLength);
    DWORD written = 0;
    if (WriteFile(m_hComm, m_pTxBuffer.get(), length, &written, &m_osWrite))
        return written == length ? 1 : 0;
    if (GetLastError() == ERROR_IO_PENDING &&
        GetOverlappedResult(m_hComm, &m_osWrite, &written, TRUE))
        return written == length ? 1 : 0;
    DWORD errors = 0;
    ClearCommError(m_hComm, &errors, nullptr);
    return 0;
}

int CCommPort::Send(const char* text) {
    if (!text || !m_pTxBuffer)
        return 0;
    const size_t length = strnlen(text, kTxBufferSize + 1);
    if (length > kTxBufferSize)
        return 0;
    std::memcpy(m_pTxBuffer.get(), text, length);
    m_nTxLength = static_cast<int>(length);
    return Write();
}

void CCommPort::WatchProc() {
    while (m_bRunning) {
        const DWORD count = ReadAvailable();
        if (count > 0)
            m_Assembler.Feed(m_pRxBuffer.get(), count, *this);
        if (m_Health.Lost()) {
            OnPortLost();
            break;
        }
    }
    m_bThreadAlive = false;
}

void CCommPort::OnPortLost() {
    m_bLost = true;
    // Lines assembled so far are complete and stay queued; a half line is dropped.
    m_Assembler.Reset();
    const HWND owner = m_hOwnerWnd.load();
    if (owner)
        PostMessageA(owner, WM_COMMAND, ID_CMD_PORT_LOST, 0);
}

void CCommPort::ReadFailed() {
    DWORD errors = 0;
    ClearCommError(m_hComm, &errors, nullptr);
    m_Health.Failure();
    PauseAfterError();
}

void CCommPort::ReadEnded(DWORD got) {
    if (got > 0)
        m_Health.Data();
    else
        m_Health.Empty(GetTickCount());
}

DWORD CCommPort::QueuedBytes() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hComm, &errors, &status)) {
        m_Health.Failure();
        return 0;
    }
    return status.cbInQue;
}

void CCommPort::PauseAfterError() {
    WaitForSingleObject(m_hStopEvent, kErrorPauseMs);
}

// Reads bytes that are already queued, so the read completes at once (Windows and Wine).
bool CCommPort::ReadQueued(char* into, DWORD count, DWORD* got) {
    *got = 0;
    if (ReadFile(m_hComm, into, count, got, &m_osRead))
        return true;
    if (GetLastError() == ERROR_IO_PENDING && GetOverlappedResult(m_hComm, &m_osRead, got, TRUE))
        return true;
    DWORD errors = 0;
    ClearCommError(m_hComm, &errors, nullptr);
    *got = 0;
    return false;
}

// Nothing queued: one byte is read overlapped and the thread sleeps until it comes or Close
// sets the stop event. Comm events cannot serve here: Wine never signals EV_RXFLAG, nor
// EV_RXCHAR on a pseudo-terminal; a pending read wakes on both systems.
bool CCommPort::WaitForFirstByte(DWORD* got) {
    *got = 0;
    if (ReadFile(m_hComm, m_pRxBuffer.get(), 1, got, &m_osRead)) {
        ReadEnded(*got);
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        ReadFailed();
        return false;
    }
    const HANDLE waits[2] = {m_osRead.hEvent, m_hStopEvent};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke != WAIT_OBJECT_0) {
        // The read still owns the buffer until it has really ended.
        CancelIoEx(m_hComm, &m_osRead);
        GetOverlappedResult(m_hComm, &m_osRead, got, TRUE);
        return *got > 0;
    }
    if (GetOverlappedResult(m_hComm, &m_osRead, got, FALSE)) {
        ReadEnded(*got);
        return true;
    }
    *got = 0;
    ReadFailed();
    return false;
}

DWORD CCommPort::ReadAvailable() {
    DWORD total = 0;
    DWORD queued = QueuedBytes();
    if (queued == 0) {
        if (!WaitForFirstByte(&total) || total == 0)
            return 0;
        queued = QueuedBytes();
    }
    const DWORD room = kMaxRead - total;
    if (queued > room)
        queued = room; // the rest waits for the next round
    if (queued == 0)
        return total;
    DWORD got = 0;
    ReadQueued(m_pRxBuffer.get() + total, queued, &got);
    return total + got;
}

void CCommPort::OnLine(const char* text, int chars, int length) {
    if (IsIdle())
        return;
    const HWND owner = m_hOwnerWnd.load();
    if (!owner)
        return;
    m_Lines.Push(text, chars, length);
    // Posted, never sent: the watch thread must not wait for the UI thread.
    if (!PostMessageA(owner, WM_COMMAND, ID_CMD_RXOK, 0))
        m_Lines.DropNewest();
}
