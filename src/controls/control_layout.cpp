#include "controls/control_layout.h"

#include <cstring>

namespace controls {

Span FitSpan(int area, int size) {
    if (area >= size)
        return {(area - size) / 2, 0, size};
    int cut = (size - area) / 2;
    return {0, cut, size - 2 * cut};
}

int CentredOffset(int area, int size) {
    return (area - size) / 2;
}

int ScaleLength(int length, float factor) {
    return static_cast<int>(static_cast<float>(length) * factor);
}

RingShades BevelRing(int ring, bool pressed) {
    if (pressed) {
        switch (ring) {
        case 1:
        case 2:
            return {Shade::Black, Shade::Black};
        default:
            return {Shade::White, Shade::LightGrey};
        }
    }
    switch (ring) {
    case 1:
        return {Shade::Black, Shade::Black};
    case 2:
    case 3:
        return {Shade::Beige, Shade::LightGrey};
    default:
        return {Shade::Beige, Shade::Beige};
    }
}

HeaderItemLayout LayoutHeaderItem(const Rect& item, int blankWidth, bool pressed, bool arrowColumn,
                                  int arrowHeight) {
    const int margin = 2 * blankWidth;
    HeaderItemLayout layout{};
    Rect shifted = item;
    if (pressed) {
        shifted.left += 1;
        shifted.right += 1;
        shifted.top += 2;
    }
    layout.text = shifted;
    layout.text.left = shifted.left + margin;
    layout.text.right = shifted.right - (arrowColumn ? 3 * margin : margin);
    layout.drawText = layout.text.left < layout.text.right;
    layout.arrowX = item.right - 2 * margin;
    layout.arrowY = ((item.bottom - item.top) - arrowHeight) / 2;
    return layout;
}

std::size_t RecolourPixels(std::uint32_t* pixels, std::size_t count, std::uint32_t from,
                           std::uint32_t to) {
    std::size_t replaced = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if ((pixels[i] & 0xFFFFFFu) == (from & 0xFFFFFFu)) {
            pixels[i] = to;
            ++replaced;
        }
    }
    return replaced;
}

bool JoinPath(char* dest, std::size_t destSize, const char* dir, const char* rel) {
    const std::size_t dirLength = std::strlen(dir);
    const std::size_t relLength = std::strlen(rel);
    if (dirLength + relLength >= destSize)
        return false;
    std::memcpy(dest, dir, dirLength);
    std::memcpy(dest + dirLength, rel, relLength + 1);
    return true;
}

} // namespace controls
