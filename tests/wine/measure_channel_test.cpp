// Whole measurements through the Measure dialog with the analyzer simulator linked as COM14:
// the start, the lines, the stored record in table, list and file, and what the view is told.
#include "measure/free_space.h"
#include "measure/measure_dialog.h"
#include "measure/measure_ids.h"
#include "wine/measure_fixture.h"

#include <memory>

using namespace measure_test;
using namespace measure_ids;

namespace {

constexpr int kCom = 14;

FreeSpace Plenty() {
    return {true, 1ull << 40};
}

class MeasureDialogChannel : public MeasureWorldTest {
  protected:
    void SetUp() override {
        MeasureWorldTest::SetUp();
        SetFreeSpaceQuery(Plenty);
        ASSERT_TRUE(sim_.Start(kCom, "--pause 5 --unit M --total 40 --value 0.045"))
            << sim_.Error();
        g_Settings.Port = kCom - 1;
        g_Settings.Speed = 7;
    }
    void TearDown() override {
        dialog_.reset();
        CCommPort::Close();
        sim_.Stop();
        SetFreeSpaceQuery(nullptr);
        MeasureWorldTest::TearDown();
    }
    void Open(int com = kCom, int opened = CCommPort::kOpened) {
        ASSERT_EQ(CCommPort::Open(com - 1, view_.hwnd()), opened);
        dialog_ = std::make_unique<CMeasure>(view_.hwnd(), nullptr);
        ASSERT_TRUE(dialog_->CreateModeless(view_.hwnd()));
        dialog_->m_bShown = 1;
    }
    HWND Dialog() const { return dialog_->hwnd(); }
    HWND List() const { return GetDlgItem(Dialog(), kRecordList); }
    void Start(const char* id, const char* name) {
        SetDlgItemTextA(Dialog(), kIdEdit, id);
        SetDlgItemTextA(Dialog(), kNameEdit, name);
        SendMessageA(Dialog(), WM_COMMAND, MAKEWPARAM(kStartButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(Dialog(), kStartButton)));
    }
    bool WaitIdle() {
        return PumpUntil([] { return g_nMeasureState == MeasureState::Idle; }, 15000);
    }
    std::string Text(int id) const { return WindowText(GetDlgItem(Dialog(), id)); }
    bool Checked(int box) const {
        return IsDlgButtonChecked(Dialog(), kFirstStateBox + box) == BST_CHECKED;
    }

    SimulatedAnalyzer sim_;
    ViewWindow view_;
    std::unique_ptr<CMeasure> dialog_;
};

TEST_F(MeasureDialogChannel, StartTwiceSendsOneRecallAndStoresTheResult) {
    SetRecords({Record("M002", "Bob", kModeFast, 0.03f, 1772715600),
                Record("A003", "Carol", kModeNormal, 0.5f, 1772715660)});
    Open();
    std::vector<std::string> states;
    view_.onCommand = [&](int command) {
        if (command == ID_CMD_DISP_RES)
            states.push_back(std::to_string(RecordTable.Count()) + " " +
                             std::to_string(ListCount(List())) + " " + Text(kTotalDisplay));
    };
    const int64_t before = static_cast<int64_t>(std::time(nullptr));
    Start("M001", "Alice");
    Start("M001", "Alice");
    EXPECT_EQ(g_nMeasureState, MeasureState::Started);
    ASSERT_TRUE(WaitIdle()) << sim_.LogText();
    const int64_t after = static_cast<int64_t>(std::time(nullptr));

    EXPECT_EQ(sim_.Count("< $RECALL\\r\\n"), 1);
    EXPECT_EQ(sim_.Count("< $START\\r\\n"), 1);
    EXPECT_TRUE(messages.empty());

    ASSERT_EQ(RecordTable.Count(), 3);
    const MeasureRecord& r = RecordTable.records[2];
    EXPECT_EQ(test_records::RecordText(r), "M001/Alice mode=1 level=" + std::to_string(r.Level) +
                                               " unit=1 value=0.045 low=0.030 hi=0.080 photo=0 "
                                               "number=2");
    EXPECT_GE(r.Time, before);
    EXPECT_LE(r.Time, after);

    // The view heard of the record once, after the list and the file had it and before the
    // total display took the analyzer's count from the unit line.
    EXPECT_EQ(states, (std::vector<std::string>{"3 3 Total : 0"}));
    EXPECT_EQ(Text(kTotalDisplay), "Total : 40");
    const std::string file = ReadWholeFile(DataPath());
    ASSERT_EQ(file.size(), 8u + 3 * sizeof(MeasureRecord));
    EXPECT_EQ(file.compare(8 + 2 * sizeof(MeasureRecord), sizeof(MeasureRecord),
                           reinterpret_cast<const char*>(&r), sizeof(MeasureRecord)),
              0);

    // Renumbered from the top; Normal rows lose their thresholds, Fast rows keep them.
    ASSERT_EQ(ListCount(List()), 3);
    EXPECT_EQ(ListText(List(), 0, 0) + " " + ListText(List(), 0, 1) + " " + ListText(List(), 0, 3) +
                  "|" + ListText(List(), 0, 7) + "|",
              "1 M001 0.045 mg/l||");
    EXPECT_EQ(ListText(List(), 1, 0) + " " + ListText(List(), 1, 1) + "|" + ListText(List(), 1, 7) +
                  "|" + ListText(List(), 1, 8),
              "2 A003||");
    EXPECT_EQ(ListText(List(), 2, 0) + " " + ListText(List(), 2, 1) + "|" + ListText(List(), 2, 7) +
                  "|" + ListText(List(), 2, 8),
              "3 M002|0.020|0.050");

    EXPECT_EQ(Text(kStatusDisplay), "Ready");
    EXPECT_EQ(Text(kModeText), "Normal");
    for (int box = kBoxReady; box <= kBoxCompletion; ++box)
        EXPECT_FALSE(Checked(box)) << box;
}

TEST_F(MeasureDialogChannel, FastModeShowsTheClassAndKeepsLowHi) {
    g_Settings.Mode = kModeFast;
    g_Settings.Low = 0.02f;
    g_Settings.Hi = 0.045f;
    Open();
    std::string status;
    bool completion = false;
    view_.onCommand = [&](int command) {
        if (command == ID_CMD_DISP_RES) {
            status = Text(kStatusDisplay);
            completion = Checked(kBoxCompletion) && Checked(kBoxReady) && Checked(kBoxBlowing) &&
                         Checked(kBoxAnalyzing);
        }
    };
    Start("M002", "Bob");
    ASSERT_TRUE(WaitIdle()) << sim_.LogText();
    EXPECT_EQ(sim_.Count("< $FAST\\r\\n"), 1);
    EXPECT_EQ(status, "Hi") << "a value equal to Hi takes the higher class";
    EXPECT_TRUE(completion);
    ASSERT_EQ(RecordTable.Count(), 1);
    EXPECT_EQ(RecordTable.records[0].Level, 2);
    EXPECT_EQ(ListText(List(), 0, 3) + " " + ListText(List(), 0, 7) + " " + ListText(List(), 0, 8),
              "Hi 0.020 0.045");
}

TEST_F(MeasureDialogChannel, FailedFileWriteKeepsTheRecordAndSays) {
    Open();
    // A folder in the data file's place: the write cannot open it.
    DeleteFileA(DataPath().c_str());
    CreateDirectoryA(DataPath().c_str(), nullptr);
    Start("M001", "Alice");
    ASSERT_TRUE(WaitIdle()) << sim_.LogText();
    RemoveDirectoryA(DataPath().c_str());
    EXPECT_EQ(messages, (std::vector<std::string>{"Data file open fail"}));
    EXPECT_EQ(RecordTable.Count(), 1);
    EXPECT_EQ(ListCount(List()), 1);
    EXPECT_EQ(ListText(List(), 0, 0), "1");
}

TEST_F(MeasureDialogChannel, MissingChannelIsTriedAtStartAndOldLossNoticesPassBy) {
    sim_.Stop();
    DeleteFileA(ZPath(ComLink(19)).c_str());
    Open(22, CCommPort::kBadPortIndex); // no channel object at all
    g_Settings.Port = 18;               // as Setting changed it since: the port tried
    Start("M001", "Alice");
    EXPECT_EQ(Text(kStatusDisplay), "DISCONNECTED") << "a silent Started ignores every start";
    ASSERT_TRUE(sim_.Start(19, "--pause 5 --unit M --value 0.045")) << sim_.Error();
    Start("M001", "Alice");
    // A loss notice of the channel that the start replaced arrives late.
    PostMessageA(Dialog(), WM_COMMAND, ID_CMD_PORT_LOST, 0);
    ASSERT_TRUE(WaitIdle()) << sim_.LogText();
    EXPECT_EQ(RecordTable.Count(), 1) << "the old channel's notice dropped the measurement";
}

} // namespace
