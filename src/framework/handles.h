// RAII owners for the Win32 handles the program uses, so nothing leaks on an early return.
#pragma once

#include <windows.h>

#include <utility>

namespace fw {

// A kernel handle closed with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : h_(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        if (this != &o)
            Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Release() { return std::exchange(h_, nullptr); }
    void Reset(HANDLE h = nullptr) {
        if (Valid())
            CloseHandle(h_);
        h_ = h;
    }

  private:
    HANDLE h_ = nullptr;
};

// A GDI object (bitmap, pen, brush, font) deleted with DeleteObject.
template <typename T> class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(T h) : h_(h) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o)
            Reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    T Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Reset(T h = nullptr) {
        if (h_)
            DeleteObject(h_);
        h_ = h;
    }

  private:
    T h_ = nullptr;
};

using Bitmap = GdiObject<HBITMAP>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;

// Selects an object into a DC for the scope.
class ScopedSelect {
  public:
    ScopedSelect(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~ScopedSelect() {
        if (old_)
            SelectObject(dc_, old_);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// SaveDC / RestoreDC around a drawing.
class SavedDCState {
  public:
    explicit SavedDCState(HDC dc) : dc_(dc), id_(SaveDC(dc)) {}
    ~SavedDCState() {
        if (id_)
            RestoreDC(dc_, id_);
    }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

  private:
    HDC dc_;
    int id_;
};

// A memory DC compatible with another.
class MemoryDC {
  public:
    explicit MemoryDC(HDC compatible) : dc_(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() {
        if (dc_)
            DeleteDC(dc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HDC dc_;
};

// GetDC / ReleaseDC.
class WindowDC {
  public:
    explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDC() {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// A loaded module (LoadLibraryA / FreeLibrary).
class Module {
  public:
    Module() = default;
    explicit Module(const char* name) : h_(LoadLibraryA(name)) {}
    explicit Module(HMODULE h) : h_(h) {}
    ~Module() { Reset(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;
    HMODULE Get() const { return h_; }
    // Frees the module held and holds `h` instead.
    void Reset(HMODULE h = nullptr) {
        if (h_)
            FreeLibrary(h_);
        h_ = h;
    }
    // Typed GetProcAddress; null when the module or the export is missing.
    template <typename F> F Proc(const char* name) const {
        return h_ ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(h_, name)))
                  : nullptr;
    }

  private:
    HMODULE h_ = nullptr;
};

} // namespace fw
