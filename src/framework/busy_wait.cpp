#include "framework/busy_wait.h"

namespace fw {

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
