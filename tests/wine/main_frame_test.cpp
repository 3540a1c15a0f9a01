// The main window as built from the resources: the toolbar's commands and their states, the
// status bar's panes, and the last write of measurements before the program ends.
#include "analyzer/measure_state.h"
#include "app/main_frame.h"
#include "app/stored_files.h"
#include "framework/handles.h"
#include "res/resource.h"
#include "wine/install_world.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

bool Enabled(HWND toolBar, int id) {
    return SendMessageA(toolBar, TB_ISBUTTONENABLED, static_cast<WPARAM>(id), 0) != 0;
}

TEST(MainFrame, ToolbarCommandsAndStatusPanes) {
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateMainFrame());
    HWND toolBar = frame.ToolBar();
    ASSERT_NE(toolBar, nullptr);
    EXPECT_EQ(SendMessageA(toolBar, TB_BUTTONCOUNT, 0, 0), 9); // six, a separator, two unused
    for (int id = ID_CMD_REGISTRATION; id <= ID_CMD_EXIT; ++id)
        EXPECT_TRUE(Enabled(toolBar, id)) << id;
    // The two spare commands have no handler, so their buttons stay disabled.
    EXPECT_FALSE(Enabled(toolBar, ID_CMD_UNUSED1));
    EXPECT_FALSE(Enabled(toolBar, ID_CMD_UNUSED2));

    HWND statusBar = frame.StatusBar();
    ASSERT_NE(statusBar, nullptr);
    EXPECT_EQ(SendMessageA(statusBar, SB_GETPARTS, 0, 0), 4);
    char text[64] = {};
    SendMessageA(statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "Ready");

    DestroyWindow(frame.hwnd());
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    } // the frame's WM_QUIT is meant for the program's loop, not the test's
}

using MainFrameEnding = wine_harness::InstallWorldTest;

// A record whose write failed is written when the session ends or the window closes; while
// that fails the operator hears how many are missing: Yes tries again, No leaves.
TEST_F(MainFrameEnding, UnwrittenMeasurementsGetTheirLastWrite) {
    const auto hold = [&] { // another program holds the file: every write fails
        return fw::UniqueHandle(
            CreateFileA(DataPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    ASSERT_TRUE(ResetRecordTable(RecordTable));
    AppendToTable(RecordTable, MeasureRecord{});
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateMainFrame());
    fw::UniqueHandle held = hold();
    answer = IDNO;
    EXPECT_EQ(SendMessageA(frame.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    held.Reset();
    SendMessageA(frame.hwnd(), WM_ENDSESSION, TRUE, 0); // no second question
    EXPECT_EQ(wine_harness::ReadWholeFile(DataPath()).size(), 8u + 72);

    AppendToTable(RecordTable, MeasureRecord{});
    AppendToTable(RecordTable, MeasureRecord{});
    held = hold();
    fw::SetMessageBoxHook([&](const char* text, UINT) {
        messages.push_back(text);
        if (messages.size() == 3)
            held.Reset();
        return IDYES;
    });
    SendMessageA(frame.hwnd(), WM_CLOSE, 0, 0);
    ResetRecordTable(RecordTable);
    EXPECT_FALSE(IsWindow(frame.hwnd()));
    EXPECT_EQ(wine_harness::ReadWholeFile(DataPath()).size(), 8u + 3 * 72);
    const std::string text = std::string(" not in the data file ") + g_szDataFileName +
                             ".\r\nTry to write again ?  (No: exit without writing)";
    EXPECT_EQ(messages,
              (std::vector<std::string>{"1 measurement is" + text, "2 measurements are" + text,
                                        "2 measurements are" + text}));
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// Exit and the close box while a result is still to come: Yes waits for it, No leaves.
TEST_F(MainFrameEnding, AMeasurementInFlightIsWaitedForOrLeft) {
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateMainFrame());
    g_bMeasurementInFlight = true;
    for (int reply : {IDYES, IDNO}) {
        answer = reply;
        SendMessageA(frame.hwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(IsWindow(frame.hwnd()) != FALSE, reply == IDYES) << "answered " << reply;
    }
    g_bMeasurementInFlight = false;
    EXPECT_EQ(messages.size(), 2u) << "the measurement was dropped without a word";
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

// A save cut after the old QUELMA.CFG went leaves the list in QUELMA.CFG.new only.
TEST_F(MainFrameEnding, StartUpRestoresTheConfigurationFromItsNewCopy) {
    const MemberList savedMembers = MemberTable;
    const std::string staged = ConfigPath() + ".new";
    ASSERT_TRUE(CreateConfigFile(staged.c_str(), 13, g_Settings, MemberTable));
    std::ofstream(ConfigPath(), std::ios::binary); // empty, as a crash while creating leaves it
    std::ofstream(staged, std::ios::binary | std::ios::in).seekp(36).write("Y", 1); // "YD0"
    EXPECT_TRUE(LoadOrCreateConfig());
    const char first = MemberTable.slots.at(0).ID[0];
    MemberTable = savedMembers;
    EXPECT_EQ(first, 'Y') << "defaults were written over the member list";
    EXPECT_EQ(messages.size(), 1u) << "the operator was not told";
}

} // namespace
