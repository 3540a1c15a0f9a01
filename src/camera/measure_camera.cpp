#include "camera/measure_camera.h"

#include "camera/photo_paths.h"
#include "storage/config_file.h"

#include <mmsystem.h>

#include <cstdlib>

namespace {

constexpr int kPreviewInset = 5;

bool AttachOverControl(CVFWImageProcessor& camera, HWND dialog, HWND photoControl) {
    RECT rc{};
    if (!GetWindowRect(photoControl, &rc))
        return false;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rc), 2);
    // A top-down frame reports a negative height; the window wants its magnitude.
    camera.AttachPreview(dialog, rc.left + kPreviewInset, rc.top + kPreviewInset,
                         camera.m_bmi.biWidth, std::abs(camera.m_bmi.biHeight));
    return true;
}

} // namespace

bool StartCamera(CVFWImageProcessor& camera, HWND dialog, HWND photoControl) {
    if (!camera.Initialize())
        return false;
    AttachOverControl(camera, dialog, photoControl);
    return true;
}

bool RestartPreview(CVFWImageProcessor& camera, HWND dialog, HWND photoControl) {
    return AttachOverControl(camera, dialog, photoControl);
}

bool TakePhoto(CVFWImageProcessor& camera, const MeasureRecord& record) {
    const std::string photo = PhotoPath(g_szInstallDir, record);
    const bool saved = !photo.empty() && camera.SaveImage(photo.c_str());
    if (!g_Settings.UseSound)
        return saved;
    const std::string shutter = ShutterSoundPath(g_szInstallDir);
    if (!shutter.empty())
        sndPlaySoundA(shutter.c_str(), SND_ASYNC);
    return saved;
}
