// Owner-drawn push button showing a picture from the resources, an optional caption and a
// four-pixel bevel that sinks while the button is pressed. Pictures are painted on the
// classic beige face RGB(236,233,216); that exact colour is repainted in the system's
// button face colour so the pictures blend into any colour scheme.
#pragma once

#include "framework/control.h"
#include "framework/handles.h"

#include <windows.h>

class CImageButton : public fw::Control {
  public:
    CImageButton();

    // Loads bitmap resource `bitmapId` unless the button already has a picture (a second
    // call keeps the first picture), then stores the layout: the picture is fitted into a
    // band from the top of `imageFactor` x the height, the caption's top edge lies at
    // `captionFactor` x the height. A null caption keeps the current one.
    void SetImage(int bitmapId, float imageFactor, float captionFactor, COLORREF colour,
                  const char* caption);
    // The same with a picture that does not come from the resources; the button takes
    // ownership (it is deleted when the button already has a picture).
    void SetImage(HBITMAP picture, float imageFactor, float captionFactor, COLORREF colour,
                  const char* caption);

    bool HasPicture() const { return static_cast<bool>(picture_); }
    const char* Caption() const { return caption_; }

    void DrawItem(const DRAWITEMSTRUCT& item) override;

  private:
    void SetLayout(float imageFactor, float captionFactor, COLORREF colour, const char* caption);
    void DrawPicture(HDC dc, HDC memory, int width, int height) const;
    void DrawCaption(HDC dc, const RECT& rc) const;
    void DrawBevel(HDC dc, const RECT& rc, bool pressed) const;

    fw::Bitmap picture_;
    char caption_[256] = {};
    COLORREF colour_ = RGB(0, 0, 255);
    float captionFactor_ = 0.6f;
    float imageFactor_ = 0.6f;
    fw::Pen black_;
    fw::Pen lightGrey_;
    fw::Pen beige_;
    fw::Pen white_;
};
