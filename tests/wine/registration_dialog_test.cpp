// The Registration dialog run modally on the program's member table, driven from a timer
// while its modal loop runs: rows and columns, duplicate checks, cards written and blanked
// through the stand-in reader, the card poll, sorting, and the save on every way out.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "framework/handles.h"
#include "measure/measure_dialog.h"
#include "members/registration_dialog.h"
#include "members/registration_ids.h"
#include "wine/list_cells.h"
#include "wine/registration_world.h"

using namespace dialog_world;

namespace {

using namespace registration_ids;

class RegistrationTest : public DialogWorldTest {
  protected:
    // Runs the dialog with `script`; returns its result (-2: the script left it open).
    INT_PTR Run(const std::function<void(HWND)>& script) {
        CRegistration dialog;
        INT_PTR result = 0;
        seen_ =
            ModalDriver::Drive("Registartion", script, [&] { result = dialog.RunModal(nullptr); });
        return result;
    }
    // One tick of the dialog's card poll, now.
    static void PollCard(HWND dialog) {
        SendMessageA(dialog, WM_TIMER, CRegistration::kCardTimer, 0);
    }
    static void Type(HWND dialog, const char* id, const char* name) {
        SetItem(dialog, kIdEdit, id);
        SetItem(dialog, kNameEdit, name);
    }
    bool seen_ = false;
};

class RegistrationRows : public RegistrationTest {};
class RegistrationEdits : public RegistrationTest {};
class RegistrationCards : public RegistrationTest {};
class RegistrationLeaving : public RegistrationTest {};
class RegistrationCommand : public RegistrationTest {};

TEST_F(RegistrationRows, OpensWithTheMembersColumnsAndClearedFreeSlots) {
    // Leftovers in the free slots and in-use flags as a damaged table could hold them.
    MemberTable.slots[2].InUse = 0;
    SetField(MemberTable.slots[7].ID, "STALE");
    MemberTable.slots[7].InUse = 1;
    SetField(MemberTable.slots[4].Name, "Maximilian Oberholz"); // 19 characters
    g_SortAscending = 0;
    std::string cuts = "not seen";
    std::vector<std::string> rows;
    int widths[3] = {};
    int editWidth = 0;
    DWORD styles = 0;
    const INT_PTR result = Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, kList);
        rows = Rows(list);
        for (int i = 0; i < 3; ++i)
            widths[i] = static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0));
        RECT r{};
        GetWindowRect(GetDlgItem(dialog, kIdEdit), &r);
        editWidth = r.right - r.left;
        styles = static_cast<DWORD>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        cuts = list_cells::RowCuts(list, 4, 3);
        Click(dialog, IDOK);
    });
    ASSERT_TRUE(seen_);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(rows, (std::vector<std::string>{"1 M001 Alice", "2 M002 Bob", "3 A003 Carol",
                                              "4 M004 Dora", "5 M005 Maximilian Oberholz"}));
    EXPECT_EQ(cuts, "");
    const int unit = static_cast<int>(static_cast<float>(editWidth / 19.0)) + 1;
    EXPECT_EQ(widths[0], 7 * unit);
    EXPECT_EQ(widths[1], 10 * unit);
    EXPECT_EQ(widths[2], 20 * unit);
    EXPECT_EQ(styles & 0x121u, 0x121u);
    EXPECT_EQ(g_SortAscending, 1);
    // Exit saved the five members (slot 2 was set in use again) and nothing of slot 7.
    EXPECT_EQ(FileMembers(), (std::vector<std::string>{"M001/Alice", "M002/Bob", "A003/Carol",
                                                       "M004/Dora", "M005/Maximilian Oberholz"}));
}

TEST_F(RegistrationRows, HeadingClicksSortTheTableAndARowFillsTheEdits) {
    std::vector<std::string> firstClick, secondClick;
    std::string id, name;
    Run([&](HWND dialog) {
        HWND list = GetDlgItem(dialog, kList);
        auto click = [&](int column) {
            NMLISTVIEW nm{};
            nm.hdr.hwndFrom = list;
            nm.hdr.idFrom = kList;
            nm.hdr.code = LVN_COLUMNCLICK;
            nm.iItem = -1;
            nm.iSubItem = column;
            SendMessageA(dialog, WM_NOTIFY, kList, reinterpret_cast<LPARAM>(&nm));
        };
        click(0);
        EXPECT_EQ(Rows(list)[0], "1 M001 Alice") << "NO does not sort";
        click(1);
        firstClick = Rows(list);
        click(1);
        secondClick = Rows(list);
        LVITEMA item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
        id = ItemText(dialog, kIdEdit);
        name = ItemText(dialog, kNameEdit);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(firstClick, (std::vector<std::string>{"1 M005 Emil", "2 M004 Dora", "3 M002 Bob",
                                                    "4 M001 Alice", "5 A003 Carol"}));
    EXPECT_EQ(secondClick, (std::vector<std::string>{"1 A003 Carol", "2 M001 Alice", "3 M002 Bob",
                                                     "4 M004 Dora", "5 M005 Emil"}));
    EXPECT_EQ(g_SortColumn, 1);
    EXPECT_EQ(id, "M001");
    EXPECT_EQ(name, "Alice");
    // The order shown is the order saved.
    EXPECT_EQ(FileMembers(), (std::vector<std::string>{"A003/Carol", "M001/Alice", "M002/Bob",
                                                       "M004/Dora", "M005/Emil"}));
}

TEST_F(RegistrationEdits, DuplicatesAreRefusedAndTextsCut) {
    std::vector<std::string> rows;
    Run([&](HWND dialog) {
        Type(dialog, "M002", "Zed");
        Click(dialog, kRegisterButton);
        Type(dialog, "M777", "Carol");
        Click(dialog, kRegisterButton);
        Type(dialog, "X12345678ABC", "A name far too long to fit");
        Click(dialog, kRegisterButton);
        Type(dialog, "X12345678", "Other");
        Click(dialog, kRegisterButton);
        Type(dialog, "", "");
        Click(dialog, kRegisterButton);
        Click(dialog, kRegisterButton);
        rows = Rows(GetDlgItem(dialog, kList));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Not available ID", "Not available name",
                                                  "Not available ID", "Not available ID"}));
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[5], "6 X12345678 A name far too long");
    EXPECT_EQ(rows[6], "7  ");
    EXPECT_EQ(g_Settings.MemberCount, 7);
}

TEST_F(RegistrationEdits, DeleteNeedsBothFieldsAndTheFreedSlotIsReused) {
    std::vector<std::string> afterDelete, afterRegister;
    Run([&](HWND dialog) {
        Type(dialog, "M002", "Bobby");
        Click(dialog, kDeleteButton);
        Type(dialog, "M002", "Bob");
        Click(dialog, kDeleteButton);
        afterDelete = Rows(GetDlgItem(dialog, kList));
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        afterRegister = Rows(GetDlgItem(dialog, kList));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Matching data not found"}));
    EXPECT_EQ(afterDelete, (std::vector<std::string>{"1 M001 Alice", "2 A003 Carol", "3 M004 Dora",
                                                     "4 M005 Emil"}));
    ASSERT_EQ(afterRegister.size(), 5u);
    EXPECT_EQ(afterRegister[1], "2 N100 Nina");
    EXPECT_EQ(FileMembers()[1], "N100/Nina");
}

TEST_F(RegistrationEdits, FiftyFirstMemberGrowsTheTable) {
    WriteConfig({});
    ASSERT_EQ(MemberTable.Capacity(), 50);
    int rows = 0;
    Run([&](HWND dialog) {
        for (int i = 0; i < 51; ++i) {
            const std::string n = std::to_string(i);
            Type(dialog, ("ID" + n).c_str(), ("Name" + n).c_str());
            Click(dialog, kRegisterButton);
        }
        rows = ListCount(GetDlgItem(dialog, kList));
        EXPECT_EQ(MemberTable.Capacity(), 100);
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(rows, 51);
    EXPECT_EQ(FileMembers().size(), 51u);
    EXPECT_EQ(FileMembers()[50], "ID50/Name50");
}

TEST_F(RegistrationCards, RegisterWritesTheMemberOntoTheCard) {
    CardFolder cards;
    cards.MakeCard("spare", nullptr, nullptr, "0A0B0C0D");
    cards.Control("card=spare");
    cards.Open();
    ASSERT_GE(g_hCardReader, 0);
    g_Settings.UseIdCard = 1;
    Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Card recording O.K"}));
    const CardFolder::CardRecord card = cards.Read("spare");
    EXPECT_EQ(card.id, "N100");
    EXPECT_EQ(card.name, "Nina");
    EXPECT_TRUE(card.valid);
    ASSERT_EQ(FileMembers().size(), 6u);
    EXPECT_EQ(FileMembers()[5], "N100/Nina");
    EXPECT_EQ(MemberTable.slots[5].CardSerial[0], 0x0A) << "the serial of the card written";
    EXPECT_EQ(MemberTable.slots[5].CardSerial[3], 0x0D);
}

TEST_F(RegistrationCards, RegisterFailuresAddNobody) {
    CardFolder cards;
    cards.MakeCard("spare", nullptr, nullptr);
    g_Settings.UseIdCard = 1;
    Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton); // no reader open: silently nothing
        cards.Open();
        cards.Control(""); // no card on the reader
        Click(dialog, kRegisterButton);
        cards.Control("card=spare\nfault=write:8");
        Click(dialog, kRegisterButton);
        EXPECT_EQ(ListCount(GetDlgItem(dialog, kList)), 5);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Card detection fail.", "Card write fail."}));
    EXPECT_EQ(FileMembers().size(), 5u);
}

TEST_F(RegistrationCards, DeleteBlanksWhateverCardLiesOnTheReader) {
    CardFolder cards;
    cards.MakeCard("bob", "M002", "Bob");
    cards.MakeCard("other", "Z9", "Zoe");
    cards.Control("card=other\nfault=read:4");
    cards.Open();
    g_Settings.UseIdCard = 1;
    Run([&](HWND dialog) {
        Type(dialog, "M002", "Bob");
        Click(dialog, kDeleteButton);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Card deletion O.K"}));
    const CardFolder::CardRecord card = cards.Read("other");
    EXPECT_EQ(card.id, "");
    EXPECT_EQ(card.name, "Empty");
    EXPECT_TRUE(card.valid);
    EXPECT_EQ(cards.Read("bob").name, "Bob");
    EXPECT_EQ(FileMembers(),
              (std::vector<std::string>{"M001/Alice", "A003/Carol", "M004/Dora", "M005/Emil"}));
}

TEST_F(RegistrationCards, FailedBlankingStillRemovesTheMember) {
    CardFolder cards;
    cards.MakeCard("other", "Z9", "Zoe");
    g_Settings.UseIdCard = 1;
    Run([&](HWND dialog) {
        Type(dialog, "M001", "Alice");
        Click(dialog, kDeleteButton); // reader not open
        cards.Open();
        cards.Control("fault=nocard");
        Type(dialog, "M002", "Bob");
        Click(dialog, kDeleteButton);
        cards.Control("card=other\nfault=write:4");
        Type(dialog, "A003", "Carol");
        Click(dialog, kDeleteButton);
        EXPECT_EQ(Rows(GetDlgItem(dialog, kList)),
                  (std::vector<std::string>{"1 M004 Dora", "2 M005 Emil"}));
        Click(dialog, IDOK);
    });
    EXPECT_EQ(messages, (std::vector<std::string>{"Card deletion fail", "Card detection fail.",
                                                  "Card deletion fail", "Card write fail.",
                                                  "Card deletion fail"}));
    EXPECT_EQ(cards.Read("other").name, "Zoe");
    EXPECT_EQ(g_Settings.MemberCount, 2);
}

TEST_F(RegistrationCards, CardOnTheReaderFillsTheEditsOnceUntilRegisterOrDelete) {
    CardFolder cards;
    cards.MakeCard("alice", "M001", "Alice");
    cards.MakeCard("zoe", "Z9", "Zoe");
    cards.Control("card=alice");
    cards.Open();
    g_Settings.UseIdCard = 0; // the dialog's poll looks only at the open reader
    std::string first, whileLatched, afterRegister;
    std::vector<std::string> port;
    Run([&](HWND dialog) {
        EXPECT_TRUE(PumpUntil([&] { return ItemText(dialog, kIdEdit) == "M001"; }, 3000));
        first = ItemText(dialog, kNameEdit);
        cards.Control("card=zoe");
        PollCard(dialog);
        whileLatched = ItemText(dialog, kIdEdit);
        port = cards.UserPort();
        Click(dialog, kRegisterButton); // "Not available ID": still unlatches
        EXPECT_TRUE(PumpUntil([&] { return ItemText(dialog, kIdEdit) == "Z9"; }, 3000));
        afterRegister = ItemText(dialog, kNameEdit);
        Click(dialog, IDOK);
    });
    EXPECT_EQ(first, "Alice");
    EXPECT_EQ(whileLatched, "M001");
    EXPECT_EQ(port, (std::vector<std::string>{"0x44", "0x00"})) << "one signal per read";
    EXPECT_EQ(afterRegister, "Zoe");
    EXPECT_EQ(messages, (std::vector<std::string>{"Not available ID"}));
}

TEST_F(RegistrationCards, BadCardIsNotTakenAndNoReaderMeansNoCalls) {
    CardFolder cards;
    cards.MakeCard("alice", "M001", "Alice");
    cards.Control("card=alice\nfault=read:9");
    cards.Open();
    std::string id;
    int reads = 0;
    Run([&](HWND dialog) {
        PollCard(dialog);
        id = ItemText(dialog, kIdEdit);
        reads = cards.Calls("Read");
        g_hCardReader = -1;
        cards.ClearLogs();
        cards.Control("card=alice");
        PollCard(dialog);
        Click(dialog, IDOK);
    });
    EXPECT_GT(reads, 0) << "the card was never read";
    EXPECT_EQ(id, "");
    EXPECT_EQ(cards.Calls("Select"), 0);
}

TEST_F(RegistrationLeaving, CloseBoxSavesLikeExit) {
    const INT_PTR result = Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        // The close box: the dialog turns it into a posted cancel.
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        PumpUntil([&] { return !IsWindowVisible(dialog); }, 2000);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(FileMembers().back(), "N100/Nina");
    EXPECT_EQ(g_Settings.MemberCount, 6);
    EXPECT_EQ(MemberTable.Capacity(), 56) << "reloaded from the file";
}

TEST_F(RegistrationLeaving, EscapeSavesToo) {
    const INT_PTR result = Run([&](HWND dialog) {
        Type(dialog, "M005", "Emil");
        Click(dialog, kDeleteButton);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(FileMembers().size(), 4u);
}

TEST_F(RegistrationLeaving, UnwritableConfigurationKeepsTheDialogOpen) {
    const std::string saved = ConfigPath() + ".kept";
    bool stillOpen = false;
    bool pollDuringBox = false;
    std::vector<std::string> rows;
    answer = IDNO;
    fw::SetMessageBoxHook([&](const char* text, UINT type) {
        messages.push_back(text);
        // KillTimer succeeds only on a running timer.
        pollDuringBox |=
            KillTimer(FindThreadWindow("Registartion"), CRegistration::kCardTimer) != 0;
        return (type & MB_YESNO) ? answer : IDOK;
    });
    const INT_PTR result = Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        // A folder where the file was: it cannot be opened for writing, not even by root.
        fs::rename(ConfigPath(), saved);
        fs::create_directory(ConfigPath());
        Click(dialog, IDOK);
        SendMessageA(dialog, WM_CLOSE, 0, 0);
        ViewWindow().HandlePosted(); // the cancel the close box posted
        stillOpen = IsWindowVisible(dialog) != FALSE;
        rows = Rows(GetDlgItem(dialog, kList));
        fs::remove(ConfigPath());
        fs::rename(saved, ConfigPath());
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(stillOpen);
    const std::string question = "Member changes are not saved. Exit anyway ?";
    EXPECT_EQ(messages, (std::vector<std::string>{"Configuration file open fail", question,
                                                  "Configuration file open fail", question}));
    EXPECT_FALSE(pollDuringBox);
    EXPECT_EQ(rows.size(), 6u) << "nothing changed while it stayed open";
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(FileMembers().back(), "N100/Nina");
}

// A file another program holds: the operator may leave; file and table keep the old members.
TEST_F(RegistrationLeaving, LeavingUnsavedKeepsTheOldMembers) {
    const std::string before = ReadWholeFile(ConfigPath());
    fw::UniqueHandle held(CreateFileA(ConfigPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    const INT_PTR result = Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        Type(dialog, "M002", "Bob");
        Click(dialog, kDeleteButton);
        Click(dialog, IDOK);
    });
    held.Reset();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(messages, (std::vector<std::string>{"Configuration file open fail",
                                                  "Member changes are not saved. Exit anyway ?"}));
    EXPECT_EQ(ReadWholeFile(ConfigPath()), before);
    ASSERT_EQ(g_Settings.MemberCount, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(MemberTable.slots[i].InUse, 1) << i;
    EXPECT_STREQ(MemberTable.slots[1].ID, "M002");
    EXPECT_EQ(MemberTable.slots[5].InUse, 0);
}

// Where nothing can be created beside QUELMA.CFG (a standard user's install folder), the
// file itself is rewritten.
TEST_F(RegistrationLeaving, SaveLandsWhereNoFileCanBeCreatedBesideIt) {
    fs::create_directory(ConfigPath() + ".new");
    Run([&](HWND dialog) {
        Type(dialog, "N100", "Nina");
        Click(dialog, kRegisterButton);
        Click(dialog, IDOK);
    });
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(FileMembers().back(), "N100/Nina");
    EXPECT_EQ(g_Settings.MemberCount, 6);
}

TEST_F(RegistrationCommand, HidesAShownMeasureDialogForGoodAndSwitchesTheReaderOff) {
    CardFolder cards;
    cards.Open();
    auto measure = std::make_unique<CMeasure>(nullptr, nullptr);
    ASSERT_TRUE(measure->CreateModeless(nullptr));
    ShowWindow(measure->hwnd(), SW_SHOWNORMAL);
    measure->m_bShown = 1;
    bool visibleMeanwhile = true;
    {
        CQuelmaView view;
        g_pMeasureDlg = measure.get();
        seen_ = ModalDriver::Drive(
            "Registartion",
            [&](HWND dialog) {
                visibleMeanwhile = IsWindowVisible(measure->hwnd()) != FALSE;
                Click(dialog, IDOK);
            },
            [&] { RunRegistrationCommand(view); });
        EXPECT_EQ(view.m_MeasurePlacement.showCmd, static_cast<UINT>(SW_SHOWNORMAL))
            << "the placement to show it again with";
    } // the view forgets the Measure dialog it never owned
    ASSERT_TRUE(seen_);
    EXPECT_FALSE(visibleMeanwhile);
    EXPECT_FALSE(IsWindowVisible(measure->hwnd())) << "it stays hidden afterwards";
    EXPECT_EQ(measure->m_bShown, 0);
    EXPECT_EQ(cards.UserPort(), (std::vector<std::string>{"0x00"})) << "outputs switched off";
    g_pMeasureDlg = nullptr;
}

} // namespace
