#include "camera/vfw_processor.h"

#include "camera/photo_paths.h"

#include <cstring>
#include <new>

uint16_t g_nCapDrivers = 0;
int32_t g_CapDriverIndex[10] = {};

namespace {

constexpr int kDriverSlots = 10;
constexpr DWORD kGrabWaitMs = 2000;
constexpr int kStopPolls = 50;
constexpr DWORD kStopPollMs = 100;
constexpr WPARAM kPreviewRateMs = 30;

// Holds m_lock for a scope.
class MutexLock {
  public:
    explicit MutexLock(HANDLE mutex) : mutex_(mutex) { WaitForSingleObject(mutex_, INFINITE); }
    ~MutexLock() { ReleaseMutex(mutex_); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    HANDLE mutex_;
};

template <typename F> LRESULT SetCallback(HWND hwnd, UINT msg, F callback) {
    return SendMessageA(hwnd, msg, 0, reinterpret_cast<LPARAM>(callback));
}

// Waits for the objects while still answering messages that other threads send to this
// thread's windows: the capture thread may send to the dialog that hosts its window (for
// instance activation messages while the window goes away), and a plain wait would hold
// both threads until the time runs out.
DWORD WaitAnsweringSent(DWORD count, const HANDLE* handles, DWORD timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        DWORD left = INFINITE;
        if (timeoutMs != INFINITE) {
            const ULONGLONG spent = GetTickCount64() - start;
            left = spent >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - spent);
        }
        const DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, left, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + count)
            return r;
    }
}

DWORD WaitAnsweringSent(HANDLE handle, DWORD timeoutMs) {
    return WaitAnsweringSent(1, &handle, timeoutMs);
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

} // namespace

CVFWImageProcessor::CVFWImageProcessor()
    : m_lock(CreateMutexA(nullptr, FALSE, nullptr)),
      m_evFrame(CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_evStop(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {
}

CVFWImageProcessor::~CVFWImageProcessor() {
    Shutdown();
}

void CVFWImageProcessor::ClearError() {
    SetError(0, {});
}

void CVFWImageProcessor::SetError(int32_t error, std::string text) {
    MutexLock lock(m_lock.Get());
    m_nError = error;
    m_strError = std::move(text);
}

void CVFWImageProcessor::SetErrorIfNone(int32_t error) {
    MutexLock lock(m_lock.Get());
    if (m_nError == 0)
        m_nError = error;
}

int32_t CVFWImageProcessor::Error() const {
    MutexLock lock(m_lock.Get());
    return m_nError;
}

std::string CVFWImageProcessor::ErrorText() const {
    MutexLock lock(m_lock.Get());
    return m_strError;
}

CVFWImageProcessor* CVFWImageProcessor::FromCapWnd(HWND hwnd) {
    return reinterpret_cast<CVFWImageProcessor*>(SendMessageA(hwnd, vfw::kGetUserData, 0, 0));
}

DWORD WINAPI CVFWImageProcessor::CaptureThreadProc(LPVOID param) {
    auto* self = static_cast<CVFWImageProcessor*>(param);
    MSG msg{};
    // Make the message queue before anything else, so a quit posted right after the
    // window attempt is never lost.
    PeekMessageA(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const vfw::AviCap& lib = vfw::AviCapLibrary();
    const HWND hwnd =
        lib.Loaded() ? lib.createCaptureWindow("", WS_POPUP, 0, 0, 1, 1, nullptr, 0) : nullptr;
    self->m_hCapWnd = hwnd;
    SetEvent(self->m_evFrame.Get());
    // The object is not touched from here on: Shutdown may give up waiting for this thread.
    msg = MSG{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
    return static_cast<DWORD>(msg.wParam);
}

void CVFWImageProcessor::SetCallbacks(bool on) {
    SetCallback(m_hCapWnd, vfw::kSetCallbackError, on ? &OnCapError : nullptr);
    SetCallback(m_hCapWnd, vfw::kSetCallbackCapControl, on ? &OnCapControl : nullptr);
    SetCallback(m_hCapWnd, vfw::kSetCallbackStatus, on ? &OnCapStatus : nullptr);
    SetCallback(m_hCapWnd, vfw::kSetCallbackFrame, on ? &OnCapFrame : nullptr);
    SetCallback(m_hCapWnd, vfw::kSetCallbackVideoStream, on ? &OnCapVideoStream : nullptr);
}

void CVFWImageProcessor::ProbeDrivers() {
    const vfw::AviCap& lib = vfw::AviCapLibrary();
    for (int index = 0; index < kDriverSlots; ++index) {
        char name[80] = {};
        char version[80] = {};
        if (!lib.getDriverDescription(static_cast<UINT>(index), name, sizeof name, version,
                                      sizeof version))
            continue;
        if (!vfw::Send(m_hCapWnd, vfw::kDriverConnect, static_cast<WPARAM>(index)))
            continue;
        g_CapDriverIndex[g_nCapDrivers++] = index;
        vfw::Send(m_hCapWnd, vfw::kDriverDisconnect);
    }
}

BOOL CVFWImageProcessor::Initialize() {
    Shutdown();
    ClearError();
    ResetEvent(m_evFrame.Get());

    DWORD threadId = 0;
    m_pThread.Reset(CreateThread(nullptr, 0, &CaptureThreadProc, this, 0, &threadId));
    if (m_pThread.Valid()) {
        m_nThreadId = threadId;
        // No time limit, but a thread that died before creating the window ends the wait.
        const HANDLE waits[] = {m_evFrame.Get(), m_pThread.Get()};
        WaitAnsweringSent(2, waits, INFINITE);
    }

    if (m_hCapWnd) {
        vfw::Send(m_hCapWnd, vfw::kSetUserData, 0, this);
        SetCallbacks(true);
        if (g_nCapDrivers == 0)
            ProbeDrivers();
        ClearError();
        if (const BOOL connected = ConnectDriver())
            return connected;
    }

    SetErrorIfNone(kCamErrorGeneral);
    // Shutdown clears the error; the caller still wants to know why the start failed.
    const int32_t error = Error();
    std::string text = ErrorText();
    Shutdown();
    SetError(error, std::move(text));
    return FALSE;
}

BOOL CVFWImageProcessor::ConnectDriver() {
    ClearError();
    if (g_nCapDrivers == 0) {
        SetError(kCamErrorNoDriver);
        return FALSE;
    }
    if (m_nConnectState == 0)
        return TRUE;
    if (!m_hCapWnd) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }

    if (GetParent(m_hCapWnd))
        vfw::Send(m_hCapWnd, vfw::kSetPreview, FALSE);
    DetachPreview();
    vfw::Send(m_hCapWnd, vfw::kAbort);

    const LRESULT connected =
        vfw::Send(m_hCapWnd, vfw::kDriverConnect, static_cast<WPARAM>(g_CapDriverIndex[0]));
    if (!connected) {
        SetErrorIfNone(kCamErrorGeneral);
        return FALSE;
    }

    m_bmi = DibHeader{};
    vfw::Send(m_hCapWnd, vfw::kGetVideoFormat, sizeof m_bmi, &m_bmi);

    vfw::CaptureParms parms{};
    if (vfw::Send(m_hCapWnd, vfw::kGetSequenceSetup, sizeof parms, &parms)) {
        parms.fYield = TRUE;
        parms.wPercentDropForError = 100;
        parms.fCaptureAudio = FALSE;
        parms.fAbortLeftMouse = FALSE;
        parms.fAbortRightMouse = FALSE;
        vfw::Send(m_hCapWnd, vfw::kSetSequenceSetup, sizeof parms, &parms);
    }

    m_nConnectState = 0;
    if (GetParent(m_hCapWnd))
        vfw::Send(m_hCapWnd, vfw::kSetPreview, TRUE);
    return static_cast<BOOL>(connected);
}

BOOL CVFWImageProcessor::AttachPreview(HWND parent, int x, int y, int width, int height) {
    ClearError();
    if (!m_hCapWnd) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }
    SetParent(m_hCapWnd, parent);
    SetWindowLongPtrA(m_hCapWnd, GWL_STYLE, WS_CHILD);
    SetWindowPos(m_hCapWnd, nullptr, x, y, width, height, SWP_NOZORDER);
    ShowWindow(m_hCapWnd, SW_SHOW);
    vfw::Send(m_hCapWnd, vfw::kSetPreviewRate, kPreviewRateMs);
    return static_cast<BOOL>(vfw::Send(m_hCapWnd, vfw::kSetPreview, TRUE));
}

BOOL CVFWImageProcessor::DetachPreview() {
    ClearError();
    if (!m_hCapWnd)
        return FALSE;
    const BOOL result = static_cast<BOOL>(vfw::Send(m_hCapWnd, vfw::kSetPreview, FALSE));
    SetWindowPos(m_hCapWnd, nullptr, 0, 0, 0, 0, SWP_NOZORDER);
    SetParent(m_hCapWnd, nullptr);
    SetWindowLongPtrA(m_hCapWnd, GWL_STYLE, WS_POPUP);
    return result;
}

void CVFWImageProcessor::SetDestination(uint8_t* dest, uint32_t size) {
    MutexLock lock(m_lock.Get());
    m_pDest = dest;
    m_nDestSize = size;
}

// Only the 40-byte header is kept from the driver's format; the colour table is asked
// for at each grab so that palettised photos carry their real colours.
void CVFWImageProcessor::CopyPalette(uint8_t* frame, const FrameLayout& layout) {
    if (layout.colorBytes == 0)
        return;
    const size_t formatSize = static_cast<size_t>(layout.headerSize) + layout.colorBytes;
    std::unique_ptr<uint8_t[]> format(new (std::nothrow) uint8_t[formatSize]());
    if (!format)
        return;
    const LRESULT got = vfw::Send(m_hCapWnd, vfw::kGetVideoFormat, formatSize, format.get());
    if (got <= 0 || static_cast<size_t>(got) < formatSize)
        return;
    std::memcpy(frame + layout.headerSize, format.get() + layout.headerSize, layout.colorBytes);
}

BOOL CVFWImageProcessor::GrabFrame(std::unique_ptr<uint8_t[]>* frame, uint32_t* size) {
    ClearError();
    if (size)
        *size = 0;
    if (frame)
        frame->reset();
    const FrameLayout layout = FrameLayoutOf(m_bmi);
    std::unique_ptr<uint8_t[]> buffer;
    if (layout.Valid() && m_hCapWnd && frame)
        buffer.reset(new (std::nothrow) uint8_t[layout.total]());
    if (!buffer) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }
    std::memcpy(buffer.get(), &m_bmi, sizeof m_bmi);
    CopyPalette(buffer.get(), layout);
    if (size)
        *size = layout.total;

    SetDestination(buffer.get(), layout.total);
    ResetEvent(m_evFrame.Get());
    const bool delivered = vfw::Send(m_hCapWnd, vfw::kGrabFrame) &&
                           WaitAnsweringSent(m_evFrame.Get(), kGrabWaitMs) == WAIT_OBJECT_0;
    SetDestination(nullptr, 0);

    if (!delivered) {
        if (size)
            *size = 0;
        SetErrorIfNone(kCamErrorGeneral);
        return FALSE;
    }
    *frame = std::move(buffer);
    return TRUE;
}

BOOL CVFWImageProcessor::SaveImage(const char* path) {
    ClearError();
    std::unique_ptr<uint8_t[]> frame;
    uint32_t size = 0;
    if (!path) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }
    if (!GrabFrame(&frame, &size))
        return FALSE;

    // Written under a scratch name and renamed into place, so a failed write never leaves
    // a partial photo under the real name.
    const std::string scratch = ScratchPhotoPath(path);
    if (scratch.empty()) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }
    fw::UniqueHandle file(CreateFileA(scratch.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        SetError(kCamErrorGeneral);
        return FALSE;
    }

    DibHeader header;
    std::memcpy(&header, frame.get(), sizeof header);
    if (IsCompressedFormat(header))
        MessageBeep(0);

    const auto fileHeader = BmpFileHeader(FrameLayoutOf(header));
    const bool written = WriteAll(file.Get(), fileHeader.data(), kBmpFileHeaderSize) &&
                         WriteAll(file.Get(), frame.get(), size);
    const bool closed = CloseHandle(file.Release()) != 0;
    if (!written || !closed || !MoveFileExA(scratch.c_str(), path, MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(scratch.c_str());
        SetError(kCamErrorGeneral);
        return FALSE;
    }
    return TRUE;
}

void CVFWImageProcessor::Shutdown() {
    ClearError();
    if (m_hCapWnd) {
        DetachPreview();
        vfw::Send(m_hCapWnd, vfw::kAbort);
        SetCallbacks(false);
        vfw::Send(m_hCapWnd, vfw::kSetUserData);
        vfw::Send(m_hCapWnd, vfw::kDriverDisconnect);
    }
    if (m_pThread.Valid()) {
        PostThreadMessageA(m_nThreadId, WM_QUIT, 0, 0);
        for (int i = 0; i < kStopPolls; ++i) {
            if (WaitAnsweringSent(m_pThread.Get(), kStopPollMs) != WAIT_TIMEOUT)
                break;
        }
        m_pThread.Reset();
        m_nThreadId = 0;
        m_hCapWnd = nullptr;
    }
    {
        MutexLock lock(m_lock.Get());
        m_pDest = nullptr;
        m_nDestSize = 0;
    }
    m_hCapWnd = nullptr;
    m_nConnectState = -1;
    m_bmi = DibHeader{};
    ClearError();
}

LRESULT CALLBACK CVFWImageProcessor::OnCapError(HWND hwnd, int id, LPCSTR text) {
    CVFWImageProcessor* self = FromCapWnd(hwnd);
    if (!self)
        return TRUE;
    self->SetError(id, text ? text : "");
    return TRUE;
}

LRESULT CALLBACK CVFWImageProcessor::OnCapControl(HWND hwnd, int state) {
    CVFWImageProcessor* self = FromCapWnd(hwnd);
    if (!self)
        return TRUE;
    if (state == vfw::kControlPreroll) {
        ResetEvent(self->m_evStop.Get());
        return TRUE;
    }
    if (state == vfw::kControlCapturing)
        return WaitForSingleObject(self->m_evStop.Get(), 0) == WAIT_OBJECT_0 ? FALSE : TRUE;
    return TRUE;
}

LRESULT CALLBACK CVFWImageProcessor::OnCapStatus(HWND, int, LPCSTR) {
    return TRUE;
}

LRESULT CALLBACK CVFWImageProcessor::OnCapVideoStream(HWND, vfw::VideoHeader*) {
    return TRUE;
}

LRESULT CALLBACK CVFWImageProcessor::OnCapFrame(HWND hwnd, vfw::VideoHeader* frame) {
    CVFWImageProcessor* self = FromCapWnd(hwnd);
    if (!self || !self->m_hCapWnd)
        return 0;
    {
        MutexLock lock(self->m_lock.Get());
        if (self->m_pDest && self->m_nDestSize >= sizeof self->m_bmi) {
            std::memcpy(self->m_pDest, &self->m_bmi, sizeof self->m_bmi);
            const FrameLayout layout = FrameLayoutOf(self->m_bmi);
            if (frame && frame->lpData && layout.Valid()) {
                const size_t used = frame->dwBytesUsed < frame->dwBufferLength
                                        ? frame->dwBytesUsed
                                        : frame->dwBufferLength;
                const size_t n = FrameCopyBytes(layout, self->m_nDestSize, used);
                std::memcpy(self->m_pDest + layout.ImageOffset(), frame->lpData, n);
            }
        }
    }
    SetEvent(self->m_evFrame.Get());
    return TRUE;
}
