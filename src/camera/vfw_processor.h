// Live picture and photos from a Video for Windows camera. The capture window lives on a
// thread of its own, so the driver's work never runs on the user-interface thread; the
// user-interface thread only sends it messages.
#pragma once

#include "camera/frame_format.h"
#include "camera/vfw_api.h"
#include "framework/handles.h"

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

// Drivers that connected when probed, shared by every camera object and probed once per
// process (again only while none was found).
extern uint16_t g_nCapDrivers;
extern int32_t g_CapDriverIndex[10];

// Error numbers besides the driver's own.
constexpr int32_t kCamErrorGeneral = 1;
constexpr int32_t kCamErrorNoDriver = 20;

class CVFWImageProcessor {
  public:
    CVFWImageProcessor();
    virtual ~CVFWImageProcessor();
    CVFWImageProcessor(const CVFWImageProcessor&) = delete;
    CVFWImageProcessor& operator=(const CVFWImageProcessor&) = delete;

    BOOL Initialize();
    void Shutdown();
    BOOL ConnectDriver();
    BOOL AttachPreview(HWND parent, int x, int y, int width, int height);
    BOOL DetachPreview();
    // The frame buffer (header, colour entries, image) is the caller's on success.
    BOOL GrabFrame(std::unique_ptr<uint8_t[]>* frame, uint32_t* size = nullptr);
    BOOL SaveImage(const char* path);
    int32_t Error() const;
    std::string ErrorText() const;

    HWND m_hCapWnd = nullptr;
    fw::UniqueHandle m_lock;    // guards m_pDest, m_nDestSize, m_nError and m_strError
    fw::UniqueHandle m_evFrame; // auto-reset: window created, or a frame delivered
    fw::UniqueHandle m_evStop;  // auto-reset: stop a running sequence capture
    DibHeader m_bmi{};
    uint8_t* m_pDest = nullptr;
    uint32_t m_nDestSize = 0;
    fw::UniqueHandle m_pThread;
    DWORD m_nThreadId = 0;
    int32_t m_nConnectState = -1;
    // Written by the driver's error callback on the capture thread too: guarded by m_lock,
    // read through Error() and ErrorText().
    int32_t m_nError = 0;
    std::string m_strError;

    // Capture callbacks; they run on the capture thread and find the object through the
    // capture window's user data.
    static LRESULT CALLBACK OnCapError(HWND hwnd, int id, LPCSTR text);
    static LRESULT CALLBACK OnCapControl(HWND hwnd, int state);
    static LRESULT CALLBACK OnCapStatus(HWND hwnd, int id, LPCSTR text);
    static LRESULT CALLBACK OnCapFrame(HWND hwnd, vfw::VideoHeader* frame);
    static LRESULT CALLBACK OnCapVideoStream(HWND hwnd, vfw::VideoHeader* frame);

  private:
    static DWORD WINAPI CaptureThreadProc(LPVOID param);
    static CVFWImageProcessor* FromCapWnd(HWND hwnd);
    void ClearError();
    void SetError(int32_t error, std::string text = {});
    void SetErrorIfNone(int32_t error);
    void SetCallbacks(bool on);
    void ProbeDrivers();
    void CopyPalette(uint8_t* frame, const FrameLayout& layout);
    void SetDestination(uint8_t* dest, uint32_t size);
};
