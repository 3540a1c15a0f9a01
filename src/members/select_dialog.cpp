#include "members/select_dialog.h"

#include "members/member_columns.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "storage/ordering.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kList = 1000;
constexpr int kDigits = 1033; // "1234567890", invisible: its width measures ten digits

// The members in the list's rows: the first MemberCount slots, never past the table.
int ListedMembers() {
    return std::max(0, std::min(g_Settings.MemberCount, MemberTable.Capacity()));
}

template <size_t N> std::string FieldText(const char (&field)[N]) {
    return std::string(field, FieldLength(field));
}

} // namespace

CSelect::CSelect() : fw::Dialog(IDD_SELECT) {
}

BOOL CSelect::OnInitDialog() {
    RECT digits{};
    GetWindowRect(Item(kDigits), &digits);
    ColumnUnit = static_cast<float>(static_cast<double>(digits.right - digits.left) / 10.0);
    SelectedIndex = -1;
    g_SortAscending = 1;
    m_List.Attach(hwnd(), kList);
    InsertColumns();
    FillRows();
    Filling = 0;
    return TRUE;
}

void CSelect::InsertColumns() {
    InsertMemberColumns(m_List, ColumnUnit);
}

void CSelect::FillRows() {
    const int count = ListedMembers();
    for (int i = 0; i < count; ++i) {
        MemberEntry& slot = MemberTable.slots[static_cast<size_t>(i)];
        char number[16];
        std::snprintf(number, sizeof number, "%d", i + 1);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;
        item.pszText = number;
        item.lParam = reinterpret_cast<LPARAM>(&slot);
        SendMessageA(m_List.hwnd(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        SetRowTexts(i, slot);
    }
}

void CSelect::SetRowTexts(int row, const MemberEntry& member) {
    const std::string id = FieldText(member.ID);
    const std::string name = FieldText(member.Name);
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

bool CSelect::OnNotify(const NMHDR& header, LRESULT& result) {
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

void CSelect::OnColumnClick(int column) {
    if (column == 0)
        return;
    g_SortAscending = g_SortAscending == 0 ? 1 : 0;
    m_List.Header().SetSortImage(column, g_SortAscending != 0);
    g_SortColumn = column;

    const int rows = static_cast<int>(SendMessageA(m_List.hwnd(), LVM_GETITEMCOUNT, 0, 0));
    const int n = std::min(rows, MemberTable.Capacity());
    MemberEntry* first = MemberTable.data();
    std::sort(first, first + n, [column](const MemberEntry& a, const MemberEntry& b) {
        return CompareMembers(a, b, column, g_SortAscending) < 0;
    });

    // Each row's item data keeps naming slot i, which now holds the member shown there.
    Filling = 1;
    for (int i = 0; i < n; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%d", i + 1);
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = number;
        SendMessageA(m_List.hwnd(), LVM_SETITEMTEXTA, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
        SetRowTexts(i, MemberTable.slots[static_cast<size_t>(i)]);
    }
    Filling = 0;
}

void CSelect::OnItemChanged(const NMLISTVIEW& change) {
    // A change that names no row (row -1 stands for all of them) picks nobody.
    if (Filling || m_bPicked || change.iItem < 0)
        return;
    LPARAM data = change.lParam;
    if (!data) {
        LVITEMA item{};
        item.mask = LVIF_PARAM;
        item.iItem = change.iItem;
        SendMessageA(m_List.hwnd(), LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
        data = item.lParam;
    }
    if (!data)
        return;
    m_bPicked = true;
    SelectedIndex = change.iItem;
    std::memcpy(&SelectedMember, reinterpret_cast<const MemberEntry*>(data), sizeof SelectedMember);
    EndDialog(IDOK);
}
