// Drives the modal member picker ("Select") from a timer of the test's own thread while its
// modal loop runs, for the tests of every dialog that opens it.
#pragma once

#include "wine/wine_harness.h"

#include <commctrl.h>
#include <windows.h>

#include <functional>
#include <string>

namespace select_driver {

// What the timer does once the "Select" dialog is up.
inline std::function<void(HWND dialog, HWND list)> g_script;
inline HWND g_seenSelect = nullptr;

inline void CALLBACK DriveSelect(HWND, UINT, UINT_PTR id, DWORD) {
    HWND dialog = wine_harness::FindThreadWindow("Select");
    if (!dialog)
        return;
    KillTimer(nullptr, id);
    g_seenSelect = dialog;
    if (g_script)
        g_script(dialog, GetDlgItem(dialog, 1000));
}

// Runs `run` (which opens the dialog modally) with `script` acting on the open dialog;
// a script that leaves it open is followed by Escape, so no test can hang.
inline void WithSelect(const std::function<void(HWND, HWND)>& script,
                       const std::function<void()>& run) {
    g_seenSelect = nullptr;
    g_script = [script](HWND dialog, HWND list) {
        script(dialog, list);
        if (IsWindow(dialog))
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    };
    SetTimer(nullptr, 0, 30, DriveSelect);
    run();
    g_script = nullptr;
}

inline void SelectRow(HWND list, int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

} // namespace select_driver
