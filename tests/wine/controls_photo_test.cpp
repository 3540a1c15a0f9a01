#include "camera/photo_button.h"
#include "framework/window.h"
#include "res/resource.h"
#include "storage/config_file.h"
#include "wine/install_world.h"
#include "controls_canvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace controls_test;

namespace {

constexpr COLORREF kPhoto = RGB(200, 40, 40);
constexpr COLORREF kOther = RGB(40, 200, 40);
constexpr COLORREF kPlaceholder = RGB(40, 40, 200);

// The install world with Resources\person.bmp.
class ControlsPhoto : public wine_harness::InstallWorldTest {
  protected:
    void SetUp() override {
        InstallWorldTest::SetUp();
        dir_ = folder_.string() + "\\";
        ASSERT_TRUE(WriteSolidBmp(Placeholder(), 100, 80, kPlaceholder));
    }
    std::string Placeholder() const { return dir_ + "Resources\\person.bmp"; }
    std::string Photo() const { return dir_ + "photo.bmp"; }
    static void SetPath(CPhotoButton& button, const std::string& path) {
        std::strncpy(button.PhotoPath, path.c_str(), sizeof button.PhotoPath - 1);
    }

    std::string dir_; // with a backslash
};

// Remembers what each draw left in the middle of the control.
class RecordingPhoto : public CPhotoButton {
  public:
    void DrawItem(const DRAWITEMSTRUCT& item) override {
        CPhotoButton::DrawItem(item);
        ++draws;
        centre = GetPixel(item.hDC, (item.rcItem.right - item.rcItem.left) / 2,
                          (item.rcItem.bottom - item.rcItem.top) / 2);
    }
    int draws = 0;
    COLORREF centre = CLR_INVALID;
};

class Parent : public fw::Window {};

} // namespace

TEST_F(ControlsPhoto, PictureIsCentredInTheControl) {
    ASSERT_TRUE(WriteSolidBmp(Photo(), 320, 240, kPhoto));
    CPhotoButton button;
    SetPath(button, Photo());
    Canvas canvas(330, 250);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.At(5, 5), kPhoto);
    EXPECT_EQ(canvas.At(4, 5), kSentinel);
    EXPECT_EQ(canvas.At(5, 4), kSentinel);
    EXPECT_EQ(canvas.At(324, 244), kPhoto);
    EXPECT_EQ(canvas.At(325, 244), kSentinel);
    EXPECT_EQ(canvas.At(324, 245), kSentinel);
    EXPECT_EQ(canvas.Count(kPhoto), 320 * 240);
    EXPECT_EQ(std::string(button.PhotoPath), Photo());
}

TEST_F(ControlsPhoto, LargerPictureIsCutOnAllSidesEqually) {
    ASSERT_TRUE(WriteSolidBmp(Photo(), 320, 240, kPhoto));
    CPhotoButton button;
    SetPath(button, Photo());
    Canvas canvas(300, 200);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.Count(kPhoto), 300 * 200);
}

TEST_F(ControlsPhoto, MissingFileSwitchesToThePlaceholderForGood) {
    CPhotoButton button;
    SetPath(button, dir_ + "no-such.bmp");
    Canvas canvas(120, 100);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(std::string(button.PhotoPath), Placeholder());
    EXPECT_EQ(canvas.At(10, 10), kPlaceholder);
    EXPECT_EQ(canvas.At(9, 10), kSentinel);
    EXPECT_EQ(canvas.Count(kPlaceholder), 100 * 80);

    // A file that is not a bitmap counts as missing.
    ASSERT_TRUE(WriteSolidBmp(Photo(), 4, 4, kPhoto));
    {
        fw::UniqueHandle file(
            CreateFileA(Photo().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        WriteFile(file.Get(), "BMnot really", 12, &written, nullptr);
    }
    SetPath(button, Photo());
    canvas.Fill(kSentinel);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(std::string(button.PhotoPath), Placeholder());
    EXPECT_EQ(canvas.At(60, 50), kPlaceholder);
}

TEST_F(ControlsPhoto, EmptyPathOrNoPlaceholderDrawsNothing) {
    CPhotoButton button;
    Canvas canvas(120, 100);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.Count(kSentinel), 120 * 100);
    EXPECT_STREQ(button.PhotoPath, "");

    DeleteFileA(Placeholder().c_str());
    SetPath(button, dir_ + "no-such.bmp");
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.Count(kSentinel), 120 * 100);
    EXPECT_EQ(std::string(button.PhotoPath), Placeholder());
}

TEST_F(ControlsPhoto, PlaceholderPathTooLongForTheFieldLeavesTheControlBlank) {
    CPhotoButton button;
    // 250 bytes of folder leave no room for "Resources\person.bmp" in 256 bytes.
    std::string longDir = "C:\\" + std::string(246, 'd') + "\\";
    std::strcpy(g_szInstallDir, longDir.c_str());
    const std::string missing = longDir + "x.bmp";
    SetPath(button, missing);
    Canvas canvas(60, 60);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.Count(kSentinel), 60 * 60);
    EXPECT_EQ(std::string(button.PhotoPath), missing);

    // The owner wrote all 256 bytes without a terminator: nothing is read past the field.
    std::memset(button.PhotoPath, 'z', sizeof button.PhotoPath);
    button.DrawItem(canvas.Item());
    EXPECT_EQ(canvas.Count(kSentinel), 60 * 60);
    EXPECT_EQ(std::strlen(button.PhotoPath), sizeof button.PhotoPath - 1);
}

TEST_F(ControlsPhoto, ReloadCommandShowsTheReplacedFile) {
    ASSERT_TRUE(WriteSolidBmp(Photo(), 320, 240, kPhoto));
    Parent parent;
    if (!parent.Create("QuelmaControlsPhotoParent", "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 340, 260,
                       nullptr, nullptr))
        GTEST_SKIP() << "windows cannot be created without a display";
    HWND hwnd =
        CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 330, 250,
                        parent.hwnd(), reinterpret_cast<HMENU>(1032), nullptr, nullptr);
    RecordingPhoto button;
    ASSERT_TRUE(button.Attach(parent.hwnd(), 1032));
    SetPath(button, Photo());
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    controls_test::Pump();
    ASSERT_GT(button.draws, 0);
    if (button.centre == CLR_INVALID)
        GTEST_SKIP() << "window pixels cannot be read without a display";
    EXPECT_EQ(button.centre, kPhoto);

    // Another command does not redraw.
    const int draws = button.draws;
    PostMessageA(hwnd, WM_COMMAND, ID_CMD_DISP_RES, 0);
    controls_test::Pump();
    EXPECT_EQ(button.draws, draws);

    ASSERT_TRUE(WriteSolidBmp(Photo(), 320, 240, kOther));
    PostMessageA(hwnd, WM_COMMAND, ID_CMD_CP, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, hwnd, WM_COMMAND, WM_COMMAND, PM_REMOVE));
    DispatchMessageA(&msg);
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(hwnd, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 330) << "the whole control";
    EXPECT_EQ(update.bottom - update.top, 250);
    controls_test::Pump();
    EXPECT_GT(button.draws, draws);
    EXPECT_EQ(button.centre, kOther);
    EXPECT_EQ(std::string(button.PhotoPath), Photo());
}
