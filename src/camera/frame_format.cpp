#include "camera/frame_format.h"

#include <algorithm>

namespace {

void PutLE32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint64_t ComputedImageSize(const DibHeader& f) {
    if (f.biWidth <= 0 || f.biHeight == 0)
        return 0;
    const uint64_t height =
        f.biHeight < 0 ? 0 - static_cast<int64_t>(f.biHeight) : static_cast<uint64_t>(f.biHeight);
    const uint64_t pixels = static_cast<uint64_t>(f.biWidth) * height; // below 2^62
    // A size past the frame limit is refused before the product can wrap around into a
    // small, plausible one.
    if (f.biBitCount != 0 && pixels > uint64_t{kMaxFrameBytes} * 8 / f.biBitCount)
        return uint64_t{kMaxFrameBytes} + 1;
    return pixels * f.biBitCount / 8;
}

} // namespace

FrameLayout FrameLayoutOf(const DibHeader& f) {
    const uint64_t header = f.biSize == 0 ? kDibHeaderSize : f.biSize;
    if (header < kDibHeaderSize || header > kMaxDibHeaderSize || f.biWidth < 0)
        return {};
    const uint64_t colors = 4ull * f.biClrUsed;
    const uint64_t image = f.biSizeImage != 0 ? f.biSizeImage : ComputedImageSize(f);
    const uint64_t total = header + colors + image;
    if (image == 0 || total > kMaxFrameBytes)
        return {};
    FrameLayout layout;
    layout.headerSize = static_cast<uint32_t>(header);
    layout.colorBytes = static_cast<uint32_t>(colors);
    layout.imageSize = static_cast<uint32_t>(image);
    layout.total = static_cast<uint32_t>(total);
    return layout;
}

bool IsCompressedFormat(const DibHeader& f) {
    return f.biCompression >= 1 && f.biCompression <= 5;
}

std::array<uint8_t, kBmpFileHeaderSize> BmpFileHeader(const FrameLayout& layout) {
    std::array<uint8_t, kBmpFileHeaderSize> h{};
    h[0] = 'B';
    h[1] = 'M';
    PutLE32(&h[2], layout.total + kBmpFileHeaderSize);
    PutLE32(&h[10], kBmpFileHeaderSize + layout.ImageOffset());
    return h;
}

size_t FrameCopyBytes(const FrameLayout& layout, size_t destSize, size_t bytesUsed) {
    const size_t offset = layout.ImageOffset();
    if (destSize <= offset)
        return 0;
    return std::min(bytesUsed, destSize - offset);
}
