// The Result dialog in-process: opening, the filters with their messages, sorting by
// heading, appended records, another year's file, the photo of the current row, the CSV
// file, the exit paths, and a typical record shown whole at the default size.
#include "wine/list_cells.h"
#include "wine/result_fixture.h"
#include "wine/select_driver.h"

#include "res/resource.h"
#include "results/result_csv.h"
#include "storage/file_io.h"

using namespace result_test;
using namespace result_ids;

namespace {

class ResultDialog : public ResultWorldTest {
  protected:
    void SetUp() override {
        ResultWorldTest::SetUp();
        MeasureRecord withPhoto = Normal("M001", "Alice", 0.25f, 1, LocalTime(2025, 3, 5, 15));
        withPhoto.Photo = 1;
        records_ = {Fast("M001", "Alice", 1, LocalTime(2025, 3, 1, 10)),
                    Normal("M002", "Bob", 0.1f, 1, LocalTime(2025, 3, 2, 11)),
                    Fast("A003", "Carol", 2, LocalTime(2025, 3, 5, 9)), withPhoto,
                    Fast("M002", "Bob", 0, LocalTime(2025, 3, 9, 8))};
        SetRecords(records_);
        ASSERT_TRUE(Open());
    }
    void Filter() { Click(kFilterButton); }
    std::string Names() const {
        std::string names;
        for (int r = 0; r < Rows(); ++r) {
            names += r ? "," : "";
            names += Cell(r, 2);
        }
        return names;
    }
    std::vector<MeasureRecord> records_;
};

bool SameDate(const CivilDate& a, int y, int m, int d) {
    return a.year == y && a.month == m && a.day == d;
}

TEST_F(ResultDialog, OpensWithTheWholeTableNewestFirst) {
    EXPECT_EQ(WindowText(Dialog()), "Quelma " + install_ + "Data\\Quelma2025.dat");
    ASSERT_EQ(Rows(), 5);
    EXPECT_EQ(Ids(), "M002,M001,A003,M002,M001");
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(4, 0), "5");
    EXPECT_EQ(Cell(1, 3), "0.250 mg/l");
    EXPECT_EQ(Cell(0, 3), "0");
    EXPECT_EQ(Cell(1, 6), "Normal");
    // Opening rewrites every row, so a Normal record shows its thresholds too.
    EXPECT_EQ(Cell(1, 7), "0.030");
    EXPECT_EQ(Cell(1, 8), "0.080");
    EXPECT_EQ(Cell(1, 9), PhotoFileName(records_[3]));
    EXPECT_EQ(Cell(0, 9), "");
    EXPECT_EQ(Cell(5, 1), "");
    EXPECT_TRUE(SameDate(Picker(kStartPicker), 2025, 3, 1));
    EXPECT_TRUE(SameDate(Picker(kEndPicker), 2025, 3, 9));
    EXPECT_TRUE(Checked(kPeriodAll) && Checked(kIdAll) && Checked(kLevelAllBox));
    EXPECT_EQ(SendDlgItemMessageA(Dialog(), kLevelCombo, CB_GETCOUNT, 0, 0), 3);
    EXPECT_EQ(ArrowColumn(), -1);
    EXPECT_TRUE(GetWindowLongA(List(), GWL_STYLE) & LVS_OWNERDATA);
}

TEST_F(ResultDialog, PeriodOutsideTheDataIsRefusedAndTheListKeepsItsRows) {
    SetChecked(kPeriodAll, false);
    SetPicker(kStartPicker, LocalTime(2025, 2, 28));
    Filter();
    EXPECT_EQ(TakeMessages(), "Invalid sorting start time");
    EXPECT_EQ(Rows(), 5);

    SetPicker(kStartPicker, LocalTime(2025, 3, 1));
    SetPicker(kEndPicker, LocalTime(2025, 3, 10));
    Filter();
    EXPECT_EQ(TakeMessages(), "Invalid sorting end time");
    EXPECT_EQ(Ids(), "M002,M001,A003,M002,M001");

    // The whole period: every record, now oldest first; the time of day does not count.
    SetPicker(kEndPicker, LocalTime(2025, 3, 9, 0, 0, 1));
    Filter();
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(Ids(), "M001,M002,A003,M001,M002");
    EXPECT_FALSE(Checked(kPeriodAll));

    SetPicker(kStartPicker, LocalTime(2025, 3, 2));
    SetPicker(kEndPicker, LocalTime(2025, 3, 5));
    Filter();
    EXPECT_EQ(Ids(), "M002,A003,M001");
    EXPECT_EQ(Cell(0, 0), "1");

    // A start after the end matches nothing; it is no error.
    SetPicker(kStartPicker, LocalTime(2025, 3, 6));
    Filter();
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(Rows(), 0);

    // Ticking "All" puts the pickers back on the first and last record.
    SetChecked(kPeriodAll, true);
    EXPECT_TRUE(SameDate(Picker(kStartPicker), 2025, 3, 1));
    EXPECT_TRUE(SameDate(Picker(kEndPicker), 2025, 3, 9));
    // Every box "All" again: the whole set, newest first.
    Filter();
    EXPECT_EQ(Ids(), "M002,M001,A003,M002,M001");
}

TEST_F(ResultDialog, IdFilterNeedsARegisteredId) {
    SetChecked(kIdAll, false);
    for (const char* id : {"X9", "m001", "M00", ""}) {
        SetDlgItemTextA(Dialog(), kIdEdit, id);
        Filter();
        EXPECT_EQ(TakeMessages(), "Not a valid ID") << id;
        EXPECT_EQ(Rows(), 5) << id;
    }
    SetDlgItemTextA(Dialog(), kIdEdit, "M001");
    Filter();
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(Ids(), "M001,M001");
    EXPECT_EQ(Cell(0, 3), "Low");
    EXPECT_EQ(Cell(1, 3), "0.250 mg/l");
    // Overlong text is cut to the 9 characters the box gives.
    SetDlgItemTextA(Dialog(), kIdEdit, "M001M001M001");
    Filter();
    EXPECT_EQ(TakeMessages(), "Not a valid ID");
}

TEST_F(ResultDialog, MemberButtonPutsThePickedIdIntoTheFilter) {
    SetChecked(kIdAll, false);
    SetDlgItemTextA(Dialog(), kIdEdit, "typed");
    const auto idText = [&] {
        char text[32] = {};
        GetDlgItemTextA(Dialog(), kIdEdit, text, sizeof text);
        return std::string(text);
    };
    select_driver::WithSelect([](HWND, HWND) {}, [&] { Click(kMemberButton); });
    EXPECT_EQ(idText(), "typed") << "a cancelled pick leaves the box alone";
    select_driver::WithSelect([](HWND, HWND list) { select_driver::SelectRow(list, 1); },
                              [&] { Click(kMemberButton); });
    EXPECT_EQ(idText(), "M002");
    Filter();
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(Ids(), "M002,M002");
}

TEST_F(ResultDialog, LevelBoxesAndRadios) {
    SetChecked(kLevelAllBox, false);
    EXPECT_TRUE(Checked(1025));
    Filter();
    EXPECT_EQ(Ids(), "M002,M001"); // every Normal record, oldest first
    EXPECT_FALSE(Checked(kLevelAllBox));
    EXPECT_TRUE(Checked(1025));

    SetChecked(kLevelAllBox, true);
    for (int id = 1025; id <= 1028; ++id)
        EXPECT_FALSE(Checked(id)) << id;

    // The range is inclusive at both ends, also for a value that is not exact in binary.
    SetChecked(kLevelAllBox, false);
    Toggle(1026);
    SetDlgItemTextA(Dialog(), kRangeLowEdit, "0.100");
    SetDlgItemTextA(Dialog(), kRangeHighEdit, "0.100");
    Filter();
    EXPECT_EQ(Ids(), "M002");
    EXPECT_TRUE(Checked(1026));

    // A level with no entry chosen: nothing passes.
    Toggle(1028);
    Filter();
    EXPECT_EQ(Rows(), 0);
    SendDlgItemMessageA(Dialog(), kLevelCombo, CB_SETCURSEL, 2, 0);
    Filter();
    EXPECT_EQ(Ids(), "A003");
    Toggle(1027);
    Filter();
    EXPECT_EQ(Ids(), "M001,A003,M002");
}

TEST_F(ResultDialog, HeadingClicksSortAndAlternate) {
    ClickHeading(2);
    EXPECT_EQ(g_SortAscending, 1);
    EXPECT_EQ(Names(), "Alice,Alice,Bob,Bob,Carol");
    EXPECT_EQ(ArrowColumn(), 2);
    EXPECT_TRUE(dialog_->RecordList().Header().ArrowUp());
    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(4, 0), "5");

    ClickHeading(2);
    EXPECT_EQ(Names(), "Carol,Bob,Bob,Alice,Alice");
    EXPECT_FALSE(dialog_->RecordList().Header().ArrowUp());

    // "NO", "Low", "Hi" and "Photo" do not sort and do not turn the direction.
    for (int column : {0, 7, 8, 9}) {
        ClickHeading(column);
        EXPECT_EQ(Names(), "Carol,Bob,Bob,Alice,Alice") << column;
    }
    EXPECT_EQ(g_SortAscending, 0);
    EXPECT_EQ(ArrowColumn(), 2);

    // Another heading continues the alternation; "Date" sorts by record number and puts
    // the arrow on "Time".
    ClickHeading(4);
    EXPECT_EQ(Ids(), "M001,M002,A003,M001,M002");
    EXPECT_EQ(ArrowColumn(), 5);
    ClickHeading(3);
    EXPECT_EQ(Cell(0, 3), "0.250 mg/l"); // descending by value: 0.25 first
    EXPECT_EQ(Cell(0, 7), "0.030");

    // A filter brings its own order and removes the arrow.
    SetChecked(kLevelAllBox, false);
    Filter();
    EXPECT_EQ(ArrowColumn(), -1);
    ClickHeading(6); // "Mode" sorts by time
    EXPECT_EQ(Ids(), "M002,M001");
}

TEST_F(ResultDialog, AppendedRecordsAppearWhileEverythingIsShown) {
    MeasureRecord added = Fast("A003", "Carol", 2, LocalTime(2025, 3, 10));
    AppendToTable(RecordTable, added);
    GrowIfFull(RecordTable);
    dialog_->AppendNewRecords();
    ASSERT_EQ(Rows(), 6);
    EXPECT_EQ(Cell(0, 1), "A003");
    EXPECT_EQ(Cell(0, 5), "12_00_00");
    EXPECT_EQ(Cell(5, 0), "6");

    // The period ends on the new record's day now: "All" puts it into the end picker, and
    // that period is accepted.
    SetChecked(kPeriodAll, false);
    SetChecked(kPeriodAll, true);
    EXPECT_TRUE(SameDate(Picker(kEndPicker), 2025, 3, 10));
    SetChecked(kPeriodAll, false);
    Filter();
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(Rows(), 6);
    SetChecked(kPeriodAll, true);
    Filter();

    // Enough records to move the table in memory: the list still reads the right ones.
    for (int i = 0; i < 700; ++i) {
        AppendToTable(RecordTable, Fast("M002", "Bob", i % 3, LocalTime(2025, 3, 11) + i));
        GrowIfFull(RecordTable);
    }
    dialog_->AppendNewRecords();
    ASSERT_EQ(Rows(), 706);
    EXPECT_EQ(Cell(0, 5), "12_11_39");
    EXPECT_EQ(Cell(705, 1), "M001");

    // While filtered the list stays; the reload after the filter shows the newcomers.
    SetChecked(kIdAll, false);
    SetDlgItemTextA(Dialog(), kIdEdit, "A003");
    Filter();
    ASSERT_EQ(Rows(), 2);
    AppendToTable(RecordTable, Fast("A003", "Carol", 0, LocalTime(2025, 3, 12)));
    GrowIfFull(RecordTable);
    dialog_->AppendNewRecords();
    EXPECT_EQ(Rows(), 2);
    SetChecked(kIdAll, true);
    Filter();
    EXPECT_EQ(Rows(), 707);
    EXPECT_EQ(Cell(0, 1), "A003");
}

TEST_F(ResultDialog, AnotherYearsFile) {
    const std::string other = install_ + "Data\\Quelma2024.dat";
    WriteDataFileBytes(other, 2,
                       {Normal("M002", "Bob", 0.5f, 1, LocalTime(2024, 6, 1)),
                        Fast("M001", "Alice", 2, LocalTime(2024, 7, 1))});
    dialog_->ShowDataFile(other.c_str());
    EXPECT_EQ(TakeMessages(), "");
    EXPECT_EQ(WindowText(Dialog()), "Quelma " + other);
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Ids(), "M001,M002");
    // Rows only inserted, not rewritten: a Normal record's thresholds stay empty.
    EXPECT_EQ(Cell(1, 7), "");
    EXPECT_EQ(Cell(0, 7), "0.020");
    EXPECT_TRUE(SameDate(Picker(kStartPicker), 2024, 6, 1));
    EXPECT_TRUE(SameDate(Picker(kEndPicker), 2024, 7, 1));
    ClickHeading(1);
    EXPECT_EQ(Ids(), "M001,M002");
    EXPECT_EQ(Cell(1, 7), "0.030");

    // Broken files are refused with a message; the shown set and its title stay.
    const std::string shortFile = install_ + "Data\\Short.dat";
    WriteDataFileBytes(shortFile, 4, {Fast("X", "Y", 0, LocalTime(2023, 1, 1))});
    const std::string negative = install_ + "Data\\Negative.dat";
    WriteDataFileBytes(negative, -3, {});
    const std::string huge = install_ + "Data\\Huge.dat";
    WriteDataFileBytes(huge, 0x7fffffff, {Fast("X", "Y", 0, LocalTime(2023, 1, 1))});
    for (const std::string& bad : {shortFile, negative, huge}) {
        dialog_->ShowDataFile(bad.c_str());
        const std::string message = TakeMessages();
        EXPECT_NE(message.find(bad), std::string::npos) << message;
        EXPECT_EQ(Ids(), "M001,M002") << bad;
        EXPECT_EQ(WindowText(Dialog()), "Quelma " + other);
    }
    // A file that is missing or holds no records: no message, nothing changes.
    const std::string empty = install_ + "Data\\Empty.dat";
    WriteDataFileBytes(empty, 0, {});
    for (const std::string& quiet : {empty, install_ + "Data\\Missing.dat"}) {
        dialog_->ShowDataFile(quiet.c_str());
        EXPECT_EQ(TakeMessages(), "");
        EXPECT_EQ(Rows(), 2);
    }

    // The current year's file, in any case of letters, brings the table back.
    std::string current = install_ + "DATA\\quelma2025.DAT";
    dialog_->ShowDataFile(current.c_str());
    EXPECT_EQ(Rows(), 5);
    EXPECT_EQ(WindowText(Dialog()), "Quelma " + current);
    EXPECT_EQ(Cell(0, 1), "M002");
}

TEST_F(ResultDialog, PhotoOfTheCurrentRow) {
    auto select = [&](int row) {
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(List(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    };
    select(1);
    EXPECT_EQ(std::string(dialog_->PhotoControl().PhotoPath),
              install_ + "Photo\\" + PhotoFileName(records_[3]));
    select(0);
    EXPECT_EQ(std::string(dialog_->PhotoControl().PhotoPath), install_ + "Photo\\");
}

TEST_F(ResultDialog, ExitEscapeAndCloseBoxAskTheViewToHide) {
    Click(IDOK);
    SendMessageA(Dialog(), WM_COMMAND, IDCANCEL, 0);
    SendMessageA(Dialog(), WM_CLOSE, 0, 0);
    view_.HandlePosted();
    EXPECT_EQ(view_.commands, (std::vector<int>{ID_CMD_RESULT, ID_CMD_RESULT, ID_CMD_RESULT}));
    EXPECT_TRUE(IsWindow(Dialog()));
}

TEST_F(ResultDialog, ResizingMovesOnlyTheListsEdges) {
    RECT dialogBefore{}, listBefore{}, photoBefore{};
    GetWindowRect(Dialog(), &dialogBefore);
    GetWindowRect(List(), &listBefore);
    GetWindowRect(GetDlgItem(Dialog(), kPhotoControl), &photoBefore);
    EXPECT_EQ(photoBefore.right - photoBefore.left, 330);
    EXPECT_EQ(photoBefore.bottom - photoBefore.top, 250);
    SetWindowPos(Dialog(), nullptr, 0, 0, dialogBefore.right - dialogBefore.left + 120,
                 dialogBefore.bottom - dialogBefore.top + 60, SWP_NOMOVE | SWP_NOZORDER);
    RECT listAfter{}, photoAfter{};
    GetWindowRect(List(), &listAfter);
    GetWindowRect(GetDlgItem(Dialog(), kPhotoControl), &photoAfter);
    EXPECT_EQ(listAfter.right - listAfter.left, listBefore.right - listBefore.left + 120);
    EXPECT_EQ(listAfter.bottom - listAfter.top, listBefore.bottom - listBefore.top + 60);
    EXPECT_EQ(listAfter.left, listBefore.left);
    EXPECT_EQ(listAfter.top, listBefore.top);
    EXPECT_EQ(photoAfter.right - photoAfter.left, 330);
}

// The CSV file holds the list as shown: headings, then the rows in the current order after
// the filter, with the list's own texts.
TEST_F(ResultDialog, CsvFileHoldsTheListAsShown) {
    SetChecked(kLevelAllBox, false); // Normal records only
    Filter();
    ClickHeading(2);
    ClickHeading(2); // names descending
    ASSERT_EQ(Rows(), 2);
    const std::string path = install_ + "Data\\list.csv";
    ASSERT_EQ(SaveResultListCsvTo(*dialog_, path), file_io::Saved::Ok);
    EXPECT_TRUE(messages.empty());
    std::string expected = "NO,ID,Name,Result,Date,Time,Mode,Low,Hi,Photo\r\n";
    for (int r = 0; r < Rows(); ++r) {
        for (int k = 0; k < 10; ++k) {
            if (k)
                expected += ',';
            expected += Cell(r, k);
        }
        expected += "\r\n";
    }
    std::ifstream in(path, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    in.close();
    EXPECT_EQ(saved, expected);
    EXPECT_NE(saved.find("\r\n2,M001,Alice,0.250 mg/l,"), std::string::npos);

    // A full disk and an unwritable place are told, and the file saved before stays.
    file_io::SetWriteBudgetForTest(20);
    EXPECT_EQ(SaveResultListCsvTo(*dialog_, path), file_io::Saved::DiskFull);
    file_io::SetWriteBudgetForTest(-1);
    const std::string missing = install_ + "none\\list.csv";
    EXPECT_EQ(SaveResultListCsvTo(*dialog_, missing), file_io::Saved::CannotOpen);
    EXPECT_EQ(messages, (std::vector<std::string>{"The disk is full: " + path + " was not saved",
                                                  "Cannot write the file " + missing}));
    std::ifstream again(path, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), expected);
    again.close();
    DeleteFileA(path.c_str());

    // An empty list is refused before any save dialog.
    messages.clear();
    SetChecked(kIdAll, false);
    SetDlgItemTextA(Dialog(), kIdEdit, "A003");
    SetChecked(kLevelAllBox, true);
    SetChecked(kLevelAllBox, false);
    Filter();
    ASSERT_EQ(Rows(), 0);
    Click(kCsvButton);
    EXPECT_EQ(messages, (std::vector<std::string>{"There is no data to save"}));
}

// A typical record, with a 19-character name, shows whole up to "Hi" at the default size,
// and the dialog fits a 1280 x 800 screen.
TEST_F(ResultDialog, TypicalRecordShowsWholeOnA1280By800Screen) {
    dialog_.reset();
    MeasureRecord typical =
        Normal("M004", "Maximilian Oberholz", 0.065f, 0, LocalTime(2026, 12, 8, 9, 52, 21));
    typical.Photo = 1;
    SetRecords({typical});
    ASSERT_TRUE(Open());
    EXPECT_EQ(Cell(0, 3), "0.065 %BAC");
    EXPECT_EQ(list_cells::RowCuts(List(), 0, 9), "");
    RECT r{};
    GetWindowRect(Dialog(), &r);
    EXPECT_LE(r.right - r.left, 1280);
    EXPECT_LE(r.bottom - r.top, 800);
}

} // namespace
