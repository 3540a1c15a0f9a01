// Drives the real program from outside in end-to-end tests, the way an operator would:
// finds windows by caption, answers message boxes, clicks controls, sends commands and
// reads control texts. One action per run; the result goes to standard output and the
// exit code (0 = done, 1 = not found or timed out, 2 = usage).
//
//   wdrive list
//   wdrive wait-window CAPTION [ms]        caption match: "=text" exact, else substring
//   wdrive wait-gone CAPTION [ms]
//   wdrive caption CAPTION                 prints the full caption
//   wdrive visible CAPTION                 prints 1 or 0
//   wdrive wait-msgbox TEXT [ms]           a message box whose text contains TEXT
//   wdrive answer TEXT yes|no|ok [ms]      waits for that box and presses the button
//   wdrive msgbox-text [ms]                prints the text of the first message box
//   wdrive command CAPTION ID              posts WM_COMMAND ID (lParam 0)
//   wdrive tick CAPTION ID                 sends WM_TIMER ID, as if that timer had fired;
//                                          returns once the window has handled it
//   wdrive click CAPTION ID                posts BM_CLICK to control ID
//   wdrive key CAPTION ID VK               posts a key press to control ID (0 = window)
//   wdrive get-text CAPTION ID
//   wdrive get-edit CAPTION ID             the text through WM_GETTEXT (edit controls)
//   wdrive set-text CAPTION ID TEXT
//   wdrive check CAPTION ID                prints the check state
//   wdrive set-check CAPTION ID 0|1        clicks the box until it has that state
//   wdrive lv-count CAPTION ID
//   wdrive lv-text CAPTION ID ROW COL
//   wdrive lv-select CAPTION ID ROW        selects and focuses a row (item-changed)
//   wdrive lv-click-column CAPTION ID COL  sends the list's column-click notification
//   wdrive close CAPTION
//   wdrive close-now CAPTION               sends WM_CLOSE (a modal loop that dispatches it)
//   wdrive raise CAPTION                   brings the window to the top and activates it
//   wdrive rect CAPTION [ID]               prints left top right bottom (screen)
//   wdrive hold FILE RELEASE [ms]          holds FILE open with share mode 0 (as a backup
//                                          tool may) until the file RELEASE exists;
//                                          prints "held" once it holds it
#include "remote_list.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string WindowText(HWND hwnd) {
    char text[1024] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    return text;
}

std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

bool CaptionMatches(const std::string& caption, const std::string& pattern) {
    if (!pattern.empty() && pattern[0] == '=')
        return caption == pattern.substr(1);
    return caption.find(pattern) != std::string::npos;
}

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> all;
    EnumWindows(
        [](HWND hwnd, LPARAM lp) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lp)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND FindByCaption(const std::string& pattern) {
    for (HWND hwnd : TopLevelWindows())
        if (IsWindowVisible(hwnd) && CaptionMatches(WindowText(hwnd), pattern))
            return hwnd;
    // Hidden windows too (a hidden modeless dialog), after the visible ones.
    for (HWND hwnd : TopLevelWindows())
        if (CaptionMatches(WindowText(hwnd), pattern))
            return hwnd;
    return nullptr;
}

// The text of a message box: its static child with id 0xFFFF.
std::string MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

HWND FindMessageBox(const std::string& pattern) {
    for (HWND hwnd : TopLevelWindows()) {
        if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770")
            continue;
        if (!GetDlgItem(hwnd, 0xFFFF))
            continue;
        if (MessageBoxText(hwnd).find(pattern) != std::string::npos)
            return hwnd;
    }
    return nullptr;
}

template <typename F> HWND WaitFor(F find, int ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND hwnd = find())
            return hwnd;
        if (static_cast<int>(GetTickCount() - start) >= ms)
            return nullptr;
        Sleep(50);
    }
}

int Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "wdrive: %s: %s\n", what, detail.c_str());
    return 1;
}

HWND Control(const std::string& caption, const char* id) {
    HWND window = FindByCaption(caption);
    if (!window)
        return nullptr;
    const int n = std::atoi(id);
    return n == 0 ? window : GetDlgItem(window, n);
}

int ListText(HWND list, int row, int column) {
    RemoteListAccess remote(list);
    if (!remote.Ok())
        return Fail("lv-text", "no access to the program's memory");
    std::printf("%s\n", remote.Text(row, column).c_str());
    return 0;
}

int ListSelect(HWND list, int row) {
    RemoteListAccess remote(list);
    if (!remote.Ok())
        return Fail("lv-select", "no access to the program's memory");
    remote.Select(row);
    return 0;
}

int ListColumnClick(HWND list, int column) {
    // Wine delivers no WM_NOTIFY between processes, so the heading is clicked instead: the
    // header and the list then notify their parent inside the program.
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    if (!header)
        return Fail("lv-click-column", "the list has no header");
    int x = 0;
    for (int i = 0; i < column; ++i)
        x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    x += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0)) /
         2;
    const LPARAM at = MAKELPARAM(x, 4);
    SendMessageA(header, WM_MOUSEMOVE, 0, at);
    SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(header, WM_LBUTTONUP, 0, at);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "wdrive: usage: see the comment at the top of wdrive.cpp\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Usage();
    const std::string action = argv[1];
    auto arg = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };
    auto ms = [&](int i, int fallback) { return i < argc ? std::atoi(argv[i]) : fallback; };

    if (action == "list") {
        for (HWND hwnd : TopLevelWindows())
            if (!WindowText(hwnd).empty())
                std::printf("%p %d %s [%s]\n", static_cast<void*>(hwnd),
                            IsWindowVisible(hwnd) ? 1 : 0, WindowText(hwnd).c_str(),
                            ClassOf(hwnd).c_str());
        return 0;
    }
    if (action == "wait-window") {
        HWND hwnd = WaitFor([&] { return FindByCaption(arg(2)); }, ms(3, 20000));
        if (!hwnd)
            return Fail("no window", arg(2));
        std::printf("%s\n", WindowText(hwnd).c_str());
        return 0;
    }
    if (action == "wait-gone") {
        const DWORD start = GetTickCount();
        while (FindByCaption(arg(2))) {
            if (static_cast<int>(GetTickCount() - start) >= ms(3, 20000))
                return Fail("still there", arg(2));
            Sleep(50);
        }
        return 0;
    }
    if (action == "caption" || action == "visible") {
        HWND hwnd = FindByCaption(arg(2));
        if (action == "visible") {
            std::printf("%d\n", hwnd && IsWindowVisible(hwnd) ? 1 : 0);
            return 0;
        }
        if (!hwnd)
            return Fail("no window", arg(2));
        std::printf("%s\n", WindowText(hwnd).c_str());
        return 0;
    }
    if (action == "wait-msgbox" || action == "answer") {
        const int timeout = ms(action == "answer" ? 4 : 3, 20000);
        HWND box = WaitFor([&] { return FindMessageBox(arg(2)); }, timeout);
        if (!box)
            return Fail("no message box", arg(2));
        std::printf("%s\n", MessageBoxText(box).c_str());
        if (action == "answer") {
            const std::string button = arg(3);
            const int id = button == "yes" ? IDYES : button == "no" ? IDNO : IDOK;
            PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
        }
        return 0;
    }
    if (action == "msgbox-text") {
        HWND box = WaitFor([&] { return FindMessageBox(""); }, ms(2, 20000));
        if (!box)
            return Fail("no message box", "");
        std::printf("%s\n", MessageBoxText(box).c_str());
        return 0;
    }
    if (action == "raise") {
        HWND hwnd = FindByCaption(arg(2));
        if (!hwnd)
            return Fail("no window", arg(2));
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(hwnd);
        return 0;
    }
    if (action == "hold") {
        HANDLE file = CreateFileA(arg(2).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return Fail("cannot hold", arg(2));
        std::printf("held\n");
        std::fflush(stdout);
        const DWORD start = GetTickCount();
        while (GetFileAttributesA(arg(3).c_str()) == INVALID_FILE_ATTRIBUTES &&
               static_cast<int>(GetTickCount() - start) < ms(4, 120000))
            Sleep(50);
        CloseHandle(file);
        return 0;
    }
    if (action == "command" || action == "close" || action == "close-now" || action == "tick") {
        HWND hwnd = FindByCaption(arg(2));
        if (!hwnd)
            return Fail("no window", arg(2));
        DWORD_PTR result = 0;
        if (action == "close")
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        else if (action == "close-now")
            SendMessageTimeoutA(hwnd, WM_CLOSE, 0, 0, SMTO_NORMAL, 20000, &result);
        else if (action == "tick")
            SendMessageA(hwnd, WM_TIMER, static_cast<WPARAM>(std::atoi(arg(3).c_str())), 0);
        else
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(std::atoi(argv[3]), 0), 0);
        return 0;
    }
    if (argc < 4)
        return Usage();
    HWND control = Control(arg(2), argv[3]);
    if (!control)
        return Fail("no control", arg(2) + " #" + arg(3));
    if (action == "click") {
        PostMessageA(control, BM_CLICK, 0, 0);
    } else if (action == "key") {
        const WPARAM vk = static_cast<WPARAM>(std::atoi(argv[4]));
        PostMessageA(control, WM_KEYDOWN, vk, 1);
        PostMessageA(control, WM_KEYUP, vk, 0xC0000001);
    } else if (action == "get-text") {
        std::printf("%s\n", WindowText(control).c_str());
    } else if (action == "get-edit") {
        // An edit keeps its text to itself: GetWindowText from another process cannot see it.
        char text[1024] = {};
        DWORD_PTR copied = 0;
        SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 5000, &copied);
        std::printf("%s\n", text);
    } else if (action == "set-text") {
        SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(4).c_str()));
    } else if (action == "check") {
        std::printf("%d\n", static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0)));
    } else if (action == "set-check") {
        const int want = std::atoi(argv[4]);
        for (int i = 0; i < 3 && static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0)) != want;
             ++i) {
            SendMessageA(control, BM_CLICK, 0, 0);
        }
    } else if (action == "lv-count") {
        std::printf("%d\n", static_cast<int>(SendMessageA(control, LVM_GETITEMCOUNT, 0, 0)));
    } else if (action == "lv-text") {
        return ListText(control, std::atoi(argv[4]), std::atoi(argv[5]));
    } else if (action == "lv-select") {
        return ListSelect(control, std::atoi(argv[4]));
    } else if (action == "lv-click-column") {
        return ListColumnClick(control, std::atoi(argv[4]));
    } else if (action == "rect") {
        RECT r;
        GetWindowRect(control, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    } else {
        return Usage();
    }
    return 0;
}
