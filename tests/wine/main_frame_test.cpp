// The main window as built from the resources: the toolbar's commands and their states, and
// the status bar's panes.
#include "app/main_frame.h"
#include "res/resource.h"

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

} // namespace
