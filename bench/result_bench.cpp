// Times the Result dialog with a year of records (200,000) under Wine: opening it (list
// filled and painted), a level filter and a sort by name, each with a repaint, and shows
// what the list costs in memory per row. Prints the figures; asserts nothing.
//   result_bench [records]
#include "framework/message_box.h"
#include "results/result_dialog.h"
#include "results/result_ids.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using namespace result_ids;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                         sizeof pmc);
    return static_cast<double>(pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage);
}

MeasureRecord Sample(int i) {
    MeasureRecord r{};
    std::snprintf(r.ID, sizeof r.ID, "M%05d", i % 5000);
    std::snprintf(r.Name, sizeof r.Name, "Member %d", (i * 7919) % 5000);
    r.Time = 1767225600 + static_cast<int64_t>(i) * 150;
    r.Mode = static_cast<uint8_t>(i % 2);
    r.Level = static_cast<uint8_t>(i % 3);
    r.Unit = 1;
    r.Value = 0.001f * static_cast<float>(i % 400);
    r.Low = 0.03f;
    r.Hi = 0.08f;
    r.Photo = static_cast<uint8_t>(i % 2);
    return r;
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return msg == WM_COMMAND ? 0 : DefWindowProcA(hwnd, msg, wp, lp);
}

void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void ClickHeading(HWND dialog, int column) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = GetDlgItem(dialog, kRecordList);
    nm.hdr.idFrom = kRecordList;
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = column;
    SendMessageA(dialog, WM_NOTIFY, kRecordList, reinterpret_cast<LPARAM>(&nm));
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200000;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&icc);
    fw::SetMessageBoxHook([](const char* text, UINT) {
        std::printf("message: %s\n", text);
        return IDOK;
    });
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    SetField(g_szInstallDir, temp);
    SetField(g_szDataFileName, DataFileName(std::time(nullptr)).c_str());

    ResetRecordTable(RecordTable);
    RecordTable.records.reserve(static_cast<size_t>(count) + kRecordGrowth);
    for (int i = 0; i < count; ++i)
        AppendToTable(RecordTable, Sample(i));
    RecordTable.capacity = count + kRecordGrowth;

    WNDCLASSA wc{};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuelmaResultBenchView";
    RegisterClassA(&wc);
    HWND view = CreateWindowExA(0, wc.lpszClassName, "view", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);

    // The first dialog of the process also pays for Wine's first use of the dialog classes,
    // fonts and pictures; the second shows what the list itself costs.
    std::unique_ptr<CResult> dialog;
    double openMs[2] = {};
    double memBefore = 0, memAfter = 0;
    for (double& ms : openMs) {
        dialog.reset();
        memBefore = PrivateBytes();
        const auto t0 = Clock::now();
        dialog = std::make_unique<CResult>(view);
        if (!dialog->CreateModeless(view)) {
            std::printf("the dialog could not be created\n");
            return 1;
        }
        ShowWindow(dialog->hwnd(), SW_SHOWNORMAL);
        UpdateWindow(dialog->hwnd());
        ms = Ms(t0);
        memAfter = PrivateBytes();
    }
    HWND hwnd = dialog->hwnd();
    const int rows = dialog->RecordList().ItemCount();

    // Every Normal-mode record (half of them), oldest first.
    CheckDlgButton(hwnd, kLevelAllBox, BST_UNCHECKED);
    CheckRadioButton(hwnd, kFirstLevelRadio, kLastLevelRadio, kFirstLevelRadio);
    auto t0 = Clock::now();
    Click(hwnd, kFilterButton);
    UpdateWindow(hwnd);
    const double filterMs = Ms(t0);
    const int filtered = dialog->RecordList().ItemCount();

    t0 = Clock::now();
    ClickHeading(hwnd, 2);
    UpdateWindow(hwnd);
    const double sortFilteredMs = Ms(t0);

    // Back to everything, then sort all rows by name.
    CheckDlgButton(hwnd, kLevelAllBox, BST_CHECKED);
    t0 = Clock::now();
    Click(hwnd, kFilterButton);
    UpdateWindow(hwnd);
    const double reloadMs = Ms(t0);
    t0 = Clock::now();
    ClickHeading(hwnd, 2);
    UpdateWindow(hwnd);
    const double sortAllMs = Ms(t0);
    const std::string firstId = dialog->RecordList().ItemText(0, 1);
    const std::string firstName = dialog->RecordList().ItemText(0, 2);

    // The whole period (pickers on the first and last record): a calendar date per record.
    CheckDlgButton(hwnd, kPeriodAll, BST_UNCHECKED);
    t0 = Clock::now();
    Click(hwnd, kFilterButton);
    UpdateWindow(hwnd);
    const double periodMs = Ms(t0);
    const int inPeriod = dialog->RecordList().ItemCount();

    std::printf("records                 %d (list rows %d)\n", count, rows);
    std::printf("open dialog             %.1f ms (first in process %.1f ms)\n", openMs[1],
                openMs[0]);
    std::printf("filter (Normal, %d)  %.1f ms\n", filtered, filterMs);
    std::printf("sort filtered by name   %.1f ms\n", sortFilteredMs);
    std::printf("reload all (OK)         %.1f ms\n", reloadMs);
    std::printf("sort all by name        %.1f ms\n", sortAllMs);
    std::printf("filter (period, %d)  %.1f ms\n", inPeriod, periodMs);
    std::printf("row index               %zu bytes per row\n", sizeof(int32_t));
    std::printf("process memory per row  %.1f bytes (dialog with %d rows: %.2f MB)\n",
                (memAfter - memBefore) / (rows ? rows : 1), rows,
                (memAfter - memBefore) / (1024.0 * 1024.0));
    std::printf("first row after sort    %s | %s\n", firstId.c_str(), firstName.c_str());
    dialog.reset();
    DestroyWindow(view);
    return 0;
}
