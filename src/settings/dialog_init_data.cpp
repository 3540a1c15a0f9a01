#include "settings/dialog_init_data.h"

namespace {

uint32_t Little(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

} // namespace

bool ParseDialogInitData(const uint8_t* data, size_t size, std::vector<DialogInitItem>& items) {
    size_t at = 0;
    while (at + 2 <= size) {
        const uint32_t control = Little(data + at, 2);
        if (control == 0)
            return true;
        if (at + 8 > size)
            return false;
        const uint32_t message = Little(data + at + 2, 2);
        const uint32_t length = Little(data + at + 4, 4);
        at += 8;
        if (length > size - at)
            return false;
        DialogInitItem item;
        item.controlId = static_cast<int>(control);
        item.message = static_cast<int>(message);
        // The text ends at its zero byte, and never later than its record.
        size_t n = 0;
        while (n < length && data[at + n] != 0)
            ++n;
        item.text.assign(reinterpret_cast<const char*>(data + at), n);
        items.push_back(item);
        at += length;
    }
    // Data without its closing zero id: the records read so far are whole.
    return at == size;
}
