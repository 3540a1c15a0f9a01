// The stand-in camera's picture: colour bars, a band that moves with every frame and the
// frame number in large digits, delivered in the format the configuration asks for.
#pragma once

#include <cstdint>
#include <vector>

enum class PixelFormat { Rgb24, Rgb24NoSize, Pal8, Rle8 };

struct PictureFormat {
    PixelFormat pixels = PixelFormat::Rgb24;
    int width = 320;
    int height = 240;
};

// Bytes per DIB row: rows of a device-independent bitmap end on a 4-byte boundary.
int DibStride(int width, int bitsPerPixel);

// The reported image size (biSizeImage): 0 for Rgb24NoSize, the worst case for Rle8.
uint32_t ReportedImageSize(const PictureFormat& format);
int BitsPerPixel(const PictureFormat& format);

// The 256 colours of the palettised formats: 3 bits red, 3 green, 2 blue.
std::vector<uint8_t> Palette332(); // 1024 bytes, blue-green-red-zero

struct Picture {
    std::vector<uint8_t> display; // 24-bit bottom-up DIB rows, for painting the window
    std::vector<uint8_t> data;    // the frame as the driver hands it to the program
};

Picture MakePicture(const PictureFormat& format, uint32_t frameNumber, int driverIndex);
