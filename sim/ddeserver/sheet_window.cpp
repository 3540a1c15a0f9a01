#include "sheet_window.h"

namespace {

constexpr UINT_PTR kIdleTimer = 1;
constexpr int kMaxLines = 200;

HWND g_window = nullptr;
HWND g_list = nullptr;
DWORD g_idleLimitMs = 0;
DWORD (*g_lastActivity)() = nullptr;
void (*g_open)(const std::string&) = nullptr;

LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        g_list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                 WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT |
                                     LBS_USETABSTOPS,
                                 0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
        SetTimer(hwnd, kIdleTimer, 1000, nullptr);
        return 0;
    case WM_SIZE:
        MoveWindow(g_list, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_TIMER:
        if (wParam == kIdleTimer && g_idleLimitMs && g_lastActivity &&
            GetTickCount() - g_lastActivity() > g_idleLimitMs)
            DestroyWindow(hwnd);
        return 0;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (g_open && data && data->lpData && data->cbData > 0 && data->cbData < 4096) {
            std::string path(static_cast<const char*>(data->lpData), data->cbData);
            path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
            g_open(path);
        }
        return TRUE;
    }
    case WM_DESTROY:
        KillTimer(hwnd, kIdleTimer);
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

} // namespace

bool CreateSheetWindow(HINSTANCE instance, const std::string& caption) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SheetProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kSheetWindowClass;
    if (!RegisterClassA(&wc))
        return false;
    g_window =
        CreateWindowExA(0, kSheetWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 560, 320, nullptr, nullptr, instance, nullptr);
    if (!g_window)
        return false;
    ShowWindow(g_window, SW_SHOWNOACTIVATE);
    return true;
}

void ShowSheetEvent(const std::string& line) {
    if (!g_list)
        return;
    while (SendMessageA(g_list, LB_GETCOUNT, 0, 0) >= kMaxLines)
        SendMessageA(g_list, LB_DELETESTRING, 0, 0);
    const LRESULT at =
        SendMessageA(g_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    SendMessageA(g_list, LB_SETTOPINDEX, static_cast<WPARAM>(at), 0);
}

void WatchIdle(DWORD idleLimitMs, DWORD (*lastActivity)()) {
    g_idleLimitMs = idleLimitMs;
    g_lastActivity = lastActivity;
}

void OnWorkbookForwarded(void (*open)(const std::string& path)) {
    g_open = open;
}
