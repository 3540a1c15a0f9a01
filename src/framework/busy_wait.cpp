#include "framework/busy_wait.h"

namespace fw {

namespace {

int g_blocks = 0;
std::vector<HWND> g_closesPutOff;

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM param) {
    if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        EnableWindow(hwnd, FALSE);
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    }
    return TRUE;
}

} // namespace

InputBlock::InputBlock() : active_(GetActiveWindow()), focus_(GetFocus()) {
    ++g_blocks;
    EnumThreadWindows(GetCurrentThreadId(), DisableOne, reinterpret_cast<LPARAM>(&disabled_));
}

InputBlock::~InputBlock() {
    DropQueuedInput();
    for (HWND hwnd : disabled_)
        if (IsWindow(hwnd))
            EnableWindow(hwnd, TRUE);
    if (active_ && IsWindow(active_))
        SetActiveWindow(active_);
    if (focus_ && IsWindow(focus_))
        SetFocus(focus_);
    if (--g_blocks > 0)
        return;
    std::vector<HWND> closes;
    closes.swap(g_closesPutOff);
    for (HWND hwnd : closes)
        if (IsWindow(hwnd))
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

bool InputBlock::Active() {
    return g_blocks > 0;
}

bool InputBlock::PutOffClose(HWND hwnd) {
    if (!Active())
        return false;
    for (HWND queued : g_closesPutOff)
        if (queued == hwnd)
            return true;
    g_closesPutOff.push_back(hwnd);
    return true;
}

void WaitKeepingPainted(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed,
                                  QS_PAINT | QS_TIMER | QS_SENDMESSAGE);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
            DispatchMessageA(&msg);
        // A window whose painting leaves it invalid would come back for ever.
        for (int n = 0; n < 100 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT); ++n)
            DispatchMessageA(&msg);
    }
}

void DropQueuedInput() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;
    while (PeekMessageA(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE))
        ;
    // Clicks on a caption or its close box.
    while (PeekMessageA(&msg, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE))
        ;
}

} // namespace fw
