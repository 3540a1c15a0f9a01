#include "camera/photo_paths.h"

#include "storage/data_file.h"

namespace {

constexpr size_t kWindowsMaxPath = 260;

} // namespace

std::string JoinCameraPath(const char* dir, const std::string& rel) {
    std::string path = std::string(dir ? dir : "") + rel;
    if (path.size() + 1 > kCameraPathBuffer)
        return {};
    return path;
}

std::string PhotoPath(const char* installDir, const MeasureRecord& record) {
    return JoinCameraPath(installDir, "Photo\\" + PhotoFileName(record));
}

std::string ShutterSoundPath(const char* installDir) {
    return JoinCameraPath(installDir, "Resources\\Shutter");
}

std::string ScratchPhotoPath(const std::string& path) {
    if (path.empty())
        return {};
    std::string scratch = path + ".tmp";
    if (scratch.size() + 1 > kWindowsMaxPath)
        return {};
    return scratch;
}
