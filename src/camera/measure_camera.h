// What the Measure dialog does with its camera: start it over the photo control, resume
// the live picture after a measurement, and take the subject's photo.
#pragma once

#include "camera/vfw_processor.h"
#include "storage/records.h"

#include <windows.h>

// Initialize, then the live picture at the photo control's top-left corner plus 5 pixels,
// in the camera's own frame size. False when the camera did not start.
bool StartCamera(CVFWImageProcessor& camera, HWND dialog, HWND photoControl);

// The same placement without starting the camera again.
bool RestartPreview(CVFWImageProcessor& camera, HWND dialog, HWND photoControl);

// Saves the current frame as Photo\<PhotoFileName(record)> below the install folder, then
// plays Resources\Shutter when sounds are on, whether or not the photo was saved. True when
// the photo file was written.
bool TakePhoto(CVFWImageProcessor& camera, const MeasureRecord& record);
