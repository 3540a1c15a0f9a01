// quelma-sheet.exe "<workbook>": a stand-in for the spreadsheet program the export drives.
// It answers DDE as service "Excel" with each open workbook's full path as topic and logs
// every poke. Environment: QUELMA_SHEET_LOG (log file; default "<workbook>.log"),
// QUELMA_SHEET_IDLE_SECONDS (exit after this long without DDE traffic; default 300),
// QUELMA_SHEET_POKE_DELAY_MS (wait before answering each poke; default 0) and
// QUELMA_SHEET_REFUSE (items whose pokes are refused, comma-separated, e.g. "r3c2,r4c1").
// A second start hands its workbook to the running program and ends, as a spreadsheet
// program does.
#include "sheet_server.h"
#include "sheet_window.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

std::unique_ptr<SheetServer> g_sheet;

std::string Env(const char* name) {
    char value[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

bool ForwardToRunningProgram(const std::string& workbook) {
    for (int tries = 0; tries < 50; ++tries) {
        if (HWND running = FindWindowA(kSheetWindowClass, nullptr)) {
            COPYDATASTRUCT data{};
            data.cbData = static_cast<DWORD>(workbook.size() + 1);
            data.lpData = const_cast<char*>(workbook.c_str());
            DWORD_PTR result = 0;
            return SendMessageTimeoutA(running, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                       SMTO_ABORTIFHUNG, 5000, &result) != 0;
        }
        Sleep(100);
    }
    return false;
}

DWORD LastActivity() {
    return g_sheet ? g_sheet->LastActivity() : GetTickCount();
}

void OpenForwarded(const std::string& path) {
    if (g_sheet)
        g_sheet->OpenWorkbook(path);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::string workbook = __argc > 1 ? __argv[1] : "";

    HANDLE single = CreateMutexA(nullptr, FALSE, "QuelmaSheetStandIn.Running");
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        const bool handed = workbook.empty() || ForwardToRunningProgram(workbook);
        CloseHandle(single);
        return handed ? 0 : 1;
    }

    g_sheet = std::make_unique<SheetServer>(Env("QUELMA_SHEET_LOG"));
    if (!CreateSheetWindow(instance, "Quelma sheet (DDE stand-in)") || !g_sheet->Start()) {
        g_sheet.reset();
        if (single)
            CloseHandle(single);
        return 2;
    }
    g_sheet->SetObserver(ShowSheetEvent);
    const std::string delay = Env("QUELMA_SHEET_POKE_DELAY_MS");
    g_sheet->SetPokeRules(
        delay.empty() ? 0 : static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)),
        Env("QUELMA_SHEET_REFUSE"));
    OnWorkbookForwarded(OpenForwarded);
    const std::string idle = Env("QUELMA_SHEET_IDLE_SECONDS");
    const long idleSeconds = idle.empty() ? 300 : std::strtol(idle.c_str(), nullptr, 10);
    WatchIdle(idleSeconds > 0 ? static_cast<DWORD>(idleSeconds) * 1000 : 0, LastActivity);
    if (!workbook.empty())
        g_sheet->OpenWorkbook(workbook);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    g_sheet.reset();
    if (single)
        CloseHandle(single);
    return 0;
}
