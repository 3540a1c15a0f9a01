// The main view's "Result" command and its record-stored notice.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "framework/message_box.h"
#include "results/result_dialog.h"
#include "storage/data_file.h"

#include <memory>

namespace {

void CreateResultDialog(CQuelmaView& view) {
    auto dialog = std::make_unique<CResult>(view.hwnd());
    CResult& result = *dialog;
    g_pResultDlg = &result;
    view.m_ResultDialog = std::move(dialog);
    if (!result.CreateModeless(view.hwnd())) {
        view.m_ResultDialog.reset();
        g_pResultDlg = nullptr;
        return;
    }
    ShowWindow(result.hwnd(), SW_SHOWNORMAL);
    UpdateWindow(result.hwnd());
    g_bResultShown = 1;
}

} // namespace

void RunResultCommand(CQuelmaView& view) {
    if (RecordTable.Count() == 0) {
        fw::MessageBox(view.hwnd(), "There is no data to display");
        return;
    }
    CResult* result = g_pResultDlg;
    if (!view.m_ResultDialog || !result || !result->hwnd()) {
        CreateResultDialog(view);
        return;
    }
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(result->hwnd(), &placement);
    if (g_bResultShown == 1) {
        view.m_ResultPlacement = placement;
        placement.showCmd = SW_HIDE;
        SetWindowPlacement(result->hwnd(), &placement);
        g_bResultShown = 0;
        return;
    }
    g_bResultShown = 1;
    placement = view.m_ResultPlacement;
    placement.length = sizeof placement;
    // Shown where and as it was; a placement never saved shows it normally.
    if (placement.showCmd == SW_HIDE)
        placement.showCmd = SW_SHOWNORMAL;
    SetWindowPlacement(result->hwnd(), &placement);
}

void OnRecordStored(CQuelmaView&) {
    if (g_pResultDlg)
        g_pResultDlg->AppendNewRecords();
}
