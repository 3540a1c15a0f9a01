// Stand-in avicap32.dll: a Video for Windows capture window that plays a camera with a
// synthetic test picture. Only the interface is played: the capture window messages and
// callbacks as the Video for Windows documentation describes them.
#include "camera_config.h"
#include "test_picture.h"

#include <windows.h>

#include <vfw.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

HINSTANCE g_module = nullptr;
constexpr char kClassName[] = "QuelmaStandInCapture";
constexpr UINT_PTR kPreviewTimer = 1;

struct Callbacks {
    CAPERRORCALLBACKA error = nullptr;
    CAPSTATUSCALLBACKA status = nullptr;
    CAPVIDEOCALLBACK frame = nullptr;
    CAPVIDEOCALLBACK videoStream = nullptr;
    CAPCONTROLCALLBACK control = nullptr;
    CAPYIELDCALLBACK yield = nullptr;
};

struct CaptureState {
    CameraConfig cfg;
    Callbacks callbacks;
    LPARAM userData = 0;
    int driver = -1; // connected driver index, -1 when none
    CAPTUREPARMS parms{};
    bool previewing = false;
    UINT previewRate = 66;
    DWORD frameNumber = 0;
    DWORD connectedAt = 0;
    bool capturing = false;
    Picture picture;
    BITMAPINFOHEADER format{};
    std::vector<uint8_t> palette;

    void Log(const std::string& line) const { LogLine(cfg.logPath, line); }
};

std::string Num(long long v) {
    return std::to_string(v);
}

CAPTUREPARMS DefaultParms() {
    CAPTUREPARMS p{};
    p.dwRequestMicroSecPerFrame = 66667;
    p.wPercentDropForError = 10;
    p.dwIndexSize = 34952;
    p.wChunkGranularity = 0;
    p.wNumVideoRequested = 5;
    p.fCaptureAudio = TRUE;
    p.wNumAudioRequested = 4;
    p.vKeyAbort = VK_ESCAPE;
    p.fAbortLeftMouse = TRUE;
    p.fAbortRightMouse = TRUE;
    p.wTimeLimit = 30;
    p.AVStreamMaster = AVSTREAMMASTER_AUDIO;
    return p;
}

BITMAPINFOHEADER FormatHeader(const PictureFormat& f) {
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = f.width;
    h.biHeight = f.height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(BitsPerPixel(f));
    h.biCompression = f.pixels == PixelFormat::Rle8 ? BI_RLE8 : BI_RGB;
    h.biSizeImage = ReportedImageSize(f);
    h.biClrUsed = h.biBitCount == 8 ? 256 : 0;
    return h;
}

void NewFrame(CaptureState& s) {
    ++s.frameNumber;
    s.picture = MakePicture(s.cfg.format, s.frameNumber, s.driver);
}

// Hands the current frame to a frame or video-stream callback.
LRESULT Deliver(HWND hwnd, CaptureState& s, CAPVIDEOCALLBACK callback) {
    if (!callback || s.cfg.noFrames)
        return TRUE;
    VIDEOHDR header{};
    header.lpData = s.picture.data.data();
    header.dwBufferLength =
        std::max<DWORD>(s.format.biSizeImage, static_cast<DWORD>(s.picture.data.size()));
    header.dwBytesUsed = static_cast<DWORD>(s.picture.data.size());
    header.dwTimeCaptured = GetTickCount() - s.connectedAt;
    header.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
    return callback(hwnd, &header);
}

void ReportError(HWND hwnd, const CaptureState& s, int id, const char* text) {
    s.Log("error " + Num(id));
    if (s.callbacks.error)
        s.callbacks.error(hwnd, id, text);
}

void SetPreview(HWND hwnd, CaptureState& s, bool on) {
    s.previewing = on && s.driver >= 0;
    if (s.previewing)
        SetTimer(hwnd, kPreviewTimer, std::max<UINT>(s.previewRate, 1), nullptr);
    else
        KillTimer(hwnd, kPreviewTimer);
}

bool Connect(HWND hwnd, CaptureState& s, int index) {
    const DriverSlot* slot = s.cfg.Driver(index);
    if (!slot || !slot->connects) {
        char text[96];
        std::snprintf(text, sizeof text, "Cannot connect to video driver %d.", index);
        ReportError(hwnd, s, IDS_CAP_DRIVER_ERROR, text);
        return false;
    }
    SetPreview(hwnd, s, false);
    s.driver = index;
    s.connectedAt = GetTickCount();
    s.frameNumber = 0;
    s.format = FormatHeader(s.cfg.format);
    s.palette = s.format.biBitCount == 8 ? Palette332() : std::vector<uint8_t>();
    NewFrame(s);
    InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

void Disconnect(HWND hwnd, CaptureState& s) {
    SetPreview(hwnd, s, false);
    s.driver = -1;
    s.format = BITMAPINFOHEADER{};
    s.palette.clear();
    InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CopyText(const std::string& text, WPARAM size, LPARAM dest) {
    if (!dest || size == 0)
        return FALSE;
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(reinterpret_cast<char*>(dest), text.data(), n);
    reinterpret_cast<char*>(dest)[n] = 0;
    return TRUE;
}

std::string DriverName(int index) {
    return "Quelma stand-in camera " + Num(index);
}

LRESULT GetVideoFormat(const CaptureState& s, WPARAM size, LPARAM dest) {
    if (s.driver < 0)
        return 0;
    std::vector<uint8_t> full(sizeof s.format + s.palette.size());
    std::memcpy(full.data(), &s.format, sizeof s.format);
    std::copy(s.palette.begin(), s.palette.end(), full.begin() + sizeof s.format);
    if (dest && size)
        std::memcpy(reinterpret_cast<void*>(dest), full.data(),
                    std::min<size_t>(size, full.size()));
    return static_cast<LRESULT>(full.size());
}

LRESULT SetVideoFormat(HWND hwnd, CaptureState& s, WPARAM size, LPARAM src) {
    if (s.driver < 0 || !src || size < sizeof(BITMAPINFOHEADER))
        return FALSE;
    BITMAPINFOHEADER wanted;
    std::memcpy(&wanted, reinterpret_cast<const void*>(src), sizeof wanted);
    if (wanted.biBitCount != s.format.biBitCount ||
        wanted.biCompression != s.format.biCompression || wanted.biWidth < 1 ||
        wanted.biWidth > 2048 || wanted.biHeight < 1 || wanted.biHeight > 2048)
        return FALSE;
    s.cfg.format.width = wanted.biWidth;
    s.cfg.format.height = wanted.biHeight;
    s.format = FormatHeader(s.cfg.format);
    NewFrame(s);
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
}

LRESULT GetStatus(const CaptureState& s, WPARAM size, LPARAM dest) {
    if (!dest)
        return FALSE;
    CAPSTATUS status{};
    status.uiImageWidth = s.driver >= 0 ? static_cast<UINT>(s.format.biWidth) : 0;
    status.uiImageHeight = s.driver >= 0 ? static_cast<UINT>(s.format.biHeight) : 0;
    status.fLiveWindow = s.previewing;
    status.fUsingDefaultPalette = TRUE;
    status.dwCurrentVideoFrame = s.frameNumber;
    status.fCapturingNow = s.capturing;
    std::memcpy(reinterpret_cast<void*>(dest), &status, std::min<size_t>(size, sizeof status));
    return TRUE;
}

LRESULT Grab(HWND hwnd, CaptureState& s, bool stopPreview) {
    if (s.driver < 0)
        return FALSE;
    if (stopPreview)
        SetPreview(hwnd, s, false);
    if (s.cfg.grabFails) {
        ReportError(hwnd, s, IDS_CAP_NO_FRAME_CAP_ERROR, "No frame captured.");
        return FALSE;
    }
    NewFrame(s);
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
    Deliver(hwnd, s, s.callbacks.frame);
    return TRUE;
}

// Sequence capture without a file, run to its end inside the message: pre-roll, then
// frames to the video-stream callback while the capture-control callback says go on.
LRESULT SequenceNoFile(HWND hwnd, CaptureState& s) {
    if (s.driver < 0)
        return FALSE;
    if (s.callbacks.control && !s.callbacks.control(hwnd, CONTROLCALLBACK_PREROLL))
        return FALSE;
    s.capturing = true;
    const UINT limit = s.parms.fLimitEnabled ? s.parms.wTimeLimit * 15 : 50;
    UINT frames = 0;
    for (; frames < limit; ++frames) {
        if (s.callbacks.control && !s.callbacks.control(hwnd, CONTROLCALLBACK_CAPTURING))
            break;
        NewFrame(s);
        Deliver(hwnd, s, s.callbacks.videoStream);
    }
    s.capturing = false;
    s.Log("sequence frames=" + Num(frames));
    return TRUE;
}

void Paint(HWND hwnd, const CaptureState& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client,
             static_cast<HBRUSH>(GetStockObject(s.driver >= 0 ? GRAY_BRUSH : BLACK_BRUSH)));
    if (s.driver >= 0 && !s.picture.display.empty()) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = s.cfg.format.width;
        info.bmiHeader.biHeight = s.cfg.format.height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(s.cfg.format.width),
                          static_cast<DWORD>(s.cfg.format.height), 0, 0, 0,
                          static_cast<UINT>(s.cfg.format.height), s.picture.display.data(), &info,
                          DIB_RGB_COLORS);
    }
    EndPaint(hwnd, &ps);
}

template <typename F> F As(LPARAM value) {
    return reinterpret_cast<F>(value);
}

LRESULT CapMessage(HWND hwnd, CaptureState& s, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CAP_SET_CALLBACK_ERRORA:
        s.callbacks.error = As<CAPERRORCALLBACKA>(lParam);
        s.Log(std::string("callback error ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_SET_CALLBACK_STATUSA:
        s.callbacks.status = As<CAPSTATUSCALLBACKA>(lParam);
        s.Log(std::string("callback status ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_SET_CALLBACK_YIELD:
        s.callbacks.yield = As<CAPYIELDCALLBACK>(lParam);
        return TRUE;
    case WM_CAP_SET_CALLBACK_FRAME:
        s.callbacks.frame = As<CAPVIDEOCALLBACK>(lParam);
        s.Log(std::string("callback frame ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_SET_CALLBACK_VIDEOSTREAM:
        s.callbacks.videoStream = As<CAPVIDEOCALLBACK>(lParam);
        s.Log(std::string("callback videostream ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_SET_CALLBACK_CAPCONTROL:
        s.callbacks.control = As<CAPCONTROLCALLBACK>(lParam);
        s.Log(std::string("callback capcontrol ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_SET_CALLBACK_WAVESTREAM:
        return TRUE;
    case WM_CAP_GET_USER_DATA:
        return s.userData;
    case WM_CAP_SET_USER_DATA:
        s.userData = lParam;
        s.Log(std::string("userdata ") + (lParam ? "set" : "clear"));
        return TRUE;
    case WM_CAP_DRIVER_CONNECT: {
        const bool ok = Connect(hwnd, s, static_cast<int>(wParam));
        s.Log("connect " + Num(static_cast<long long>(wParam)) + (ok ? " ok" : " refused"));
        return ok;
    }
    case WM_CAP_DRIVER_DISCONNECT: {
        const bool was = s.driver >= 0;
        Disconnect(hwnd, s);
        s.Log("disconnect");
        return was;
    }
    case WM_CAP_DRIVER_GET_NAMEA:
        return s.driver >= 0 && CopyText(DriverName(s.driver), wParam, lParam);
    case WM_CAP_DRIVER_GET_VERSIONA:
        return s.driver >= 0 && CopyText("1.0", wParam, lParam);
    case WM_CAP_DRIVER_GET_CAPS: {
        if (s.driver < 0 || !lParam)
            return FALSE;
        CAPDRIVERCAPS caps{};
        caps.wDeviceIndex = static_cast<UINT>(s.driver);
        caps.fHasDlgVideoFormat = FALSE;
        caps.fCaptureInitialized = TRUE;
        std::memcpy(reinterpret_cast<void*>(lParam), &caps, std::min<size_t>(wParam, sizeof caps));
        return TRUE;
    }
    case WM_CAP_GET_VIDEOFORMAT:
        s.Log("format get " + Num(static_cast<long long>(wParam)));
        return GetVideoFormat(s, wParam, lParam);
    case WM_CAP_SET_VIDEOFORMAT:
        return SetVideoFormat(hwnd, s, wParam, lParam);
    case WM_CAP_GET_SEQUENCE_SETUP:
        if (!lParam)
            return FALSE;
        std::memcpy(reinterpret_cast<void*>(lParam), &s.parms,
                    std::min<size_t>(wParam, sizeof s.parms));
        s.Log("setup get " + Num(static_cast<long long>(wParam)));
        return TRUE;
    case WM_CAP_SET_SEQUENCE_SETUP:
        if (!lParam)
            return FALSE;
        std::memcpy(&s.parms, reinterpret_cast<const void*>(lParam),
                    std::min<size_t>(wParam, sizeof s.parms));
        s.Log("setup set " + Num(static_cast<long long>(wParam)));
        return TRUE;
    case WM_CAP_SET_PREVIEW:
        SetPreview(hwnd, s, wParam != 0);
        s.Log("preview " + Num(wParam != 0));
        return s.driver >= 0;
    case WM_CAP_SET_PREVIEWRATE:
        s.previewRate = static_cast<UINT>(wParam);
        if (s.previewing)
            SetPreview(hwnd, s, true);
        s.Log("previewrate " + Num(static_cast<long long>(wParam)));
        return TRUE;
    case WM_CAP_SET_OVERLAY:
    case WM_CAP_SET_SCALE:
        return FALSE;
    case WM_CAP_GET_STATUS:
        return GetStatus(s, wParam, lParam);
    case WM_CAP_GRAB_FRAME:
        s.Log("grab");
        return Grab(hwnd, s, true);
    case WM_CAP_GRAB_FRAME_NOSTOP:
        s.Log("grab nostop");
        return Grab(hwnd, s, false);
    case WM_CAP_SEQUENCE_NOFILE:
        return SequenceNoFile(hwnd, s);
    case WM_CAP_STOP:
        s.Log("stop");
        return TRUE;
    case WM_CAP_ABORT:
        s.Log("abort");
        return TRUE;
    }
    return FALSE;
}

LRESULT CALLBACK CaptureWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* s = reinterpret_cast<CaptureState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_NCCREATE: {
        auto* state = new CaptureState;
        state->cfg = ReadCameraConfig();
        state->parms = DefaultParms();
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        state->Log("window create");
        break;
    }
    case WM_NCDESTROY:
        if (s) {
            KillTimer(hwnd, kPreviewTimer);
            s->Log("window destroy");
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            delete s;
        }
        break;
    case WM_TIMER:
        if (s && wParam == kPreviewTimer && s->previewing) {
            NewFrame(*s);
            InvalidateRect(hwnd, nullptr, FALSE);
            Deliver(hwnd, *s, s->callbacks.frame);
            return 0;
        }
        break;
    case WM_PAINT:
        if (s) {
            Paint(hwnd, *s);
            return 0;
        }
        break;
    case WM_ERASEBKGND:
        return 1;
    default:
        if (s && msg >= WM_CAP_START && msg <= WM_CAP_END)
            return CapMessage(hwnd, *s, msg, wParam, lParam);
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

bool RegisterCaptureClass() {
    static const bool registered = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = CaptureWndProc;
        wc.hInstance = g_module;
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.lpszClassName = kClassName;
        return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HWND WINAPI capCreateCaptureWindowA(LPCSTR name, DWORD style, int x, int y, int width,
                                               int height, HWND parent, int id) {
    const CameraConfig cfg = ReadCameraConfig();
    if (cfg.noWindow || !RegisterCaptureClass()) {
        LogLine(cfg.logPath, "create refused");
        return nullptr;
    }
    return CreateWindowExA(0, kClassName, name ? name : "", style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_module, nullptr);
}

extern "C" BOOL WINAPI capGetDriverDescriptionA(UINT index, LPSTR name, int nameSize, LPSTR version,
                                                int versionSize) {
    const CameraConfig cfg = ReadCameraConfig();
    const bool found = cfg.Driver(static_cast<int>(index)) != nullptr;
    LogLine(cfg.logPath, "describe " + Num(index) + (found ? " found" : " none"));
    if (!found)
        return FALSE;
    if (name && nameSize > 0)
        CopyText(DriverName(static_cast<int>(index)), static_cast<WPARAM>(nameSize),
                 reinterpret_cast<LPARAM>(name));
    if (version && versionSize > 0)
        CopyText("1.0", static_cast<WPARAM>(versionSize), reinterpret_cast<LPARAM>(version));
    return TRUE;
}
