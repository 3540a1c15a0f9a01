#include "framework/app.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace fw {

namespace {
App* g_current = nullptr;

std::vector<HWND>& ModelessDialogs() {
    static std::vector<HWND> dialogs;
    return dialogs;
}
} // namespace

App::App() { g_current = this; }

App::~App() {
    if (g_current == this)
        g_current = nullptr;
}

App* App::Current() { return g_current; }

int App::Run() {
    if (!InitInstance())
        return ExitInstance(0);
    return ExitInstance(RunMessageLoop());
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        bool handled = false;
        for (HWND dialog : ModelessDialogs()) {
            if (IsWindow(dialog) && IsDialogMessageA(dialog, &msg)) {
                handled = true;
                break;
            }
        }
        if (handled)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void RegisterModeless(HWND dialog) {
    auto& dialogs = ModelessDialogs();
    if (std::find(dialogs.begin(), dialogs.end(), dialog) == dialogs.end())
        dialogs.push_back(dialog);
}

void UnregisterModeless(HWND dialog) {
    auto& dialogs = ModelessDialogs();
    dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
}

const char* LoadStringResource(UINT id) {
    static std::map<UINT, std::string> cache;
    auto it = cache.find(id);
    if (it == cache.end()) {
        char buffer[512] = {};
        LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
        it = cache.emplace(id, buffer).first;
    }
    return it->second.c_str();
}

} // namespace fw
