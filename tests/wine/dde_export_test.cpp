// The spreadsheet export against the stand-in spreadsheet program (quelma-sheet.exe beside
// this test program). DDE between processes needs a real display: run under Xvfb.
#include "framework/message_box.h"
#include "results/dde_client.h"
#include "storage/config_file.h"
#include "wine/wine_harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace wine_harness;

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::vector<std::string>> LogLines(const std::string& path) {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(ReadWholeFile(path));
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        lines.push_back(fields);
    }
    return lines;
}

std::vector<std::vector<std::string>> Pokes(const std::vector<std::vector<std::string>>& log) {
    std::vector<std::vector<std::string>> pokes;
    for (const auto& fields : log)
        if (fields[0] == "POKE")
            pokes.push_back(fields);
    return pokes;
}

int Count(const std::vector<std::vector<std::string>>& log, const char* kind) {
    int n = 0;
    for (const auto& fields : log)
        n += fields[0] == kind;
    return n;
}

bool SetDefault(const char* key, const std::string& value) {
    HKEY h;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG r =
        RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    RegCloseKey(h);
    return r == ERROR_SUCCESS;
}

// Ends every running stand-in and waits until each process is gone.
void CloseSheets() {
    for (int i = 0; i < 10; ++i) {
        HWND sheet = FindWindowA("QuelmaSheetStandIn", nullptr);
        if (!sheet)
            return;
        DWORD pid = 0;
        GetWindowThreadProcessId(sheet, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
        PostMessageA(sheet, WM_CLOSE, 0, 0);
        if (process) {
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        } else {
            Sleep(500);
        }
    }
}

std::string CellText(int row, int column) {
    return "v" + std::to_string(row) + "_" + std::to_string(column);
}

class DdeExport : public ::testing::Test {
  protected:
    void SetUp() override {
        CloseSheets();
        const std::string sheet = ExeFolder() + "quelma-sheet.exe";
        ASSERT_TRUE(fs::exists(sheet)) << sheet;
        ASSERT_TRUE(SetDefault(".xls", "QuelmaSheet.Workbook"));
        ASSERT_TRUE(
            SetDefault("QuelmaSheet.Workbook\\shell\\open\\command", "\"" + sheet + "\" \"%1\""));

        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir_ = std::string(temp) + "quelma-dde-" + std::to_string(GetCurrentProcessId()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_ + "\\Resources");
        fs::create_directories(dir_ + "\\Data");
        SetField(g_szInstallDir, (dir_ + "\\").c_str());
        templatePath_ = dir_ + "\\Resources\\QuelmaForm.xls";
        Spit(templatePath_, "template bytes");
        title_ = "Quelma " + dir_ + "\\Data\\Quelma2026.dat";
        workbook_ = dir_ + "\\Data\\Quelma2026.xls";
        log_ = dir_ + "\\sheet.log";
        SetEnvironmentVariableA("QUELMA_SHEET_LOG", log_.c_str());
        SetEnvironmentVariableA("QUELMA_SHEET_IDLE_SECONDS", "120");
        fw::SetMessageBoxHook([this](const char* text, UINT) {
            messages_.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        fw::SetMessageBoxHook(nullptr);
        g_DdeClient.Disconnect();
        CloseSheets();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    std::string dir_, templatePath_, title_, workbook_, log_;
    std::vector<std::string> messages_;
};

TEST_F(DdeExport, ThreeRowsPokeThirtyCellsFromRowThree) {
    const ExportResult result = g_DdeClient.ExportRows(nullptr, title_, 3, [](int r, int k) {
        if (r == 1 && k == 2)
            return std::string(300, 'n'); // cut to the list's 255 characters
        return CellText(r, k);
    });
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    ASSERT_TRUE(result.connected);
    EXPECT_EQ(result.pokesSent, 30);
    EXPECT_EQ(g_DdeClient.Connected, 1);
    EXPECT_EQ(g_DdeClient.Service, "Excel");
    EXPECT_EQ(g_DdeClient.Topic, workbook_);
    EXPECT_EQ(ReadWholeFile(workbook_), "template bytes");

    const auto log = LogLines(log_);
    ASSERT_EQ(Count(log, "CONNECT"), 1);
    const auto pokes = Pokes(log);
    ASSERT_EQ(pokes.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        const int r = i / 10, k = i % 10;
        char item[16];
        std::snprintf(item, sizeof item, "r%dc%d", r + 3, k + 1);
        EXPECT_EQ(pokes[i][2], item);
        EXPECT_EQ(pokes[i][3], r == 1 && k == 2 ? std::string(255, 'n') : CellText(r, k));
        EXPECT_EQ(_stricmp(pokes[i][1].c_str(), workbook_.c_str()), 0) << pokes[i][1];
    }
}

// The list as it was when the export began: a timer during the connection wait stands for
// a filter or a new record; cells a spreadsheet would run go as text; refusals are told.
std::vector<std::string> g_live;

TEST_F(DdeExport, CellsCopiedBeforeConnectingGoAsTextAndRefusalsAreTold) {
    SetEnvironmentVariableA("QUELMA_SHEET_REFUSE", "r3c4,r4c7");
    g_live = {"=HYPERLINK(\"x\")", "-Jo", "+1", "\tx"};
    const UINT_PTR timer =
        SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) { g_live.assign(4, "changed"); });
    const ExportResult result = g_DdeClient.ExportRows(nullptr, title_, 2, [](int r, int k) {
        return k == 1 || k == 2 ? g_live[r * 2 + k - 1]
               : k == 9         ? "@p.bmp"
                                : "-" + std::to_string(k);
    });
    KillTimer(nullptr, timer);
    SetEnvironmentVariableA("QUELMA_SHEET_REFUSE", nullptr);
    EXPECT_EQ(g_live[0], "changed") << "the timer never ran during the wait";
    EXPECT_EQ(result.pokesSent, 18);
    EXPECT_EQ(messages_,
              (std::vector<std::string>{"2 of 20 cells were not accepted by the spreadsheet"}));
    std::string sheet;
    for (const auto& poke : Pokes(LogLines(log_)))
        sheet += poke[2] + "=" + poke[3] + " ";
    // r3c4 and r4c7 refused; the log writes a tab as \t.
    EXPECT_EQ(sheet, "r3c1=-0 r3c2='=HYPERLINK(\"x\") r3c3='-Jo r3c5=-4 r3c6=-5 r3c7=-6 r3c8=-7 "
                     "r3c9=-8 r3c10='@p.bmp r4c1=-0 r4c2='+1 r4c3= x r4c4=-3 r4c5=-4 r4c6=-5 "
                     "r4c8=-7 r4c9=-8 r4c10='@p.bmp ");
}

TEST_F(DdeExport, EmptyListConnectsAndPokesNothing) {
    const ExportResult result = g_DdeClient.ExportRows(nullptr, title_, 0, CellText);
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(result.connected);
    EXPECT_EQ(result.pokesSent + result.pokesFailed, 0);
    EXPECT_TRUE(fs::exists(workbook_));
    const auto log = LogLines(log_);
    EXPECT_EQ(Count(log, "CONNECT"), 1);
    EXPECT_EQ(Count(log, "POKE"), 0);
}

TEST_F(DdeExport, SecondExportReusesTheWorkbook) {
    ASSERT_EQ(g_DdeClient.ExportRows(nullptr, title_, 3, CellText).pokesSent, 30);
    Spit(workbook_, "saved by the operator");
    const ExportResult second =
        g_DdeClient.ExportRows(nullptr, title_, 2, [](int r, int k) { return CellText(r + 7, k); });
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(second.pokesSent, 20);
    EXPECT_EQ(ReadWholeFile(workbook_), "saved by the operator");

    const auto log = LogLines(log_);
    EXPECT_EQ(Count(log, "CONNECT"), 2);
    const auto pokes = Pokes(log);
    ASSERT_EQ(pokes.size(), 50u);
    EXPECT_EQ(pokes[30][2], "r3c1");
    EXPECT_EQ(pokes[30][3], "v7_0");
    EXPECT_EQ(pokes[49][2], "r4c10");
    // One stand-in serves both exports, as one spreadsheet program would.
    EXPECT_EQ(Count(log, "OPEN"), 2);
}

TEST_F(DdeExport, MissingTemplateStopsBeforeAnythingStarts) {
    fs::remove(templatePath_);
    const ExportResult result = g_DdeClient.ExportRows(nullptr, title_, 3, CellText);
    EXPECT_FALSE(result.connected);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Format file : " + templatePath_ + " not found");
    EXPECT_FALSE(fs::exists(workbook_));
    EXPECT_EQ(FindWindowA("QuelmaSheetStandIn", nullptr), nullptr);
}

TEST_F(DdeExport, WorkbookTheShellCannotOpenIsReported) {
    g_DdeClient.Service = "Excel";
    g_DdeClient.Topic = dir_ + "\\Data\\absent.xls";
    g_DdeClient.Connect(nullptr);
    EXPECT_EQ(g_DdeClient.Connected, 0);
    EXPECT_EQ(g_DdeClient.Instance, 0u);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "Unable to Start DDE Server");

    // The export adds its own message after the connection's.
    messages_.clear();
    SetDefault("QuelmaSheet.Workbook\\shell\\open\\command", "\"" + dir_ + "\\none.exe\" \"%1\"");
    g_DdeClient.ExportRows(nullptr, title_, 1, CellText);
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[0], "Unable to Start DDE Server");
    EXPECT_EQ(messages_[1], "Connection to server fails");
}

// What happens on this thread while an export waits: paints, timer ticks, and the result
// of a second export started from a timer meanwhile.
struct DuringTheWait {
    HWND window = nullptr;
    int paints = 0;
    int ticks = 0;
    bool nestedRan = false;
    ExportResult nested;
    std::string title;
};
DuringTheWait g_during;

LRESULT CALLBACK PaintCounter(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        ++g_during.paints;
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ++g_during.ticks;
    InvalidateRect(g_during.window, nullptr, FALSE);
    if (!g_during.nestedRan) {
        g_during.nestedRan = true;
        g_during.nested = g_DdeClient.ExportRows(nullptr, g_during.title, 1, CellText);
    }
}

TEST_F(DdeExport, ProgramThatNeverAnswersIsReportedAfterTheWaitThatKeepsPainting) {
    // The shell starts a program for the workbook, but it never offers the "Excel" service.
    SetDefault("QuelmaSheet.Workbook\\shell\\open\\command",
               "\"C:\\windows\\system32\\cmd.exe\" /c rem \"%1\"");
    WNDCLASSA wc{};
    wc.lpfnWndProc = PaintCounter;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuelmaDdeWaitPaint";
    RegisterClassA(&wc);
    g_during = DuringTheWait{};
    g_during.title = title_;
    g_during.window = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                      nullptr, nullptr, wc.hInstance, nullptr);
    ValidateRect(g_during.window, nullptr);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, Tick);

    SetDdeConnectTiming({100, 50, 600});
    const DWORD start = GetTickCount();
    const ExportResult result = g_DdeClient.ExportRows(nullptr, title_, 2, CellText);
    const DWORD waited = GetTickCount() - start;
    SetDdeConnectTiming({});
    KillTimer(nullptr, timer);
    DestroyWindow(g_during.window);

    EXPECT_FALSE(result.connected);
    EXPECT_EQ(messages_,
              (std::vector<std::string>{"DDE Connection Failed.\n", "Connection to server fails"}));
    EXPECT_GE(waited, 500u);
    EXPECT_LT(waited, 10000u);
    // About 14 ticks in 700 ms; each invalidated the window, and each paint went through.
    EXPECT_GE(g_during.ticks, 5);
    EXPECT_GE(g_during.paints, 4);
    // The export started meanwhile did nothing and said nothing.
    EXPECT_TRUE(g_during.nestedRan);
    EXPECT_FALSE(g_during.nested.connected);
    EXPECT_EQ(g_during.nested.pokesSent, 0);
}

} // namespace
