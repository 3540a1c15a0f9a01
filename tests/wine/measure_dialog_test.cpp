// The Measure dialog in-process: its list, its start button, the member picker it opens and
// a whole measurement through the simulated analyzer on a COM port.
#include "measure/free_space.h"
#include "measure/measure_dialog.h"
#include "measure/measure_ids.h"
#include "wine/list_cells.h"
#include "wine/measure_fixture.h"

#include <memory>

using namespace measure_test;
using namespace measure_ids;

namespace {

uint64_t g_freeBytes = 1ull << 40;
FreeSpace TestFreeSpace() {
    return {true, g_freeBytes};
}

const int64_t kMarch5 = 1772715600; // 2026-03-05 13:00 UTC

class MeasureDialogTest : public MeasureWorldTest {
  protected:
    void SetUp() override {
        MeasureWorldTest::SetUp();
        g_freeBytes = 1ull << 40;
        SetFreeSpaceQuery(TestFreeSpace);
    }
    void TearDown() override {
        dialog_.reset();
        SetFreeSpaceQuery(nullptr);
        MeasureWorldTest::TearDown();
    }
    void Open() {
        dialog_ = std::make_unique<CMeasure>(view_.hwnd(), nullptr);
        ASSERT_TRUE(dialog_->CreateModeless(view_.hwnd()));
        dialog_->m_bShown = 1;
    }
    HWND Dialog() const { return dialog_->hwnd(); }
    HWND List() const { return GetDlgItem(Dialog(), kRecordList); }
    void Click(int id) {
        SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), id)));
    }
    void Type(const char* id, const char* name) {
        SetDlgItemTextA(Dialog(), kIdEdit, id);
        SetDlgItemTextA(Dialog(), kNameEdit, name);
    }
    std::string Text(int id) const { return WindowText(GetDlgItem(Dialog(), id)); }
    // "NO ID Result Low Hi" of a row.
    std::string Row(int row) const {
        return ListText(List(), row, 0) + " " + ListText(List(), row, 1) + " " +
               ListText(List(), row, 3) + " " + ListText(List(), row, 7) + " " +
               ListText(List(), row, 8);
    }
    void ThreeRecords() {
        SetRecords({Record("M001", "Alice", kModeNormal, 0.021f, kMarch5),
                    Record("M002", "Bob", kModeFast, 0.03f, kMarch5 + 60),
                    Record("A003", "Carol", kModeNormal, 0.5f, kMarch5 + 120)});
    }

    ViewWindow view_;
    std::unique_ptr<CMeasure> dialog_;
};

class MeasureDialogList : public MeasureDialogTest {};
class MeasureDialogStart : public MeasureDialogTest {};
class MeasureDialogWindow : public MeasureDialogTest {};

TEST_F(MeasureDialogList, ThreeRecordsNewestFirstWithTheirThresholds) {
    ThreeRecords();
    Open();
    ASSERT_EQ(ListCount(List()), 3);
    EXPECT_EQ(Row(0), "1 A003 0.500 mg/l 0.020 0.050");
    EXPECT_EQ(Row(1), "2 M002 Low 0.020 0.050");
    EXPECT_EQ(Row(2), "3 M001 0.021 mg/l 0.020 0.050");
    EXPECT_EQ(ListText(List(), 0, 2), "Carol");
    EXPECT_EQ(ListText(List(), 0, 6), "Normal");
    EXPECT_EQ(ListText(List(), 0, 9), "");
    EXPECT_EQ(ListText(List(), 3, 1), "");
}

TEST_F(MeasureDialogList, TenColumnsSizedFromTheNameEdit) {
    Open();
    EXPECT_EQ(ListCount(List()), 0);
    RECT name{};
    GetWindowRect(GetDlgItem(Dialog(), kNameEdit), &name);
    const float unit = static_cast<float>((name.right - name.left) / 21.0);
    const char* headings[] = {"NO",   "ID",   "Name", "Result", "Date",
                              "Time", "Mode", "Low",  "Hi",     "Photo"};
    const int factors[] = {7, 10, 20, 12, 10, 10, 8, 8, 8, 45};
    HWND header = reinterpret_cast<HWND>(SendMessageA(List(), LVM_GETHEADER, 0, 0));
    ASSERT_EQ(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0), 10);
    for (int i = 0; i < 10; ++i) {
        char text[32] = {};
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        SendMessageA(List(), LVM_GETCOLUMNA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&column));
        EXPECT_STREQ(text, headings[i]);
        EXPECT_EQ(column.cx, static_cast<int>(static_cast<float>(factors[i]) * unit) + 1) << i;
        EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
    }
    const DWORD ex = static_cast<DWORD>(SendMessageA(List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(ex & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT),
              static_cast<DWORD>(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_TRUE(GetWindowLongA(List(), GWL_STYLE) & LVS_OWNERDATA);
}

// A typical record with a 19-character name shows whole up to "Hi" at the default size.
TEST_F(MeasureDialogList, TypicalRecordShowsWhole) {
    MeasureRecord r = Record("M004", "Maximilian Oberholz", kModeNormal, 0.065f, kMarch5);
    r.Unit = 0; // %BAC
    r.Photo = 1;
    SetRecords({r});
    Open();
    EXPECT_EQ(list_cells::RowCuts(List(), 0, 9), "");
    EXPECT_EQ(ListText(List(), 0, 3), "0.065 %BAC");
}

TEST_F(MeasureDialogWindow, InitialTextsAndLayout) {
    g_nDeviceTotal = 17;
    g_nMeasureState = MeasureState::Started;
    Open();
    EXPECT_EQ(WindowText(Dialog()), "Measure");
    EXPECT_EQ(Text(kModeText), "Normal");
    EXPECT_EQ(Text(kLowText), "0.030");
    EXPECT_EQ(Text(kHiText), "0.080");
    EXPECT_EQ(Text(kStatusDisplay), "Ready");
    EXPECT_EQ(Text(kTotalDisplay), "Total : 17");
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);
    RECT photo{};
    GetWindowRect(GetDlgItem(Dialog(), kPhotoControl), &photo);
    EXPECT_EQ(photo.right - photo.left, 330);
    EXPECT_EQ(photo.bottom - photo.top, 250);

    g_Settings.Mode = kModeFast;
    g_Settings.Low = 0.1f;
    g_Settings.Hi = 0.25f;
    dialog_->ShowSettingTexts();
    EXPECT_EQ(Text(kModeText), "Fast");
    EXPECT_EQ(Text(kLowText), "0.100");
    EXPECT_EQ(Text(kHiText), "0.250");
}

TEST_F(MeasureDialogWindow, ExitAndEscapeAskTheViewToHide) {
    Open();
    SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), IDOK)));
    SendMessageA(Dialog(), WM_COMMAND, IDCANCEL, 0);
    PumpUntil([&] { return view_.commands.size() >= 2; }, 2000);
    EXPECT_EQ(view_.commands, (std::vector<int>{ID_CMD_MEASURE, ID_CMD_MEASURE}));
    EXPECT_TRUE(IsWindow(Dialog())) << "the dialog itself never closes";
}

TEST_F(MeasureDialogWindow, ListFollowsTheDialogSize) {
    Open();
    RECT d{}, l{};
    GetWindowRect(Dialog(), &d);
    GetWindowRect(List(), &l);
    SetWindowPos(Dialog(), nullptr, 0, 0, d.right - d.left + 40, d.bottom - d.top + 30,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT l2{};
    GetWindowRect(List(), &l2);
    EXPECT_EQ(l2.right - l2.left, l.right - l.left + 40);
    EXPECT_EQ(l2.bottom - l2.top, l.bottom - l.top + 30);
    EXPECT_EQ(l2.left - l.left, 0);
}

TEST_F(MeasureDialogStart, UnregisteredPairIsRefused) {
    Open();
    Type("M001", "Bob");
    Click(kStartButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"Not a valid ID, Name set"}));
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);

    // The comparison is case-sensitive.
    messages.clear();
    Type("M001", "alice");
    Click(kStartButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"Not a valid ID, Name set"}));
}

TEST_F(MeasureDialogStart, ValidPairWithoutChannelStaysIdentified) {
    Open();
    // Only the first nine characters of the ID are read.
    Type("M00100000XYZ", "Dora");
    Click(kStartButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(g_nMeasureState, MeasureState::Identified);
    EXPECT_STREQ(g_NextSubject.ID, "M00100000");
    EXPECT_STREQ(g_NextSubject.Name, "Dora");

    // Identified, with another subject typed over the edits: the edits are validated.
    Type("nobody", "nobody");
    Click(kStartButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"Not a valid ID, Name set"}));
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);
}

TEST_F(MeasureDialogStart, MembersPastTheCountAreNotValid) {
    g_Settings.MemberCount = 2; // Carol and Dora lie beyond the count
    Open();
    Type("A003", "Carol");
    Click(kStartButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"Not a valid ID, Name set"}));
}

TEST_F(MeasureDialogStart, DiskSpaceLimit) {
    Open();
    Type("M001", "Alice");
    g_freeBytes = 4999999;
    Click(kStartButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"Disk full !!!\r\nBackup data file."}));
    EXPECT_EQ(g_nMeasureState, MeasureState::Idle);
    messages.clear();
    g_freeBytes = 5000000;
    Click(kStartButton);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(g_nMeasureState, MeasureState::Identified);
}

// Lines arrive while nobody is identified or measuring: nothing happens, not even "END".
TEST_F(MeasureDialogStart, NotificationWithoutChannelIsHarmless) {
    Open();
    SendMessageA(Dialog(), WM_COMMAND, ID_CMD_RXOK, 0);
    EXPECT_EQ(Text(kStatusDisplay), "Ready");
    EXPECT_EQ(RecordTable.Count(), 0);
}

} // namespace
