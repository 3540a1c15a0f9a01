#include "camera_config.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

bool Env(const char* name, std::string& value) {
    char buffer[1024];
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer)
        return false;
    value.assign(buffer, n);
    return true;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ','))
        if (!part.empty())
            parts.push_back(part);
    return parts;
}

} // namespace

const DriverSlot* CameraConfig::Driver(int index) const {
    for (const DriverSlot& slot : drivers)
        if (slot.index == index)
            return &slot;
    return nullptr;
}

CameraConfig ReadCameraConfig() {
    CameraConfig cfg;
    std::string value;
    if (Env("QUELMA_CAM_DRIVERS", value)) {
        cfg.drivers.clear();
        for (const std::string& part : Split(value)) {
            char* end = nullptr;
            const long index = std::strtol(part.c_str(), &end, 10);
            if (end == part.c_str() || index < 0 || index > 99)
                continue;
            cfg.drivers.push_back({static_cast<int>(index), *end != 'x'});
        }
    }
    if (Env("QUELMA_CAM_FORMAT", value)) {
        if (value == "rgb24-nosize")
            cfg.format.pixels = PixelFormat::Rgb24NoSize;
        else if (value == "pal8")
            cfg.format.pixels = PixelFormat::Pal8;
        else if (value == "rle8")
            cfg.format.pixels = PixelFormat::Rle8;
    }
    if (Env("QUELMA_CAM_SIZE", value)) {
        int w = 0, h = 0;
        if (std::sscanf(value.c_str(), "%dx%d", &w, &h) == 2 && w >= 1 && w <= 2048 && h >= 1 &&
            h <= 2048) {
            cfg.format.width = w;
            cfg.format.height = h;
        }
    }
    if (Env("QUELMA_CAM_FAULT", value)) {
        for (const std::string& fault : Split(value)) {
            cfg.noFrames |= fault == "nograb";
            cfg.grabFails |= fault == "grabfail";
            cfg.noWindow |= fault == "nowindow";
        }
    }
    Env("QUELMA_CAM_LOG", cfg.logPath);
    return cfg;
}

void LogLine(const std::string& path, const std::string& line) {
    if (path.empty())
        return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}
