#include "camera/photo_button.h"

#include "controls/control_layout.h"
#include "framework/handles.h"
#include "res/resource.h"
#include "storage/config_file.h"

#include <cstring>

namespace {
constexpr const char* kPlaceholder = "Resources\\person.bmp";

HBITMAP LoadBitmapFile(const char* path) {
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}
} // namespace

HBITMAP CPhotoButton::LoadPicture() {
    PhotoPath[sizeof PhotoPath - 1] = '\0'; // the owner writes the field directly
    if (PhotoPath[0] == '\0')
        return nullptr;
    if (HBITMAP picture = LoadBitmapFile(PhotoPath))
        return picture;
    // An install folder too long for the placeholder's path leaves the control blank.
    char placeholder[sizeof PhotoPath];
    if (!controls::JoinPath(placeholder, sizeof placeholder, g_szInstallDir, kPlaceholder))
        return nullptr;
    std::memcpy(PhotoPath, placeholder, sizeof PhotoPath);
    return LoadBitmapFile(PhotoPath);
}

void CPhotoButton::DrawItem(const DRAWITEMSTRUCT& item) {
    fw::Bitmap picture(LoadPicture());
    if (!picture)
        return;
    HDC dc = item.hDC;
    fw::SavedDCState saved(dc);
    fw::MemoryDC memory(dc);
    BITMAP info{};
    if (!memory.Get() || !GetObjectA(picture.Get(), sizeof info, &info))
        return;
    fw::ScopedSelect selected(memory.Get(), picture.Get());
    const RECT& rc = item.rcItem;
    const int x = controls::CentredOffset(rc.right - rc.left, info.bmWidth);
    const int y = controls::CentredOffset(rc.bottom - rc.top, info.bmHeight);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory.Get(), 0, 0, SRCCOPY);
}

LRESULT CPhotoButton::SubclassProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == ID_CMD_CP) {
        InvalidateRect(hwnd(), nullptr, TRUE);
        return 0;
    }
    return fw::Control::SubclassProc(msg, wParam, lParam);
}
