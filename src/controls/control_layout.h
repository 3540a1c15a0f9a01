// Placement arithmetic of the owner-drawn controls, kept free of Windows headers so it is
// tested natively. Divisions by 2 truncate towards zero, as the drawing expects.
#pragma once

#include <cstddef>
#include <cstdint>

namespace controls {

// The button face the pictures are painted on; this exact colour is recoloured.
constexpr std::uint8_t kFaceRed = 236;
constexpr std::uint8_t kFaceGreen = 233;
constexpr std::uint8_t kFaceBlue = 216;

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One axis of a picture copy: where it lands, where the copied part starts in the
// picture and how long it is.
struct Span {
    int dest = 0;
    int source = 0;
    int length = 0;
};

// A picture of `size` pixels centred in `area` when it fits, else cropped equally on both
// ends and drawn from 0.
Span FitSpan(int area, int size);

// Where `size` starts when centred in `area`; negative when it does not fit.
int CentredOffset(int area, int size);

// length x factor, truncated.
int ScaleLength(int length, float factor);

enum class Shade { Black, LightGrey, Beige, White };

struct RingShades {
    Shade topLeft;
    Shade bottomRight;
};

// The shades of bevel ring 1 (outermost) to 4 of an image button.
RingShades BevelRing(int ring, bool pressed);

// One owner-drawn header item.
struct HeaderItemLayout {
    Rect text;     // where the caption goes
    bool drawText; // false when the margins leave no room
    int arrowX;    // arrow bitmap position (arrow column only)
    int arrowY;
};

// `item` is the item rectangle, `blankWidth` the width of " " in the item's font, and
// `arrowHeight` the arrow bitmap's height.
HeaderItemLayout LayoutHeaderItem(const Rect& item, int blankWidth, bool pressed, bool arrowColumn,
                                  int arrowHeight);

// A 32-bit device-independent pixel (blue in the low byte).
constexpr std::uint32_t DibPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

// Replaces every pixel whose colour is exactly `from` (the unused top byte ignored) with
// `to`; returns how many were replaced.
std::size_t RecolourPixels(std::uint32_t* pixels, std::size_t count, std::uint32_t from,
                           std::uint32_t to);

// dir + rel into dest; false (dest left untouched) when the result and its terminating
// zero would not fit `destSize` bytes.
bool JoinPath(char* dest, std::size_t destSize, const char* dir, const char* rel);

} // namespace controls
