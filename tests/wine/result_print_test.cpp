// Printing the Result list into enhanced metafiles: the texts and rules each page draws,
// read back from the metafile records, against the page layout and the list's rows.
#include "wine/result_fixture.h"

#include <algorithm>
#include <tuple>

using namespace result_test;

namespace {

struct DrawnText {
    int x, y;
    std::string text;
    bool operator==(const DrawnText& o) const {
        return std::tie(x, y, text) == std::tie(o.x, o.y, o.text);
    }
};

struct DrawnPage {
    std::vector<DrawnText> texts;
    std::vector<POINT> pixels;
};

int CALLBACK Collect(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM data) {
    auto& page = *reinterpret_cast<DrawnPage*>(data);
    const auto* bytes = reinterpret_cast<const char*>(record);
    if (record->iType == EMR_EXTTEXTOUTA || record->iType == EMR_EXTTEXTOUTW) {
        const auto& out = *reinterpret_cast<const EMREXTTEXTOUTA*>(record);
        const EMRTEXT& t = out.emrtext;
        std::string text;
        for (DWORD i = 0; i < t.nChars; ++i) {
            text +=
                record->iType == EMR_EXTTEXTOUTA
                    ? bytes[t.offString + i]
                    : static_cast<char>(reinterpret_cast<const wchar_t*>(bytes + t.offString)[i]);
        }
        page.texts.push_back({t.ptlReference.x, t.ptlReference.y, text});
    } else if (record->iType == EMR_SETPIXELV) {
        const auto& px = *reinterpret_cast<const EMRSETPIXELV*>(record);
        if (px.crColor == RGB(0, 0, 0))
            page.pixels.push_back({px.ptlPixel.x, px.ptlPixel.y});
    }
    return 1;
}

class ResultPrint : public ResultWorldTest {
  protected:
    void SetUp() override {
        ResultWorldTest::SetUp();
        std::vector<MeasureRecord> records;
        const char* names[] = {"Alice", "Bob", "Carol", "Dave", "Eve"};
        for (int i = 0; i < 45; ++i) {
            MeasureRecord r = i % 2 ? Normal("M002", names[i % 5], 0.01f * static_cast<float>(i), 1,
                                             LocalTime(2025, 4, 1 + i % 28, 8 + i % 10))
                                    : Fast("M001", names[i % 5], i % 3,
                                           LocalTime(2025, 4, 1 + i % 28, 8 + i % 10));
            r.Photo = i % 7 == 0;
            records.push_back(r);
        }
        SetRecords(records);
        ASSERT_TRUE(Open());
        metafile_ = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(metafile_, nullptr);
        reference_ = CreateCompatibleDC(nullptr);
        TEXTMETRICA tm{};
        ASSERT_TRUE(GetTextMetricsA(reference_, &tm));
        defaultLineHeight_ = tm.tmHeight;
        defaultCharWidth_ = tm.tmAveCharWidth;
    }
    void TearDown() override {
        if (metafile_)
            DeleteEnhMetaFile(CloseEnhMetaFile(metafile_));
        if (reference_)
            DeleteDC(reference_);
        ResultWorldTest::TearDown();
    }
    // A drawing area 160 default characters wide and `lines` lines of the font the job
    // chooses for it high; lineHeight_ and charWidth_ become that font's.
    ResultPrintInfo Area(int lines) {
        ResultPrintInfo info;
        info.drawRect = {0, 0, 160 * defaultCharWidth_, 1000 * defaultLineHeight_};
        info.attributeDc = reference_;
        EXPECT_TRUE(dialog_->BeginPrint(metafile_, info));
        lineHeight_ = dialog_->PrintState().PrintLineHeight;
        charWidth_ = dialog_->PrintState().PrintCharWidth;
        info.drawRect.bottom = lines * lineHeight_;
        return info;
    }
    // Prints one page into its own metafile and reads it back.
    DrawnPage PrintPage(ResultPrintInfo& info, int page) {
        HDC dc = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
        info.currentPage = page;
        dialog_->PrintPage(dc, info);
        HENHMETAFILE emf = CloseEnhMetaFile(dc);
        DrawnPage drawn;
        EnumEnhMetaFile(nullptr, emf, Collect, &drawn, nullptr);
        DeleteEnhMetaFile(emf);
        return drawn;
    }
    std::vector<DrawnText> Expected(int page, int& cursor) {
        std::vector<DrawnText> texts;
        for (const PrintOp& op :
             LayoutPrintPage(dialog_->PrintState(), page, cursor, Rows(),
                             [&](int row, int column) { return Cell(row, column); }))
            if (op.kind == PrintOp::Text && !op.text.empty())
                texts.push_back({op.x, op.y, op.text});
        return texts;
    }
    const DrawnText* Find(const DrawnPage& page, const std::string& text) const {
        auto it = std::find_if(page.texts.begin(), page.texts.end(),
                               [&](const DrawnText& t) { return t.text == text; });
        return it == page.texts.end() ? nullptr : &*it;
    }

    HDC metafile_ = nullptr;
    HDC reference_ = nullptr;
    int defaultLineHeight_ = 0;
    int defaultCharWidth_ = 0;
    int lineHeight_ = 0;
    int charWidth_ = 0;
};

TEST_F(ResultPrint, PagesFollowTheListAsSortedAcrossPages) {
    ClickHeading(2);
    ClickHeading(2); // "Name", descending
    ASSERT_EQ(Cell(0, 2), "Eve");

    ResultPrintInfo info = Area(50);
    ASSERT_TRUE(dialog_->BeginPrint(metafile_, info));
    ASSERT_EQ(dialog_->PrintState().RowsPerPage, 40);
    EXPECT_EQ(info.minPage, 0);
    EXPECT_EQ(info.maxPage, 1);

    const int lh = lineHeight_, cw = charWidth_;
    const int lineChars = dialog_->PrintState().PrintLineChars;
    int cursor = 0;
    const DrawnPage first = PrintPage(info, 0);
    EXPECT_EQ(first.texts, Expected(0, cursor));
    EXPECT_EQ(cursor, 40);
    // Fixed points of the page, independent of the layout code.
    const DrawnText* title = Find(first, "Quelma - Alcohol Analyzer Interface");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->x, 3 * cw);
    EXPECT_EQ(title->y, 5 * lh);
    const DrawnText* label = Find(first, "Page = 0");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x, cw * (lineChars - 8 - 3));
    EXPECT_GT(label->x, title->x + 35 * cw);
    // The longest row, a photo name at offset 95, ends inside the area.
    for (const DrawnText& t : first.texts)
        EXPECT_LE(t.x + static_cast<int>(t.text.size()) * cw, info.drawRect.right) << t.text;
    ASSERT_NE(Find(first, "No"), nullptr);
    EXPECT_EQ(Find(first, "No")->y, 7 * lh);
    EXPECT_EQ(Find(first, "Photo")->x, 3 * cw + 95 * cw);
    const DrawnText* firstRow = Find(first, "Eve");
    ASSERT_NE(firstRow, nullptr);
    EXPECT_EQ(firstRow->x, 3 * cw + 17 * cw);
    EXPECT_EQ(firstRow->y, 9 * lh);
    // Two rules, one pixel high, from the margin to two characters short of the line.
    const int ruleWidth = (lineChars - 2) * cw - 1 - 3 * cw + 1;
    ASSERT_EQ(static_cast<int>(first.pixels.size()), 2 * ruleWidth);
    EXPECT_EQ(first.pixels.front().x, 3 * cw);
    EXPECT_EQ(first.pixels.front().y, 6 * lh + 4 * (lh / 8));
    EXPECT_EQ(first.pixels.back().y, 8 * lh + 4 * (lh / 8));

    const DrawnPage second = PrintPage(info, 1);
    EXPECT_EQ(second.texts, Expected(1, cursor));
    ASSERT_NE(Find(second, "Page = 1"), nullptr);
    ASSERT_NE(Find(second, "45"), nullptr); // the list's own row numbers
    EXPECT_EQ(Find(second, "41")->y, 9 * lh);
    // Names descending: the last five rows are all "Alice", one per line.
    int alices = 0;
    for (const DrawnText& t : second.texts) {
        if (t.text == "Alice") {
            EXPECT_EQ(t.y, (9 + alices) * lh);
            ++alices;
        }
    }
    EXPECT_EQ(alices, 5);
}

TEST_F(ResultPrint, AFullLastPageLeavesAPageOfHeadingsAndAnEmptyListOnePage) {
    ResultPrintInfo info = Area(55); // 45 rows a page: exactly the 45 items
    ASSERT_TRUE(dialog_->BeginPrint(metafile_, info));
    EXPECT_EQ(info.maxPage, 1);
    PrintPage(info, 0);
    const DrawnPage headings = PrintPage(info, 1);
    EXPECT_EQ(headings.texts.size(), 12u); // title, label, ten headings
    EXPECT_NE(Find(headings, "Hi"), nullptr);

    // A filter that leaves nothing: one page with the head only.
    SetChecked(result_ids::kIdAll, false);
    SetDlgItemTextA(Dialog(), result_ids::kIdEdit, "A003");
    Click(result_ids::kFilterButton);
    ASSERT_EQ(Rows(), 0);
    ASSERT_TRUE(dialog_->BeginPrint(metafile_, info));
    EXPECT_EQ(info.maxPage, 0);
    const DrawnPage empty = PrintPage(info, 0);
    EXPECT_NE(Find(empty, "Page = 0"), nullptr);
    EXPECT_EQ(empty.texts.size(), 12u);
}

TEST_F(ResultPrint, APageTooShortForOneRowIsRefused) {
    ResultPrintInfo info = Area(11);
    EXPECT_TRUE(dialog_->BeginPrint(metafile_, info));
    EXPECT_EQ(info.maxPage, 45);
    info.drawRect.bottom -= 1; // ten lines and a bit
    EXPECT_FALSE(dialog_->BeginPrint(metafile_, info));
    EXPECT_EQ(dialog_->LastPrintSetup(), PrintSetup::PageTooSmall);
    EXPECT_NE(std::string(PrintSetupMessage(PrintSetup::PageTooSmall)), "");
}

} // namespace
