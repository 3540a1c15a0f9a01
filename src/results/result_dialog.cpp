#include "results/result_dialog.h"

#include "framework/message_box.h"
#include "members/select_dialog.h"
#include "res/resource.h"
#include "results/result_csv.h"
#include "results/result_export.h"
#include "results/result_ids.h"
#include "storage/config_file.h"
#include "storage/data_file.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstring>
#include <ctime>

using namespace result_ids;

namespace {

constexpr int kPhotoWidth = 330;
constexpr int kPhotoHeight = 250;
constexpr int kEditChars = 9;
constexpr const char* kLevelNames[] = {"0", "Low", "Hi"};

} // namespace

std::string ResultTitleForCurrentYear() {
    return std::string("Quelma ") + g_szInstallDir + "Data\\" + g_szDataFileName;
}

CResult::CResult(HWND mainView) : fw::Dialog(IDD_RESULT), MainView(mainView) {
}

CResult::~CResult() {
    // Closing the list reports item changes; nothing may act on them any more.
    Ready = 0;
    Filling = 1;
    Destroy();
}

BOOL CResult::OnInitDialog() {
    Icon = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                         IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Icon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Icon));
    AttachButtons();

    RECT id{};
    GetWindowRect(Item(kIdEdit), &id);
    ColumnUnit = static_cast<float>(static_cast<double>(id.right - id.left) / 22.0);

    PlacePhoto();
    m_List.Attach(hwnd(), kRecordList);
    m_List.RememberLayout();

    for (const char* name : kLevelNames)
        SendDlgItemMessageA(hwnd(), kLevelCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));

    m_List.InitRecordColumns(ColumnUnit);
    if (m_List.Rows().LoadTable())
        ShowLoadedSet();
    RefreshRows();

    SetWindowTextA(hwnd(), ResultTitleForCurrentYear().c_str());
    Ready = 1;
    return TRUE;
}

void CResult::AttachButtons() {
    const struct {
        CImageButton& button;
        int id;
        int bitmap;
    } buttons[] = {
        {m_FileButton, kFileButton, IDB_FILE},    {m_FilterButton, kFilterButton, IDB_FILTER},
        {m_PrintButton, kPrintButton, IDB_PRINT}, {m_ExcelButton, kExcelButton, IDB_EXCEL},
        {m_ExitButton, IDOK, IDB_EXIT},           {m_MemberButton, kMemberButton, IDB_MEMBER},
        {m_CsvButton, kCsvButton, IDB_CSV}};
    for (const auto& b : buttons) {
        b.button.Attach(hwnd(), b.id);
        b.button.SetImage(b.bitmap, 1.0f, 0.0f, RGB(0, 0, 0), "");
    }
}

void CResult::PlacePhoto() {
    m_Photo.Attach(hwnd(), kPhotoControl);
    RECT r{};
    GetWindowRect(m_Photo.hwnd(), &r);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
    // Left and bottom edges stay where the template has them.
    SetWindowPos(m_Photo.hwnd(), nullptr, r.left, r.bottom - kPhotoHeight, kPhotoWidth,
                 kPhotoHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CResult::ShowLoadedSet() {
    const ResultRows& rows = m_List.Rows();
    Filling = 1;
    m_List.ResetItems();
    Filling = 0;
    SetPicker(kStartPicker, rows.FirstTime());
    SetPicker(kEndPicker, rows.LastTime());
    m_List.Header().SetSortImage(-1, g_SortAscending != 0);
}

void CResult::RefreshRows() {
    const ResultFilter& filter = m_List.Rows().Filter();
    SetChecked(kPeriodAll, !filter.PeriodFilterOn);
    SetChecked(kIdAll, !filter.IdFilterOn);
    if (filter.LevelFilter == kLevelAll) {
        SetChecked(kLevelAllBox, true);
    } else {
        SetChecked(kLevelAllBox, false);
        CheckRadioButton(hwnd(), kFirstLevelRadio, kLastLevelRadio,
                         kFirstLevelRadio - 1 + filter.LevelFilter);
    }
    Filling = 1;
    m_List.Rows().MarkRefreshed();
    m_List.Redraw();
    Filling = 0;
}

void CResult::SetPicker(int id, int64_t time) {
    std::tm local{};
    // A time the calendar cannot show (a damaged record) leaves the picker as it is.
    if (!LocalTime(time, local))
        return;
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(local.tm_year + 1900);
    st.wMonth = static_cast<WORD>(local.tm_mon + 1);
    st.wDay = static_cast<WORD>(local.tm_mday);
    st.wDayOfWeek = static_cast<WORD>(local.tm_wday);
    st.wHour = static_cast<WORD>(local.tm_hour);
    st.wMinute = static_cast<WORD>(local.tm_min);
    st.wSecond = static_cast<WORD>(local.tm_sec);
    SendDlgItemMessageA(hwnd(), id, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
}

CivilDate CResult::PickerDate(int id) const {
    SYSTEMTIME st{};
    CivilDate date;
    if (SendDlgItemMessageA(hwnd(), id, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) ==
        GDT_VALID) {
        date.year = st.wYear;
        date.month = st.wMonth;
        date.day = st.wDay;
    }
    return date;
}

std::string CResult::Title() const {
    std::string title(static_cast<size_t>(GetWindowTextLengthA(hwnd())) + 1, '\0');
    title.resize(
        static_cast<size_t>(GetWindowTextA(hwnd(), title.data(), static_cast<int>(title.size()))));
    return title;
}

void CResult::SetTitleToFile(const std::string& path) {
    SetWindowTextA(hwnd(), ("Quelma " + path).c_str());
}

void CResult::OnOK() {
    PostMessageA(MainView, WM_COMMAND, ID_CMD_RESULT, 0);
}

void CResult::OnCancel() {
    PostMessageA(MainView, WM_COMMAND, ID_CMD_RESULT, 0);
}

bool CResult::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case kFilterButton:
        OnFilter();
        return true;
    case kFileButton:
        OnFile();
        return true;
    case kMemberButton:
        OnPickMember();
        return true;
    case kPeriodAll:
        OnPeriodAll();
        return true;
    case kLevelAllBox:
        OnLevelAll();
        return true;
    case kPrintButton:
        PrintResultList(*this);
        return true;
    case kExcelButton:
        ExportResultList(*this);
        return true;
    case kCsvButton:
        SaveResultListCsv(*this);
        return true;
    }
    return false;
}

bool CResult::OnNotify(const NMHDR& header, LRESULT& result) {
    result = 0;
    if (m_List.OnNotify(header))
        return true;
    if (header.hwndFrom != m_List.hwnd())
        return false;
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (header.code == LVN_COLUMNCLICK) {
        OnColumnClick(change.iSubItem);
        return true;
    }
    if (header.code == LVN_ITEMCHANGED) {
        OnItemChanged(change);
        return true;
    }
    return false;
}

void CResult::OnSize(UINT type, int, int) {
    if (!Ready || type == SIZE_MINIMIZED)
        return;
    m_List.FollowDialogSize();
}

void CResult::OnFilter() {
    ResultRows& rows = m_List.Rows();
    FilterControls controls;
    controls.periodAll = IsChecked(kPeriodAll);
    controls.pickerStart = PickerDate(kStartPicker);
    controls.pickerEnd = PickerDate(kEndPicker);
    controls.idAll = IsChecked(kIdAll);
    controls.idText = ItemText(kIdEdit, kEditChars);
    controls.levelAll = IsChecked(kLevelAllBox);
    for (int id = kFirstLevelRadio; id <= kLastLevelRadio; ++id) {
        if (IsChecked(id)) {
            controls.levelRadio = id - kFirstLevelRadio;
            break;
        }
    }
    controls.rangeLowText = ItemText(kRangeLowEdit, kEditChars);
    controls.rangeHighText = ItemText(kRangeHighEdit, kEditChars);
    controls.comboSelection =
        static_cast<int>(SendDlgItemMessageA(hwnd(), kLevelCombo, CB_GETCURSEL, 0, 0));

    const FilterCheck check =
        ReadFilterControls(controls, rows.FirstDate(), rows.LastDate(), MemberTable,
                           g_Settings.MemberCount, rows.Filter());
    if (check != FilterCheck::Ok) {
        fw::MessageBox(hwnd(), FilterCheckMessage(check));
        return;
    }
    switch (rows.ApplyChosenFilter()) {
    case ResultRows::Applied::Filtered:
        Filling = 1;
        m_List.ResetItems();
        Filling = 0;
        RefreshRows();
        m_List.Header().SetSortImage(-1, g_SortAscending != 0);
        break;
    case ResultRows::Applied::Reloaded:
        ShowLoadedSet();
        break;
    case ResultRows::Applied::NoMemory:
        fw::MessageBox(hwnd(), "Not enough memory to filter the result list");
        break;
    case ResultRows::Applied::ReloadFailed:
        fw::MessageBox(hwnd(), "Not enough memory to show the whole result list");
        break;
    case ResultRows::Applied::Unchanged:
        break;
    }
}

void CResult::OnFile() {
    char path[256] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = hwnd();
    ofn.lpstrFilter = "Data File\0*.DAT\0Text\0*.TXT\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = sizeof path;
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&ofn))
        return;
    ShowDataFile(path);
}

void CResult::ShowDataFile(const char* path) {
    const std::string current = DataFilePath(g_szDataFileName);
    std::string message;
    switch (m_List.Rows().ShowFile(path, current.c_str(), message)) {
    case ResultRows::Shown::OtherFile:
    case ResultRows::Shown::Table:
        SetTitleToFile(path);
        ShowLoadedSet();
        break;
    case ResultRows::Shown::Unchanged:
        SetTitleToFile(path);
        break;
    case ResultRows::Shown::Refused:
        // The title keeps naming the file whose records are shown: the export names its
        // workbook after it.
        if (!message.empty())
            fw::MessageBox(hwnd(), message.c_str());
        break;
    }
}

void CResult::AppendNewRecords() {
    if (!m_List.Rows().AppendNewRecords())
        return;
    Filling = 1;
    m_List.SyncCount();
    Filling = 0;
    RefreshRows();
}

void CResult::OnPickMember() {
    CSelect select;
    select.RunModal(hwnd());
    if (select.SelectedIndex == -1)
        return;
    const std::string id(select.SelectedMember.ID, FieldLength(select.SelectedMember.ID));
    SetItemText(kIdEdit, id.c_str());
}

void CResult::OnPeriodAll() {
    if (!IsChecked(kPeriodAll))
        return;
    SetPicker(kStartPicker, m_List.Rows().FirstTime());
    SetPicker(kEndPicker, m_List.Rows().LastTime());
}

void CResult::OnLevelAll() {
    if (IsChecked(kLevelAllBox)) {
        for (int id = kFirstLevelRadio; id <= kLastLevelRadio; ++id)
            SetChecked(id, false);
    } else {
        CheckRadioButton(hwnd(), kFirstLevelRadio, kLastLevelRadio, kFirstLevelRadio);
    }
}

void CResult::OnColumnClick(int column) {
    const ColumnClick click = m_List.Rows().ClickColumn(column, g_SortColumn, g_SortAscending);
    if (!click.sorts)
        return;
    m_List.Header().SetSortImage(click.arrowColumn, g_SortAscending != 0);
    RefreshRows();
}

void CResult::OnItemChanged(const NMLISTVIEW& change) {
    // -1 stands for every row (a list emptied or wholly deselected): no one row to show.
    if (Filling || !Ready || change.iItem < 0)
        return;
    const std::string path =
        std::string(g_szInstallDir) + "Photo\\" + m_List.ItemText(change.iItem, 9);
    // A path the control cannot hold shows nothing rather than another file.
    std::memset(m_Photo.PhotoPath, 0, sizeof m_Photo.PhotoPath);
    if (path.size() < sizeof m_Photo.PhotoPath)
        std::memcpy(m_Photo.PhotoPath, path.c_str(), path.size());
    InvalidateRect(m_Photo.hwnd(), nullptr, TRUE);
}

bool CResult::BeginPrint(HDC dc, ResultPrintInfo& info) {
    HDC measure = info.attributeDc ? info.attributeDc : dc;
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(measure, &metrics)) {
        m_PrintSetup = PrintSetup::NoFont;
        return false;
    }
    const RECT& area = info.drawRect;
    const int width = area.right - area.left;
    const int charsNeeded = PrintLineCharsNeeded(m_List.Rows().LongestCell(9));
    if (PrintCharWidthFor(width, charsNeeded, metrics.tmAveCharWidth) <= 0) {
        m_PrintSetup = PrintSetup::PageTooNarrow;
        return false;
    }
    m_PrintFont = FitPrintFont(measure, width, charsNeeded, metrics.tmAveCharWidth);
    if (!m_PrintFont) {
        m_PrintSetup = PrintSetup::NoFont;
        return false;
    }
    {
        fw::ScopedSelect font(measure, m_PrintFont.Get());
        GetTextMetricsA(measure, &metrics);
    }
    m_PrintSetup = MeasurePrintPage(metrics.tmHeight, metrics.tmAveCharWidth, width,
                                    area.bottom - area.top, m_Print);
    if (m_PrintSetup != PrintSetup::Ok)
        return false;
    info.minPage = 0;
    info.maxPage = LastPrintPage(m_List.ItemCount(), m_Print);
    PrintCursor = 0;
    return true;
}

void CResult::PrintPage(HDC dc, ResultPrintInfo& info) {
    const std::vector<PrintOp> ops =
        LayoutPrintPage(m_Print, info.currentPage, PrintCursor, m_List.ItemCount(),
                        [this](int row, int column) { return m_List.ItemText(row, column); });
    // Selected for each page: older printer drivers reset the DC when a page starts.
    fw::ScopedSelect font(dc, m_PrintFont.Get());
    DrawPrintOps(dc, ops);
}

void CResult::EndPrint(HDC, ResultPrintInfo&) {
    m_PrintFont.Reset();
}
