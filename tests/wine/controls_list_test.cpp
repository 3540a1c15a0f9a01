#include "controls/gls_list_ctrl.h"
#include "res/resource.h"
#include "controls_canvas.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

using namespace controls_test;

namespace {

constexpr int kColumns = 3;

// A report list in a hidden popup window, attached to a CGLSListCtrl the way a dialog
// attaches its list item.
class ListWindow {
  public:
    explicit ListWindow(DWORD extraStyle) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        parent_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 200, nullptr, nullptr,
                                  nullptr, nullptr);
        list_ =
            CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | extraStyle, 0,
                            0, 400, 200, parent_, reinterpret_cast<HMENU>(1000), nullptr, nullptr);
        const char* names[kColumns] = {"ID", "Name", "Result"};
        const int widths[kColumns] = {80, 120, 100};
        for (int i = 0; i < kColumns; ++i) {
            LVCOLUMNA column{};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.fmt = i == 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
            column.cx = widths[i];
            column.pszText = const_cast<char*>(names[i]);
            SendMessageA(list_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(&column));
        }
        attached_ = control.Attach(parent_, 1000);
    }
    ~ListWindow() { DestroyWindow(parent_); }
    ListWindow(const ListWindow&) = delete;
    ListWindow& operator=(const ListWindow&) = delete;

    HWND list() const { return list_; }
    HWND header() const { return reinterpret_cast<HWND>(SendMessageA(list_, LVM_GETHEADER, 0, 0)); }
    bool attached() const { return attached_; }

    int Format(int column) const {
        HDITEMA item{};
        item.mask = HDI_FORMAT;
        SendMessageA(header(), HDM_GETITEMA, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&item));
        return item.fmt;
    }
    RECT ItemRect(int column) const {
        RECT rc{};
        SendMessageA(header(), HDM_GETITEMRECT, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&rc));
        return rc;
    }
    // The header as it paints itself, owner-drawn items included.
    void Render(Canvas& canvas) const {
        canvas.Fill(kSentinel);
        SendMessageA(header(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
    }
    // Width of " " in the font the header draws with.
    int BlankWidth(HDC dc) const {
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(header(), WM_GETFONT, 0, 0));
        fw::ScopedSelect selected(dc,
                                  font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
        SIZE blank{};
        GetTextExtentPoint32A(dc, " ", 1, &blank);
        return blank.cx;
    }

    CGLSListCtrl control;

  private:
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
    bool attached_ = false;
};

// Without a display (Wine's "no display" driver) no window can be created.
constexpr const char* kNoDisplay = "windows cannot be created without a display";

int RedIn(const Canvas& canvas, const RECT& rc) {
    return canvas.Count(kRed, rc.left, rc.top, rc.right, rc.bottom);
}

// Checks the arrow's five rows against the picture it must show: up widens downwards.
void ExpectArrowAt(const Canvas& canvas, int x, int y, bool up) {
    for (int row = 0; row < 5; ++row) {
        const int half = up ? row : 4 - row;
        for (int col = 0; col < 14; ++col) {
            const bool red = col >= 7 - half && col <= 7 + half;
            EXPECT_EQ(canvas.At(x + col, y + 4 + row) == kRed, red)
                << "arrow column " << col << " row " << 4 + row;
        }
    }
}

} // namespace

TEST(ControlsArrowBitmaps, TrianglesExactlyAsDrawnInTheTable) {
    for (int id : {IDB_ARROW_UP, IDB_ARROW_DOWN}) {
        SCOPED_TRACE(id);
        fw::Bitmap arrow(
            static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        ASSERT_TRUE(arrow);
        DIBSECTION dib{};
        ASSERT_EQ(GetObjectA(arrow.Get(), sizeof dib, &dib), static_cast<int>(sizeof dib));
        EXPECT_EQ(dib.dsBm.bmWidth, 14);
        EXPECT_EQ(dib.dsBm.bmHeight, 12);
        EXPECT_EQ(dib.dsBmih.biBitCount, 4);
        Canvas canvas(14, 12);
        fw::MemoryDC memory(canvas.dc());
        {
            fw::ScopedSelect selected(memory.Get(), arrow.Get());
            BitBlt(canvas.dc(), 0, 0, 14, 12, memory.Get(), 0, 0, SRCCOPY);
        }
        ExpectArrowAt(canvas, 0, 0, id == IDB_ARROW_UP);
        EXPECT_EQ(canvas.Count(kRed), 25);
        EXPECT_EQ(canvas.Count(kBeige), 14 * 12 - 25);
    }
}

TEST(ControlsSortHeader, AttachesTheHeaderChildOfPlainAndOwnerDataLists) {
    for (DWORD style : {DWORD{0}, DWORD{LVS_OWNERDATA}}) {
        ListWindow window(style);
        if (!window.list())
            GTEST_SKIP() << kNoDisplay;
        ASSERT_TRUE(window.attached());
        EXPECT_EQ(window.control.Header().hwnd(), window.header());
        EXPECT_EQ(window.control.Header().ArrowColumn(), -1);
    }
}

TEST(ControlsSortHeader, ArrowMovesWithSetSortImageAndColumnsStayOwnerDrawn) {
    for (DWORD style : {DWORD{0}, DWORD{LVS_OWNERDATA}}) {
        SCOPED_TRACE(style ? "owner data" : "plain");
        ListWindow window(style);
        if (!window.list())
            GTEST_SKIP() << kNoDisplay;
        if (style)
            SendMessageA(window.list(), LVM_SETITEMCOUNT, 50000, 0);
        CSMHeaderCtrl& header = window.control.Header();
        RECT client{};
        GetClientRect(window.header(), &client);
        Canvas canvas(client.right, client.bottom);
        const int blank = window.BlankWidth(canvas.dc());
        ASSERT_GT(blank, 0);
        const int arrowY = (client.bottom - 12) / 2;

        // Never sorted: the system draws every column.
        for (int i = 0; i < kColumns; ++i)
            EXPECT_FALSE(window.Format(i) & HDF_OWNERDRAW);
        window.Render(canvas);
        EXPECT_EQ(canvas.Count(kRed), 0);

        EXPECT_EQ(header.SetSortImage(1, true), -1);
        EXPECT_TRUE(window.Format(1) & HDF_OWNERDRAW);
        EXPECT_FALSE(window.Format(0) & HDF_OWNERDRAW);
        EXPECT_FALSE(window.Format(2) & HDF_OWNERDRAW);
        window.Render(canvas);
        RECT one = window.ItemRect(1);
        EXPECT_EQ(RedIn(canvas, one), 25);
        ExpectArrowAt(canvas, one.right - 4 * blank, arrowY, true);

        EXPECT_EQ(header.SetSortImage(1, false), 1);
        window.Render(canvas);
        ExpectArrowAt(canvas, one.right - 4 * blank, arrowY, false);

        EXPECT_EQ(header.SetSortImage(2, true), 1);
        EXPECT_TRUE(window.Format(1) & HDF_OWNERDRAW) << "the flag stays for good";
        EXPECT_TRUE(window.Format(2) & HDF_OWNERDRAW);
        EXPECT_TRUE(window.Format(2) & HDF_RIGHT) << "the alignment is kept";
        window.Render(canvas);
        EXPECT_EQ(RedIn(canvas, one), 0);
        const RECT two = window.ItemRect(2);
        EXPECT_EQ(RedIn(canvas, two), 25);
        ExpectArrowAt(canvas, two.right - 4 * blank, arrowY, true);

        EXPECT_EQ(header.SetSortImage(-1, true), 2);
        EXPECT_EQ(header.ArrowColumn(), -1);
        window.Render(canvas);
        EXPECT_EQ(canvas.Count(kRed), 0);
        EXPECT_TRUE(window.Format(2) & HDF_OWNERDRAW);
        EXPECT_EQ(header.SetSortImage(0, false), -1);
    }
}

TEST(ControlsSortHeader, ArrowBackgroundMatchesTheHeaderFace) {
    const COLORREF face = RGB(120, 170, 210);
    controls_test::ScopedFaceColour scoped(face);
    ListWindow window(0);
    if (!window.list())
        GTEST_SKIP() << kNoDisplay;
    window.control.Header().SetSortImage(0, true);
    RECT client{};
    GetClientRect(window.header(), &client);
    Canvas canvas(client.right, client.bottom);
    window.Render(canvas);
    const RECT zero = window.ItemRect(0);
    const int x = zero.right - 4 * window.BlankWidth(canvas.dc());
    const int y = (client.bottom - 12) / 2;
    EXPECT_EQ(canvas.At(x + 7, y + 4), kRed);
    if (!controls_test::ScopedFaceColour::Works(face))
        GTEST_SKIP() << "SetSysColors has no effect here";
    EXPECT_EQ(canvas.Count(kBeige, zero.left, zero.top, zero.right, zero.bottom), 0);
    EXPECT_EQ(canvas.At(x, y), face) << "arrow background";
    EXPECT_EQ(canvas.At(x + 1, y + 11), face);
    EXPECT_EQ(canvas.At(zero.left + 1, 1), face) << "item background";
}

TEST(ControlsSortHeader, PressedItemShiftsTheTextButNotTheArrow) {
    ListWindow window(0);
    if (!window.list())
        GTEST_SKIP() << kNoDisplay;
    CSMHeaderCtrl& header = window.control.Header();
    header.SetSortImage(0, true);
    const RECT item = window.ItemRect(0);
    Canvas plain(item.right, item.bottom, RGB(255, 255, 255));
    Canvas pressed(item.right, item.bottom, RGB(255, 255, 255));
    for (Canvas* canvas : {&plain, &pressed}) {
        DRAWITEMSTRUCT draw =
            canvas->Item(canvas == &pressed ? ODS_SELECTED : 0, 0, window.header());
        draw.CtlType = ODT_HEADER;
        draw.rcItem = item;
        // The header selects its font before asking for an item.
        SelectObject(canvas->dc(),
                     reinterpret_cast<HFONT>(SendMessageA(window.header(), WM_GETFONT, 0, 0)));
        SetTextColor(canvas->dc(), RGB(0, 0, 0));
        SetBkMode(canvas->dc(), TRANSPARENT);
        header.DrawItem(draw);
    }
    auto firstInk = [](const Canvas& c, bool byColumn) {
        const int outer = byColumn ? c.width() : c.height();
        const int inner = byColumn ? c.height() : c.width();
        for (int a = 0; a < outer; ++a)
            for (int b = 0; b < inner; ++b)
                if ((byColumn ? c.At(a, b) : c.At(b, a)) == RGB(0, 0, 0))
                    return a;
        return -1;
    };
    ASSERT_GE(firstInk(plain, true), 0) << "the caption was drawn";
    EXPECT_EQ(firstInk(pressed, true), firstInk(plain, true) + 1);
    EXPECT_EQ(firstInk(pressed, false), firstInk(plain, false) + 1)
        << "two pixels lower top edge, vertically centred in the rest";
    EXPECT_EQ(plain.Count(kRed), 25);
    EXPECT_EQ(pressed.Count(kRed), 25);
    const int blank = window.BlankWidth(plain.dc());
    ExpectArrowAt(pressed, item.right - 4 * blank, (item.bottom - 12) / 2, true);
}
