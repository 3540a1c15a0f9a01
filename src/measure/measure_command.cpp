#include "measure/measure_command.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "camera/measure_camera.h"
#include "framework/busy_wait.h"
#include "measure/measure_dialog.h"
#include "measure/measure_ids.h"
#include "members/card_reader.h"
#include "res/resource.h"
#include "storage/config_file.h"

#include <cstring>
#include <memory>

namespace {

constexpr DWORD kCameraSettleMs = 1000;
constexpr const char* kNoImage = "Resources\\NO_image.bmp";

void CreateMeasureDialog(CQuelmaView& view) {
    const fw::WaitCursor wait;
    auto dialog = std::make_unique<CMeasure>(view.hwnd(), view.m_DisplayFont.Get());
    CMeasure& measure = *dialog;
    g_pMeasureDlg = &measure;
    view.m_MeasureDialog = std::move(dialog);
    if (!measure.CreateModeless(view.hwnd())) {
        view.m_MeasureDialog.reset();
        g_pMeasureDlg = nullptr;
        return;
    }
    ShowWindow(measure.hwnd(), SW_SHOWNORMAL);
    UpdateWindow(measure.hwnd());
    Sleep(kCameraSettleMs);
    if (g_Settings.UseWebCam) {
        measure.PhotoControl().PhotoPath[0] = '\0';
        g_Settings.UseWebCam =
            StartCamera(measure.Camera(), measure.hwnd(), measure.PhotoControl().hwnd()) ? 1 : 0;
    }
    if (!g_Settings.UseWebCam)
        ShowNoImage(measure);
    measure.m_bShown = 1;
}

} // namespace

void ShowNoImage(CMeasure& dialog) {
    CPhotoButton& photo = dialog.PhotoControl();
    const std::string path = InstallPath(kNoImage);
    // A path that does not fit leaves the control empty rather than cut short.
    std::memset(photo.PhotoPath, 0, sizeof photo.PhotoPath);
    if (path.size() < sizeof photo.PhotoPath)
        std::memcpy(photo.PhotoPath, path.c_str(), path.size());
    PostMessageA(photo.hwnd(), WM_COMMAND, ID_CMD_CP, 0);
}

void HideMeasureDialog(CQuelmaView& view) {
    CMeasure* measure = g_pMeasureDlg;
    if (!measure || !measure->hwnd() || measure->m_bShown != 1)
        return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(measure->hwnd(), &placement);
    view.m_MeasurePlacement = placement;
    placement.showCmd = SW_HIDE;
    SetWindowPlacement(measure->hwnd(), &placement);
    measure->m_bShown = 0;
    WriteUserPort(g_hCardReader, 0);
}

void RunMeasureCommand(CQuelmaView& view) {
    CMeasure* measure = g_pMeasureDlg;
    if (!view.m_MeasureDialog || !measure) {
        CreateMeasureDialog(view);
        return;
    }
    if (measure->m_bShown == 1) {
        HideMeasureDialog(view);
        return;
    }
    WINDOWPLACEMENT placement = view.m_MeasurePlacement;
    placement.length = sizeof placement;
    // Shown where and as it was; a placement never saved shows it normally.
    if (placement.showCmd == SW_HIDE)
        placement.showCmd = SW_SHOWNORMAL;
    measure->SetItemText(measure_ids::kIdEdit, "");
    measure->SetItemText(measure_ids::kNameEdit, "");
    measure->m_bShown = 1;
    SetWindowPlacement(measure->hwnd(), &placement);
}
