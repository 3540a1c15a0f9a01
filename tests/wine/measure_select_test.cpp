// The member picker run modally, driven from a timer of the test's own thread while its
// modal loop runs: heading clicks sort the program's member table itself, one row change
// picks and closes, Escape cancels.
#include "measure/measure_dialog.h"
#include "measure/measure_ids.h"
#include "members/select_dialog.h"
#include "wine/list_cells.h"
#include "wine/measure_fixture.h"
#include "wine/select_driver.h"

#include <memory>

using namespace measure_test;
using namespace select_driver;

namespace {

void ClickColumn(HWND dialog, HWND list, int column) {
    NMLISTVIEW nm{};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = 1000;
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = column;
    SendMessageA(dialog, WM_NOTIFY, 1000, reinterpret_cast<LPARAM>(&nm));
}

std::string Names() {
    std::string out;
    for (int i = 0; i < g_Settings.MemberCount; ++i)
        out += std::string(MemberTable.slots[static_cast<size_t>(i)].Name) + ",";
    return out;
}

std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows;
    for (int r = 0; r < ListCount(list); ++r)
        rows.push_back(ListText(list, r, 0) + " " + ListText(list, r, 1) + " " +
                       ListText(list, r, 2));
    return rows;
}

class MeasureSelect : public MeasureWorldTest {};

TEST_F(MeasureSelect, RowsColumnsAndCancel) {
    g_SortAscending = 0;
    std::vector<std::string> rows;
    int widths[3] = {};
    int digits = 0;
    CSelect select;
    WithSelect(
        [&](HWND dialog, HWND list) {
            rows = Rows(list);
            for (int i = 0; i < 3; ++i)
                widths[i] = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
            RECT r{};
            GetWindowRect(GetDlgItem(dialog, 1033), &r);
            digits = r.right - r.left;
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 1033)));
        },
        [&] { select.RunModal(nullptr); });
    ASSERT_NE(g_seenSelect, nullptr);
    EXPECT_EQ(rows, (std::vector<std::string>{"1 M001 Alice", "2 M002 Bob", "3 A003 Carol",
                                              "4 M00100000 Dora"}));
    const int unit = static_cast<int>(static_cast<float>(digits / 10.0)) + 1;
    EXPECT_EQ(widths[0], 7 * unit);
    EXPECT_EQ(widths[1], 10 * unit);
    EXPECT_EQ(widths[2], 20 * unit);
    EXPECT_EQ(select.SelectedIndex, -1);
    EXPECT_EQ(g_SortAscending, 1) << "opening the picker sorts ascending next";
}

TEST_F(MeasureSelect, TypicalMemberShowsWhole) {
    SetMembers({Member("M004", "Maximilian Oberholz")});
    std::string cuts = "not seen";
    CSelect select;
    WithSelect([&](HWND, HWND list) { cuts = list_cells::RowCuts(list, 0, 3); },
               [&] { select.RunModal(nullptr); });
    EXPECT_EQ(cuts, "");
}

TEST_F(MeasureSelect, SortingReordersTheMemberTableAndPicksWhatIsShown) {
    std::vector<std::string> afterName, afterId;
    CSelect select;
    WithSelect(
        [&](HWND dialog, HWND list) {
            ClickColumn(dialog, list, 0); // "NO" does not sort
            EXPECT_EQ(Names(), "Alice,Bob,Carol,Dora,");
            ClickColumn(dialog, list, 2); // first click: descending
            afterName = Rows(list);
            EXPECT_EQ(Names(), "Dora,Carol,Bob,Alice,");
            ClickColumn(dialog, list, 1); // ascending by ID
            afterId = Rows(list);
            SelectRow(list, 1);
        },
        [&] { select.RunModal(nullptr); });
    EXPECT_EQ(afterName, (std::vector<std::string>{"1 M00100000 Dora", "2 A003 Carol", "3 M002 Bob",
                                                   "4 M001 Alice"}));
    EXPECT_EQ(afterId, (std::vector<std::string>{"1 A003 Carol", "2 M001 Alice", "3 M00100000 Dora",
                                                 "4 M002 Bob"}));
    EXPECT_EQ(g_SortColumn, 1);
    EXPECT_EQ(select.SelectedIndex, 1);
    EXPECT_STREQ(select.SelectedMember.ID, "M001");
    EXPECT_STREQ(select.SelectedMember.Name, "Alice");
    EXPECT_EQ(MemberTable.slots[4].InUse, 0) << "free slots beyond the count stay put";
}

TEST_F(MeasureSelect, CancelAfterSortKeepsTheNewOrder) {
    CSelect select;
    WithSelect([&](HWND dialog, HWND list) { ClickColumn(dialog, list, 2); },
               [&] { select.RunModal(nullptr); });
    EXPECT_EQ(select.SelectedIndex, -1);
    EXPECT_EQ(Names(), "Dora,Carol,Bob,Alice,");
}

TEST_F(MeasureSelect, EmptyMemberList) {
    SetMembers({});
    int count = -1;
    CSelect select;
    WithSelect([&](HWND, HWND list) { count = ListCount(list); },
               [&] { select.RunModal(nullptr); });
    EXPECT_EQ(count, 0);
    EXPECT_EQ(select.SelectedIndex, -1);
}

// The Measure dialog's member button: a pick fills the edits and the record; chosen or
// not, the subject then counts as identified.
class MeasureDialogMember : public MeasureWorldTest {
  protected:
    void SetUp() override {
        MeasureWorldTest::SetUp();
        dialog_ = std::make_unique<CMeasure>(view_.hwnd(), nullptr);
        ASSERT_TRUE(dialog_->CreateModeless(view_.hwnd()));
    }
    void TearDown() override {
        dialog_.reset();
        MeasureWorldTest::TearDown();
    }
    void PressMember() {
        HWND d = dialog_->hwnd();
        SendMessageA(d, WM_COMMAND, MAKEWPARAM(measure_ids::kMemberButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(d, measure_ids::kMemberButton)));
    }
    std::string Edit(int id) const { return WindowText(GetDlgItem(dialog_->hwnd(), id)); }

    ViewWindow view_;
    std::unique_ptr<CMeasure> dialog_;
};

TEST_F(MeasureDialogMember, PickFillsEditsAndRecord) {
    WithSelect([&](HWND, HWND list) { SelectRow(list, 2); }, [&] { PressMember(); });
    EXPECT_EQ(Edit(measure_ids::kIdEdit), "A003");
    EXPECT_EQ(Edit(measure_ids::kNameEdit), "Carol");
    EXPECT_STREQ(g_NextSubject.ID, "A003");
    EXPECT_STREQ(g_NextSubject.Name, "Carol");
    EXPECT_EQ(g_nMeasureState, MeasureState::Identified);
}

TEST_F(MeasureDialogMember, CancelStillIdentifiesFromAnyState) {
    SetField(g_NextSubject.ID, "M002");
    SetField(g_NextSubject.Name, "Bob");
    g_nMeasureState = MeasureState::Measuring;
    SetDlgItemTextA(dialog_->hwnd(), measure_ids::kIdEdit, "typed");
    WithSelect([](HWND, HWND) {}, [&] { PressMember(); });
    EXPECT_EQ(g_nMeasureState, MeasureState::Identified);
    EXPECT_EQ(Edit(measure_ids::kIdEdit), "typed");
    EXPECT_STREQ(g_NextSubject.ID, "M002");
}

} // namespace
