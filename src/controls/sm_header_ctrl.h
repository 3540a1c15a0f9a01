// The column header of a report list that can show a small red arrow in one column to
// mark the sort column and its direction. A column that once had the arrow stays
// owner-drawn for good (without arrow after the arrow moved on).
#pragma once

#include "framework/control.h"
#include "framework/handles.h"

#include <windows.h>

class CSMHeaderCtrl : public fw::Control {
  public:
    // Puts the arrow on `column` (-1: nowhere), pointing up when `ascending`; returns the
    // column that had it before.
    int SetSortImage(int column, bool ascending);

    int ArrowColumn() const { return arrowColumn_; }
    bool ArrowUp() const { return arrowUp_; }

    // Draws one owner-drawn header item.
    void DrawItem(const DRAWITEMSTRUCT& item) override;

  private:
    void LoadArrows();
    void DrawArrow(HDC dc, int x, int y);

    fw::Bitmap upArrow_;   // bitmap 134, loaded on first use
    fw::Bitmap downArrow_; // bitmap 186, loaded on first use
    int arrowColumn_ = -1;
    bool arrowUp_ = false;
};
