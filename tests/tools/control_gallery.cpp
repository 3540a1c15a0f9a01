// Shows each owner-drawn control of the program in one window, for screenshots and for
// looking at them by eye: image buttons raised and pressed, every button picture, a text
// button, a report list with its sort arrow, and the photo control.
//
//   control_gallery [INSTALL_DIR] [SECONDS]
// INSTALL_DIR (with Resources\person.bmp) is where the photo control finds its picture;
// the window closes itself after SECONDS (default: stays open).
#include "camera/photo_button.h"
#include "controls/gls_list_ctrl.h"
#include "controls/image_button.h"
#include "controls/text_button.h"
#include "framework/handles.h"
#include "framework/window.h"
#include "res/resource.h"
#include "storage/config_file.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;
constexpr UINT_PTR kCloseTimer = 1;

class Gallery : public fw::Window {
  public:
    bool Open(int seconds) {
        if (!Create("QuelmaControlGallery", "Quelma control gallery",
                    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 0, 0, 0, kWidth, kHeight,
                    nullptr, nullptr, GetSysColorBrush(COLOR_BTNFACE)))
            return false;
        font_.Reset(CreateFontA(-28, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, DEFAULT_QUALITY,
                                0, "Arial"));
        AddButtons();
        AddTextButton();
        AddList();
        AddPhoto();
        if (seconds > 0)
            SetTimer(hwnd(), kCloseTimer, static_cast<UINT>(seconds) * 1000, nullptr);
        return true;
    }

  protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_TIMER:
            DestroyWindow(hwnd());
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return fw::Window::WndProc(msg, wParam, lParam);
        }
    }

  private:
    HWND Child(const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                     hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                     GetModuleHandleA(nullptr), nullptr);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                     FALSE);
        return child;
    }
    void Label(const char* text, int x, int y, int w) {
        Child("STATIC", text, SS_LEFT, x, y, w, 16, -1);
    }
    CImageButton& ImageButton(int id, int bitmap, int x, int y, int w, int h, float imageFactor,
                              const char* caption) {
        Child("BUTTON", "", BS_OWNERDRAW, x, y, w, h, id);
        buttons_.push_back(std::make_unique<CImageButton>());
        CImageButton& button = *buttons_.back();
        button.Attach(hwnd(), id);
        button.SetImage(bitmap, imageFactor, 0.6f, RGB(0, 0, 255), caption);
        return button;
    }

    void AddButtons() {
        Label("Image buttons: raised, pressed, with caption", 10, 8, 300);
        ImageButton(100, IDB_START, 10, 28, 72, 56, 1.0f, nullptr);
        ImageButton(101, IDB_START, 90, 28, 72, 56, 1.0f, nullptr);
        SendMessageA(GetDlgItem(hwnd(), 101), BM_SETSTATE, TRUE, 0); // drawn pressed
        ImageButton(102, IDB_REGISTER, 170, 28, 72, 80, 0.6f, "Register");

        Label("Every button picture (187-196)", 10, 116, 300);
        const int pictures[] = {IDB_BACKUP, IDB_EXIT, IDB_DELETE, IDB_REGISTER, IDB_MEMBER,
                                IDB_START,  IDB_FILE, IDB_FILTER, IDB_PRINT,    IDB_EXCEL};
        int x = 10;
        for (int i = 0; i < 10; ++i) {
            const bool small = pictures[i] == IDB_MEMBER;
            const int y = i < 5 ? 136 : 200;
            if (i == 5)
                x = 10;
            ImageButton(110 + i, pictures[i], x, y, small ? 40 : 72, small ? 32 : 56, 1.0f,
                        nullptr);
            x += small ? 48 : 80;
        }
    }

    void AddTextButton() {
        Label("Text button", 10, 264, 200);
        Child("BUTTON", "", BS_OWNERDRAW, 10, 284, 280, 50, 200);
        text_.Attach(hwnd(), 200);
        text_.font = font_.Get();
        text_.colour = RGB(0, 0, 255);
        text_.SetText("Analyzing");
    }

    void AddList() {
        Label("Report list sorted by Name, ascending", 10, 342, 300);
        HWND list = Child(WC_LISTVIEWA, "", LVS_REPORT | LVS_SHOWSELALWAYS | WS_BORDER, 10, 362,
                          500, 180, 300);
        SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        const char* columns[] = {"NO", "ID", "Name", "Result", "Date"};
        const int widths[] = {50, 90, 140, 90, 100};
        for (int i = 0; i < 5; ++i) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH;
            column.cx = widths[i];
            column.pszText = const_cast<char*>(columns[i]);
            SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
        const char* rows[][5] = {{"3", "1003", "Adams", "0", "26_03_05"},
                                 {"1", "1001", "Baker", "0.021 g/l", "26_03_04"},
                                 {"4", "1004", "Carter", "Low", "26_03_05"},
                                 {"2", "1002", "Dixon", "Hi", "26_03_04"}};
        for (int r = 0; r < 4; ++r) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>(rows[r][0]);
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            for (int c = 1; c < 5; ++c) {
                item.iSubItem = c;
                item.pszText = const_cast<char*>(rows[r][c]);
                SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(r),
                             reinterpret_cast<LPARAM>(&item));
            }
        }
        list_.Attach(hwnd(), 300);
        list_.Header().SetSortImage(2, true);
    }

    void AddPhoto() {
        Label("Photo control (330 x 250)", 540, 8, 300);
        Child("BUTTON", "", BS_OWNERDRAW, 540, 28, 330, 250, 1032);
        photo_.Attach(hwnd(), 1032);
        // A path that does not exist shows the install folder's placeholder picture.
        std::snprintf(photo_.PhotoPath, sizeof photo_.PhotoPath, "%sPhoto\\none.bmp",
                      g_szInstallDir);
        PostMessageA(photo_.hwnd(), WM_COMMAND, ID_CMD_CP, 0);
    }

    fw::Font font_;
    std::vector<std::unique_ptr<CImageButton>> buttons_;
    CTextButton text_;
    CGLSListCtrl list_;
    CPhotoButton photo_;
};

} // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    if (argc > 1) {
        std::string dir = argv[1];
        if (!dir.empty() && dir.back() != '\\')
            dir += '\\';
        std::snprintf(g_szInstallDir, sizeof g_szInstallDir, "%s", dir.c_str());
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    Gallery gallery;
    if (!gallery.Open(seconds)) {
        std::fprintf(stderr, "control_gallery: cannot create the window\n");
        return 1;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
