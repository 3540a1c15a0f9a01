#include "test_picture.h"

#include <algorithm>
#include <cstddef>

namespace {

// 3 x 5 digit glyphs, one row per 3 bits, top row first.
constexpr uint16_t kDigits[10] = {
    0b111'101'101'101'111, 0b010'110'010'010'111, 0b111'001'111'100'111, 0b111'001'111'001'111,
    0b101'101'111'001'001, 0b111'100'111'001'111, 0b111'100'111'101'111, 0b111'001'001'001'001,
    0b111'101'111'101'111, 0b111'101'111'001'111,
};

struct Rgb {
    uint8_t r, g, b;
};

constexpr Rgb kBars[8] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                          {235, 16, 235},  {235, 16, 16},  {16, 16, 235},  {16, 16, 16}};

class Canvas {
  public:
    Canvas(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h) {}
    void Fill(int x, int y, int w, int h, Rgb c) {
        for (int yy = std::max(0, y); yy < std::min(h_, y + h); ++yy)
            for (int xx = std::max(0, x); xx < std::min(w_, x + w); ++xx)
                px_[static_cast<size_t>(yy) * w_ + xx] = c;
    }
    void Number(int x, int y, int scale, uint32_t n, Rgb c) {
        char text[12];
        int len = 0;
        do {
            text[len++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n);
        for (int i = 0; i < len; ++i) {
            const uint16_t glyph = kDigits[text[len - 1 - i] - '0'];
            for (int row = 0; row < 5; ++row)
                for (int col = 0; col < 3; ++col)
                    if (glyph & (1u << (14 - row * 3 - col)))
                        Fill(x + (i * 4 + col) * scale, y + row * scale, scale, scale, c);
        }
    }
    // Top-down pixel access.
    Rgb At(int x, int y) const { return px_[static_cast<size_t>(y) * w_ + x]; }

  private:
    int w_, h_;
    std::vector<Rgb> px_;
};

uint8_t Index332(Rgb c) {
    return static_cast<uint8_t>((c.r & 0xe0) | ((c.g & 0xe0) >> 3) | (c.b >> 6));
}

std::vector<uint8_t> Pack24(const Canvas& canvas, int w, int h) {
    const int stride = DibStride(w, 24);
    std::vector<uint8_t> out(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = &out[static_cast<size_t>(h - 1 - y) * stride];
        for (int x = 0; x < w; ++x) {
            const Rgb c = canvas.At(x, y);
            row[x * 3] = c.b;
            row[x * 3 + 1] = c.g;
            row[x * 3 + 2] = c.r;
        }
    }
    return out;
}

std::vector<uint8_t> Pack8(const Canvas& canvas, int w, int h) {
    const int stride = DibStride(w, 8);
    std::vector<uint8_t> out(static_cast<size_t>(stride) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            out[static_cast<size_t>(h - 1 - y) * stride + x] = Index332(canvas.At(x, y));
    return out;
}

// Encoded runs only: (count, index) pairs, end of line after each row, end of bitmap.
std::vector<uint8_t> EncodeRle8(const Canvas& canvas, int w, int h) {
    std::vector<uint8_t> out;
    for (int y = h - 1; y >= 0; --y) {
        int x = 0;
        while (x < w) {
            const uint8_t index = Index332(canvas.At(x, y));
            int run = 1;
            while (x + run < w && run < 255 && Index332(canvas.At(x + run, y)) == index)
                ++run;
            out.push_back(static_cast<uint8_t>(run));
            out.push_back(index);
            x += run;
        }
        out.push_back(0);
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(1);
    return out;
}

} // namespace

int DibStride(int width, int bitsPerPixel) {
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

int BitsPerPixel(const PictureFormat& format) {
    return format.pixels == PixelFormat::Rgb24 || format.pixels == PixelFormat::Rgb24NoSize ? 24
                                                                                            : 8;
}

uint32_t ReportedImageSize(const PictureFormat& f) {
    switch (f.pixels) {
    case PixelFormat::Rgb24NoSize:
        return 0;
    case PixelFormat::Rle8:
        return static_cast<uint32_t>(f.height) * (2u * f.width + 2) + 2;
    default:
        return static_cast<uint32_t>(DibStride(f.width, BitsPerPixel(f))) * f.height;
    }
}

std::vector<uint8_t> Palette332() {
    std::vector<uint8_t> out(1024);
    for (int i = 0; i < 256; ++i) {
        out[i * 4] = static_cast<uint8_t>((i & 0x03) * 255 / 3);
        out[i * 4 + 1] = static_cast<uint8_t>(((i >> 2) & 0x07) * 255 / 7);
        out[i * 4 + 2] = static_cast<uint8_t>(((i >> 5) & 0x07) * 255 / 7);
    }
    return out;
}

Picture MakePicture(const PictureFormat& f, uint32_t frameNumber, int driverIndex) {
    const int w = f.width, h = f.height;
    Canvas canvas(w, h);
    const int barWidth = std::max(1, w / 8);
    for (int i = 0; i < 8; ++i)
        canvas.Fill(i * barWidth, 0, i == 7 ? w - i * barWidth : barWidth, h, kBars[i]);
    // A band that sweeps across, so a frozen picture is plain to see.
    const int band = std::max(2, w / 32);
    canvas.Fill(static_cast<int>((frameNumber * 4u) % static_cast<uint32_t>(w)), 0, band, h,
                {255, 128, 0});
    const int scale = std::max(1, h / 48);
    canvas.Fill(0, 0, 25 * scale, 7 * scale, {0, 0, 0}); // room for six digits
    canvas.Number(scale, scale, scale, frameNumber, {255, 255, 255});
    canvas.Fill(0, h - 7 * scale, 5 * 4 * scale, 7 * scale, {0, 0, 0});
    canvas.Number(scale, h - 6 * scale, scale, static_cast<uint32_t>(driverIndex), {255, 255, 0});

    Picture picture;
    picture.display = Pack24(canvas, w, h);
    switch (f.pixels) {
    case PixelFormat::Pal8:
        picture.data = Pack8(canvas, w, h);
        break;
    case PixelFormat::Rle8:
        picture.data = EncodeRle8(canvas, w, h);
        break;
    default:
        picture.data = picture.display;
        break;
    }
    return picture;
}
