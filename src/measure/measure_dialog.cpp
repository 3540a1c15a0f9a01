#include "measure/measure_dialog.h"

#include "analyzer/comm_port.h"
#include "analyzer/rx_notification.h"
#include "camera/measure_camera.h"
#include "framework/message_box.h"
#include "measure/free_space.h"
#include "measure/measure_ids.h"
#include "members/card_reader.h"
#include "members/select_dialog.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "storage/data_file.h"
#include "app/stored_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

using namespace measure_ids;

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr int kPhotoWidth = 330;
constexpr int kPhotoHeight = 250;
constexpr int kMaxIdChars = sizeof(MeasureRecord::ID) - 1;
constexpr int kMaxNameChars = sizeof(MeasureRecord::Name) - 1;

// A fixed text field as a terminated string, even when the field is full.
template <size_t N> void CopyField(char (&out)[N + 1], const char (&field)[N]) {
    std::memcpy(out, field, N);
    out[N] = '\0';
}

} // namespace

CMeasure::CMeasure(HWND viewWnd, HFONT displayFont)
    : fw::Dialog(IDD_MEASURE), m_hViewWnd(viewWnd), m_hDisplayFont(displayFont) {
}

CMeasure::~CMeasure() {
    if (hwnd())
        KillTimer(hwnd(), kCardTimer);
    // The channel keeps posting lines; they go back to the view once this window is gone.
    if (g_pCommPort && g_pCommPort->Owner() == hwnd())
        g_pCommPort->SetOwner(m_hViewWnd);
    // The camera's window lives on the dialog: stop it first, then close the dialog while
    // this object is still whole.
    m_Camera.Shutdown();
    Destroy();
}

BOOL CMeasure::OnInitDialog() {
    m_hIcon =
        static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME),
                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    SendMessageA(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    ShowSettingTexts();

    RECT name{};
    GetWindowRect(Item(kNameEdit), &name);
    ColumnUnit = static_cast<float>(static_cast<double>(name.right - name.left) / 21.0);

    m_MemberButton.Attach(hwnd(), kMemberButton);
    m_StartButton.Attach(hwnd(), kStartButton);
    m_ExitButton.Attach(hwnd(), IDOK);
    m_MemberButton.SetImage(IDB_MEMBER, 1.0f, 0.0f, RGB(0, 0, 0), "");
    m_StartButton.SetImage(IDB_START, 1.0f, 0.0f, RGB(0, 0, 0), "");
    m_ExitButton.SetImage(IDB_EXIT, 1.0f, 0.0f, RGB(0, 0, 0), "");

    m_Status.Attach(hwnd(), kStatusDisplay);
    m_Status.font = m_hDisplayFont;
    m_Status.colour = kBlue;
    ShowStatus("Ready");
    m_Total.Attach(hwnd(), kTotalDisplay);
    m_Total.colour = kBlue;
    ShowTotal();

    m_List.Attach(hwnd(), kRecordList);
    m_List.InitRecordColumns(ColumnUnit);
    m_List.FillRows();

    m_List.RememberLayout();

    m_Photo.Attach(hwnd(), kPhotoControl);
    SetWindowPos(m_Photo.hwnd(), nullptr, 0, 0, kPhotoWidth, kPhotoHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    MeasureContext ctx = ProgramMeasureContext();
    ResetMeasureState(ctx);
    if (g_pCommPort) {
        g_pCommPort->SetOwner(hwnd());
        if (g_pCommPort->IsLost())
            ShowStatus(kPortLostText);
    }

    m_bInitDone = 1;
    SetTimer(hwnd(), kCardTimer, kCardPollMs, nullptr);
    return TRUE;
}

void CMeasure::ShowSettingTexts() {
    char text[32];
    SetItemText(kModeText, ModeText(g_Settings.Mode));
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(g_Settings.Low));
    SetItemText(kLowText, text);
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(g_Settings.Hi));
    SetItemText(kHiText, text);
}

void CMeasure::ShowTotal() {
    char text[32];
    std::snprintf(text, sizeof text, "Total : %d", g_nDeviceTotal);
    m_Total.SetText(text);
    // The window text mirrors the drawn text for anything that reads the control.
    SetWindowTextA(m_Total.hwnd(), text);
}

void CMeasure::OnOK() {
    PostMessageA(m_hViewWnd, WM_COMMAND, ID_CMD_MEASURE, 0);
}

void CMeasure::OnCancel() {
    PostMessageA(m_hViewWnd, WM_COMMAND, ID_CMD_MEASURE, 0);
}

bool CMeasure::OnCommand(int id, int code, HWND) {
    switch (id) {
    case kMemberButton:
        if (code == BN_CLICKED)
            OnSelectMember();
        return true;
    case kStartButton:
        if (code == BN_CLICKED)
            OnStart();
        return true;
    case ID_CMD_RXOK:
        OnRxLine();
        return true;
    case ID_CMD_PORT_LOST: {
        // A notice of a channel that was replaced since must not drop the new one's work.
        if (!g_pCommPort || !g_pCommPort->IsLost())
            return true;
        MeasureContext ctx = ProgramMeasureContext();
        OnPortLost(ctx, *this);
        return true;
    }
    }
    return false;
}

bool CMeasure::OnNotify(const NMHDR& header, LRESULT& result) {
    result = 0;
    return m_List.OnNotify(header);
}

void CMeasure::OnTimer(UINT_PTR id) {
    if (id == kCardTimer)
        PollCardReader();
}

void CMeasure::OnSize(UINT type, int, int) {
    if (!m_bInitDone || type == SIZE_MINIMIZED)
        return;
    m_List.FollowDialogSize();
}

void CMeasure::PollCardReader() {
    if (m_bShown != 1 || !g_Settings.UseIdCard || !CardPollAllowed(g_nMeasureState))
        return;
    CNCIDCard* reader = CardReader();
    if (!reader)
        return;
    // Read into a copy: a card that fails its check leaves the identified subject alone.
    MeasureRecord card = g_NextSubject;
    if (!reader->PollCard(CardIdentityRef(card)))
        return;
    MeasureContext ctx = ProgramMeasureContext();
    if (!OnCardRead(ctx, card))
        return;
    char id[sizeof card.ID + 1];
    char name[sizeof card.Name + 1];
    CopyField(id, card.ID);
    CopyField(name, card.Name);
    SetItemText(kIdEdit, id);
    SetItemText(kNameEdit, name);
    reader->Acknowledge(g_hCardReader);
}

void CMeasure::OnSelectMember() {
    CSelect select;
    select.RunModal(hwnd());
    const MemberEntry* chosen = select.SelectedIndex != -1 ? &select.SelectedMember : nullptr;
    if (chosen) {
        char id[sizeof chosen->ID + 1];
        char name[sizeof chosen->Name + 1];
        CopyField(id, chosen->ID);
        CopyField(name, chosen->Name);
        SetItemText(kIdEdit, id);
        SetItemText(kNameEdit, name);
    }
    MeasureContext ctx = ProgramMeasureContext();
    OnMemberSelectionClosed(ctx, chosen);
}

void CMeasure::OnStart() {
    const FreeSpace space = QueryFreeSpace();
    const std::string id = ItemText(kIdEdit, kMaxIdChars);
    const std::string name = ItemText(kNameEdit, kMaxNameChars);
    StartRequest request;
    request.freeSpaceKnown = space.known;
    request.freeBytes = space.bytes;
    request.typedId = id.c_str();
    request.typedName = name.c_str();
    // A port that went away or never opened, or a channel that was never made, is tried
    // again whenever the operator starts.
    if ((!g_pCommPort || !g_pCommPort->IsUsable()) &&
        CCommPort::Reopen(hwnd()) == CCommPort::kOpened)
        ShowStatus("Ready");
    request.channelExists = g_pCommPort != nullptr;
    request.channelLost = g_pCommPort && !g_pCommPort->IsUsable();
    MeasureContext ctx = ProgramMeasureContext();
    PressStart(ctx, *this, request);
}

void CMeasure::OnRxLine() {
    ReceivedLine line{};
    if (HandleRxNotification(*this, &line))
        std::memcpy(m_szRxLine, line.text, sizeof m_szRxLine);
}

// The measurement state machine's effects, with the dialog's controls.

void CMeasure::ShowStatus(const char* text) {
    m_Status.SetText(text);
    SetWindowTextA(m_Status.hwnd(), m_Status.caption);
}

void CMeasure::MarkState(int box) {
    SetChecked(kFirstStateBox + box, true);
}

void CMeasure::ClearStates() {
    for (int box = kBoxReady; box <= kBoxCompletion; ++box)
        SetChecked(kFirstStateBox + box, false);
}

void CMeasure::ShowMode(const char* text) {
    SetItemText(kModeText, text);
}

void CMeasure::Send(const char* command) {
    if (g_pCommPort)
        g_pCommPort->Send(command);
}

int64_t CMeasure::Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

bool CMeasure::TakePhoto(const MeasureRecord& record) {
    return ::TakePhoto(m_Camera, record);
}

void CMeasure::RestartCamera() {
    RestartPreview(m_Camera, hwnd(), m_Photo.hwnd());
}

void CMeasure::Beep() {
    MessageBeep(0);
}

void CMeasure::ShowMessage(const char* text) {
    fw::MessageBox(hwnd(), text);
}

bool CMeasure::IsValidMember(const MeasureRecord& record) {
    char id[sizeof record.ID + 1];
    char name[sizeof record.Name + 1];
    CopyField(id, record.ID);
    CopyField(name, record.Name);
    const int count = std::min(g_Settings.MemberCount, MemberTable.Capacity());
    for (int i = 0; i < count; ++i) {
        const MemberEntry& member = MemberTable.slots[static_cast<size_t>(i)];
        char memberId[sizeof member.ID + 1];
        char memberName[sizeof member.Name + 1];
        CopyField(memberId, member.ID);
        CopyField(memberName, member.Name);
        if (lstrcmpA(memberId, id) == 0 && lstrcmpA(memberName, name) == 0)
            return true;
    }
    return false;
}

void CMeasure::StoreResult(const MeasureRecord& measured) {
    MeasureRecord record = measured;
    record.Number = RecordTable.Count();
    AppendToTable(RecordTable, record);
    m_List.InsertRecordRow();
    const bool written = WriteDataFile();
    m_List.RefreshRecordRows();
    SendMessageA(m_hViewWnd, WM_COMMAND, ID_CMD_DISP_RES, 0);
    ShowTotal();
    if (GrowIfFull(RecordTable) == AppendResult::GrowFailed) {
        fw::MessageBox(hwnd(), "Memory allaocation fail. Back up data file");
        // The program ends here: a record whose write failed gets one more try first.
        if (!written)
            WriteDataFile();
        ExitProcess(static_cast<UINT>(-1));
    }
}
