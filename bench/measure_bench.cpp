// Times the Measure dialog with a year of records (200,000): opening it (list filled and
// painted) and storing one more result (list insert, renumbering, file write), and shows
// the process memory around both. Prints the figures; asserts nothing.
//   measure_bench [records]
#include "analyzer/measure_state.h"
#include "framework/message_box.h"
#include "measure/measure_dialog.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) {
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

double PrivateMb() {
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                         sizeof pmc);
    return static_cast<double>((pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage)) /
           (1024.0 * 1024.0);
}

MeasureRecord Sample(int i) {
    MeasureRecord r{};
    std::snprintf(r.ID, sizeof r.ID, "M%05d", i % 5000);
    std::snprintf(r.Name, sizeof r.Name, "Member %d", i % 5000);
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

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

LRESULT CALLBACK ViewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return msg == WM_COMMAND ? 0 : DefWindowProcA(hwnd, msg, wp, lp);
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200000;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    fw::SetMessageBoxHook([](const char* text, UINT) {
        std::printf("message: %s\n", text);
        return IDOK;
    });

    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::filesystem::path folder =
        std::filesystem::path(temp) /
        ("quelma-measure-bench-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder / "Data");
    SetField(g_szInstallDir, (folder.string() + "\\").c_str());
    SetField(g_szDataFileName, DataFileName(std::time(nullptr)).c_str());
    g_Settings = DefaultSettings(2);
    g_Settings.Mode = kModeNormal;

    const double memStart = PrivateMb();
    ResetRecordTable(RecordTable);
    RecordTable.records.reserve(static_cast<size_t>(count) + kRecordGrowth);
    for (int i = 0; i < count; ++i)
        AppendToTable(RecordTable, Sample(i));
    RecordTable.capacity = count + kRecordGrowth;
    const std::string dataPath = (folder / "Data" / g_szDataFileName).string();
    std::ofstream(dataPath, std::ios::binary).write("\0\0\0\0\xd2\x02\x96\x49", 8);
    WriteDataFile(dataPath.c_str(), RecordTable);
    const double memRecords = PrivateMb();

    WNDCLASSA wc{};
    wc.lpfnWndProc = ViewProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuelmaBenchView";
    RegisterClassA(&wc);
    HWND view = CreateWindowExA(0, wc.lpszClassName, "view", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, wc.hInstance, nullptr);

    // The first dialog of the process also pays for Wine's first use of the dialog classes,
    // fonts and pictures; the second shows what the list itself costs.
    std::unique_ptr<CMeasure> dialog;
    double openMs[2] = {};
    for (double& ms : openMs) {
        dialog.reset();
        const auto t0 = Clock::now();
        dialog = std::make_unique<CMeasure>(view, nullptr);
        if (!dialog->CreateModeless(view)) {
            std::printf("the dialog could not be created\n");
            return 1;
        }
        ShowWindow(dialog->hwnd(), SW_SHOWNORMAL);
        UpdateWindow(dialog->hwnd());
        ms = Ms(t0);
        Pump();
    }
    const double memOpen = PrivateMb();

    // One result as the analyzer reports it, through the dialog's own handling.
    SetField(g_CurrentRecord.ID, "M00001");
    SetField(g_CurrentRecord.Name, "Member 1");
    g_CurrentRecord.Time = static_cast<int64_t>(std::time(nullptr));
    g_nMeasureState = MeasureState::Measuring;
    MeasureContext ctx = ProgramMeasureContext();
    const char line[] = "RES    0.045\r";
    double storeMs[3] = {};
    for (double& ms : storeMs) {
        const auto t0 = Clock::now();
        HandleAnalyzerLine(ctx, dialog->Effects(), line, static_cast<int>(sizeof line - 1));
        UpdateWindow(dialog->hwnd());
        ms = Ms(t0);
        Pump();
    }
    const double memStored = PrivateMb();

    const int rows =
        static_cast<int>(SendMessageA(GetDlgItem(dialog->hwnd(), 1000), LVM_GETITEMCOUNT, 0, 0));
    std::printf("records: %d, list rows after the store: %d\n", count, rows);
    std::printf("open the Measure dialog (filled and painted): first %.1f ms, again %.1f ms\n",
                openMs[0], openMs[1]);
    std::printf("store one result (list insert, renumbering, file write, repaint): "
                "%.1f ms, %.1f ms, %.1f ms\n",
                storeMs[0], storeMs[1], storeMs[2]);
    std::printf("private memory: start %.1f MB, records loaded %.1f MB (%.1f MB of records), "
                "dialog open %.1f MB, after the store %.1f MB\n",
                memStart, memRecords, count * sizeof(MeasureRecord) / (1024.0 * 1024.0), memOpen,
                memStored);
    std::printf("the open dialog adds %.2f MB whatever the record count\n", memOpen - memRecords);

    dialog.reset();
    DestroyWindow(view);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
