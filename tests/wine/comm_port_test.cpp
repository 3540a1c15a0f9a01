// The serial channel against the analyzer simulator on a pseudo-terminal. Each fixture starts
// the simulator (a Linux program, through Wine's "start /unix") linked as a COM port of the
// prefix, and talks to it through CCommPort exactly as the program does.
#include "analyzer/analyzer_protocol.h"
#include "analyzer/comm_port.h"
#include "analyzer/measure_state.h"
#include "analyzer/rx_notification.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Env(const char* name, const std::string& fallback) {
    char value[1024];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : fallback;
}

// A Linux path as this process sees it (drive Z: is the Linux root).
std::string ZPath(const std::string& unixPath) {
    std::string out = "Z:" + unixPath;
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string ReadWholeFile(const std::string& unixPath) {
    std::ifstream in(ZPath(unixPath), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool Exists(const std::string& unixPath) {
    return GetFileAttributesA(ZPath(unixPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ComLink(int comNumber) {
    const std::string prefix = Env("WINEPREFIX", Env("HOME", "/root") + "/.wine");
    return prefix + "/dosdevices/com" + std::to_string(comNumber);
}

double NowMs() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Runs this thread's messages until `done` or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const double end = NowMs() + timeoutMs;
    while (!done()) {
        if (NowMs() > end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    }
    return true;
}

// The owner window: takes one line per notification, as the Measure dialog does.
struct Receiver {
    struct Line {
        std::string text;
        int length;
        int64_t unixMicros; // when the notification was handled
    };
    std::vector<Line> lines;
    int notifications = 0;
    int portLost = 0; // ID_CMD_PORT_LOST notifications
    std::function<void(const Line&)> onLine;
    MeasureEffects* dispatch = nullptr; // when set, lines go through HandleRxNotification
};
Receiver* g_receiver = nullptr;

int64_t UnixMicrosNow() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const int64_t ticks = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - 116444736000000000LL) / 10;
}

LRESULT CALLBACK ReceiverProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND && LOWORD(wp) == ID_CMD_PORT_LOST && lp == 0 && g_receiver) {
        ++g_receiver->portLost;
        return 0;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == ID_CMD_RXOK && lp == 0 && g_receiver) {
        const int64_t now = UnixMicrosNow();
        ++g_receiver->notifications;
        ReceivedLine line{};
        const bool taken = g_receiver->dispatch ? HandleRxNotification(*g_receiver->dispatch, &line)
                                                : g_pCommPort && g_pCommPort->TakeLine(line);
        if (taken) {
            g_receiver->lines.push_back(
                {std::string(line.text, static_cast<size_t>(line.chars)), line.length, now});
            if (g_receiver->onLine)
                g_receiver->onLine(g_receiver->lines.back());
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

HWND MakeReceiverWindow() {
    static ATOM atom = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ReceiverProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QuelmaCommPortTestReceiver";
        return RegisterClassA(&wc);
    }();
    (void)atom;
    return CreateWindowExA(0, "QuelmaCommPortTestReceiver", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The simulator as a child of the test: started through "start /unix", ended by its
// control file ("quit") or, should the test die, by its own lifetime.
class SimulatedAnalyzer {
  public:
    ~SimulatedAnalyzer() { Stop(); }

    bool Start(int comNumber, const std::string& options) {
        static int serial = 0;
        dir_ = "/tmp/quelma-commport-" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(++serial);
        CreateDirectoryA(ZPath(dir_).c_str(), nullptr);
        link_ = ComLink(comNumber);
        DeleteFileA(ZPath(link_).c_str()); // a link left by an earlier run points nowhere good
        std::ofstream(ZPath(Control()), std::ios::binary | std::ios::trunc).flush();

        const std::string sim =
            Env("QUELMA_NATIVE_BIN", "/work/main/build/native/bin") + "/quelma-analyzer-sim";
        if (!Exists(sim)) {
            error_ = "no simulator at " + sim + " (build the native preset, set QUELMA_NATIVE_BIN)";
            return false;
        }
        std::string cmd = "C:\\windows\\system32\\start.exe /unix " + sim + " --link " + link_ +
                          " --ready " + Ready() + " --log " + Log() + " --control " + Control() +
                          " --lifetime 300 " + options;
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
        if (!PumpUntil([&] { return Exists(Ready()); }, 15000)) {
            error_ = "the simulator did not come up";
            return false;
        }
        return true;
    }

    void Command(const std::string& line) {
        std::ofstream out(ZPath(Control()), std::ios::binary | std::ios::app);
        out << line << "\n";
    }

    std::string LogText() const { return ReadWholeFile(Log()); }
    bool WaitForLog(const std::string& text, DWORD ms) const {
        return PumpUntil([&] { return LogText().find(text) != std::string::npos; }, ms);
    }

    void Stop() {
        if (!started_)
            return;
        started_ = false;
        Command("quit");
        // It removes its link as it ends.
        PumpUntil([&] { return !Exists(link_); }, 5000);
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
    std::string Ready() const { return dir_ + "/ready"; }
    std::string Log() const { return dir_ + "/log"; }
    std::string Control() const { return dir_ + "/control"; }

    std::string dir_, link_, error_;
    bool started_ = false;
};

// Keeps the program-wide state of each test to itself.
class CommPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_Settings;
        g_Settings.Speed = 2;
        g_nMeasureState = MeasureState::Started;
        window_ = MakeReceiverWindow();
        ASSERT_NE(window_, nullptr);
        g_receiver = &receiver_;
    }
    void TearDown() override {
        CCommPort::Close();
        g_receiver = nullptr;
        DestroyWindow(window_);
        g_Settings = saved_;
        g_nMeasureState = MeasureState::Idle;
    }

    bool WaitForLines(size_t count, DWORD ms = 5000) {
        return PumpUntil([&] { return receiver_.lines.size() >= count; }, ms);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> out;
        for (const auto& l : receiver_.lines)
            out.push_back(l.text);
        return out;
    }

    AppSettings saved_{};
    HWND window_ = nullptr;
    Receiver receiver_;
};

// The simulator is linked as COM12 (port index 11), beyond COM9 on purpose.
class CommPortExchange : public CommPortTest {
  protected:
    void StartSim(const std::string& options = "--pause 5") {
        ASSERT_TRUE(sim_.Start(kCom, options)) << sim_.Error();
    }
    void TearDown() override {
        CommPortTest::TearDown();
        sim_.Stop();
    }
    static constexpr int kCom = 12;
    SimulatedAnalyzer sim_;
};

// Drives the state machine with the lines as they arrive, answering through the channel.
class ChannelEffects : public MeasureEffects {
  public:
    void ShowStatus(const char* text) override { events.push_back(std::string("status:") + text); }
    void MarkState(int box) override { events.push_back("mark:" + std::to_string(box)); }
    void ClearStates() override { events.push_back("clear"); }
    void ShowMode(const char*) override {}
    void Send(const char* command) override { sent += g_pCommPort->Send(command); }
    int64_t Now() override { return 1700000000; }
    void TakePhoto() override {}
    void StoreResult() override { events.push_back("store"); }
    void RestartCamera() override {}
    void Beep() override {}
    void ShowMessage(const char*) override {}
    bool IsValidMember(const MeasureRecord&) override { return true; }
    std::vector<std::string> events;
    int sent = 0;
};

TEST_F(CommPortTest, RefusesIndexesOutsideTheTablesWithoutTouchingAnything) {
    EXPECT_EQ(CCommPort::Close(), 0);
    EXPECT_EQ(CCommPort::Open(21, window_), 9);
    EXPECT_EQ(g_pCommPort, nullptr);
    EXPECT_EQ(CCommPort::Open(-1, window_), 9);
    EXPECT_EQ(g_pCommPort, nullptr);
    for (int speed : {-1, 8, 1000}) {
        g_Settings.Speed = speed;
        EXPECT_EQ(CCommPort::Open(0, window_), 9) << speed;
        EXPECT_EQ(g_pCommPort, nullptr);
    }
}

TEST_F(CommPortTest, UnmappedPortGives4AndClosesCleanly) {
    DeleteFileA(ZPath(ComLink(19)).c_str());
    EXPECT_EQ(CCommPort::Open(18, window_), 4);
    ASSERT_NE(g_pCommPort, nullptr);
    EXPECT_FALSE(g_pCommPort->HasPort());
    EXPECT_EQ(g_pCommPort->Send(kCommandRecall), 0);
    EXPECT_EQ(g_pCommPort->Write(), 0);
    EXPECT_EQ(CCommPort::Close(), 1);
    EXPECT_EQ(g_pCommPort, nullptr);
    EXPECT_EQ(CCommPort::Close(), 0);
}

TEST_F(CommPortExchange, OpensConfiguresAndRunsAWholeMeasurement) {
    StartSim("--pause 5 --unit M --total 123 --value 0.045");
    g_Settings.Mode = kModeNormal;
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    ASSERT_NE(g_pCommPort, nullptr);
    EXPECT_TRUE(g_pCommPort->HasPort());
    EXPECT_TRUE(g_pCommPort->WatchThreadRunning());

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(g_pCommPort->PortHandle(), &dcb));
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fBinary, 1u);
    // Wine's serial driver does not report DTR/RTS control or the event character back
    // from a pseudo-terminal, so those settings are not checked here.
    COMMTIMEOUTS timeouts{};
    ASSERT_TRUE(GetCommTimeouts(g_pCommPort->PortHandle(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 500u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 5000000u);

    MeasureRecord record{};
    int total = 0;
    MeasureContext ctx{g_nMeasureState, g_Settings, record, total};
    ChannelEffects fx;
    receiver_.onLine = [&](const Receiver::Line& line) {
        HandleAnalyzerLine(ctx, fx, line.text.data(), static_cast<int>(line.text.size()));
    };
    ASSERT_EQ(g_pCommPort->Send(kCommandRecall), 1);
    ASSERT_TRUE(PumpUntil([&] { return g_nMeasureState == MeasureState::Idle; }, 10000))
        << "lines so far: " << receiver_.lines.size();

    EXPECT_EQ(Texts(), (std::vector<std::string>{"U/M T/123\r", "WAI\r", "STA\r", "BRE\r",
                                                 "RES    0.045\r", "END\r"}));
    EXPECT_EQ(receiver_.notifications, 6);
    EXPECT_EQ(receiver_.lines[0].length, 11);
    EXPECT_EQ(fx.sent, 1) << "the mode command went out";
    EXPECT_EQ(total, 123);
    EXPECT_EQ(record.Unit, 1);
    EXPECT_FLOAT_EQ(record.Value, 0.045f);
    EXPECT_NE(std::find(fx.events.begin(), fx.events.end(), "status:0.045 mg/l"), fx.events.end());
    EXPECT_TRUE(sim_.WaitForLog("< $RECALL\\r\\n", 2000));
    EXPECT_TRUE(sim_.WaitForLog("< $START\\r\\n", 2000));
    EXPECT_EQ(sim_.LogText().find("< $FAST"), std::string::npos);
}

// A line notified just before the state went back to Idle is taken and ignored, so the next
// measurement's first notification reads its own line, not the stale one.
TEST_F(CommPortExchange, NotificationsHandledWhileIdleStillTakeTheirLine) {
    StartSim();
    const int savedTotal = g_nDeviceTotal;
    const MeasureRecord savedRecord = g_CurrentRecord;
    ChannelEffects fx;
    receiver_.dispatch = &fx;
    g_nMeasureState = MeasureState::Measuring;
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    // All three are on their way before the UI thread sees the first.
    sim_.Command("raw $WAI\\r\\n$END\\r\\n$BAT\\r\\n");
    ASSERT_TRUE(WaitForLines(3)) << receiver_.lines.size();
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);
    EXPECT_EQ(fx.events.back(), "clear") << "BAT came after END and was ignored";

    g_nMeasureState = MeasureState::Started;
    sim_.Command("send STA");
    ASSERT_TRUE(WaitForLines(4));
    EXPECT_EQ(receiver_.lines.back().text, "STA\r");
    EXPECT_EQ(fx.events.back(), "mark:1");
    ReceivedLine left{};
    EXPECT_FALSE(g_pCommPort->TakeLine(left));
    g_nDeviceTotal = savedTotal;
    g_CurrentRecord = savedRecord;
}

TEST_F(CommPortExchange, NoiseAndSplitWritesStillGiveWholeLinesInOrder) {
    StartSim("--pause 5 --noise 7 --split 3 --split-gap 1");
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    sim_.Command("send WAI");
    sim_.Command("send STA");
    sim_.Command("raw $INI 1\\r\\n$INI 2\\r\\n");
    sim_.Command("send " + std::string(300, 'L'));
    sim_.Command("raw \\n");
    sim_.Command("raw END\\r\\n");
    sim_.Command("send BAT");
    ASSERT_TRUE(WaitForLines(7)) << receiver_.lines.size();
    PumpUntil([] { return false; }, 100); // nothing more may come
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[0], "WAI\r");
    EXPECT_EQ(texts[1], "STA\r");
    EXPECT_EQ(texts[2], "INI 1\r");
    EXPECT_EQ(texts[3], "INI 2\r");
    EXPECT_EQ(texts[4], std::string(255, 'L'));
    EXPECT_EQ(receiver_.lines[4].length, 255);
    EXPECT_EQ(texts[5], std::string("\0END\r", 5)) << "after a bare line feed";
    EXPECT_EQ(texts[6], "BAT\r");
}

TEST_F(CommPortExchange, LinesArrivingWhileIdleAreDropped) {
    StartSim();
    g_nMeasureState = MeasureState::Idle;
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    sim_.Command("send WAI");
    ASSERT_TRUE(sim_.WaitForLog("> $WAI", 3000));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(receiver_.notifications, 0);

    g_nMeasureState = MeasureState::Started;
    sim_.Command("send STA");
    ASSERT_TRUE(WaitForLines(1));
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"STA\r"}));
    EXPECT_EQ(receiver_.notifications, 1);
}

TEST_F(CommPortExchange, OwnerCanBeChangedWhileOpen) {
    StartSim();
    ASSERT_EQ(CCommPort::Open(kCom - 1, nullptr), 0);
    sim_.Command("send WAI"); // no owner yet: dropped
    ASSERT_TRUE(sim_.WaitForLog("> $WAI", 3000));
    PumpUntil([] { return false; }, 200);
    g_pCommPort->SetOwner(window_);
    EXPECT_EQ(g_pCommPort->Owner(), window_);
    sim_.Command("send TRI");
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"TRI\r"}));
}

TEST_F(CommPortExchange, CloseIsPromptWhenNothingArrives) {
    StartSim();
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    sim_.Command("raw $U/B"); // half a line: no line feed ever follows
    ASSERT_TRUE(sim_.WaitForLog("> $U/B", 3000));
    PumpUntil([] { return false; }, 200);
    const double before = NowMs();
    EXPECT_EQ(CCommPort::Close(), 1);
    const double took = NowMs() - before;
    EXPECT_LT(took, 1000.0);
    EXPECT_EQ(g_pCommPort, nullptr);
    std::printf("close took %.1f ms\n", took);
}

TEST_F(CommPortExchange, UnpluggedAnalyzerIsNoticedOnceNeitherHangsNorSpinsAndReopenWorks) {
    StartSim();
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    sim_.Command("send INI before");
    ASSERT_TRUE(WaitForLines(1));
    sim_.Command("unplug 1500");
    ASSERT_TRUE(sim_.WaitForLog("unplugged", 3000));
    ASSERT_TRUE(PumpUntil([] { return g_pCommPort->IsLost(); }, 2000)) << "the loss went unnoticed";
    EXPECT_TRUE(PumpUntil([&] { return receiver_.portLost == 1; }, 1000));
    EXPECT_FALSE(g_pCommPort->WatchThreadRunning());
    EXPECT_EQ(g_pCommPort->Send(kCommandRecall), 0) << "nobody at the other end";

    FILETIME created, exited, kernelBefore, userBefore, kernelAfter, userAfter;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelBefore, &userBefore);
    PumpUntil([] { return false; }, 150);
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelAfter, &userAfter);
    auto ticks = [](const FILETIME& f) {
        return (static_cast<int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    const int64_t cpu100ns =
        ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore);
    EXPECT_LT(cpu100ns / 10000, 100) << "ms of CPU in 150 ms while the port is gone";
    EXPECT_EQ(receiver_.portLost, 1) << "told once";

    // Still unplugged: reopening fails, the channel stays lost.
    if (!Exists(ComLink(kCom))) {
        EXPECT_EQ(CCommPort::Reopen(window_), CCommPort::kNoDevice);
        ASSERT_NE(g_pCommPort, nullptr);
        EXPECT_TRUE(g_pCommPort->IsLost());
    }
    ASSERT_TRUE(sim_.WaitForLog("plugged in", 5000));
    ASSERT_EQ(CCommPort::Reopen(window_), CCommPort::kOpened);
    EXPECT_FALSE(g_pCommPort->IsLost());
    sim_.Command("send END");
    ASSERT_TRUE(WaitForLines(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"INI before\r", "END\r"}));
    EXPECT_EQ(g_pCommPort->Send(kCommandRecall), 1);
}

TEST_F(CommPortExchange, PortIndex20OpensCom21) {
    SimulatedAnalyzer com21;
    ASSERT_TRUE(com21.Start(21, "--pause 5")) << com21.Error();
    ASSERT_EQ(CCommPort::Open(20, window_), 0);
    com21.Command("send CAL");
    ASSERT_TRUE(WaitForLines(1));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"CAL\r"}));
    CCommPort::Close();
}

// A measurement, not a test: run with --gtest_also_run_disabled_tests (scripts/bench-analyzer).
TEST_F(CommPortExchange, DISABLED_NotificationDelayOf1000Lines) {
    StartSim();
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    constexpr int kLines = 1000;
    sim_.Command("stamp " + std::to_string(kLines) + " 5");
    ASSERT_TRUE(WaitForLines(kLines, 60000)) << receiver_.lines.size();
    std::vector<double> delays;
    for (const auto& line : receiver_.lines) {
        const int64_t sent = std::atoll(line.text.c_str() + 4);
        delays.push_back(static_cast<double>(line.unixMicros - sent) / 1000.0);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("notification delay over %d lines: median %.3f ms, 99%% %.3f ms, worst %.3f ms\n",
                kLines, delays[delays.size() / 2], delays[delays.size() * 99 / 100], delays.back());
}

} // namespace
