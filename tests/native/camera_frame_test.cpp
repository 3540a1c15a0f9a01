#include "camera/frame_format.h"
#include "camera/photo_paths.h"
#include "storage/records.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

DibHeader Format(int32_t width, int32_t height, uint16_t bits, uint32_t sizeImage,
                 uint32_t clrUsed = 0) {
    DibHeader f{};
    f.biSize = 40;
    f.biWidth = width;
    f.biHeight = height;
    f.biPlanes = 1;
    f.biBitCount = bits;
    f.biSizeImage = sizeImage;
    f.biClrUsed = clrUsed;
    return f;
}

uint32_t LE32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

TEST(CameraFrameLayout, DriverSizesAndComputedSizes) {
    // 320 x 240 x 24 as the driver reports it.
    const FrameLayout rgb = FrameLayoutOf(Format(320, 240, 24, 230400));
    EXPECT_EQ(rgb.headerSize, 40u);
    EXPECT_EQ(rgb.ImageOffset(), 40u);
    EXPECT_EQ(rgb.total, 230440u);

    // No biSizeImage: width x height x bits / 8, rows not rounded to 4 bytes.
    EXPECT_EQ(FrameLayoutOf(Format(101, 3, 24, 0)).imageSize, 909u);
    // The division truncates: 7 x 1 x 1 bit = 0.875 bytes -> 0, which leaves no image.
    EXPECT_EQ(FrameLayoutOf(Format(15, 1, 4, 0)).imageSize, 7u);
    EXPECT_FALSE(FrameLayoutOf(Format(7, 1, 1, 0)).Valid());

    // A driver that leaves biSize 0 still has a 40-byte header.
    DibHeader noSize = Format(320, 240, 24, 230400);
    noSize.biSize = 0;
    EXPECT_EQ(FrameLayoutOf(noSize).total, 230440u);

    // A top-down frame (negative height) is as large as a bottom-up one.
    EXPECT_EQ(FrameLayoutOf(Format(320, -240, 24, 0)).imageSize, 230400u);

    // Palettised: room for the colour entries between header and image.
    const FrameLayout pal = FrameLayoutOf(Format(320, 240, 8, 0, 256));
    EXPECT_EQ(pal.colorBytes, 1024u);
    EXPECT_EQ(pal.ImageOffset(), 1064u);
    EXPECT_EQ(pal.total, 40u + 1024u + 76800u);
}

TEST(CameraFrameLayout, AbsurdFormatsAreRefused) {
    EXPECT_FALSE(FrameLayoutOf(DibHeader{}).Valid()) << "all-zero format of no driver";
    EXPECT_FALSE(FrameLayoutOf(Format(-320, 240, 24, 0)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(0, 240, 24, 0)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(320, 0, 24, 0)).Valid());
    // Sizes that would overflow 32-bit arithmetic or exhaust memory.
    EXPECT_FALSE(FrameLayoutOf(Format(0x7fffffff, 0x7fffffff, 32, 0)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(320, -2147483647 - 1, 32, 0)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(320, 240, 24, 0xffffffffu)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(320, 240, 24, 230400, 0x40000000u)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(320, 240, 24, 230400, 0xffffffffu)).Valid());
    // Header sizes no driver uses.
    DibHeader small = Format(320, 240, 24, 230400);
    small.biSize = 12;
    EXPECT_FALSE(FrameLayoutOf(small).Valid());
    DibHeader huge = Format(320, 240, 24, 230400);
    huge.biSize = 0x80000000u;
    EXPECT_FALSE(FrameLayoutOf(huge).Valid());
    // The largest frame still accepted sits exactly at the limit.
    EXPECT_TRUE(FrameLayoutOf(Format(1, 1, 8, kMaxFrameBytes - 40)).Valid());
    EXPECT_FALSE(FrameLayoutOf(Format(1, 1, 8, kMaxFrameBytes - 39)).Valid());
}

TEST(CameraBmpHeader, FileSizeAndImageOffset) {
    const auto rgb = BmpFileHeader(FrameLayoutOf(Format(320, 240, 24, 230400)));
    EXPECT_EQ(rgb[0], 'B');
    EXPECT_EQ(rgb[1], 'M');
    EXPECT_EQ(LE32(&rgb[2]), 230454u);
    EXPECT_EQ(LE32(&rgb[6]), 0u) << "both reserved words";
    EXPECT_EQ(LE32(&rgb[10]), 54u);

    const auto pal = BmpFileHeader(FrameLayoutOf(Format(320, 240, 8, 76800, 256)));
    EXPECT_EQ(LE32(&pal[2]), 14u + 40u + 1024u + 76800u);
    EXPECT_EQ(LE32(&pal[10]), 54u + 1024u);

    // Bytes, not host order: 0x00038446 = 230470 (16 colours).
    const auto bytes = BmpFileHeader(FrameLayoutOf(Format(320, 240, 24, 230400, 4)));
    EXPECT_EQ(bytes[2], 0x46);
    EXPECT_EQ(bytes[3], 0x84);
    EXPECT_EQ(bytes[4], 0x03);
    EXPECT_EQ(bytes[5], 0x00);
}

TEST(CameraBmpHeader, CompressionCodesThatWarn) {
    DibHeader f = Format(320, 240, 24, 230400);
    for (uint32_t code : {0u, 6u, 0x47504a4du /* "MJPG" */}) {
        f.biCompression = code;
        EXPECT_FALSE(IsCompressedFormat(f)) << code;
    }
    for (uint32_t code = 1; code <= 5; ++code) {
        f.biCompression = code;
        EXPECT_TRUE(IsCompressedFormat(f)) << code;
    }
}

TEST(CameraFrameCopy, NeverPastTheDestination) {
    const FrameLayout pal = FrameLayoutOf(Format(16, 16, 8, 256, 256));
    // Exactly sized destination: the whole image fits.
    EXPECT_EQ(FrameCopyBytes(pal, pal.total, 256), 256u);
    // A driver delivering more than it announced is cut at the destination's end.
    EXPECT_EQ(FrameCopyBytes(pal, pal.total, 100000), 256u);
    EXPECT_EQ(FrameCopyBytes(pal, pal.total, 10), 10u);
    // Destinations too small for header and colours get nothing, not a wrapped size.
    EXPECT_EQ(FrameCopyBytes(pal, 40 + 1024, 256), 0u);
    EXPECT_EQ(FrameCopyBytes(pal, 40, 256), 0u);
    EXPECT_EQ(FrameCopyBytes(pal, 0, 256), 0u);
}

TEST(CameraPaths, PhotoAndShutterPathsFitTheirBuffers) {
    MeasureRecord record{};
    SetField(record.Name, "Kim");
    record.Time = 0;
    const std::string photo = PhotoPath("C:\\Quelma\\", record);
    ASSERT_FALSE(photo.empty());
    EXPECT_EQ(photo.rfind("C:\\Quelma\\Photo\\Kim_", 0), 0u) << photo;
    EXPECT_EQ(photo.substr(photo.size() - 4), ".bmp");
    EXPECT_EQ(ShutterSoundPath("C:\\Quelma\\"), "C:\\Quelma\\Resources\\Shutter");

    // 255 characters fit a 256-byte buffer, 256 do not.
    const std::string rel = "Resources\\Shutter";
    const std::string fits(255 - rel.size(), 'd');
    EXPECT_EQ(ShutterSoundPath(fits.c_str()).size(), 255u);
    EXPECT_EQ(ShutterSoundPath((fits + "d").c_str()), "");

    const std::string longDir(240, 'd');
    EXPECT_EQ(PhotoPath(longDir.c_str(), record), "");

    EXPECT_EQ(JoinCameraPath(nullptr, "x"), "x");
}

TEST(CameraPaths, ScratchNameStaysInTheSameFolder) {
    EXPECT_EQ(ScratchPhotoPath("C:\\Q\\Photo\\a.bmp"), "C:\\Q\\Photo\\a.bmp.tmp");
    EXPECT_EQ(ScratchPhotoPath(""), "");
    EXPECT_EQ(ScratchPhotoPath(std::string(255, 'p')).size(), 259u);
    EXPECT_EQ(ScratchPhotoPath(std::string(256, 'p')), "");
}

} // namespace
