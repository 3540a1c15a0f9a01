// The world of the Result dialog tests: an install folder of its own, the record and member
// tables filled with known entries, a stand-in main view that notes the commands it gets,
// and message boxes answered in-process.
#pragma once

#include "framework/message_box.h"
#include "results/result_dialog.h"
#include "results/result_ids.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace result_test {

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

inline void Pump() {
    PumpUntil([] { return false; }, 50);
}

inline std::string WindowText(HWND hwnd) {
    char text[512] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

// Local noon (or the given time) of a calendar day, as the program reads it back.
inline int64_t LocalTimeOf(int y, int mo, int d, int h = 12, int mi = 0, int s = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

inline MeasureRecord Fast(const char* id, const char* name, int level, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = kModeFast;
    r.Level = static_cast<uint8_t>(level);
    r.Value = 0.01f * static_cast<float>(level);
    r.Low = 0.02f;
    r.Hi = 0.05f;
    r.Time = time;
    return r;
}

inline MeasureRecord Normal(const char* id, const char* name, float value, int64_t time) {
    MeasureRecord r{};
    SetField(r.ID, id);
    SetField(r.Name, name);
    r.Mode = kModeNormal;
    r.Unit = 1;
    r.Value = value;
    r.Low = 0.03f;
    r.Hi = 0.08f;
    r.Time = time;
    return r;
}

inline MemberEntry Member(const char* id, const char* name) {
    MemberEntry m{};
    SetField(m.ID, id);
    SetField(m.Name, name);
    m.InUse = 1;
    return m;
}

// A data file: count, marker, records.
inline void WriteDataFileBytes(const std::string& path, int32_t count,
                               const std::vector<MeasureRecord>& records) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const int32_t marker = 0x499602d2;
    out.write(reinterpret_cast<const char*>(&count), sizeof count);
    out.write(reinterpret_cast<const char*>(&marker), sizeof marker);
    if (!records.empty())
        out.write(reinterpret_cast<const char*>(records.data()),
                  static_cast<std::streamsize>(records.size() * sizeof(MeasureRecord)));
}

// The main view as the dialog sees it: a window that notes every command it is sent.
class ViewWindow {
  public:
    ViewWindow() {
        static ATOM atom = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "QuelmaResultTestView";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd_ = CreateWindowExA(0, "QuelmaResultTestView", "view", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~ViewWindow() { DestroyWindow(hwnd_); }
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    std::vector<int> commands;

  private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<ViewWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (msg == WM_COMMAND && self) {
            self->commands.push_back(LOWORD(wp));
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wp, lp);
    }
    HWND hwnd_ = nullptr;
};

// Install folder, tables and message boxes; restores the program-wide state afterwards.
class ResultWorldTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        static int serial = 0;
        install_ = std::string(temp) + "quelma-result-" + std::to_string(GetCurrentProcessId()) +
                   "-" + std::to_string(++serial) + "\\";
        CreateDirectoryA(install_.c_str(), nullptr);
        CreateDirectoryA((install_ + "Data").c_str(), nullptr);
        CreateDirectoryA((install_ + "Photo").c_str(), nullptr);
        std::snprintf(g_szInstallDir, sizeof g_szInstallDir, "%s", install_.c_str());
        std::snprintf(g_szDataFileName, sizeof g_szDataFileName, "Quelma2025.dat");
        fw::SetMessageBoxHook([this](const char* text, UINT) {
            messages.push_back(text);
            return IDOK;
        });
        g_Settings = AppSettings{};
        MemberTable.slots = {Member("M001", "Alice"), Member("M002", "Bob"),
                             Member("A003", "Carol")};
        MemberTable.loaded = true;
        g_Settings.MemberCount = 3;
        g_SortColumn = 0;
        g_SortAscending = 0;
        ResetRecordTable(RecordTable);
    }
    void TearDown() override {
        dialog_.reset();
        fw::SetMessageBoxHook(nullptr);
        ResetRecordTable(RecordTable);
        MemberTable.slots.clear();
        g_Settings = AppSettings{};
        RemoveTree(install_);
    }

    static void RemoveTree(const std::string& dir) {
        for (const char* sub : {"Data\\", "Photo\\", ""}) {
            WIN32_FIND_DATAA found;
            const std::string folder = dir + sub;
            HANDLE h = FindFirstFileA((folder + "*").c_str(), &found);
            if (h != INVALID_HANDLE_VALUE) {
                do {
                    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                        DeleteFileA((folder + found.cFileName).c_str());
                } while (FindNextFileA(h, &found));
                FindClose(h);
            }
            RemoveDirectoryA(folder.c_str());
        }
    }

    void SetRecords(const std::vector<MeasureRecord>& records) {
        ResetRecordTable(RecordTable);
        for (const MeasureRecord& r : records) {
            AppendToTable(RecordTable, r);
            GrowIfFull(RecordTable);
        }
    }

    // Creates the dialog the way the main view does.
    bool Open() {
        dialog_ = std::make_unique<CResult>(view_.hwnd());
        return dialog_->CreateModeless(view_.hwnd());
    }

    HWND Dialog() const { return dialog_->hwnd(); }
    HWND List() const { return GetDlgItem(Dialog(), result_ids::kRecordList); }
    int Rows() const { return static_cast<int>(SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0)); }
    std::string Cell(int row, int column) const {
        return dialog_->RecordList().ItemText(row, column);
    }
    // Column 1 ("ID") of every row, top to bottom.
    std::string Ids() const {
        std::string ids;
        for (int r = 0; r < Rows(); ++r) {
            ids += r ? "," : "";
            ids += Cell(r, 1);
        }
        return ids;
    }
    void Click(int id) {
        SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), id)));
    }
    // Clicks a check box or radio the way the operator does: its state flips, then the
    // dialog hears of it.
    void Toggle(int id) { SendMessageA(GetDlgItem(Dialog(), id), BM_CLICK, 0, 0); }
    bool Checked(int id) const { return IsDlgButtonChecked(Dialog(), id) == BST_CHECKED; }
    void SetChecked(int id, bool on) {
        if (Checked(id) != on)
            Toggle(id);
    }
    void ClickHeading(int column) {
        NMLISTVIEW nm{};
        nm.hdr.hwndFrom = List();
        nm.hdr.idFrom = result_ids::kRecordList;
        nm.hdr.code = LVN_COLUMNCLICK;
        nm.iItem = -1;
        nm.iSubItem = column;
        SendMessageA(Dialog(), WM_NOTIFY, result_ids::kRecordList, reinterpret_cast<LPARAM>(&nm));
    }
    void SetPicker(int id, int64_t time) {
        std::tm local{};
        ASSERT_TRUE(LocalTime(time, local));
        SYSTEMTIME st{};
        st.wYear = static_cast<WORD>(local.tm_year + 1900);
        st.wMonth = static_cast<WORD>(local.tm_mon + 1);
        st.wDay = static_cast<WORD>(local.tm_mday);
        st.wHour = 9;
        SendDlgItemMessageA(Dialog(), id, DTM_SETSYSTEMTIME, GDT_VALID,
                            reinterpret_cast<LPARAM>(&st));
    }
    CivilDate Picker(int id) const {
        SYSTEMTIME st{};
        SendDlgItemMessageA(Dialog(), id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st));
        return {st.wYear, st.wMonth, st.wDay};
    }
    int ArrowColumn() { return dialog_->RecordList().Header().ArrowColumn(); }
    std::string TakeMessages() {
        std::string all;
        for (const std::string& m : messages) {
            all += all.empty() ? "" : "|";
            all += m;
        }
        messages.clear();
        return all;
    }

    std::string install_;
    std::vector<std::string> messages;
    ViewWindow view_;
    std::unique_ptr<CResult> dialog_;
};

} // namespace result_test
