#include "app/quelma_view.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "app/device_startup.h"
#include "framework/app.h"
#include "framework/message_box.h"
#include "res/resource.h"
#include "storage/config_file.h"

CMeasure* g_pMeasureDlg = nullptr;
CResult* g_pResultDlg = nullptr;
int g_bResultShown = 0;

namespace {
constexpr const char* kViewClass = "QuelmaView";
constexpr COLORREF kBackground = RGB(1, 1, 1);
} // namespace

CQuelmaView::CQuelmaView() {
    m_MeasurePlacement.length = sizeof m_MeasurePlacement;
    m_ResultPlacement.length = sizeof m_ResultPlacement;
}

CQuelmaView::~CQuelmaView() { DeleteWorkingWindows(); }

bool CQuelmaView::CreateView(HWND frame) {
    return Create(kViewClass, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CLIENTEDGE, 0,
                  0, 0, 0, frame, reinterpret_cast<HMENU>(static_cast<INT_PTR>(0xE900)));
}

void CQuelmaView::OnInitialUpdate() { RunDeviceStartup(*this); }

bool CQuelmaView::HandlesCommand(int id) const {
    switch (id) {
    case ID_CMD_REGISTRATION:
    case ID_CMD_MEASURE:
    case ID_CMD_RESULT:
    case ID_CMD_SETTING:
    case ID_CMD_BACKUP:
    case ID_CMD_EXIT:
    case ID_CMD_DISP_RES:
        return true;
    }
    return false;
}

void CQuelmaView::OnCommand(int id) {
    switch (id) {
    case ID_CMD_REGISTRATION:
        RunRegistrationCommand(*this);
        break;
    case ID_CMD_MEASURE:
        RunMeasureCommand(*this);
        break;
    case ID_CMD_RESULT:
        RunResultCommand(*this);
        break;
    case ID_CMD_SETTING:
        RunSettingCommand(*this);
        break;
    case ID_CMD_BACKUP:
        RunBackupCommand(*this);
        break;
    case ID_CMD_EXIT:
        OnExit();
        break;
    case ID_CMD_DISP_RES:
        OnRecordStored(*this);
        break;
    }
}

void CQuelmaView::DeleteWorkingWindows() {
    m_MeasureDialog.reset();
    g_pMeasureDlg = nullptr;
    m_ResultDialog.reset();
    g_pResultDlg = nullptr;
}

void CQuelmaView::OnExit() {
    if (fw::MessageBox(hwnd(), "Exit this program ?", MB_YESNO | MB_ICONQUESTION) != IDNO)
        PostMessageA(GetParent(hwnd()), WM_CLOSE, 0, 0);
}

void CQuelmaView::OnEraseBackground(HDC dc) {
    RECT r;
    GetWindowRect(hwnd(), &r);
    fw::Brush brush(CreateSolidBrush(kBackground));
    fw::ScopedSelect select(dc, brush.Get());
    PatBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, PATCOPY);
}

void CQuelmaView::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd(), &ps);
    const std::string path = InstallPath("Resources\\quelmalogo.bmp");
    fw::Bitmap logo(path.empty() ? nullptr
                                 : static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(),
                                                                   IMAGE_BITMAP, 0, 0,
                                                                   LR_LOADFROMFILE |
                                                                       LR_CREATEDIBSECTION)));
    if (logo) {
        BITMAP info{};
        GetObjectA(logo.Get(), sizeof info, &info);
        RECT client;
        GetClientRect(hwnd(), &client);
        fw::MemoryDC memory(dc);
        fw::ScopedSelect select(memory.Get(), logo.Get());
        BitBlt(dc, (client.right - info.bmWidth) / 2, (client.bottom - info.bmHeight) / 2,
               info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd(), &ps);
}

LRESULT CQuelmaView::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        OnEraseBackground(reinterpret_cast<HDC>(wParam));
        return TRUE;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    }
    return Window::WndProc(msg, wParam, lParam);
}
