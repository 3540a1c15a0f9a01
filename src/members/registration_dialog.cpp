#include "members/registration_dialog.h"

#include "framework/message_box.h"
#include "members/card_reader.h"
#include "members/member_columns.h"
#include "members/registration_ids.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <algorithm>
#include <cstdio>

namespace {

using namespace registration_ids;

constexpr int kRowTextChars = 255;
constexpr COLORREF kBlue = RGB(0, 0, 255);

std::string FieldText(const char* field, size_t length) {
    return std::string(field, length);
}

// The card reader object, or null when the program has none (the library calls are then
// treated as failed, as with a missing library).
const CNCIDCard* Reader() {
    return CardReader();
}

bool SelectCard(const CardIdentityRef& identity) {
    const CNCIDCard* reader = Reader();
    return reader && reader->SelectCard(identity, g_hCardReader);
}

bool WriteCard(const CardIdentityView& identity) {
    const CNCIDCard* reader = Reader();
    return reader && reader->WriteCard(identity, g_hCardReader);
}

} // namespace

CRegistration::CRegistration() : fw::Dialog(IDD_REGISTRATION) {
}

BOOL CRegistration::OnInitDialog() {
    m_hIcon =
        static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    RECT edit{};
    GetWindowRect(Item(kIdEdit), &edit);
    ColumnUnit = static_cast<float>(static_cast<double>(edit.right - edit.left) / 19.0);
    CardRead = 0;
    g_SortAscending = 1;

    m_List.Attach(hwnd(), kList);
    InitMemberColumns();

    // The members are slots 0..MemberCount-1 after every load; the rest of the table is free.
    const int count = std::max(0, std::min(g_Settings.MemberCount, MemberTable.Capacity()));
    Filling = 1;
    for (int i = 0; i < count; ++i) {
        MemberEntry& slot = MemberTable.slots[static_cast<size_t>(i)];
        slot.InUse = 1;
        InsertMemberRow(slot, i);
    }
    Filling = 0;
    MakeFreeSlot(ScratchEntry);
    for (int i = count; i < MemberTable.Capacity(); ++i)
        MemberTable.slots[static_cast<size_t>(i)] = ScratchEntry;
    m_OpenedSlots = MemberTable.slots;
    m_OpenedCount = g_Settings.MemberCount;

    m_RegisterButton.Attach(hwnd(), kRegisterButton);
    m_DeleteButton.Attach(hwnd(), kDeleteButton);
    m_ExitButton.Attach(hwnd(), IDOK);
    m_RegisterButton.SetImage(IDB_REGISTER, 1.0f, 0.6f, kBlue, "");
    m_DeleteButton.SetImage(IDB_DELETE, 1.0f, 0.6f, kBlue, "");
    m_ExitButton.SetImage(IDB_EXIT, 1.0f, 0.6f, kBlue, "");

    SetTimer(hwnd(), kCardTimer, kCardPollMs, nullptr);
    return TRUE;
}

void CRegistration::InitMemberColumns() {
    InsertMemberColumns(m_List, ColumnUnit);
}

void CRegistration::InsertMemberRow(const MemberEntry& entry, int row) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", row + 1);
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = number;
    const auto at = static_cast<int>(
        SendMessageA(m_List.hwnd(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (at >= 0)
        SetRowTexts(at, entry);
}

void CRegistration::SetRowTexts(int row, const MemberEntry& entry) {
    const std::string id = FieldText(entry.ID, FieldLength(entry.ID));
    const std::string name = FieldText(entry.Name, FieldLength(entry.Name));
    LVITEMA item{};
    item.iSubItem = 1;
    item.pszText = const_cast<char*>(id.c_str());
    SendMessageA(m_List.hwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    item.iSubItem = 2;
    item.pszText = const_cast<char*>(name.c_str());
    SendMessageA(m_List.hwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

void CRegistration::FillRows() {
    // Rebuilding the rows is not the operator choosing one.
    Filling = 1;
    SendMessageA(m_List.hwnd(), WM_SETREDRAW, FALSE, 0);
    SendMessageA(m_List.hwnd(), LVM_DELETEALLITEMS, 0, 0);
    int row = 0;
    for (const MemberEntry* slot : InUseSlots(MemberTable, g_Settings))
        InsertMemberRow(*slot, row++);
    SendMessageA(m_List.hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_List.hwnd(), nullptr, TRUE);
    Filling = 0;
}

std::vector<MemberRowText> CRegistration::RowTexts() const {
    std::vector<MemberRowText> rows;
    const int count = static_cast<int>(SendMessageA(m_List.hwnd(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        MemberRowText texts;
        for (int column = 1; column <= 2; ++column) {
            char text[kRowTextChars + 1] = {};
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(m_List.hwnd(), LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&item));
            (column == 1 ? texts.id : texts.name) = text;
        }
        rows.push_back(texts);
    }
    return rows;
}

bool CRegistration::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case kRegisterButton:
        OnRegister();
        return true;
    case kDeleteButton:
        OnDelete();
        return true;
    }
    return false;
}

bool CRegistration::OnNotify(const NMHDR& header, LRESULT& result) {
    if (header.hwndFrom != m_List.hwnd())
        return false;
    result = 0;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    switch (header.code) {
    case LVN_COLUMNCLICK:
        OnColumnClick(change.iSubItem);
        return true;
    case LVN_ITEMCHANGED:
        OnItemChanged(change);
        return true;
    }
    return false;
}

void CRegistration::OnTimer(UINT_PTR) {
    if (CardRead == 1 || g_hCardReader < 0)
        return;
    const CNCIDCard* reader = Reader();
    if (!reader)
        return;
    CardIdentityRef scratch(ScratchEntry);
    if (!reader->SelectCard(scratch, g_hCardReader) || !reader->ReadCard(scratch, g_hCardReader))
        return;
    SetItemText(kIdEdit, FieldText(ScratchEntry.ID, FieldLength(ScratchEntry.ID)).c_str());
    SetItemText(kNameEdit, FieldText(ScratchEntry.Name, FieldLength(ScratchEntry.Name)).c_str());
    reader->Acknowledge(g_hCardReader);
    CardRead = 1;
}

void CRegistration::OnItemChanged(const NMLISTVIEW& change) {
    if (Filling == 1 || change.iItem < 0)
        return;
    for (int column = 1; column <= 2; ++column) {
        char text[kRowTextChars + 1] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(m_List.hwnd(), LVM_GETITEMTEXTA, static_cast<WPARAM>(change.iItem),
                     reinterpret_cast<LPARAM>(&item));
        SetItemText(column == 1 ? kIdEdit : kNameEdit, text);
    }
}

void CRegistration::OnColumnClick(int column) {
    if (column == 0)
        return;
    g_SortAscending = g_SortAscending == 0 ? 1 : 0;
    m_List.Header().SetSortImage(column, g_SortAscending != 0);
    g_SortColumn = column;
    SortMembersInUse(MemberTable, g_Settings, column, g_SortAscending);

    Filling = 1;
    int row = 0;
    for (const MemberEntry* slot : InUseSlots(MemberTable, g_Settings)) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", row + 1);
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = number;
        SendMessageA(m_List.hwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        SetRowTexts(row++, *slot);
    }
    Filling = 0;
}

void CRegistration::OnRegister() {
    CardRead = 0;
    MemberEntry entry =
        MakeMemberEntry(ItemText(kIdEdit, kMemberIdChars), ItemText(kNameEdit, kMemberNameChars));

    switch (FindClash(RowTexts(), entry.ID, entry.Name)) {
    case MemberClash::SameId:
        fw::MessageBox(hwnd(), "Not available ID");
        return;
    case MemberClash::SameName:
        fw::MessageBox(hwnd(), "Not available name");
        return;
    case MemberClash::None:
        break;
    }

    if (g_Settings.UseIdCard) {
        if (g_hCardReader < 0)
            return;
        if (!SelectCard(CardIdentityRef(entry))) {
            fw::MessageBox(hwnd(), "Card detection fail.");
            return;
        }
        if (!WriteCard(CardIdentityView(entry))) {
            fw::MessageBox(hwnd(), "Card write fail.");
            return;
        }
        fw::MessageBox(hwnd(), "Card recording O.K");
    }
    AddMember(entry);
}

bool CRegistration::AddMember(const MemberEntry& entry) {
    if (!AddMemberEntry(MemberTable, g_Settings, entry)) {
        // The table could not grow: the member is not stored anywhere.
        fw::MessageBox(hwnd(), "Member buffer memory allocation fail");
        return false;
    }
    FillRows();
    return true;
}

void CRegistration::OnDelete() {
    CardRead = 0;
    const MemberEntry entry =
        MakeMemberEntry(ItemText(kIdEdit, kMemberIdChars), ItemText(kNameEdit, kMemberNameChars));
    if (FindMemberRow(RowTexts(), entry.ID, entry.Name) < 0) {
        fw::MessageBox(hwnd(), "Matching data not found");
        return;
    }
    RemoveMember(entry);
    if (!g_Settings.UseIdCard)
        return;
    BlankCard();
}

void CRegistration::RemoveMember(const MemberEntry& entry) {
    // The row chosen is the first with this ID and Name; so is its slot, in slot order.
    if (!RemoveMemberEntry(MemberTable, g_Settings, entry.ID, entry.Name)) {
        fw::MessageBox(hwnd(), "Matching data find fail");
        return;
    }
    FillRows();
}

void CRegistration::BlankCard() {
    if (g_hCardReader < 0) {
        fw::MessageBox(hwnd(), "Card deletion fail");
        return;
    }
    MemberEntry blank{};
    SetField(blank.Name, "Empty");
    if (!SelectCard(CardIdentityRef(blank))) {
        fw::MessageBox(hwnd(), "Card detection fail.");
        fw::MessageBox(hwnd(), "Card deletion fail");
        return;
    }
    if (!WriteCard(CardIdentityView(blank))) {
        fw::MessageBox(hwnd(), "Card write fail.");
        fw::MessageBox(hwnd(), "Card deletion fail");
        return;
    }
    fw::MessageBox(hwnd(), "Card deletion O.K");
}

void CRegistration::OnOK() {
    SaveAndClose(IDOK);
}

void CRegistration::OnCancel() {
    SaveAndClose(IDCANCEL);
}

void CRegistration::SaveAndClose(INT_PTR result) {
    // No card is read behind a message box: the poll waits until the dialog is back.
    KillTimer(hwnd(), kCardTimer);
    switch (SaveMembers()) {
    case SaveMembersResult::Saved:
        break;
    case SaveMembersResult::ReloadFailed:
        // Written; the table holds what was written.
        fw::MessageBox(hwnd(), "Configuration file reload fail");
        break;
    case SaveMembersResult::CannotOpen:
        fw::MessageBox(hwnd(), "Configuration file open fail");
        if (!fw::AskYesNo(hwnd(), "Member changes are not saved. Exit anyway ?")) {
            SetTimer(hwnd(), kCardTimer, kCardPollMs, nullptr);
            return;
        }
        // The file may be gone with the new list left in QUELMA.CFG.new, which the next
        // start restores; until then the program keeps the members it opened with.
        MemberTable.slots = m_OpenedSlots;
        g_Settings.MemberCount = m_OpenedCount;
        break;
    }
    EndDialog(result);
}
