#include "measure/free_space.h"

#include <limits>

bool ParseFreeBytes(const char* text, uint64_t* bytes) {
    if (!text || !*text || !bytes)
        return false;
    uint64_t value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    *bytes = value;
    return true;
}
