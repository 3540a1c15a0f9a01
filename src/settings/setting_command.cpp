// The main view's Setting command (32776): runs the Setting dialog and applies what its OK
// stored. A changed port or speed takes effect at the next program start.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "app/stored_files.h"
#include "camera/measure_camera.h"
#include "framework/message_box.h"
#include "measure/measure_command.h"
#include "measure/measure_dialog.h"
#include "members/card_reader.h"
#include "res/resource.h"
#include "settings/setting_command.h"
#include "settings/setting_dialog.h"
#include "settings/setting_values.h"
#include "storage/config_file.h"

#include <cstring>

namespace {

void StopCamera(CMeasure& measure) {
    measure.Camera().DetachPreview();
    ShowNoImage(measure);
}

// Run once g_Settings holds the new values: a camera that does not start takes no photos
// in this run, as at the Measure command; the file keeps the operator's choice.
void StartMeasureCamera(CMeasure& measure) {
    measure.PhotoControl().PhotoPath[0] = '\0';
    if (StartCamera(measure.Camera(), measure.hwnd(), measure.PhotoControl().hwnd()))
        return;
    g_Settings.UseWebCam = 0;
    ShowNoImage(measure);
}

} // namespace

void ApplySettings(const AppSettings& stored, HWND owner) {
    AppSettings work = stored;
    // Only the Registration dialog changes the member count.
    work.MemberCount = g_Settings.MemberCount;

    const SettingChange change =
        PlanSettingChange(g_Settings, work, g_pMeasureDlg != nullptr, g_hCardReader);
    if (change.camera == CameraChange::Stop)
        StopCamera(*g_pMeasureDlg);

    if (change.openCardReader) {
        g_hCardReader = OpenCardReader();
        if (g_hCardReader < 0)
            fw::MessageBox(owner, "Card reader open fail.");
    }

    // QUELMA.CFG got these values at the OK that stored them.
    g_Settings = work;
    if (change.camera == CameraChange::Start)
        StartMeasureCamera(*g_pMeasureDlg);
    if (g_pMeasureDlg)
        g_pMeasureDlg->ShowSettingTexts();
}

void RunSettingCommand(CQuelmaView& view) {
    CSetting dialog;
    dialog.RunModal(GetAncestor(view.hwnd(), GA_ROOT));
    if (dialog.SettingsSaved != 1)
        return;
    ApplySettings(dialog.WorkSettings, view.hwnd());
}
