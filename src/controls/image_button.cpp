#include "controls/image_button.h"

#include "controls/control_layout.h"
#include "controls/face_recolour.h"

#include <cstring>
#include <utility>

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kLightGrey = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);

HPEN SolidPen(COLORREF colour) {
    return CreatePen(PS_SOLID, 0, colour);
}

} // namespace

CImageButton::CImageButton()
    : black_(SolidPen(kBlack)), lightGrey_(SolidPen(kLightGrey)),
      beige_(SolidPen(controls::kClassicFace)), white_(SolidPen(kWhite)) {
}

void CImageButton::SetImage(int bitmapId, float imageFactor, float captionFactor, COLORREF colour,
                            const char* caption) {
    if (!picture_)
        picture_.Reset(controls::LoadResourceBitmap(bitmapId));
    SetLayout(imageFactor, captionFactor, colour, caption);
}

void CImageButton::SetImage(HBITMAP picture, float imageFactor, float captionFactor,
                            COLORREF colour, const char* caption) {
    fw::Bitmap owned(picture);
    if (!picture_)
        picture_ = std::move(owned);
    SetLayout(imageFactor, captionFactor, colour, caption);
}

void CImageButton::SetLayout(float imageFactor, float captionFactor, COLORREF colour,
                             const char* caption) {
    imageFactor_ = imageFactor;
    captionFactor_ = captionFactor;
    colour_ = colour;
    if (caption) {
        std::strncpy(caption_, caption, sizeof caption_ - 1);
        caption_[sizeof caption_ - 1] = '\0';
    }
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT& item) {
    if (!picture_)
        return;
    HDC dc = item.hDC;
    fw::SavedDCState saved(dc);
    // The picture itself keeps the new colour, so later draws find nothing left to change.
    controls::RecolourFace(picture_.Get(), GetSysColor(COLOR_BTNFACE));
    fw::MemoryDC memory(dc);
    if (!memory.Get())
        return;
    fw::ScopedSelect selected(memory.Get(), picture_.Get());
    const RECT& rc = item.rcItem;
    DrawPicture(dc, memory.Get(), rc.right - rc.left, rc.bottom - rc.top);
    DrawCaption(dc, rc);
    DrawBevel(dc, rc, (item.itemState & ODS_SELECTED) != 0);
    SetPixel(dc, rc.left, rc.top, kWhite);
    SetPixel(dc, rc.right - 1, rc.top, kWhite);
    SetPixel(dc, rc.right - 1, rc.bottom - 1, kWhite);
    SetPixel(dc, rc.left, rc.bottom - 1, kWhite);
}

void CImageButton::DrawPicture(HDC dc, HDC memory, int width, int height) const {
    BITMAP info{};
    if (!GetObjectA(picture_.Get(), sizeof info, &info))
        return;
    const controls::Span x = controls::FitSpan(width, info.bmWidth);
    const controls::Span y =
        controls::FitSpan(controls::ScaleLength(height, imageFactor_), info.bmHeight);
    BitBlt(dc, x.dest, y.dest, x.length, y.length, memory, x.source, y.source, SRCCOPY);
}

void CImageButton::DrawCaption(HDC dc, const RECT& rc) const {
    const int length = static_cast<int>(std::strlen(caption_));
    if (length == 0)
        return;
    SIZE extent{};
    GetTextExtentPoint32A(dc, caption_, length, &extent);
    const int x = (rc.right - extent.cx - rc.left) / 2;
    const int y = controls::ScaleLength(rc.bottom - rc.top, captionFactor_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colour_);
    TextOutA(dc, x, y, caption_, length);
}

void CImageButton::DrawBevel(HDC dc, const RECT& rc, bool pressed) const {
    auto pen = [this](controls::Shade shade) {
        switch (shade) {
        case controls::Shade::Black:
            return black_.Get();
        case controls::Shade::LightGrey:
            return lightGrey_.Get();
        case controls::Shade::Beige:
            return beige_.Get();
        default:
            return white_.Get();
        }
    };
    for (int ring = 1; ring <= 4; ++ring) {
        const controls::RingShades shades = controls::BevelRing(ring, pressed);
        const int inset = ring - 1;
        const int left = rc.left + inset;
        const int top = rc.top + inset;
        const int right = rc.right - 1 - inset;
        const int bottom = rc.bottom - 1 - inset;
        // Top-left half: from the bottom-left corner up and across to the top-right.
        SelectObject(dc, pen(shades.topLeft));
        MoveToEx(dc, left, bottom, nullptr);
        LineTo(dc, left, top);
        LineTo(dc, right, top);
        // Bottom-right half: down and back, so that both corners belong to it.
        SelectObject(dc, pen(shades.bottomRight));
        LineTo(dc, right, bottom);
        LineTo(dc, left - 1, bottom);
    }
}
