// The delay from a line feed leaving the analyzer simulator to the notification reaching
// the owner window, over 1,000 stamped lines (Windows build, under Wine). Prints figures;
// scripts/bench-analyzer --wine runs it.
#include "analyzer/comm_port.h"
#include "analyzer/measure_state.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "wine/wine_harness.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kCom = 12;
constexpr int kLines = 1000;

std::vector<double> g_delays;

int64_t UnixMicrosNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10;
}

// Each line reads "INI <microseconds since 1970 when the simulator wrote it>".
LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg != WM_COMMAND || LOWORD(wp) != ID_CMD_RXOK || !g_pCommPort)
        return DefWindowProcA(hwnd, msg, wp, lp);
    const int64_t now = UnixMicrosNow();
    ReceivedLine line{};
    if (g_pCommPort->TakeLine(line))
        g_delays.push_back(static_cast<double>(now - std::atoll(line.text + 4)) / 1000.0);
    return 0;
}

} // namespace

int main() {
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuelmaNotificationBench";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
    wine_harness::SimulatedAnalyzer sim;
    if (!sim.Start(kCom, "--pause 5")) {
        std::printf("%s\n", sim.Error().c_str());
        return 1;
    }
    g_Settings.Speed = 2;
    g_nMeasureState = MeasureState::Started;
    if (CCommPort::Open(kCom - 1, owner) != 0) {
        std::printf("cannot open COM%d\n", kCom);
        return 1;
    }
    sim.Command("stamp " + std::to_string(kLines) + " 5");
    const bool all = wine_harness::PumpUntil([] { return g_delays.size() >= kLines; }, 60000);
    CCommPort::Close();
    if (!all || g_delays.empty()) {
        std::printf("only %zu of %d lines arrived\n", g_delays.size(), kLines);
        return 1;
    }
    std::sort(g_delays.begin(), g_delays.end());
    std::printf("notification delay over %d lines: median %.3f ms, 99%% %.3f ms, worst %.3f ms\n",
                kLines, g_delays[g_delays.size() / 2], g_delays[g_delays.size() * 99 / 100],
                g_delays.back());
    return 0;
}
