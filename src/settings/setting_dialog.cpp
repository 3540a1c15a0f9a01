#include "settings/setting_dialog.h"

#include "framework/message_box.h"
#include "res/resource.h"
#include "app/stored_files.h"
#include "settings/dialog_init.h"
#include "settings/setting_values.h"
#include "settings/settings_ids.h"
#include "storage/config_file.h"
#include "storage/registry.h"

namespace {

using namespace setting_ids;

constexpr int kThresholdChars = 9;

} // namespace

CSetting::CSetting() : fw::Dialog(IDD_SETTING) {
}

BOOL CSetting::OnInitDialog() {
    LoadDialogInitData(hwnd(), IDD_SETTING);

    m_OkButton.Attach(hwnd(), IDOK);
    m_ExitButton.Attach(hwnd(), IDCANCEL);
    m_OkButton.SetImage(IDB_REGISTER, 1.0f, 0.0f, RGB(0, 0, 0), nullptr);
    m_ExitButton.SetImage(IDB_EXIT, 1.0f, 0.0f, RGB(0, 0, 0), nullptr);

    SettingsSaved = 0;
    WorkSettings = g_Settings;

    SendDlgItemMessageA(hwnd(), kModeCombo, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageA(hwnd(), kPortCombo, CB_SETCURSEL, static_cast<WPARAM>(WorkSettings.Port),
                        0);
    SendDlgItemMessageA(hwnd(), kSpeedCombo, CB_SETCURSEL, static_cast<WPARAM>(WorkSettings.Speed),
                        0);
    SetItemText(kLowEdit, ThresholdText(WorkSettings.Low).c_str());
    SetItemText(kHiEdit, ThresholdText(WorkSettings.Hi).c_str());
    SetChecked(kWebCamCheck, WorkSettings.UseWebCam != 0);
    SetChecked(kIdCardCheck, WorkSettings.UseIdCard != 0);
    SetChecked(kSoundCheck, WorkSettings.UseSound != 0);
    return TRUE;
}

void CSetting::OnOK() {
    SettingForm form;
    form.portSelection =
        static_cast<int>(SendDlgItemMessageA(hwnd(), kPortCombo, CB_GETCURSEL, 0, 0));
    form.speedSelection =
        static_cast<int>(SendDlgItemMessageA(hwnd(), kSpeedCombo, CB_GETCURSEL, 0, 0));
    form.low = ItemText(kLowEdit, kThresholdChars);
    form.hi = ItemText(kHiEdit, kThresholdChars);
    form.useWebCam = IsChecked(kWebCamCheck);
    form.useIdCard = IsChecked(kIdCardCheck);
    form.useSound = IsChecked(kSoundCheck);
    StoreSettingForm(form, WorkSettings);
    SettingsSaved = 1;
    // Written now, so that the message says what the file holds; the program applies the
    // values when the dialog closes.
    SaveSettingsAndSay(hwnd(), WorkSettings);
}

bool CSetting::OnCommand(int id, int code, HWND) {
    if (id != kPortSearchButton || code != BN_CLICKED)
        return false;
    OnPortSearch();
    return true;
}

int CSetting::SearchPort(int* port) {
    return SearchComPort(port);
}

void CSetting::OnPortSearch() {
    int port = WorkSettings.Port;
    // A bridge on a port the list does not offer cannot be chosen here.
    if (!SearchPort(&port) || port < 0 || port >= kPortCount) {
        fw::MessageBox(hwnd(), "Port serach fail");
        return;
    }
    WorkSettings.Port = port;
    SendDlgItemMessageA(hwnd(), kPortCombo, CB_SETCURSEL, static_cast<WPARAM>(port), 0);
    fw::MessageBox(hwnd(), "Port serach O.K");
}
