// The camera object against the stand-in avicap32.dll beside the test program. The stand-in
// takes its drivers, format and faults from QUELMA_CAM_* variables, read whenever a capture
// window is made or a driver described, and logs every capture message to QUELMA_CAM_LOG;
// the tests read the log back for order and count of the calls.
#include "camera/measure_camera.h"
#include "camera/photo_paths.h"
#include "camera/vfw_processor.h"
#include "storage/config_file.h"
#include "storage/records.h"
#include "wine/install_world.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t LE32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// True when `wanted` appear in this order (not necessarily adjacent) in `lines`.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    auto it = lines.begin();
    for (const std::string& w : wanted) {
        it = std::find(it, lines.end(), w);
        if (it == lines.end())
            return false;
        ++it;
    }
    return true;
}

size_t CountPrefix(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
}

// The capture window's status report (WM_CAP_GET_STATUS), as documented.
struct CapStatus {
    UINT uiImageWidth;
    UINT uiImageHeight;
    BOOL fLiveWindow;
    BOOL fOverlayWindow;
    BOOL fScale;
    POINT ptScroll;
    BOOL fUsingDefaultPalette;
    BOOL fAudioHardware;
    BOOL fCapFileExists;
    DWORD dwCurrentVideoFrame;
    DWORD dwCurrentVideoFramesDropped;
    DWORD dwCurrentWaveSamples;
    DWORD dwCurrentTimeElapsedMS;
    HPALETTE hPalCurrent;
    BOOL fCapturingNow;
    DWORD dwReturn;
    UINT wNumVideoAllocated;
    UINT wNumAudioAllocated;
};

CapStatus Status(HWND capWnd) {
    CapStatus status{};
    vfw::Send(capWnd, vfw::kGetStatus, sizeof status, &status);
    return status;
}

// WS_CHILD or WS_POPUP, whichever the window's style holds.
DWORD Kind(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrA(hwnd, GWL_STYLE)) & (WS_CHILD | WS_POPUP);
}

std::string DriverName(HWND capWnd) {
    char name[80] = {};
    vfw::Send(capWnd, vfw::kDriverGetName, sizeof name, name);
    return name;
}

// The install world with the stand-in camera's log in it and no drivers yet.
class CameraTest : public wine_harness::InstallWorldTest {
  protected:
    void SetUp() override {
        InstallWorldTest::SetUp();
        dir_ = folder_;
        log_ = (dir_ / "capture.log").string();
        SetEnvironmentVariableA("QUELMA_CAM_LOG", log_.c_str());
        Drivers("0");
        g_nCapDrivers = 0;
        std::fill(std::begin(g_CapDriverIndex), std::end(g_CapDriverIndex), 0);
    }
    void TearDown() override {
        for (const char* name : {"QUELMA_CAM_LOG", "QUELMA_CAM_DRIVERS", "QUELMA_CAM_FORMAT",
                                 "QUELMA_CAM_SIZE", "QUELMA_CAM_FAULT"})
            SetEnvironmentVariableA(name, nullptr);
        if (parent_)
            DestroyWindow(parent_);
        InstallWorldTest::TearDown();
    }

    static void Drivers(const char* list) { SetEnvironmentVariableA("QUELMA_CAM_DRIVERS", list); }
    static void Format(const char* format) { SetEnvironmentVariableA("QUELMA_CAM_FORMAT", format); }
    static void Fault(const char* fault) { SetEnvironmentVariableA("QUELMA_CAM_FAULT", fault); }

    std::vector<std::string> Log() const {
        std::vector<std::string> lines;
        std::ifstream in(log_);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void ClearLog() const { std::ofstream(log_, std::ios::trunc); }

    std::string Photo(const char* name) const { return (dir_ / "Photo" / name).string(); }

    // A top-level window with a photo control, as the Measure dialog has.
    void MakeDialog() {
        parent_ = CreateWindowExA(0, "STATIC", "camera test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10,
                                  10, 700, 500, nullptr, nullptr, nullptr, nullptr);
        photo_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_BLACKFRAME, 20, 30,
                                 330, 250, parent_, nullptr, nullptr, nullptr);
    }

    fs::path dir_;
    std::string log_;
    HWND parent_ = nullptr;
    HWND photo_ = nullptr;
};

// Probing, connecting and the errors of a start.
class CameraDrivers : public CameraTest {};
// The file written from a grab.
class CameraPhoto : public CameraTest {};
// The live picture over the photo control.
class CameraPreview : public CameraTest {};
// Shutdown order, the thread, the callbacks.
class CameraLifecycle : public CameraTest {};

TEST_F(CameraDrivers, ProbedOnceAndTheFirstConnected) {
    Drivers("1,3,12");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    EXPECT_EQ(camera.Error(), 0);
    EXPECT_EQ(camera.m_nConnectState, 0);
    ASSERT_EQ(g_nCapDrivers, 2) << "index 12 lies beyond the ten probed";
    EXPECT_EQ(g_CapDriverIndex[0], 1);
    EXPECT_EQ(g_CapDriverIndex[1], 3);
    EXPECT_EQ(DriverName(camera.m_hCapWnd), "Quelma stand-in camera 1");
    const auto first = Log();
    EXPECT_EQ(CountPrefix(first, "describe "), 10u);
    EXPECT_TRUE(InOrder(
        first, {"connect 1 ok", "disconnect", "connect 3 ok", "disconnect", "connect 1 ok"}));

    // A second start shuts the first window down and does not probe again, even though
    // the drivers changed in between.
    Drivers("0,1,2,3");
    ClearLog();
    const HWND firstWindow = camera.m_hCapWnd;
    ASSERT_TRUE(camera.Initialize());
    EXPECT_FALSE(IsWindow(firstWindow));
    EXPECT_NE(camera.m_hCapWnd, firstWindow);
    EXPECT_EQ(g_nCapDrivers, 2);
    EXPECT_EQ(DriverName(camera.m_hCapWnd), "Quelma stand-in camera 1");
    const auto second = Log();
    EXPECT_EQ(CountPrefix(second, "describe "), 0u);
    EXPECT_TRUE(InOrder(second, {"disconnect", "window destroy", "window create", "connect 1 ok"}));
}

TEST_F(CameraDrivers, ThatRefuseAreSkipped) {
    Drivers("0x,2");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    ASSERT_EQ(g_nCapDrivers, 1);
    EXPECT_EQ(g_CapDriverIndex[0], 2);
    EXPECT_EQ(camera.Error(), 0) << "the refusal while probing is not the start's error";
    EXPECT_TRUE(camera.ErrorText().empty());
}

TEST_F(CameraDrivers, NoneFoundGivesError20AndIsProbedAgain) {
    Drivers("none");
    CVFWImageProcessor camera;
    EXPECT_FALSE(camera.Initialize());
    EXPECT_EQ(camera.Error(), kCamErrorNoDriver);
    EXPECT_EQ(camera.m_hCapWnd, nullptr);
    EXPECT_FALSE(camera.m_pThread.Valid());
    EXPECT_EQ(camera.m_nConnectState, -1);
    EXPECT_TRUE(InOrder(Log(), {"window create", "window destroy"}));

    // While none was found, every start looks again.
    Drivers("4");
    ASSERT_TRUE(camera.Initialize());
    EXPECT_EQ(g_nCapDrivers, 1);
    EXPECT_EQ(g_CapDriverIndex[0], 4);
}

TEST_F(CameraDrivers, ConnectFailuresKeepTheirError) {
    {
        Fault("nowindow");
        CVFWImageProcessor camera;
        EXPECT_FALSE(camera.Initialize());
        EXPECT_EQ(camera.Error(), kCamErrorGeneral);
        EXPECT_FALSE(camera.m_pThread.Valid());
        Fault(nullptr);
    }
    // Found once, refusing later: the driver's own error number and text stay.
    Drivers("2");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    Drivers("2x");
    EXPECT_FALSE(camera.Initialize());
    EXPECT_EQ(camera.Error(), 418);
    EXPECT_EQ(camera.ErrorText(), "Cannot connect to video driver 2.");
    EXPECT_EQ(camera.m_hCapWnd, nullptr);
}

TEST_F(CameraDrivers, FormatAndSequenceSetup) {
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    EXPECT_EQ(camera.m_bmi.biSize, 40u);
    EXPECT_EQ(camera.m_bmi.biWidth, 320);
    EXPECT_EQ(camera.m_bmi.biHeight, 240);
    EXPECT_EQ(camera.m_bmi.biBitCount, 24);
    EXPECT_EQ(camera.m_bmi.biSizeImage, 230400u);

    vfw::CaptureParms parms{};
    ASSERT_TRUE(vfw::Send(camera.m_hCapWnd, vfw::kGetSequenceSetup, sizeof parms, &parms));
    EXPECT_TRUE(parms.fYield);
    EXPECT_EQ(parms.wPercentDropForError, 100u);
    EXPECT_FALSE(parms.fCaptureAudio);
    EXPECT_FALSE(parms.fAbortLeftMouse);
    EXPECT_FALSE(parms.fAbortRightMouse);
    // Read, changed and written back: the driver's other settings survive.
    EXPECT_EQ(parms.dwRequestMicroSecPerFrame, 66667u);
    EXPECT_EQ(parms.vKeyAbort, static_cast<UINT>(VK_ESCAPE));
    EXPECT_TRUE(InOrder(Log(), {"connect 0 ok", "format get 40", "setup get 96", "setup set 96"}));

    // Connecting again while connected changes nothing.
    ClearLog();
    EXPECT_TRUE(camera.ConnectDriver());
    EXPECT_TRUE(Log().empty());
}

TEST_F(CameraPhoto, TrueColourFile) {
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    const std::string path = Photo("Kim.bmp");
    ASSERT_TRUE(camera.SaveImage(path.c_str()));
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 230454u);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(LE32(&bytes[2]), 230454u);
    EXPECT_EQ(LE32(&bytes[6]), 0u);
    EXPECT_EQ(LE32(&bytes[10]), 54u);
    EXPECT_EQ(std::memcmp(&bytes[14], &camera.m_bmi, 40), 0);
    // The picture arrived: colour bars, not an empty buffer.
    EXPECT_GT(std::count_if(bytes.begin() + 54, bytes.end(), [](uint8_t b) { return b != 0; }),
              100000);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "Photo"), fs::directory_iterator()), 1);

    // An older, longer file of the same name is replaced whole.
    std::ofstream(path, std::ios::binary | std::ios::trunc) << std::string(300000, 'x');
    ASSERT_TRUE(camera.SaveImage(path.c_str()));
    EXPECT_EQ(fs::file_size(path), 230454u);
}

TEST_F(CameraPhoto, UnsizedAndPalettisedFormats) {
    {
        // No biSizeImage: width x height x 3 for the image, rows not rounded (322 x 3 = 966).
        Format("rgb24-nosize");
        SetEnvironmentVariableA("QUELMA_CAM_SIZE", "322x10");
        CVFWImageProcessor camera;
        ASSERT_TRUE(camera.Initialize());
        EXPECT_EQ(camera.m_bmi.biSizeImage, 0u);
        std::unique_ptr<uint8_t[]> frame;
        uint32_t size = 0;
        ASSERT_TRUE(camera.GrabFrame(&frame, &size));
        EXPECT_EQ(size, 40u + 322u * 10u * 3u);
        SetEnvironmentVariableA("QUELMA_CAM_SIZE", nullptr);
    }
    Format("pal8");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    ASSERT_EQ(camera.m_bmi.biClrUsed, 256u);
    const std::string path = Photo("pal.bmp");
    ASSERT_TRUE(camera.SaveImage(path.c_str()));
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 14u + 40u + 1024u + 76800u);
    EXPECT_EQ(LE32(&bytes[10]), 54u + 1024u);
    // The colour entries carry the driver's palette: entry 0 black, entry 255 white.
    const uint8_t* colours = &bytes[54];
    EXPECT_EQ(LE32(colours), 0u);
    EXPECT_EQ(LE32(colours + 255 * 4), 0x00ffffffu);
}

TEST_F(CameraPhoto, CompressedFrameStillWritten) {
    Format("rle8");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    ASSERT_EQ(camera.m_bmi.biCompression, 1u);
    const std::string path = Photo("rle.bmp");
    ASSERT_TRUE(camera.SaveImage(path.c_str()));
    const auto bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 14u + 40u + 1024u + camera.m_bmi.biSizeImage);
    EXPECT_EQ(LE32(&bytes[14 + 16]), 1u) << "compression code kept";
}

TEST_F(CameraPhoto, GrabWithoutFrameWritesNothing) {
    Fault("nograb");
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    const std::string path = Photo("none.bmp");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(camera.SaveImage(path.c_str()));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1900));
    EXPECT_LT(waited, std::chrono::milliseconds(4000));
    EXPECT_EQ(camera.Error(), kCamErrorGeneral);
    EXPECT_TRUE(fs::is_empty(dir_ / "Photo"));

    // A grab the driver refuses fails at once with the driver's error.
    Fault("grabfail");
    ASSERT_TRUE(camera.Initialize());
    std::unique_ptr<uint8_t[]> frame;
    uint32_t size = 77;
    EXPECT_FALSE(camera.GrabFrame(&frame, &size));
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(camera.Error(), 434);
}

TEST_F(CameraPhoto, UnwritablePlacesLeaveNoFile) {
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    const std::string missing = (dir_ / "NoSuchFolder" / "a.bmp").string();
    EXPECT_FALSE(camera.SaveImage(missing.c_str()));
    EXPECT_EQ(camera.Error(), kCamErrorGeneral);
    EXPECT_FALSE(fs::exists(dir_ / "NoSuchFolder"));
    // A folder standing where the photo should go.
    fs::create_directories(dir_ / "Photo" / "busy.bmp");
    EXPECT_FALSE(camera.SaveImage(Photo("busy.bmp").c_str()));
    EXPECT_FALSE(fs::exists(Photo("busy.bmp") + ".tmp"));
    // Without a camera nothing is grabbed or written.
    CVFWImageProcessor idle;
    EXPECT_FALSE(idle.SaveImage(Photo("idle.bmp").c_str()));
    EXPECT_FALSE(fs::exists(Photo("idle.bmp")));
    EXPECT_FALSE(camera.SaveImage(nullptr));
    EXPECT_EQ(camera.Error(), kCamErrorGeneral);
}

TEST_F(CameraPhoto, TakenUnderTheRecordsName) {
    const std::string install = dir_.string() + "\\";
    std::strcpy(g_szInstallDir, install.c_str());
    g_Settings.UseSound = 1; // no Resources\Shutter here: the missing sound must not matter
    MeasureRecord record{};
    SetField(record.Name, "Lee");
    record.Time = 1767225600;
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    TakePhoto(camera, record);
    const std::string expected = PhotoPath(g_szInstallDir, record);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(fs::file_size(expected), 230454u);

    // An install folder too long for the 256-byte path is refused, not cut short.
    const std::string deep = dir_.string() + "\\" + std::string(230, 'd') + "\\";
    std::strcpy(g_szInstallDir, deep.c_str());
    ClearLog();
    TakePhoto(camera, record);
    EXPECT_EQ(CountPrefix(Log(), "grab"), 0u);
}

TEST_F(CameraPreview, FrozenAfterGrabUntilRestarted) {
    MakeDialog();
    CVFWImageProcessor camera;
    ASSERT_TRUE(StartCamera(camera, parent_, photo_));
    const HWND cap = camera.m_hCapWnd;
    EXPECT_EQ(GetParent(cap), parent_);
    EXPECT_EQ(Kind(cap), static_cast<DWORD>(WS_CHILD));
    EXPECT_TRUE(IsWindowVisible(cap));
    RECT rc{};
    GetWindowRect(cap, &rc);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 25);
    EXPECT_EQ(rc.top, 35);
    EXPECT_EQ(rc.right - rc.left, 320) << "the camera's size, not the control's";
    EXPECT_EQ(rc.bottom - rc.top, 240);
    EXPECT_TRUE(InOrder(Log(), {"previewrate 30", "preview 1"}));

    ASSERT_TRUE(Status(cap).fLiveWindow);
    const DWORD before = Status(cap).dwCurrentVideoFrame;
    EXPECT_TRUE(
        wine_harness::PumpUntil([&] { return Status(cap).dwCurrentVideoFrame > before; }, 10000))
        << "live frames at the preview rate";

    const std::string path = Photo("frozen.bmp");
    ASSERT_TRUE(camera.SaveImage(path.c_str()));
    // Not live: the capture window runs no frame timer, the picture stays on the photo frame.
    EXPECT_FALSE(Status(cap).fLiveWindow);
    const DWORD frozen = Status(cap).dwCurrentVideoFrame;

    ASSERT_TRUE(RestartPreview(camera, parent_, photo_));
    EXPECT_TRUE(Status(cap).fLiveWindow);
    EXPECT_TRUE(
        wine_harness::PumpUntil([&] { return Status(cap).dwCurrentVideoFrame > frozen; }, 10000));
}

TEST_F(CameraPreview, DetachedIsAHiddenPopup) {
    MakeDialog();
    CVFWImageProcessor camera;
    ASSERT_TRUE(StartCamera(camera, parent_, photo_));
    const HWND cap = camera.m_hCapWnd;
    ASSERT_TRUE(camera.DetachPreview());
    EXPECT_EQ(GetParent(cap), nullptr);
    EXPECT_EQ(Kind(cap), static_cast<DWORD>(WS_POPUP));
    RECT rc{};
    GetWindowRect(cap, &rc);
    EXPECT_EQ(rc.right - rc.left, 0);
    EXPECT_EQ(rc.bottom - rc.top, 0);
    EXPECT_FALSE(Status(cap).fLiveWindow);
    // Photos still work while detached.
    EXPECT_TRUE(camera.SaveImage(Photo("detached.bmp").c_str()));

    // A hidden camera stops at once: its thread is not left waiting on the dialog's thread.
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), camera.m_pThread.Get(), GetCurrentProcess(),
                                &thread, SYNCHRONIZE, FALSE, 0));
    fw::UniqueHandle threadCopy(thread);
    const auto start = std::chrono::steady_clock::now();
    camera.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(WaitForSingleObject(threadCopy.Get(), 0), WAIT_OBJECT_0);
}

TEST_F(CameraPreview, NotStartedWithoutCamera) {
    Drivers("none");
    MakeDialog();
    CVFWImageProcessor camera;
    EXPECT_FALSE(StartCamera(camera, parent_, photo_));
    EXPECT_EQ(camera.Error(), kCamErrorNoDriver);
    EXPECT_FALSE(camera.AttachPreview(parent_, 0, 0, 10, 10));
}

TEST_F(CameraLifecycle, ShutdownEndsTheThread) {
    MakeDialog();
    CVFWImageProcessor camera;
    ASSERT_TRUE(StartCamera(camera, parent_, photo_));
    EXPECT_TRUE(InOrder(Log(), {"userdata set", "callback error set", "callback capcontrol set",
                                "callback status set", "callback frame set",
                                "callback videostream set", "describe 0 found"}));
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), camera.m_pThread.Get(), GetCurrentProcess(),
                                &thread, SYNCHRONIZE, FALSE, 0));
    fw::UniqueHandle threadCopy(thread);
    const HWND cap = camera.m_hCapWnd;
    ClearLog();

    const auto start = std::chrono::steady_clock::now();
    camera.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(WaitForSingleObject(threadCopy.Get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(IsWindow(cap));
    EXPECT_EQ(camera.m_hCapWnd, nullptr);
    EXPECT_FALSE(camera.m_pThread.Valid());
    EXPECT_EQ(camera.m_nConnectState, -1);
    EXPECT_EQ(camera.m_bmi.biSize, 0u);
    EXPECT_EQ(camera.m_pDest, nullptr);
    EXPECT_TRUE(InOrder(Log(), {"preview 0", "abort", "callback error clear",
                                "callback capcontrol clear", "callback status clear",
                                "callback frame clear", "callback videostream clear",
                                "userdata clear", "disconnect", "window destroy"}));

    // Shutting down twice, or an object never started, is harmless.
    camera.Shutdown();
    CVFWImageProcessor idle;
    idle.Shutdown();
    EXPECT_EQ(idle.m_nConnectState, -1);
}

TEST_F(CameraLifecycle, DestructorStopsTheCamera) {
    HANDLE thread = nullptr;
    HWND cap = nullptr;
    {
        CVFWImageProcessor camera;
        ASSERT_TRUE(camera.Initialize());
        cap = camera.m_hCapWnd;
        DuplicateHandle(GetCurrentProcess(), camera.m_pThread.Get(), GetCurrentProcess(), &thread,
                        SYNCHRONIZE, FALSE, 0);
    }
    fw::UniqueHandle threadCopy(thread);
    EXPECT_EQ(WaitForSingleObject(threadCopy.Get(), 0), WAIT_OBJECT_0);
    EXPECT_FALSE(IsWindow(cap));
}

TEST_F(CameraLifecycle, DialogClosedBeforeTheCamera) {
    MakeDialog();
    CVFWImageProcessor camera;
    ASSERT_TRUE(StartCamera(camera, parent_, photo_));
    HANDLE thread = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), camera.m_pThread.Get(), GetCurrentProcess(),
                                &thread, SYNCHRONIZE, FALSE, 0));
    fw::UniqueHandle threadCopy(thread);
    // The dialog's window goes first and takes the live picture with it.
    DestroyWindow(parent_);
    parent_ = nullptr;
    const auto start = std::chrono::steady_clock::now();
    camera.Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(WaitForSingleObject(threadCopy.Get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(camera.m_nConnectState, -1);
}

TEST_F(CameraLifecycle, Callbacks) {
    CVFWImageProcessor camera;
    ASSERT_TRUE(camera.Initialize());
    const HWND cap = camera.m_hCapWnd;

    EXPECT_TRUE(CVFWImageProcessor::OnCapError(cap, 7, "lens cap on"));
    EXPECT_EQ(camera.Error(), 7);
    EXPECT_EQ(camera.ErrorText(), "lens cap on");
    CVFWImageProcessor::OnCapError(cap, 0, nullptr);
    EXPECT_EQ(camera.Error(), 0);
    EXPECT_EQ(camera.ErrorText(), "");

    // Pre-roll clears a stale stop; a stop request ends the capture once.
    SetEvent(camera.m_evStop.Get());
    EXPECT_TRUE(CVFWImageProcessor::OnCapControl(cap, vfw::kControlPreroll));
    EXPECT_TRUE(CVFWImageProcessor::OnCapControl(cap, vfw::kControlCapturing));
    SetEvent(camera.m_evStop.Get());
    EXPECT_FALSE(CVFWImageProcessor::OnCapControl(cap, vfw::kControlCapturing));
    EXPECT_TRUE(CVFWImageProcessor::OnCapControl(cap, 99));

    // The driver's own sequence capture runs to its end while no stop is asked for.
    SetEvent(camera.m_evStop.Get());
    ClearLog();
    EXPECT_TRUE(vfw::Send(cap, vfw::kSequenceNoFile));
    EXPECT_TRUE(InOrder(Log(), {"sequence frames=50"}));

    // A frame for a window that belongs to no camera is not taken.
    vfw::VideoHeader frame{};
    MakeDialog();
    EXPECT_EQ(CVFWImageProcessor::OnCapFrame(parent_, &frame), 0);
}

} // namespace
