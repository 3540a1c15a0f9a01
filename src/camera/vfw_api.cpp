#include "camera/vfw_api.h"

namespace vfw {

const AviCap& AviCapLibrary() {
    // Never freed: a capture window created by the library may outlive any one object,
    // and its window procedure must stay mapped until the process ends.
    static const AviCap lib = [] {
        AviCap found;
        const HMODULE module = LoadLibraryA("avicap32.dll");
        if (!module)
            return found;
        found.createCaptureWindow = reinterpret_cast<CreateCaptureWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "capCreateCaptureWindowA")));
        found.getDriverDescription = reinterpret_cast<GetDriverDescriptionFn>(
            reinterpret_cast<void*>(GetProcAddress(module, "capGetDriverDescriptionA")));
        return found;
    }();
    return lib;
}

} // namespace vfw
