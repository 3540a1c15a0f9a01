// The part of the Video for Windows capture interface the camera uses: the capture
// window messages, the sequence parameters, the callback types and the two exports of
// avicap32.dll, which is loaded at run time (Wine ships only a stub of it, and tests and
// demos put a stand-in beside the program).
// Reference: https://learn.microsoft.com/windows/win32/multimedia/video-capture
#pragma once

#include <windows.h>

#include <cstddef>

namespace vfw {

constexpr UINT kCapStart = WM_USER;
constexpr UINT kSetCallbackError = kCapStart + 2; // ANSI text
constexpr UINT kSetCallbackStatus = kCapStart + 3;
constexpr UINT kSetCallbackFrame = kCapStart + 5;
constexpr UINT kSetCallbackVideoStream = kCapStart + 6;
constexpr UINT kGetUserData = kCapStart + 8;
constexpr UINT kSetUserData = kCapStart + 9;
constexpr UINT kDriverConnect = kCapStart + 10;
constexpr UINT kDriverDisconnect = kCapStart + 11;
constexpr UINT kDriverGetName = kCapStart + 12;
constexpr UINT kGetVideoFormat = kCapStart + 44;
constexpr UINT kSetPreview = kCapStart + 50;
constexpr UINT kSetPreviewRate = kCapStart + 52;
constexpr UINT kGetStatus = kCapStart + 54;
constexpr UINT kGrabFrame = kCapStart + 60;
constexpr UINT kSequenceNoFile = kCapStart + 63;
constexpr UINT kSetSequenceSetup = kCapStart + 64;
constexpr UINT kGetSequenceSetup = kCapStart + 65;
constexpr UINT kStop = kCapStart + 68;
constexpr UINT kAbort = kCapStart + 69;
constexpr UINT kSetCallbackCapControl = kCapStart + 85;

// Notifications of the capture-control callback.
constexpr int kControlPreroll = 1;
constexpr int kControlCapturing = 2;

// One delivered frame.
struct VideoHeader {
    BYTE* lpData;
    DWORD dwBufferLength;
    DWORD dwBytesUsed;
    DWORD dwTimeCaptured;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD_PTR dwReserved[4];
};

// Sequence capture parameters; every field is 32 bits wide on both targets.
struct CaptureParms {
    DWORD dwRequestMicroSecPerFrame;
    BOOL fMakeUserHitOKToCapture;
    UINT wPercentDropForError;
    BOOL fYield;
    DWORD dwIndexSize;
    UINT wChunkGranularity;
    BOOL fUsingDOSMemory;
    UINT wNumVideoRequested;
    BOOL fCaptureAudio;
    UINT wNumAudioRequested;
    UINT vKeyAbort;
    BOOL fAbortLeftMouse;
    BOOL fAbortRightMouse;
    BOOL fLimitEnabled;
    UINT wTimeLimit;
    BOOL fMCIControl;
    BOOL fStepMCIDevice;
    DWORD dwMCIStartTime;
    DWORD dwMCIStopTime;
    BOOL fStepCaptureAt2x;
    UINT wStepCaptureAverageFrames;
    DWORD dwAudioBufferSize;
    BOOL fDisableWriteCache;
    UINT AVStreamMaster;
};
static_assert(sizeof(CaptureParms) == 96);
static_assert(offsetof(CaptureParms, fCaptureAudio) == 32);
static_assert(offsetof(CaptureParms, fAbortRightMouse) == 48);

using ErrorCallback = LRESULT(CALLBACK*)(HWND, int id, LPCSTR text);
using StatusCallback = LRESULT(CALLBACK*)(HWND, int id, LPCSTR text);
using FrameCallback = LRESULT(CALLBACK*)(HWND, VideoHeader* frame);
using ControlCallback = LRESULT(CALLBACK*)(HWND, int state);

using CreateCaptureWindowFn = HWND(WINAPI*)(LPCSTR name, DWORD style, int x, int y, int width,
                                            int height, HWND parent, int id);
using GetDriverDescriptionFn = BOOL(WINAPI*)(UINT index, LPSTR name, int nameSize, LPSTR version,
                                             int versionSize);

// avicap32.dll, loaded on first use and kept for the life of the process (capture windows
// and their callbacks may still run while an object shuts down).
struct AviCap {
    CreateCaptureWindowFn createCaptureWindow = nullptr;
    GetDriverDescriptionFn getDriverDescription = nullptr;
    bool Loaded() const { return createCaptureWindow && getDriverDescription; }
};
const AviCap& AviCapLibrary();

// SendMessage with a pointer argument.
inline LRESULT Send(HWND hwnd, UINT msg, WPARAM wParam = 0, const void* lParam = nullptr) {
    return SendMessageA(hwnd, msg, wParam, reinterpret_cast<LPARAM>(lParam));
}

} // namespace vfw
