// Sizes and headers of grabbed camera frames: a packed device-independent bitmap (header,
// room for the colour entries, image bytes) and the 14-byte BMP file header in front of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 40 bytes of a Windows BITMAPINFOHEADER, as the capture driver reports them.
struct DibHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(DibHeader) == 40);

constexpr uint32_t kDibHeaderSize = 40;
constexpr uint32_t kBmpFileHeaderSize = 14;
// No camera delivers frames anywhere near this; a format that claims more is damaged.
constexpr uint32_t kMaxFrameBytes = 256u * 1024 * 1024;
// Header sizes a driver may report: the 40-byte header up to the largest known variant.
constexpr uint32_t kMaxDibHeaderSize = 124;

// The layout of one frame buffer; all zero when the format cannot be used.
struct FrameLayout {
    uint32_t headerSize = 0; // biSize, or 40 when the driver leaves it 0
    uint32_t colorBytes = 0; // 4 x biClrUsed
    uint32_t imageSize = 0;  // biSizeImage, or width x height x bits / 8 when it is 0
    uint32_t total = 0;

    uint32_t ImageOffset() const { return headerSize + colorBytes; }
    bool Valid() const { return total != 0; }
};

// Rows are not rounded up to 4 bytes when the image size is computed: that is what the
// drivers' own biSizeImage means for the formats in use. A negative height (a top-down
// frame) counts by its magnitude. Absurd formats (negative width, a header size no driver
// uses, no image bytes, or more than kMaxFrameBytes) give an invalid layout.
FrameLayout FrameLayoutOf(const DibHeader& format);

// Compression codes 1..5: run-length, bit-field, JPEG and PNG frames, which are stored
// unchanged but cannot be shown by every viewer.
bool IsCompressedFormat(const DibHeader& format);

// "BM", file size, two reserved words, offset of the image bytes; little-endian.
std::array<uint8_t, kBmpFileHeaderSize> BmpFileHeader(const FrameLayout& layout);

// How many of a delivered frame's bytes fit after the colour entries of a destination of
// `destSize` bytes.
size_t FrameCopyBytes(const FrameLayout& layout, size_t destSize, size_t bytesUsed);
