// Offscreen drawing surfaces and windows for the control tests: a 32-bit top-down DIB
// section in a memory DC whose pixels the test reads directly.
#pragma once

#include "framework/handles.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace controls_test {

// A colour no control draws, to see what was left alone.
constexpr COLORREF kSentinel = RGB(1, 2, 3);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGrey = RGB(192, 192, 192);
// The face colour the pictures are drawn on, which the controls recolour.
constexpr COLORREF kBeige = RGB(236, 233, 216);

class Canvas {
  public:
    Canvas(int width, int height, COLORREF fill = kSentinel) : w_(width), h_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        bits_ = static_cast<std::uint32_t*>(bits);
        old_ = SelectObject(dc_.Get(), bitmap_.Get());
        Fill(fill);
    }
    ~Canvas() { SelectObject(dc_.Get(), old_); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return dc_.Get(); }
    int width() const { return w_; }
    int height() const { return h_; }

    void Fill(COLORREF c) {
        GdiFlush();
        for (int i = 0; i < w_ * h_; ++i)
            bits_[i] = ToPixel(c);
    }
    COLORREF At(int x, int y) const {
        GdiFlush();
        const std::uint32_t p = bits_[y * w_ + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    // Pixels of colour c inside [x0,x1) x [y0,y1).
    int Count(COLORREF c, int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) == c;
        return n;
    }
    int Count(COLORREF c) const { return Count(c, 0, 0, w_, h_); }

    DRAWITEMSTRUCT Item(UINT state = 0, int itemId = 0, HWND hwnd = nullptr) const {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.itemID = static_cast<UINT>(itemId);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = hwnd;
        item.hDC = dc_.Get();
        item.rcItem = {0, 0, w_, h_};
        return item;
    }

    static std::uint32_t ToPixel(COLORREF c) {
        return (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) |
               GetBValue(c);
    }

  private:
    int w_;
    int h_;
    fw::MemoryDC dc_{nullptr};
    fw::Bitmap bitmap_;
    std::uint32_t* bits_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// A device-compatible bitmap whose pixel (x, y) is colour(x, y).
template <typename F> HBITMAP MakeBitmap(int width, int height, F colour) {
    fw::WindowDC screen(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen.Get(), width, height);
    fw::MemoryDC memory(screen.Get());
    HGDIOBJ old = SelectObject(memory.Get(), bitmap);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            SetPixel(memory.Get(), x, y, colour(x, y));
    SelectObject(memory.Get(), old);
    return bitmap;
}

// Writes a 24-bit BMP file of one colour.
inline bool WriteSolidBmp(const std::string& path, int width, int height, COLORREF c) {
    const int stride = (width * 3 + 3) & ~3;
    const DWORD imageSize = static_cast<DWORD>(stride * height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biSizeImage = imageSize;
    std::vector<BYTE> image(imageSize);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            BYTE* p = &image[static_cast<size_t>(y * stride + x * 3)];
            p[0] = GetBValue(c);
            p[1] = GetGValue(c);
            p[2] = GetRValue(c);
        }
    fw::UniqueHandle out(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!out.Valid())
        return false;
    DWORD written = 0;
    return WriteFile(out.Get(), &file, sizeof file, &written, nullptr) &&
           WriteFile(out.Get(), &info, sizeof info, &written, nullptr) &&
           WriteFile(out.Get(), image.data(), imageSize, &written, nullptr);
}

// Sets the system's button face colour for the scope and restores it afterwards.
class ScopedFaceColour {
  public:
    explicit ScopedFaceColour(COLORREF c) : old_(GetSysColor(COLOR_BTNFACE)) { Set(c); }
    ~ScopedFaceColour() { Set(old_); }
    ScopedFaceColour(const ScopedFaceColour&) = delete;
    ScopedFaceColour& operator=(const ScopedFaceColour&) = delete;
    // False when the system does not let a program change its colours.
    static bool Works(COLORREF c) { return GetSysColor(COLOR_BTNFACE) == c; }

  private:
    static void Set(COLORREF c) {
        const int element = COLOR_BTNFACE;
        SetSysColors(1, &element, &c);
    }
    COLORREF old_;
};

// Dispatches the messages waiting for this thread.
inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

} // namespace controls_test
