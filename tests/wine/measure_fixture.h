// The world of the Measure dialog tests: an install folder of its own, the program-wide
// tables filled with known members and records, a stand-in main view that records the
// commands it gets, message boxes answered in-process, and the analyzer simulator.
#pragma once

#include "analyzer/comm_port.h"
#include "analyzer/measure_state.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace measure_test {

namespace fs = std::filesystem;

inline std::string Env(const char* name, const std::string& fallback) {
    char value[1024];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : fallback;
}

// A Linux path as this process sees it (drive Z: is the Linux root).
inline std::string ZPath(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs this thread's messages until `done` or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

inline std::string ListText(HWND list, int row, int column) {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

inline int ListCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

inline std::string WindowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

inline MemberEntry Member(const char* id, const char* name) {
    MemberEntry m{};
    SetField(m.ID, id);
    SetField(m.Name, name);
    m.InUse = 1;
    return m;
}

inline MeasureRecord Record(const char* id, const char* name, int mode, float value, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = static_cast<uint8_t>(mode);
    r.Level = 1;
    r.Unit = 1;
    r.Value = value;
    r.Low = 0.02f;
    r.Hi = 0.05f;
    r.Time = time;
    return r;
}

// The main view as the dialogs see it: a window that notes every command it is sent.
class ViewWindow {
  public:
    ViewWindow() {
        static ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QuelmaMeasureTestView";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd_ = CreateWindowExA(0, "QuelmaMeasureTestView", "view", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleA(nullptr), this);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ViewWindow() { DestroyWindow(hwnd_); }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    int Count(int command) const {
        return static_cast<int>(std::count(commands.begin(), commands.end(), command));
    }
    std::vector<int> commands;
    std::function<void(int)> onCommand;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ViewWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_COMMAND && self) {
            self->commands.push_back(LOWORD(wp));
            if (self->onCommand)
                self->onCommand(LOWORD(wp));
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    HWND hwnd_ = nullptr;
};

// The analyzer simulator, a Linux program started through Wine's "start /unix", linked as
// a COM port of the prefix; ended by "quit" in its control file or by its own lifetime.
class SimulatedAnalyzer {
  public:
    ~SimulatedAnalyzer() { Stop(); }

    bool Start(int comNumber, const std::string& options) {
        static int serial = 0;
        dir_ = "/tmp/quelma-measure-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++serial);
        CreateDirectoryA(ZPath(dir_).c_str(), nullptr);
        const std::string prefix = Env("WINEPREFIX", Env("HOME", "/root") + "/.wine");
        link_ = prefix + "/dosdevices/com" + std::to_string(comNumber);
        DeleteFileA(ZPath(link_).c_str());
        std::ofstream(ZPath(dir_ + "/control"), std::ios::binary | std::ios::trunc).flush();
        const std::string sim =
            Env("QUELMA_NATIVE_BIN", "/work/main/build/native/bin") + "/quelma-analyzer-sim";
        if (GetFileAttributesA(ZPath(sim).c_str()) == INVALID_FILE_ATTRIBUTES) {
            error_ = "no simulator at " + sim + " (build the native preset, set QUELMA_NATIVE_BIN)";
            return false;
        }
        std::string cmd = "C:\\windows\\system32\\start.exe /unix " + sim + " --link " + link_ +
                          " --ready " + dir_ + "/ready --log " + dir_ + "/log --control " + dir_ +
                          "/control --lifetime 300 " + options;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &pi)) {
            error_ = "cannot run start.exe";
            return false;
        }
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        started_ = true;
        if (!PumpUntil(
                [&] {
                    return GetFileAttributesA(ZPath(dir_ + "/ready").c_str()) !=
                           INVALID_FILE_ATTRIBUTES;
                },
                15000)) {
            error_ = "the simulator did not come up";
            return false;
        }
        return true;
    }

    void Command(const std::string& line) {
        std::ofstream(ZPath(dir_ + "/control"), std::ios::binary | std::ios::app) << line << "\n";
    }
    std::string LogText() const { return ReadWholeFile(ZPath(dir_ + "/log")); }
    int Count(const std::string& text) const {
        const std::string log = LogText();
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    }

    void Stop() {
        if (!started_)
            return;
        started_ = false;
        Command("quit");
        PumpUntil(
            [&] { return GetFileAttributesA(ZPath(link_).c_str()) == INVALID_FILE_ATTRIBUTES; },
            5000);
        for (const char* name : {"/ready", "/log", "/control"})
            DeleteFileA(ZPath(dir_ + name).c_str());
        RemoveDirectoryA(ZPath(dir_).c_str());
    }

    const std::string& Error() const { return error_; }

  private:
    std::string dir_, link_, error_;
    bool started_ = false;
};

// Program-wide state saved and restored around each test; an install folder of its own.
class MeasureWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedSettings_ = g_Settings;
        std::memcpy(savedDir_, g_szInstallDir, sizeof savedDir_);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        folder_ = fs::path(temp) / ("quelma-measure-" + std::to_string(GetCurrentProcessId()) +
                                    "-" + std::to_string(GetTickCount()));
        for (const char* sub : {"Data", "Photo", "Resources"})
            fs::create_directories(folder_ / sub);
        SetField(g_szInstallDir, (folder_.string() + "\\").c_str());

        g_Settings = DefaultSettings(13);
        g_Settings.Mode = kModeNormal;
        g_Settings.Low = 0.03f;
        g_Settings.Hi = 0.08f;
        g_Settings.UseWebCam = 0;
        g_Settings.UseIdCard = 0;
        g_Settings.UseSound = 0;
        SetMembers({Member("M001", "Alice"), Member("M002", "Bob"), Member("A003", "Carol"),
                    Member("M00100000", "Dora")});

        ResetRecordTable(RecordTable);
        std::memset(&g_CurrentRecord, 0, sizeof g_CurrentRecord);
        g_nDeviceTotal = 0;
        g_nMeasureState = MeasureState::Idle;
        SetField(g_szDataFileName, DataFileName(std::time(nullptr)).c_str());
        std::ofstream(DataPath(), std::ios::binary).write("\0\0\0\0\xd2\x02\x96\x49", 8);

        fw::SetMessageBoxHook([this](const char* text, UINT type) {
            messages.push_back(text);
            return (type & MB_YESNO) ? answer : IDOK;
        });
    }
    void TearDown() override {
        fw::SetMessageBoxHook(nullptr);
        CCommPort::Close();
        g_Settings = savedSettings_;
        std::memcpy(g_szInstallDir, savedDir_, sizeof savedDir_);
        ResetRecordTable(RecordTable);
        g_nMeasureState = MeasureState::Idle;
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    void SetMembers(const std::vector<MemberEntry>& members) {
        MemberTable.slots = members;
        for (int i = 0; i < 3; ++i) {
            MemberEntry free{};
            MakeFreeSlot(free);
            MemberTable.slots.push_back(free);
        }
        MemberTable.loaded = true;
        g_Settings.MemberCount = static_cast<int>(members.size());
    }
    void SetRecords(const std::vector<MeasureRecord>& records) {
        ResetRecordTable(RecordTable);
        for (const MeasureRecord& r : records)
            AppendToTable(RecordTable, r);
        WriteDataFile(DataPath().c_str(), RecordTable);
    }
    std::string DataPath() const { return (folder_ / "Data" / g_szDataFileName).string(); }

    std::vector<std::string> messages;
    int answer = IDYES;
    fs::path folder_;

  private:
    AppSettings savedSettings_{};
    char savedDir_[sizeof g_szInstallDir] = {};
};

} // namespace measure_test
