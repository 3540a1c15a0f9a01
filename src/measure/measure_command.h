// The main view's "Measure" command (32774): creates the Measure dialog on first use, then
// hides and shows it.
#pragma once

class CMeasure;
class CQuelmaView;

// Points the photo control at Resources\NO_image.bmp and has it redrawn: the camera is off
// or did not start.
void ShowNoImage(CMeasure& dialog);

// Hides a shown Measure dialog as the command does: the placement is saved in the view, the
// dialog hidden, m_bShown cleared and the card reader's outputs switched off. Nothing
// happens when there is no dialog or it is hidden already.
void HideMeasureDialog(CQuelmaView& view);
