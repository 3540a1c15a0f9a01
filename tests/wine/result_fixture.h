// The world of the Result dialog tests: an install folder of its own, the record and member
// tables filled with known entries, a stand-in main view that notes the commands it gets,
// and message boxes answered in-process.
#pragma once

#include "framework/message_box.h"
#include "results/result_dialog.h"
#include "results/result_ids.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "wine/install_world.h"

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

using namespace wine_harness;
using namespace test_records;

// A data file: count, marker, records.
inline void WriteDataFileBytes(const std::string& path, int32_t count,
                               const std::vector<MeasureRecord>& records) {
    const std::vector<uint8_t> bytes = DataFileBytes(count, kDataFileMagic, records);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The install world with last year's data file name, three members and an empty table.
class ResultWorldTest : public InstallWorldTest {
  protected:
    void SetUp() override {
        InstallWorldTest::SetUp();
        install_ = folder_.string() + "\\";
        SetField(g_szDataFileName, "Quelma2025.dat");
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
        ResetRecordTable(RecordTable);
        MemberTable.slots.clear();
        InstallWorldTest::TearDown();
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

    std::string install_; // with a backslash
    ViewWindow view_;
    std::unique_ptr<CResult> dialog_;
};

} // namespace result_test
