// The main view's "Result" command and record-stored notice with the real view: the
// empty-table message, creation, hiding and showing at the same place, and appends.
#include "app/app_state.h"
#include "app/commands.h"
#include "res/resource.h"
#include "app/quelma_view.h"
#include "wine/result_fixture.h"

using namespace result_test;

namespace {

class ResultCommand : public ResultWorldTest {
  protected:
    void SetUp() override {
        ResultWorldTest::SetUp();
        g_bResultShown = 0;
        ASSERT_TRUE(view.CreateView(view_.hwnd()));
    }
    void TearDown() override {
        view.DeleteWorkingWindows();
        ResultWorldTest::TearDown();
    }
    HWND ResultWindow() const { return g_pResultDlg ? g_pResultDlg->hwnd() : nullptr; }

    CQuelmaView view;
};

TEST_F(ResultCommand, EmptyTableOpensNothing) {
    RunResultCommand(view);
    EXPECT_EQ(TakeMessages(), "There is no data to display");
    EXPECT_EQ(g_pResultDlg, nullptr);
    OnRecordStored(view); // no dialog: nothing to do
}

TEST_F(ResultCommand, CreatesOnceThenHidesAndShowsInPlace) {
    SetRecords({Fast("M001", "Alice", 1, LocalTime(2025, 3, 1))});
    RunResultCommand(view);
    ASSERT_NE(ResultWindow(), nullptr);
    CResult* first = g_pResultDlg;
    EXPECT_EQ(view.m_ResultDialog.get(), first);
    EXPECT_TRUE(IsWindowVisible(ResultWindow()));
    EXPECT_EQ(g_bResultShown, 1);

    SetWindowPos(ResultWindow(), nullptr, 37, 41, 700, 520, SWP_NOZORDER);
    RECT before{};
    GetWindowRect(ResultWindow(), &before);
    RunResultCommand(view);
    EXPECT_FALSE(IsWindowVisible(ResultWindow()));
    EXPECT_EQ(g_bResultShown, 0);
    RunResultCommand(view);
    EXPECT_TRUE(IsWindowVisible(ResultWindow()));
    EXPECT_EQ(g_pResultDlg, first);
    RECT after{};
    GetWindowRect(ResultWindow(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));

    // The dialog's Exit goes through the view, which hides it.
    SendMessageA(ResultWindow(), WM_COMMAND, IDCANCEL, 0);
    view_.HandlePosted();
    EXPECT_FALSE(IsWindowVisible(ResultWindow()));
    EXPECT_EQ(g_bResultShown, 0);

    // A stored record reaches the open dialog through the view.
    AppendToTable(RecordTable, Fast("M002", "Bob", 2, LocalTime(2025, 3, 2)));
    SendMessageA(view.hwnd(), WM_COMMAND, ID_CMD_DISP_RES, 0);
    EXPECT_EQ(g_pResultDlg->RecordList().ItemCount(), 2);
    EXPECT_EQ(g_pResultDlg->RecordList().ItemText(0, 2), "Bob");

    // An emptied table refuses even an existing dialog.
    ResetRecordTable(RecordTable);
    RunResultCommand(view);
    EXPECT_EQ(TakeMessages(), "There is no data to display");
    EXPECT_FALSE(IsWindowVisible(ResultWindow()));
}

} // namespace
