// The main view's Setting command (32776): runs the Setting dialog and applies what its OK
// stored. A changed port or speed takes effect at the next program start.
#include "app/app_state.h"
#include "app/commands.h"
#include "app/quelma_view.h"
#include "app/stored_files.h"
#include "camera/measure_camera.h"
#include "framework/message_box.h"
#include "measure/measure_dialog.h"
#include "members/card_reader.h"
#include "res/resource.h"
#include "settings/setting_command.h"
#include "settings/setting_dialog.h"
#include "settings/setting_values.h"
#include "storage/config_file.h"

#include <cstring>

namespace {

constexpr const char* kNoImage = "Resources\\NO_image.bmp";

void StopCamera(CMeasure& measure) {
    measure.Camera().DetachPreview();
    CPhotoButton& photo = measure.PhotoControl();
    const std::string path = InstallPath(kNoImage);
    // A path that does not fit leaves the control empty rather than cut short.
    std::memset(photo.PhotoPath, 0, sizeof photo.PhotoPath);
    if (path.size() < sizeof photo.PhotoPath)
        std::memcpy(photo.PhotoPath, path.c_str(), path.size());
    PostMessageA(photo.hwnd(), WM_COMMAND, ID_CMD_CP, 0);
}

void StartMeasureCamera(CMeasure& measure) {
    measure.PhotoControl().PhotoPath[0] = '\0';
    g_Settings.UseWebCam =
        StartCamera(measure.Camera(), measure.hwnd(), measure.PhotoControl().hwnd()) ? 1 : 0;
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
    else if (change.camera == CameraChange::Start)
        StartMeasureCamera(*g_pMeasureDlg);

    if (change.openCardReader) {
        g_hCardReader = OpenCardReader();
        if (g_hCardReader < 0)
            fw::MessageBox(owner, "Card reader open fail.");
    }

    g_Settings = work;
    SaveSettingsOrSay(owner);
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
