#include "app/main_frame.h"

#include "analyzer/measure_state.h"
#include "app/quelma_view.h"
#include "app/stored_files.h"
#include "framework/app.h"
#include "framework/busy_wait.h"
#include "framework/message_box.h"
#include "controls/tc_toolbar.h"
#include "res/resource.h"

#include <commctrl.h>

namespace {

constexpr const char* kWaitForMeasurement = "A measurement is under way: its result is not "
                                            "stored yet.\r\nWait for it ?  (No: exit without it)";

} // namespace

CMainFrame::CMainFrame() = default;
CMainFrame::~CMainFrame() = default;

bool CMainFrame::CreateMainFrame() {
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    return CreateFrame(kClassName, fw::LoadStringResource(IDS_APP_TITLE),
                       // Maximised when shown: a window created with WS_MAXIMIZE already
                       // counts as maximised and would keep its default size.
                       WS_OVERLAPPEDWINDOW, icon);
}

bool CMainFrame::OnCreate() {
    if (!CreateToolBar(IDR_MAINFRAME, IDR_MAINFRAME, CCS_ADJUSTABLE | TBSTYLE_WRAPABLE))
        return false;
    if (SetTrueColorImageList(ToolBar(), TB_SETIMAGELIST, IDB_TOOLBAR_NORMAL))
        LoadTrueColorImages(ToolBar());
    SendMessageA(ToolBar(), TB_AUTOSIZE, 0, 0);
    if (!CreateStatusBar())
        return false;
    SetMenu(hwnd(), nullptr);

    view_ = std::make_unique<CQuelmaView>();
    if (!view_->CreateView(hwnd()))
        return false;
    SetView(view_.get());
    UpdateCommandStates();
    return true;
}

void CMainFrame::InitialUpdate() {
    view_->OnInitialUpdate();
}

bool CMainFrame::IsCommandEnabled(int id) const {
    return view_ && view_->HandlesCommand(id);
}

void CMainFrame::OnCommand(int id) {
    if (view_)
        view_->OnCommand(id);
}

LRESULT CMainFrame::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE:
        return OnCreate() ? 0 : -1;
    case WM_CLOSE:
        // A step that holds the windows (the spreadsheet export) ends first; it still
        // reaches the Result window.
        if (fw::InputBlock::PutOffClose(hwnd()))
            return 0;
        // The analyzer's lines keep coming while the question is up: the result may be
        // stored before the answer.
        if (g_bMeasurementInFlight && fw::AskYesNo(hwnd(), kWaitForMeasurement))
            return 0;
        // Exit, the close box, a backup and the new year all end here: measurements whose
        // write failed get their last chance first.
        WriteUnsavedRecordsBeforeExit(hwnd());
        // Deleting the modeless dialogs first destroys their windows (and stops the camera)
        // while the frame still exists.
        if (view_)
            view_->DeleteWorkingWindows();
        DestroyWindow(hwnd());
        return 0;
    case WM_QUERYENDSESSION:
        // Logoff or shutdown: the process may end without WM_CLOSE.
        WriteUnsavedRecordsBeforeExit(hwnd());
        return TRUE;
    case WM_ENDSESSION:
        // The operator has answered at WM_QUERYENDSESSION; one silent try is all that is left.
        if (wParam)
            WriteUnsavedRecords();
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    case WM_DROPFILES:
        // The document holds no data: a dropped file has nothing to open.
        DragFinish(reinterpret_cast<HDROP>(wParam));
        return 0;
    }
    return FrameWindow::WndProc(msg, wParam, lParam);
}
