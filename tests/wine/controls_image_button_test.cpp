#include "controls/face_recolour.h"
#include "controls/image_button.h"
#include "controls/text_button.h"
#include "res/resource.h"
#include "controls_canvas.h"

#include <gtest/gtest.h>

#include <string>

using namespace controls_test;

namespace {

// Every column (or row) of the test pictures has its own colour, so a pixel tells which
// picture column it came from.
COLORREF ColumnColour(int x) {
    return RGB(x, 50, 100);
}
COLORREF RowColour(int y) {
    return RGB(100, y, 50);
}

// The inside of a button of w x h, clear of the four bevel rings.
struct Inside {
    int left, top, right, bottom;
};
Inside InsideOf(const Canvas& c) {
    return {4, 4, c.width() - 4, c.height() - 4};
}

} // namespace

TEST(ControlsImageButton, WiderPictureIsCroppedEquallyAndCentredVertically) {
    CImageButton button;
    button.SetImage(MakeBitmap(80, 20, [](int x, int) { return ColumnColour(x); }), 1.0f, 0.0f,
                    kBlack, nullptr);
    Canvas canvas(60, 100);
    button.DrawItem(canvas.Item());
    // 80 columns into 60: 10 cut on each side; rows land at (100 - 20) / 2.
    const Inside in = InsideOf(canvas);
    for (int x = in.left; x < in.right; ++x)
        ASSERT_EQ(canvas.At(x, 50), ColumnColour(x + 10)) << "x " << x;
    EXPECT_EQ(canvas.At(30, 39), kSentinel);
    EXPECT_EQ(canvas.At(30, 40), ColumnColour(40));
    EXPECT_EQ(canvas.At(30, 59), ColumnColour(40));
    EXPECT_EQ(canvas.At(30, 60), kSentinel);
}

TEST(ControlsImageButton, TallerPictureIsCroppedEquallyAndCentredHorizontally) {
    CImageButton button;
    button.SetImage(MakeBitmap(20, 80, [](int, int y) { return RowColour(y); }), 1.0f, 0.0f, kBlack,
                    nullptr);
    Canvas canvas(100, 60);
    button.DrawItem(canvas.Item());
    const Inside in = InsideOf(canvas);
    for (int y = in.top; y < in.bottom; ++y)
        ASSERT_EQ(canvas.At(50, y), RowColour(y + 10)) << "y " << y;
    EXPECT_EQ(canvas.At(39, 30), kSentinel);
    EXPECT_EQ(canvas.At(40, 30), RowColour(40));
    EXPECT_EQ(canvas.At(59, 30), RowColour(40));
    EXPECT_EQ(canvas.At(60, 30), kSentinel);
}

TEST(ControlsImageButton, ImageFactorSetsTheBandThePictureIsCentredIn) {
    CImageButton button;
    button.SetImage(MakeBitmap(20, 20, [](int, int y) { return RowColour(y); }), 0.6f, 0.0f, kBlack,
                    nullptr);
    Canvas canvas(40, 100);
    button.DrawItem(canvas.Item());
    // Band of 60 rows: the picture starts at (60 - 20) / 2.
    EXPECT_EQ(canvas.At(20, 19), kSentinel);
    EXPECT_EQ(canvas.At(20, 20), RowColour(0));
    EXPECT_EQ(canvas.At(20, 39), RowColour(19));
    EXPECT_EQ(canvas.At(20, 40), kSentinel);
}

TEST(ControlsImageButton, BevelRingsRaisedAndPressedAndWhiteCorners) {
    struct Expect {
        int ring;
        COLORREF topLeft, bottomRight;
    };
    const Expect raised[] = {
        {1, kBlack, kBlack}, {2, kBeige, kGrey}, {3, kBeige, kGrey}, {4, kBeige, kBeige}};
    const Expect pressed[] = {
        {1, kBlack, kBlack}, {2, kBlack, kBlack}, {3, kWhite, kGrey}, {4, kWhite, kGrey}};
    for (bool down : {false, true}) {
        CImageButton button;
        button.SetImage(IDB_EXIT, 1.0f, 0.0f, kBlack, "");
        Canvas canvas(90, 70);
        button.DrawItem(canvas.Item(down ? ODS_SELECTED : 0));
        const int w = canvas.width(), h = canvas.height();
        for (const Expect& e : down ? pressed : raised) {
            SCOPED_TRACE(std::string(down ? "pressed" : "raised") + " ring " +
                         std::to_string(e.ring));
            const int i = e.ring - 1;
            EXPECT_EQ(canvas.At(i, h / 2), e.topLeft);             // left
            EXPECT_EQ(canvas.At(w / 2, i), e.topLeft);             // top
            EXPECT_EQ(canvas.At(w - 1 - i, h / 2), e.bottomRight); // right
            EXPECT_EQ(canvas.At(w / 2, h - 1 - i), e.bottomRight); // bottom
        }
        EXPECT_EQ(canvas.At(0, 0), kWhite);
        EXPECT_EQ(canvas.At(w - 1, 0), kWhite);
        EXPECT_EQ(canvas.At(w - 1, h - 1), kWhite);
        EXPECT_EQ(canvas.At(0, h - 1), kWhite);
        // Only the four outer corners are whitened; ring 2 keeps its own corners.
        EXPECT_NE(canvas.At(1, 1), kWhite);
    }
}

TEST(ControlsImageButton, WithoutPictureNothingIsDrawnNotEvenTheBevel) {
    CImageButton button;
    button.SetImage(0x7FFF, 1.0f, 0.5f, kBlack, "caption"); // no such bitmap
    EXPECT_FALSE(button.HasPicture());
    Canvas canvas(60, 40);
    button.DrawItem(canvas.Item(ODS_SELECTED));
    EXPECT_EQ(canvas.Count(kSentinel), 60 * 40);
}

TEST(ControlsImageButton, ASecondSetImageKeepsThePictureButTakesTheLayout) {
    CImageButton button;
    button.SetImage(MakeBitmap(10, 10, [](int, int) { return RGB(9, 9, 9); }), 1.0f, 0.0f, kBlack,
                    "first");
    button.SetImage(MakeBitmap(10, 10, [](int, int) { return RGB(7, 7, 7); }), 1.0f, 0.0f, kBlack,
                    "second");
    button.SetImage(IDB_EXIT, 1.0f, 0.0f, kBlack, nullptr);
    EXPECT_STREQ(button.Caption(), "second");
    Canvas canvas(30, 30);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.At(15, 15), RGB(9, 9, 9));
}

TEST(ControlsImageButton, CaptionIsCentredAtItsFactorInItsColour) {
    const COLORREF red = RGB(250, 0, 0);
    CImageButton button;
    button.SetImage(MakeBitmap(4, 4, [](int, int) { return RGB(9, 9, 9); }), 0.2f, 0.5f, red,
                    "WWWW");
    Canvas canvas(120, 80);
    button.DrawItem(canvas.Item());
    SIZE extent{};
    GetTextExtentPoint32A(canvas.dc(), "WWWW", 4, &extent);
    const int x = (120 - extent.cx) / 2;
    EXPECT_GT(canvas.Count(red), 0);
    EXPECT_EQ(canvas.Count(red, 0, 0, 120, 40), 0) << "nothing above 0.5 x height";
    EXPECT_EQ(canvas.Count(red, 0, 40, x, 80), 0) << "nothing left of the centred text";
    EXPECT_EQ(canvas.Count(red, x + extent.cx, 40, 120, 80), 0);
    // Transparent background: the area around the glyphs keeps what was there.
    EXPECT_GT(canvas.Count(kSentinel, x, 40, x + extent.cx, 40 + extent.cy), 0);
    // A caption overlong for the field is cut, never copied past it.
    const std::string longCaption(400, 'x');
    button.SetImage(IDB_EXIT, 1.0f, 0.5f, red, longCaption.c_str());
    EXPECT_EQ(std::string(button.Caption()), std::string(255, 'x'));
}

TEST(ControlsRecolourFace, OnlyExactBeigeTakesTheFaceColour) {
    const COLORREF face = RGB(90, 140, 200);
    const COLORREF near1 = RGB(236, 233, 217);
    const COLORREF near2 = RGB(235, 233, 216);
    fw::Bitmap picture(MakeBitmap(3, 2, [&](int x, int y) {
        const COLORREF row0[] = {kBeige, near1, near2};
        const COLORREF row1[] = {RGB(216, 233, 236), kBeige, kBlack};
        return y == 0 ? row0[x] : row1[x];
    }));
    ASSERT_TRUE(controls::RecolourFace(picture.Get(), face));
    fw::MemoryDC memory(nullptr);
    fw::ScopedSelect selected(memory.Get(), picture.Get());
    EXPECT_EQ(GetPixel(memory.Get(), 0, 0), face);
    EXPECT_EQ(GetPixel(memory.Get(), 1, 0), near1);
    EXPECT_EQ(GetPixel(memory.Get(), 2, 0), near2);
    EXPECT_EQ(GetPixel(memory.Get(), 0, 1), RGB(216, 233, 236));
    EXPECT_EQ(GetPixel(memory.Get(), 1, 1), face);
    EXPECT_EQ(GetPixel(memory.Get(), 2, 1), kBlack);
}

TEST(ControlsRecolourFace, ClassicFaceLeavesThePictureUnchanged) {
    fw::Bitmap picture(MakeBitmap(2, 1, [](int x, int) { return x ? kBlack : kBeige; }));
    ASSERT_TRUE(controls::RecolourFace(picture.Get(), kBeige));
    fw::MemoryDC memory(nullptr);
    fw::ScopedSelect selected(memory.Get(), picture.Get());
    EXPECT_EQ(GetPixel(memory.Get(), 0, 0), kBeige);
    EXPECT_EQ(GetPixel(memory.Get(), 1, 0), kBlack);
    EXPECT_FALSE(controls::RecolourFace(nullptr, RGB(1, 1, 1)));
}

// Through the system colour: the button reads COLOR_BTNFACE at each draw.
TEST(ControlsRecolourFace, ButtonFollowsTheSystemFaceColour) {
    const COLORREF face = RGB(90, 140, 200);
    controls_test::ScopedFaceColour scoped(face);
    if (!controls_test::ScopedFaceColour::Works(face))
        GTEST_SKIP() << "SetSysColors has no effect here";
    CImageButton button;
    button.SetImage(
        MakeBitmap(20, 20, [](int x, int) { return x < 10 ? kBeige : RGB(236, 233, 215); }), 1.0f,
        0.0f, kBlack, nullptr);
    Canvas canvas(40, 40);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.At(15, 20), face);
    EXPECT_EQ(canvas.At(25, 20), RGB(236, 233, 215));
    // The bevel keeps its fixed beige pen.
    EXPECT_EQ(canvas.At(1, 20), kBeige);
}

TEST(ControlsTextButton, EmptyCaptionShowsOnlyTheFrame) {
    CTextButton button;
    Canvas canvas(50, 30);
    button.DrawItem(canvas.Item());
    const int frame = 2 * 50 + 2 * 28;
    EXPECT_EQ(canvas.Count(kBlack), frame);
    EXPECT_EQ(canvas.Count(kBlack, 1, 1, 49, 29), 0);
    EXPECT_EQ(canvas.At(0, 0), kBlack);
    EXPECT_EQ(canvas.At(49, 29), kBlack);
}

TEST(ControlsTextButton, CaptionIsCentredInFontAndColourWithTransparentBackground) {
    const COLORREF blue = RGB(0, 0, 250);
    fw::Font font(CreateFontA(-24, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0,
                              NONANTIALIASED_QUALITY, 0, "Arial"));
    CTextButton button;
    button.font = font.Get();
    button.colour = blue;
    button.SetText("Ready");
    Canvas canvas(200, 60);
    button.DrawItem(canvas.Item());

    SIZE extent{};
    {
        fw::ScopedSelect selected(canvas.dc(), font.Get());
        GetTextExtentPoint32A(canvas.dc(), "Ready", 5, &extent);
    }
    EXPECT_GT(extent.cy, 20) << "the caption's own font was used for measuring";
    const int x = (200 - extent.cx) / 2;
    const int y = (60 - extent.cy) / 2;
    EXPECT_GT(canvas.Count(blue), 0);
    EXPECT_EQ(canvas.Count(blue, 0, 0, x, 60), 0);
    EXPECT_EQ(canvas.Count(blue, x + extent.cx, 0, 200, 60), 0);
    EXPECT_EQ(canvas.Count(blue, 0, 0, 200, y), 0);
    EXPECT_EQ(canvas.Count(blue, 0, y + extent.cy, 200, 60), 0);
    EXPECT_GT(canvas.Count(kSentinel, x, y, x + extent.cx, y + extent.cy), 0);
    // The font selection does not outlive the drawing.
    EXPECT_NE(GetCurrentObject(canvas.dc(), OBJ_FONT), font.Get());

    std::string overlong(300, 'y');
    button.SetText(overlong.c_str());
    EXPECT_EQ(std::string(button.caption), std::string(255, 'y'));
    button.SetText(nullptr);
    EXPECT_STREQ(button.caption, "");
}
