#include "controls/control_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>

using namespace controls;

TEST(ControlsFitSpan, CentresWhatFitsAndCropsWhatDoesNotEquallyOnBothEnds) {
    const Span narrower = FitSpan(100, 64);
    EXPECT_EQ(narrower.dest, 18);
    EXPECT_EQ(narrower.source, 0);
    EXPECT_EQ(narrower.length, 64);

    const Span exact = FitSpan(64, 64);
    EXPECT_EQ(exact.dest, 0);
    EXPECT_EQ(exact.length, 64);

    const Span wider = FitSpan(40, 64);
    EXPECT_EQ(wider.dest, 0);
    EXPECT_EQ(wider.source, 12);
    EXPECT_EQ(wider.length, 40);
    EXPECT_EQ(wider.source, 64 - wider.source - wider.length) << "cut equally on both ends";

    // An odd surplus cannot be halved: the copied part keeps one pixel more than the area.
    const Span odd = FitSpan(41, 64);
    EXPECT_EQ(odd.source, 11);
    EXPECT_EQ(odd.length, 42);

    // An odd room leaves the extra pixel after the picture.
    EXPECT_EQ(FitSpan(65, 64).dest, 0);
}

TEST(ControlsFitSpan, CentredOffsetTruncatesTowardsZero) {
    EXPECT_EQ(CentredOffset(330, 320), 5);
    EXPECT_EQ(CentredOffset(250, 240), 5);
    EXPECT_EQ(CentredOffset(331, 320), 5);
    EXPECT_EQ(CentredOffset(320, 331), -5); // a larger picture starts left of the area
    EXPECT_EQ(CentredOffset(0, 0), 0);
}

TEST(ControlsFitSpan, ScaledLengthIsTruncated) {
    EXPECT_EQ(ScaleLength(50, 0.6f), 30);
    EXPECT_EQ(ScaleLength(49, 0.6f), 29); // 29.4
    EXPECT_EQ(ScaleLength(48, 1.0f), 48);
    EXPECT_EQ(ScaleLength(48, 0.0f), 0);
}

TEST(ControlsHeaderLayout, MarginsArrowPlaceAndPressedShift) {
    const Rect item{100, 0, 200, 21};
    const HeaderItemLayout plain = LayoutHeaderItem(item, 3, false, false, 12);
    EXPECT_EQ(plain.text.left, 106);
    EXPECT_EQ(plain.text.right, 194);
    EXPECT_EQ(plain.text.top, 0);
    EXPECT_TRUE(plain.drawText);

    const HeaderItemLayout arrow = LayoutHeaderItem(item, 3, false, true, 12);
    EXPECT_EQ(arrow.text.right, 182) << "three margins kept free for the arrow";
    EXPECT_EQ(arrow.arrowX, 188);
    EXPECT_EQ(arrow.arrowY, 4) << "(21 - 12) / 2";

    const HeaderItemLayout pressed = LayoutHeaderItem(item, 3, true, true, 12);
    EXPECT_EQ(pressed.text.left, 107);
    EXPECT_EQ(pressed.text.right, 183);
    EXPECT_EQ(pressed.text.top, 2);
    EXPECT_EQ(pressed.text.bottom, 21);
    EXPECT_EQ(pressed.arrowX, 188) << "the arrow stays where the unpressed item has it";
    EXPECT_EQ(pressed.arrowY, 4);
}

TEST(ControlsHeaderLayout, NarrowColumnsShowNoText) {
    // Four blanks wide: nothing left between the margins.
    EXPECT_FALSE(LayoutHeaderItem({0, 0, 12, 20}, 3, false, false, 12).drawText);
    EXPECT_TRUE(LayoutHeaderItem({0, 0, 13, 20}, 3, false, false, 12).drawText);
    // The arrow column keeps one margin on the left and three on the right: eight blanks.
    EXPECT_FALSE(LayoutHeaderItem({0, 0, 24, 20}, 3, false, true, 12).drawText);
    EXPECT_TRUE(LayoutHeaderItem({0, 0, 25, 20}, 3, false, true, 12).drawText);
    // An item lower than the arrow puts it above the top edge rather than misplacing it.
    EXPECT_EQ(LayoutHeaderItem({0, 0, 50, 9}, 3, false, true, 12).arrowY, -1);
}

TEST(ControlsRecolour, OnlyTheExactFaceColourChanges) {
    const std::uint32_t face = DibPixel(kFaceRed, kFaceGreen, kFaceBlue);
    const std::uint32_t target = DibPixel(10, 20, 30);
    std::uint32_t pixels[] = {
        face,
        DibPixel(236, 233, 217), // near colours stay
        DibPixel(237, 233, 216),
        DibPixel(236, 232, 216),
        0xFF000000u | face,      // the unused top byte does not matter
        DibPixel(216, 233, 236), // the same bytes in the other order stay
    };
    EXPECT_EQ(RecolourPixels(pixels, std::size(pixels), face, target), 2u);
    EXPECT_EQ(pixels[0], target);
    EXPECT_EQ(pixels[1], DibPixel(236, 233, 217));
    EXPECT_EQ(pixels[2], DibPixel(237, 233, 216));
    EXPECT_EQ(pixels[3], DibPixel(236, 232, 216));
    EXPECT_EQ(pixels[4], target);
    EXPECT_EQ(pixels[5], DibPixel(216, 233, 236));
    EXPECT_EQ(DibPixel(0x12, 0x34, 0x56), 0x123456u);
}

TEST(ControlsJoinPath, RefusesWhatWouldNotFitAndLeavesTheBufferAlone) {
    char dest[16];
    std::strcpy(dest, "untouched");
    EXPECT_TRUE(JoinPath(dest, sizeof dest, "C:\\Q\\", "abc.bmp"));
    EXPECT_STREQ(dest, "C:\\Q\\abc.bmp");

    const std::string dir(10, 'd');
    EXPECT_TRUE(JoinPath(dest, sizeof dest, dir.c_str(), "12345")) << "15 bytes and the zero";
    EXPECT_EQ(std::string(dest), dir + "12345");

    std::strcpy(dest, "untouched");
    EXPECT_FALSE(JoinPath(dest, sizeof dest, dir.c_str(), "123456"));
    EXPECT_STREQ(dest, "untouched");
    EXPECT_FALSE(JoinPath(dest, sizeof dest, std::string(40, 'x').c_str(), ""));
    EXPECT_STREQ(dest, "untouched");
}
