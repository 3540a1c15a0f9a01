#include "storage/records.h"

namespace {
const char* Pick(const char* const* table, int count, int code) {
    return code >= 0 && code < count ? table[code] : "";
}
} // namespace

const char* ModeText(int mode) {
    static const char* const kNames[] = {"Fast", "Normal"};
    return Pick(kNames, 2, mode);
}

const char* ClassText(int level) {
    static const char* const kNames[] = {"0", "Low", "Hi"};
    return Pick(kNames, 3, level);
}

const char* UnitText(int unit) {
    static const char* const kNames[] = {"%BAC", "mg/l", "g/l"};
    return Pick(kNames, 3, unit);
}
