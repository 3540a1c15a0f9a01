// What the stand-in camera plays, read from the environment each time a capture window is
// created or a driver is described (so an in-process test can change it between steps).
//   QUELMA_CAM_DRIVERS  driver indices, comma-separated; "x" after an index: described but
//                       refuses to connect ("1,3", "0x,2"); "none": no driver. Default "0".
//   QUELMA_CAM_FORMAT   rgb24 (default), rgb24-nosize, pal8, rle8
//   QUELMA_CAM_SIZE     WIDTHxHEIGHT, 1..2048 each; default 320x240
//   QUELMA_CAM_FAULT    comma-separated: nograb, grabfail, nowindow
//   QUELMA_CAM_LOG      file to which every call and capture message is appended
#pragma once

#include "test_picture.h"

#include <string>
#include <vector>

struct DriverSlot {
    int index;
    bool connects;
};

struct CameraConfig {
    std::vector<DriverSlot> drivers{{0, true}};
    PictureFormat format;
    bool noFrames = false;  // grabs are accepted but no frame ever reaches the program
    bool grabFails = false; // the grab message fails
    bool noWindow = false;  // no capture window can be created
    std::string logPath;

    const DriverSlot* Driver(int index) const;
};

CameraConfig ReadCameraConfig();

// One line appended to QUELMA_CAM_LOG, when it is set.
void LogLine(const std::string& path, const std::string& line);
