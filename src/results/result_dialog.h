// The Result dialog: the stored measurements of one data file in an owner-data list, with
// filters, sorting by heading, the photo of the row under the cursor, another year's file,
// printing, the spreadsheet export and the CSV file. Created once by the main view, then hidden and
// shown.
#pragma once

#include "camera/photo_button.h"
#include "controls/image_button.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "results/result_list.h"
#include "results/result_print.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

class CResult : public fw::Dialog {
  public:
    // `mainView` receives 32775 when the operator asks to close the dialog.
    explicit CResult(HWND mainView);
    ~CResult() override;

    // After the Measure dialog appended records to the table.
    void AppendNewRecords();
    // "File" after the open-file dialog: shows the data file at `path`.
    void ShowDataFile(const char* path);

    // Printing, in job order. BeginPrint chooses the font the longest row needs, measures it
    // and the page and sets the page range; false when the page cannot hold a single row.
    virtual bool BeginPrint(HDC dc, ResultPrintInfo& info);
    virtual void PrintPage(HDC dc, ResultPrintInfo& info);
    virtual void EndPrint(HDC dc, ResultPrintInfo& info);

    CResultList& RecordList() { return m_List; }
    // The whole window title ("Quelma " and the shown data file's path), never cut.
    std::string Title() const;
    CPhotoButton& PhotoControl() { return m_Photo; }
    const PrintMetrics& PrintState() const { return m_Print; }
    // Why the latest BeginPrint refused the printer.
    PrintSetup LastPrintSetup() const { return m_PrintSetup; }

    HWND MainView = nullptr;

  protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(const NMHDR& header, LRESULT& result) override;
    void OnSize(UINT type, int cx, int cy) override;

  private:
    void AttachButtons();
    void PlacePhoto();
    void ShowLoadedSet();
    void RefreshRows();
    void OnFilter();
    void OnFile();
    void OnPickMember();
    void OnPeriodAll();
    void OnLevelAll();
    void OnColumnClick(int column);
    void OnItemChanged(const NMLISTVIEW& change);
    void SetPicker(int id, int64_t time);
    CivilDate PickerDate(int id) const;
    void SetTitleToFile(const std::string& path);

    HICON Icon = nullptr; // shared resource icon, not destroyed
    int Filling = 0;
    int Ready = 0;
    float ColumnUnit = 0.0f;
    PrintMetrics m_Print;
    fw::Font m_PrintFont; // of the job under way
    PrintSetup m_PrintSetup = PrintSetup::Ok;
    int PrintCursor = 0;
    CResultList m_List;
    CImageButton m_FileButton;
    CImageButton m_FilterButton;
    CImageButton m_PrintButton;
    CImageButton m_ExcelButton;
    CImageButton m_ExitButton;
    CImageButton m_MemberButton;
    CImageButton m_CsvButton;
    CPhotoButton m_Photo;
};

// "Quelma " and the path of the current year's data file: the title the dialog opens with.
std::string ResultTitleForCurrentYear();
