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
#include "wine/wine_harness.h"

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

using namespace wine_harness;

double NowMs() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// What the owner window heard: one line taken per notification, as the Measure dialog does.
struct Receiver {
    struct Line {
        std::string text;
        int length;
    };
    void OnCommand(int id) {
        portLost += id == ID_CMD_PORT_LOST ? 1 : 0;
        if (id != ID_CMD_RXOK)
            return;
        ++notifications;
        ReceivedLine line{};
        const bool taken = dispatch ? HandleRxNotification(*dispatch, &line)
                                    : g_pCommPort && g_pCommPort->TakeLine(line);
        if (!taken)
            return;
        lines.push_back({std::string(line.text, static_cast<size_t>(line.chars)), line.length});
        if (onLine)
            onLine(lines.back());
    }
    std::vector<Line> lines;
    int notifications = 0;
    int portLost = 0; // ID_CMD_PORT_LOST notifications
    std::function<void(const Line&)> onLine;
    MeasureEffects* dispatch = nullptr; // when set, lines go through HandleRxNotification
};

// Keeps the program-wide state of each test to itself.
class CommPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = g_Settings;
        g_Settings.Speed = 2;
        g_nMeasureState = MeasureState::Started;
        window_ = owner_.hwnd();
        owner_.onCommand = [this](int id) { receiver_.OnCommand(id); };
    }
    void TearDown() override {
        CCommPort::Close();
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
    Receiver receiver_;
    ViewWindow owner_;
    HWND window_ = nullptr;
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
    bool TakePhoto(const MeasureRecord&) override { return false; }
    void StoreResult(const MeasureRecord&) override { events.push_back("store"); }
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

    MeasureRecord record{}, next{};
    int total = 0;
    bool inFlight = false;
    MeasureContext ctx{g_nMeasureState, g_Settings, record, total, next, inFlight};
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
    sim_.Command("send INI last"); // nothing else may come before it
    ASSERT_TRUE(WaitForLines(8)) << receiver_.lines.size();
    const auto texts = Texts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0], "WAI\r");
    EXPECT_EQ(texts[1], "STA\r");
    EXPECT_EQ(texts[2], "INI 1\r");
    EXPECT_EQ(texts[3], "INI 2\r");
    EXPECT_EQ(texts[4], std::string(255, 'L'));
    EXPECT_EQ(receiver_.lines[4].length, 255);
    EXPECT_EQ(texts[5], std::string("\0END\r", 5)) << "after a bare line feed";
    EXPECT_EQ(texts[6], "BAT\r");
    EXPECT_EQ(texts[7], "INI last\r");
}

TEST_F(CommPortExchange, LinesArrivingWhileIdleAreDropped) {
    StartSim();
    g_nMeasureState = MeasureState::Idle;
    ASSERT_EQ(CCommPort::Open(kCom - 1, window_), 0);
    sim_.Command("send WAI");
    ASSERT_TRUE(sim_.WaitForLog("> $WAI", 3000));
    PumpFor(300); // the watch thread reads it while still idle

    // "WAI" went out first: had it been passed on, it would stand before these.
    g_nMeasureState = MeasureState::Started;
    sim_.Command("send STA");
    sim_.Command("send END");
    ASSERT_TRUE(WaitForLines(2));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"STA\r", "END\r"}));
    EXPECT_EQ(receiver_.notifications, 2);
}

TEST_F(CommPortExchange, OwnerCanBeChangedWhileOpen) {
    StartSim();
    ASSERT_EQ(CCommPort::Open(kCom - 1, nullptr), 0);
    sim_.Command("send WAI"); // no owner yet: dropped, as the first line after it shows
    ASSERT_TRUE(sim_.WaitForLog("> $WAI", 3000));
    PumpFor(200); // the watch thread reads it before the owner is set
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
    PumpFor(200); // the watch thread is inside its read of the half line
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
    PumpFor(150);
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernelAfter, &userAfter);
    auto ticks = [](const FILETIME& f) {
        return (static_cast<int64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime;
    };
    const int64_t cpu100ns =
        ticks(kernelAfter) - ticks(kernelBefore) + ticks(userAfter) - ticks(userBefore);
    EXPECT_LT(cpu100ns / 10000, 100) << "ms of CPU in 150 ms while the port is gone";
    EXPECT_EQ(receiver_.portLost, 1) << "told once";

    // Still unplugged: reopening fails, the channel stays lost.
    g_Settings.Port = kCom - 1; // the port a reopen tries
    if (!Exists(ZPath(ComLink(kCom)))) {
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
} // namespace
