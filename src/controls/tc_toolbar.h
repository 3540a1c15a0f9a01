// The main toolbar's true-colour pictures: image lists of 96 x 96 images built from 24-bit
// strips, light grey RGB(192,192,192) transparent, replacing the resource's 16-colour strip.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Hands the toolbar a new image list for `message` (TB_SETIMAGELIST, TB_SETHOTIMAGELIST or
// TB_SETDISABLEDIMAGELIST) built from the bitmap resource; the toolbar keeps the list for
// the rest of the run. Always 1.
int SetTrueColorImageList(HWND toolBar, UINT message, int bitmapId);
// The hot and the disabled lists (bitmaps 131 and 132).
int LoadTrueColorImages(HWND toolBar);
// Adds the bitmap resource's strip, cut into images of the list's width; 0 when the
// bitmap cannot be loaded.
int AddBitmap(HIMAGELIST list, int bitmapId);
