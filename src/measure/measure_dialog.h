// The Measure dialog: identifies the subject, drives one measurement through the analyzer's
// lines and stores its record. Created once by the main view and then hidden and shown; it
// keeps handling the analyzer's lines while hidden.
#pragma once

#include "analyzer/line_assembler.h"
#include "analyzer/measure_state.h"
#include "camera/photo_button.h"
#include "camera/vfw_processor.h"
#include "controls/image_button.h"
#include "controls/text_button.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "measure/measure_list.h"

#include <windows.h>

class CMeasure : public fw::Dialog, private MeasureEffects {
  public:
    // `viewWnd` receives the dialog's commands (32774 to hide it, 32782 after a stored
    // record); `displayFont` (not owned) is the view's font for the status display.
    CMeasure(HWND viewWnd, HFONT displayFont);
    ~CMeasure() override;

    // True while the main view shows the dialog; the view writes m_bShown.
    bool IsShown() const { return m_bShown != 0; }
    // Mode, Low and Hi of g_Settings into the "Setting" group.
    void ShowSettingTexts();
    CVFWImageProcessor& Camera() { return m_Camera; }
    CPhotoButton& PhotoControl() { return m_Photo; }
    CMeasureList& RecordList() { return m_List; }
    // What the analyzer's lines act on: the dialog's own controls and the record store.
    MeasureEffects& Effects() { return *this; }

    int m_bShown = 0;
    HWND m_hViewWnd = nullptr;
    HFONT m_hDisplayFont = nullptr;
    char m_szRxLine[kLineBufferSize] = {};

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    void OnTimer(UINT_PTR id) override;
    void OnSize(UINT type, int cx, int cy) override;

  private:
    void OnStart();
    void OnSelectMember();
    void OnRxLine();
    void PollCardReader();
    void ShowTotal();

    // What the measurement state machine asks of the dialog.
    void ShowStatus(const char* text) override;
    void MarkState(int box) override;
    void ClearStates() override;
    void ShowMode(const char* text) override;
    void Send(const char* command) override;
    int64_t Now() override;
    bool TakePhoto(const MeasureRecord& record) override;
    void StoreResult(const MeasureRecord& measured) override;
    void RestartCamera() override;
    void Beep() override;
    void ShowMessage(const char* text) override;
    bool IsValidMember(const MeasureRecord& record) override;

    int m_bInitDone = 0;
    float ColumnUnit = 0.0f;
    HICON m_hIcon = nullptr; // shared resource icon, not destroyed
    CMeasureList m_List;
    CImageButton m_StartButton;
    CImageButton m_MemberButton;
    CImageButton m_ExitButton;
    CVFWImageProcessor m_Camera;
    CTextButton m_Status;
    CTextButton m_Total;
    CPhotoButton m_Photo;
};
