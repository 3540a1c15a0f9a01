// The frame format a capture driver reports (40 header bytes of any content), then the
// sizes of a destination buffer and of a delivered frame: the layout must describe a buffer
// that every later copy stays inside, and the BMP header must agree with it.
#include "fuzz_support.h"

#include "camera/frame_format.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

using fuzz::Require;

uint32_t LE32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t Take64(const uint8_t* data, size_t size, size_t at) {
    uint64_t v = 0;
    if (size > at)
        std::memcpy(&v, data + at, std::min<size_t>(8, size - at));
    return v;
}

void CheckLayout(const DibHeader& f, const FrameLayout& layout) {
    if (!layout.Valid()) {
        Require(layout.headerSize == 0 && layout.colorBytes == 0 && layout.imageSize == 0,
                "an invalid layout is all zero");
        return;
    }
    Require(layout.headerSize >= kDibHeaderSize && layout.headerSize <= kMaxDibHeaderSize,
            "header size a driver uses");
    Require(layout.headerSize == (f.biSize ? f.biSize : kDibHeaderSize), "header size reported");
    Require(layout.colorBytes == 4ull * f.biClrUsed, "four bytes per colour entry");
    Require(layout.imageSize > 0, "a frame has image bytes");
    Require(static_cast<uint64_t>(layout.headerSize) + layout.colorBytes + layout.imageSize ==
                layout.total,
            "total is header, colours and image");
    Require(layout.total <= kMaxFrameBytes, "no frame beyond the limit");
    Require(f.biWidth >= 0, "no negative width");
    if (f.biSizeImage != 0) {
        Require(layout.imageSize == f.biSizeImage, "the driver's image size is kept");
        return;
    }
    // Computed sizes must be the real product, never a wrapped one.
    const uint64_t height =
        f.biHeight < 0 ? 0 - static_cast<int64_t>(f.biHeight) : static_cast<uint64_t>(f.biHeight);
    const uint64_t pixels = static_cast<uint64_t>(f.biWidth) * height; // below 2^62
    Require(f.biBitCount != 0 && pixels <= UINT64_MAX / f.biBitCount,
            "a computed size comes from a product that fits");
    Require(layout.imageSize == pixels * f.biBitCount / 8,
            "computed image size is width x height x bits / 8");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(DibHeader))
        return 0;
    DibHeader format;
    std::memcpy(&format, data, sizeof format);
    const FrameLayout layout = FrameLayoutOf(format);
    CheckLayout(format, layout);
    Require(IsCompressedFormat(format) == (format.biCompression >= 1 && format.biCompression <= 5),
            "compressed codes");
    if (!layout.Valid())
        return 0;

    const auto bmp = BmpFileHeader(layout);
    Require(bmp[0] == 'B' && bmp[1] == 'M', "BMP signature");
    Require(LE32(&bmp[2]) == layout.total + kBmpFileHeaderSize, "BMP file size");
    Require(LE32(&bmp[6]) == 0, "reserved words zero");
    Require(LE32(&bmp[10]) == kBmpFileHeaderSize + layout.ImageOffset(), "BMP image offset");

    // The grab buffer is layout.total bytes; a delivered frame lands after the colours.
    const size_t used = static_cast<size_t>(Take64(data, size, 40));
    const size_t destSize = static_cast<size_t>(Take64(data, size, 48));
    for (const size_t dest : {static_cast<size_t>(layout.total), destSize}) {
        const size_t n = FrameCopyBytes(layout, dest, used);
        Require(n <= used, "never more than was delivered");
        Require(n == 0 || layout.ImageOffset() + n <= dest, "the copy stays in the buffer");
    }
    return 0;
}
