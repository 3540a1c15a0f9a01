// Paths of the camera's files below the install folder. They are built in 256-byte
// buffers, so anything that would not fit is refused rather than cut short.
#pragma once

#include "storage/records.h"

#include <cstddef>
#include <string>

constexpr size_t kCameraPathBuffer = 256;

// dir + rel, or "" when the result needs more than kCameraPathBuffer bytes with its
// terminating zero.
std::string JoinCameraPath(const char* dir, const std::string& rel);

// dir + "Photo\" + PhotoFileName(record), or "" when it does not fit.
std::string PhotoPath(const char* installDir, const MeasureRecord& record);

// dir + "Resources\Shutter", or "" when it does not fit.
std::string ShutterSoundPath(const char* installDir);

// A scratch name beside `path` in the same folder, so the finished file can be renamed
// into place; "" when the name would not fit a 260-byte Windows path.
std::string ScratchPhotoPath(const std::string& path);
