#include "settings/setting_values.h"

#include <cstdio>
#include <cstdlib>

namespace {

constexpr size_t kThresholdChars = 9;

} // namespace

std::string ThresholdText(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(value));
    return text;
}

float ParseThreshold(const std::string& text) {
    const std::string head = text.substr(0, kThresholdChars);
    return static_cast<float>(std::strtod(head.c_str(), nullptr));
}

int ChosenIndex(int selected, int previous, int count) {
    if (selected >= 0 && selected < count)
        return selected;
    if (previous >= 0 && previous < count)
        return previous;
    return 0;
}

void StoreSettingForm(const SettingForm& form, AppSettings& work) {
    work.Mode = kModeNormal;
    work.Port = ChosenIndex(form.portSelection, work.Port, kStorablePortCount);
    work.Speed = ChosenIndex(form.speedSelection, work.Speed, kSpeedCount);
    work.Low = ParseThreshold(form.low);
    work.Hi = ParseThreshold(form.hi);
    work.UseWebCam = form.useWebCam ? 1 : 0;
    work.UseIdCard = form.useIdCard ? 1 : 0;
    work.UseSound = form.useSound ? 1 : 0;
}

SettingChange PlanSettingChange(const AppSettings& current, const AppSettings& work,
                                bool measureDialogExists, int cardReaderHandle) {
    SettingChange change;
    if (measureDialogExists && work.UseWebCam != current.UseWebCam)
        change.camera = work.UseWebCam ? CameraChange::Start : CameraChange::Stop;
    change.openCardReader =
        work.UseIdCard != 0 && work.UseIdCard != current.UseIdCard && cardReaderHandle < 0;
    return change;
}
