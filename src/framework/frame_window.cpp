#include "framework/frame_window.h"

#include "framework/app.h"

#include <commctrl.h>

namespace fw {

namespace {
constexpr UINT_PTR kIndicatorTimer = 0xF1;
constexpr int kToolBarId = 0xE800;  // the usual id of a frame's standard toolbar
constexpr int kStatusBarId = 0xE801;
constexpr const char* kIdleText = "Ready";

struct ToolBarResource {
    WORD version, width, height, count;
    // WORD items[count] follow.
};
} // namespace

bool FrameWindow::CreateFrame(const char* className, const char* appTitle, DWORD style,
                              HICON icon) {
    appTitle_ = appTitle;
    return Create(className, appTitle, style, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, nullptr, nullptr, nullptr, icon);
}

bool FrameWindow::CreateToolBar(int toolbarId, int bitmapId, DWORD extraStyle) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(instance, MAKEINTRESOURCEA(toolbarId), MAKEINTRESOURCEA(241));
    HGLOBAL data = res ? LoadResource(instance, res) : nullptr;
    const auto* header = data ? static_cast<const ToolBarResource*>(LockResource(data)) : nullptr;
    if (!header || SizeofResource(instance, res) < sizeof(ToolBarResource) + header->count * 2)
        return false;

    toolBar_ = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP |
                                   extraStyle,
                               0, 0, 0, 0, hwnd(), reinterpret_cast<HMENU>(kToolBarId), instance,
                               nullptr);
    if (!toolBar_)
        return false;
    SendMessageA(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolBar_, TB_SETBITMAPSIZE, 0, MAKELPARAM(header->width, header->height));

    const WORD* items = reinterpret_cast<const WORD*>(header + 1);
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (int i = 0; i < header->count; ++i) {
        TBBUTTON b{};
        if (items[i] == 0) {
            b.fsStyle = BTNS_SEP;
        } else {
            b.iBitmap = image++;
            b.idCommand = items[i];
            b.fsStyle = BTNS_BUTTON;
            commands_.push_back(items[i]);
        }
        buttons.push_back(b);
    }
    TBADDBITMAP strip{instance, static_cast<UINT_PTR>(bitmapId)};
    SendMessageA(toolBar_, TB_ADDBITMAP, image, reinterpret_cast<LPARAM>(&strip));
    SendMessageA(toolBar_, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    SendMessageA(toolBar_, TB_AUTOSIZE, 0, 0);
    return true;
}

bool FrameWindow::CreateStatusBar() {
    statusBar_ = CreateWindowExA(0, STATUSCLASSNAMEA, kIdleText,
                                 WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, hwnd(),
                                 reinterpret_cast<HMENU>(kStatusBarId), GetModuleHandleA(nullptr),
                                 nullptr);
    if (!statusBar_)
        return false;
    SetTimer(hwnd(), kIndicatorTimer, 300, nullptr);
    RecalcLayout();
    return true;
}

void FrameWindow::SetView(Window* view) {
    view_ = view;
    RecalcLayout();
}

void FrameWindow::SetMessageText(const char* text) {
    if (statusBar_)
        SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

void FrameWindow::SetDocumentTitle(const char* title) {
    std::string caption = std::string(title) + " - " + appTitle_;
    SetWindowTextA(hwnd(), caption.c_str());
}

void FrameWindow::UpdateCommandStates() {
    for (int id : commands_)
        SendMessageA(toolBar_, TB_ENABLEBUTTON, id, MAKELPARAM(IsCommandEnabled(id), 0));
}

void FrameWindow::RecalcLayout() {
    RECT client;
    GetClientRect(hwnd(), &client);
    int top = client.top, bottom = client.bottom;
    if (toolBar_) {
        SendMessageA(toolBar_, TB_AUTOSIZE, 0, 0);
        RECT r;
        GetWindowRect(toolBar_, &r);
        top += r.bottom - r.top;
    }
    if (statusBar_) {
        SendMessageA(statusBar_, WM_SIZE, 0, 0);
        RECT r;
        GetWindowRect(statusBar_, &r);
        bottom -= r.bottom - r.top;
        const int width = client.right - client.left;
        int parts[4] = {width - 180, width - 120, width - 60, -1};
        if (parts[0] < 0)
            parts[0] = 0;
        SendMessageA(statusBar_, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
        UpdateIndicators();
    }
    if (view_ && view_->hwnd())
        MoveWindow(view_->hwnd(), client.left, top, client.right - client.left,
                   bottom > top ? bottom - top : 0, TRUE);
}

void FrameWindow::UpdateIndicators() {
    struct Indicator {
        int key;
        const char* text;
    };
    static const Indicator kIndicators[] = {{VK_CAPITAL, "CAP"}, {VK_NUMLOCK, "NUM"},
                                            {VK_SCROLL, "SCRL"}};
    for (int i = 0; i < 3; ++i) {
        const bool on = (GetKeyState(kIndicators[i].key) & 1) != 0;
        SendMessageA(statusBar_, SB_SETTEXTA, i + 1,
                     reinterpret_cast<LPARAM>(on ? kIndicators[i].text : ""));
    }
}

std::string FrameWindow::PromptText(int id, bool tooltip) const {
    std::string text = LoadStringResource(static_cast<UINT>(id));
    const size_t nl = text.find('\n');
    if (nl == std::string::npos)
        return tooltip ? std::string() : text;
    return tooltip ? text.substr(nl + 1) : text.substr(0, nl);
}

LRESULT FrameWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        RecalcLayout();
        return 0;
    case WM_TIMER:
        if (wParam == kIndicatorTimer) {
            UpdateIndicators();
            return 0;
        }
        break;
    case WM_COMMAND:
        if (IsCommandEnabled(LOWORD(wParam)) || lParam == 0 ||
            reinterpret_cast<HWND>(lParam) == toolBar_) {
            OnCommand(LOWORD(wParam));
            return 0;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOA) {
            auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
            static std::string tip;
            tip = PromptText(static_cast<int>(header->idFrom), true);
            info->lpszText = const_cast<char*>(tip.c_str());
            return 0;
        }
        if (header->hwndFrom == toolBar_ && header->code == TBN_HOTITEMCHANGE) {
            const auto* hot = reinterpret_cast<const NMTBHOTITEM*>(lParam);
            const bool leaving = (hot->dwFlags & HICF_LEAVING) != 0;
            SetMessageText(leaving ? kIdleText : PromptText(hot->idNew, false).c_str());
            return 0;
        }
        break;
    }
    case WM_DESTROY:
        KillTimer(hwnd(), kIndicatorTimer);
        break;
    }
    return Window::WndProc(msg, wParam, lParam);
}

} // namespace fw
