// What the in-process Windows tests share: waiting for an effect with a timeout, window,
// control and list texts, files of the Linux side, a stand-in main view that notes the
// commands it gets, and the analyzer simulator linked as a COM port of the prefix.
#pragma once

#include "storage/records.h"
#include "test_records.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace wine_harness {

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

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The Linux link of COMn in the prefix.
inline std::string ComLink(int comNumber) {
    const std::string prefix = Env("WINEPREFIX", Env("HOME", "/root") + "/.wine");
    return prefix + "/dosdevices/com" + std::to_string(comNumber);
}

// The folder of this test program (the Windows build's bin folder), with a backslash.
inline std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The native build's programs as a Linux path: QUELMA_NATIVE_BIN, else build/native/bin of
// the checkout this program was built in (it runs from build/win64/bin).
inline std::string NativeBin() {
    const std::string set = Env("QUELMA_NATIVE_BIN", "");
    if (!set.empty())
        return set;
    std::string bin = ExeFolder() + "..\\..\\native\\bin";
    if (bin.rfind("Z:", 0) == 0)
        bin.erase(0, 2);
    std::replace(bin.begin(), bin.end(), '\\', '/');
    return bin;
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

// Runs this thread's messages for a while: for effects that have no sign to wait for.
inline void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

inline std::string WindowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

inline std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

inline void SetItem(HWND dialog, int id, const char* text) {
    SetDlgItemTextA(dialog, id, text);
}

// A button click as the dialog hears of it.
inline void Click(HWND dialog, int id) {
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline int ListCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
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

using test_records::Member;

// A folder of its own under %TEMP%, named after `stem`, this process and a serial number.
inline std::string NewTempFolder(const char* stem) {
    static int serial = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + stem + "-" +
                               std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++serial);
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

struct CaptionSearch {
    const char* caption;
    HWND found;
};

inline BOOL CALLBACK MatchCaption(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<CaptionSearch*>(lp);
    if (WindowText(hwnd) != s->caption || !IsWindowVisible(hwnd))
        return TRUE;
    s->found = hwnd;
    return FALSE;
}

// The visible top-level window of this thread with exactly this caption.
inline HWND FindThreadWindow(const char* caption) {
    CaptionSearch search{caption, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The main view as the dialogs see it: a window that notes every command it is sent.
class ViewWindow {
  public:
    ViewWindow() {
        static ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QuelmaTestView";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd_ = CreateWindowExA(0, "QuelmaTestView", "view", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ViewWindow() { DestroyWindow(hwnd_); }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    int Count(int command) const {
        return static_cast<int>(std::count(commands.begin(), commands.end(), command));
    }
    // Waits until every message posted to it before now has been handled: what has not
    // happened by then was not asked for.
    bool HandlePosted(DWORD timeoutMs = 5000) {
        const int before = marks_;
        PostMessageA(hwnd_, WM_COMMAND, kMark, 0);
        return PumpUntil([&] { return marks_ > before; }, timeoutMs);
    }
    std::vector<int> commands;
    std::function<void(int)> onCommand;
    int closes = 0; // WM_CLOSE messages, which it does not act on

  private:
    static constexpr WORD kMark = 0xFFF0;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ViewWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_COMMAND && self && LOWORD(wp) == kMark) {
            ++self->marks_;
            return 0;
        }
        if (msg == WM_COMMAND && self) {
            self->commands.push_back(LOWORD(wp));
            if (self->onCommand)
                self->onCommand(LOWORD(wp));
            return 0;
        }
        if (msg == WM_CLOSE && self) {
            ++self->closes;
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    HWND hwnd_ = nullptr;
    int marks_ = 0;
};

// The analyzer simulator, a Linux program started through Wine's "start /unix", linked as
// a COM port of the prefix; ended by "quit" in its control file or, should the test die,
// by its own lifetime.
class SimulatedAnalyzer {
  public:
    ~SimulatedAnalyzer() { Stop(); }

    bool Start(int comNumber, const std::string& options) {
        static int serial = 0;
        dir_ = "/tmp/quelma-sim-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++serial);
        CreateDirectoryA(ZPath(dir_).c_str(), nullptr);
        link_ = ComLink(comNumber);
        DeleteFileA(ZPath(link_).c_str()); // a link left by an earlier run points nowhere good
        std::ofstream(ZPath(dir_ + "/control"), std::ios::binary | std::ios::trunc).flush();
        const std::string sim = NativeBin() + "/quelma-analyzer-sim";
        if (!Exists(ZPath(sim))) {
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
        if (!PumpUntil([&] { return Exists(ZPath(dir_ + "/ready")); }, 15000)) {
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
    bool WaitForLog(const std::string& text, DWORD ms) const {
        return PumpUntil([&] { return LogText().find(text) != std::string::npos; }, ms);
    }

    void Stop() {
        if (!started_)
            return;
        started_ = false;
        Command("quit");
        // It removes its link as it ends.
        PumpUntil([&] { return !Exists(ZPath(link_)); }, 5000);
        PumpUntil(
            [&] {
                for (const char* name : {"/ready", "/log", "/control"})
                    DeleteFileA(ZPath(dir_ + name).c_str());
                return RemoveDirectoryA(ZPath(dir_).c_str()) != 0;
            },
            1000);
    }

    const std::string& Error() const { return error_; }

  private:
    std::string dir_, link_, error_;
    bool started_ = false;
};

} // namespace wine_harness
