#include "view/view.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <numeric>

#include "charcode/charcode.h"
#include "fake_host.h"
#include "resources/resources.h"
#include "temp_dir.h"
#include "util/utf.h"

namespace octile {
namespace {

using test::FakeHost;
using test::TempDir;

constexpr int32_t kCw = 8;   // character width of the fake font
constexpr int32_t kLh = 16;  // line height

class ViewTest : public ::testing::Test {
  protected:
    ViewTest() : doc(host), view(host, doc, store) {
        host.metrics = {kCw, kLh};
        view.OnCreate();
    }

    void Open(const std::vector<uint8_t>& bytes) { OpenPath(dir.Write("f.bin", bytes)); }
    void Open(size_t n) {
        std::vector<uint8_t> v(n);
        std::iota(v.begin(), v.end(), 0);
        Open(v);
    }
    void OpenPath(const std::string& path) {
        ASSERT_TRUE(doc.OnOpenDocument(path));
        view.OnInitialUpdate();
    }
    // Pixel centre of a cell.
    static int32_t X(int32_t column) { return column * kCw + kCw / 2; }
    static int32_t Y(int32_t row) { return row * kLh + kLh / 2; }
    void Cmd(uint32_t id) { ASSERT_TRUE(view.OnCommand(id)) << id; }
    // The first dump line of the page.
    std::u16string FirstLine() const {
        const std::u16string& t = view.DumpText();
        const size_t a = t.find(u"\r\n") + 2;
        return t.substr(a, t.find(u"\r\n", a) - a);
    }

    TempDir dir;
    FakeHost host;
    MemoryProfileStore store;
    COctileDoc doc;
    COctileView view;
};

TEST_F(ViewTest, NewViewWithoutAFileIgnoresInput) {
    EXPECT_FALSE(host.scrollVisible);
    EXPECT_FALSE(view.IsFileOpen());
    view.OnLButtonDown(X(20), Y(2), false);
    EXPECT_FALSE(view.IsDragging());
    view.OnMouseWheel(-120);
    EXPECT_EQ(view.WindowOffset(), 0u);
    CmdUI ui;
    for (uint32_t id : {ID_PAGE_PREV, ID_PAGE_NEXT, ID_JUMP, ID_READ_SIZE}) {
        ASSERT_TRUE(view.OnUpdateCommand(id, ui));
        EXPECT_FALSE(ui.enabled) << id;
    }
    view.BeginPaint();
    EXPECT_TRUE(view.InvertedSpans().empty());
}

TEST_F(ViewTest, OpeningSetsUpTheFirstPage) {
    view.SetCaretCell({30, 5});
    Open(1000);
    EXPECT_TRUE(host.scrollVisible);
    EXPECT_EQ(view.ExtraDigits(), 0);
    EXPECT_EQ(view.FileLineCount(), 63u);
    EXPECT_EQ(host.scrollMax, 62);
    EXPECT_EQ(view.ValidCount(), 256u);
    EXPECT_EQ(FirstLine().substr(0, 9), u"00000000|");
    // The caret cell keeps its place; the selection returns to 0.
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{30, 5}));
    EXPECT_EQ(view.Anchor(), 0u);
    EXPECT_EQ(view.CaretOffset(), 0u);
    EXPECT_EQ(view.TextArea().left, 9);
    EXPECT_EQ(view.TextArea().right, 77);
    EXPECT_EQ(view.TextArea().bottom, 17);
}

TEST_F(ViewTest, PagingThroughAThousandBytes) {
    Open(1000);
    for (uint64_t expected : {256u, 512u, 768u, 768u}) {
        Cmd(ID_PAGE_NEXT);
        EXPECT_EQ(view.WindowOffset(), expected);
    }
    EXPECT_EQ(view.ValidCount(), 232u);
    Cmd(ID_PAGE_PREV);
    EXPECT_EQ(view.WindowOffset(), 512u);

    // From an offset below the read size the previous page is the start.
    view.SetWindowOffset(100);
    Cmd(ID_PAGE_PREV);
    EXPECT_EQ(view.WindowOffset(), 0u);
}

TEST_F(ViewTest, JumpTakesTheTypedAddressExactly) {
    Open(0x2000);
    std::u16string preset;
    host.AnswerDialog<CJumpSecDlg>([&](CJumpSecDlg& d) {
        preset = d.address;
        d.address = u"1234";
        return IDOK;
    });
    Cmd(ID_JUMP);
    EXPECT_EQ(preset, u"00000000");
    EXPECT_EQ(view.WindowOffset(), 0x1234u);
    EXPECT_EQ(FirstLine().substr(0, 9), u"00001234|");
    EXPECT_EQ(view.ReadWindow()[0], 0x34);

    struct Case {
        const char16_t* typed;
        bool message;
    } cases[] = {{u"2000", false},  // the file's length: nothing happens
                 {u"ffffffffffff", false}, {u" 10", true}, {u"-1", true},
                 {u"１０", true},          {u"0x10", true}};
    for (const Case& c : cases) {
        host.messages.clear();
        host.AnswerDialog<CJumpSecDlg>([&](CJumpSecDlg& d) {
            d.address = c.typed;
            return IDOK;
        });
        Cmd(ID_JUMP);
        EXPECT_EQ(view.WindowOffset(), 0x1234u);
        ASSERT_EQ(host.messages.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(host.messages[0].text, u"範囲を１６進数で指定してください。");
        }
    }
    // Cancel changes nothing.
    host.AnswerDialog<CJumpSecDlg>([](CJumpSecDlg& d) {
        d.address = u"0";
        return IDCANCEL;
    });
    Cmd(ID_JUMP);
    EXPECT_EQ(view.WindowOffset(), 0x1234u);
}

TEST_F(ViewTest, ReadSizeDialogAndTheWindowHeight) {
    Open(0x1000);
    std::u16string preset;
    host.AnswerDialog<CSetSectorDlg>([&](CSetSectorDlg& d) {
        preset = d.size;
        d.size = u"30";
        return IDOK;
    });
    Cmd(ID_READ_SIZE);
    EXPECT_EQ(preset, u"00000100");
    EXPECT_EQ(view.ReadSize(), 0x30u);
    EXPECT_EQ(view.TextArea().bottom, 4);  // three lines

    // A change of height gives a read size from the rows that fit.
    view.OnSize(11 * kLh + 5, false);
    EXPECT_EQ(view.ReadSize(), 160u);
    view.OnSize(kLh, false);  // too small for one data row: unchanged
    EXPECT_EQ(view.ReadSize(), 160u);
    view.OnSize(30 * kLh, true);  // minimised: unchanged
    EXPECT_EQ(view.ReadSize(), 160u);

    // Too large for one read and the page text: refused.
    host.AnswerDialog<CSetSectorDlg>([](CSetSectorDlg& d) {
        d.size = u"FFFFFFFF";
        return IDOK;
    });
    Cmd(ID_READ_SIZE);
    EXPECT_EQ(view.ReadSize(), 160u);
    ASSERT_EQ(host.messages.size(), 1u);

    // 0 shows the ruler and the closing rule only; paging does nothing.
    host.AnswerDialog<CSetSectorDlg>([](CSetSectorDlg& d) {
        d.size = u"0";
        return IDOK;
    });
    Cmd(ID_READ_SIZE);
    EXPECT_EQ(view.ReadSize(), 0u);
    EXPECT_EQ(view.TextArea().bottom, 1);
    Cmd(ID_PAGE_NEXT);
    EXPECT_EQ(view.WindowOffset(), 0u);
}

TEST_F(ViewTest, EmptyFile) {
    Open(0);
    EXPECT_EQ(view.ExtraDigits(), 8);
    EXPECT_EQ(view.FileLineCount(), 0u);
    Cmd(ID_WINDOW_BOTTOM);
    EXPECT_EQ(view.WindowOffset(), 0u);
    Cmd(ID_SELECT_BOTTOM);
    EXPECT_EQ(view.CaretOffset(), 0u);
    view.OnLButtonDown(X(view.Layout().HexDigitColumn(0, HexDigit::kLow)), Y(1), false);
    EXPECT_FALSE(view.IsDragging());
    // No key moves the anchor or the caret outside the (empty) file.
    for (uint32_t id : {ID_CARET_UP, ID_CARET_DOWN, ID_CARET_LEFT, ID_CARET_RIGHT, ID_SELECT_UP,
                        ID_SELECT_DOWN, ID_CARET_HOME, ID_CARET_END, ID_PAGE_NEXT, ID_PAGE_PREV}) {
        Cmd(id);
        uint64_t s = 1, e = 1;
        view.GetSelectionRange(s, e);
        EXPECT_EQ(s, 0u) << id;
        EXPECT_EQ(e, 0u) << id;
    }
}

TEST_F(ViewTest, LargeFileScrollUnit) {
    OpenPath(dir.Sparse("sparse.bin", (5ull << 30) + 7));
    EXPECT_EQ(view.ExtraDigits(), 1);
    EXPECT_EQ(view.ScrollUnit(), 16u);
    EXPECT_EQ(host.scrollMax, static_cast<int32_t>(((5ull << 30) / 16 + 1) / 16 - 1));
    view.OnVScroll(COctileView::SB_THUMBTRACK, 1000);
    EXPECT_EQ(view.WindowOffset(), 256u * 1000);
    EXPECT_EQ(FirstLine().substr(0, 10), u"00003e800|");
    view.OnVScroll(COctileView::SB_BOTTOM, 0);
    EXPECT_EQ(view.WindowOffset(), (5ull << 30));
    EXPECT_EQ(host.scrollPos, static_cast<int32_t>(((5ull << 30) + 15) / 256));
    view.OnVScroll(COctileView::SB_TOP, 0);
    EXPECT_EQ(view.WindowOffset(), 0u);
}

TEST_F(ViewTest, CellToOffsetColumns) {
    Open(0x1000);
    view.SetWindowOffset(0x105);
    const DumpLayout L = view.Layout();
    struct Case {
        int32_t column;
        uint64_t offset;
        DumpArea area;
        HexDigit digit;
    } cases[] = {
        {L.FirstBar() - 1, 0x115, DumpArea::kNone, HexDigit::kNone},
        {L.FirstBar(), 0x115, DumpArea::kHex, HexDigit::kNone},
        {L.HexColumn(0), 0x115, DumpArea::kHex, HexDigit::kHigh},
        {L.HexDigitColumn(0, HexDigit::kLow), 0x115, DumpArea::kHex, HexDigit::kLow},
        {L.HexDigitColumn(0, HexDigit::kBlank), 0x115, DumpArea::kHex, HexDigit::kBlank},
        {L.HexColumn(1), 0x116, DumpArea::kHex, HexDigit::kHigh},
        {L.HexDigitColumn(15, HexDigit::kLow), 0x124, DumpArea::kHex, HexDigit::kLow},
        {L.LastHexCell(), 0x115, DumpArea::kNone, HexDigit::kNone},
        {L.CharColumn(0) - 1, 0x115, DumpArea::kNone, HexDigit::kNone},
        {L.CharColumn(0), 0x115, DumpArea::kChar, HexDigit::kHigh},
        {L.CharColumn(15), 0x124, DumpArea::kChar, HexDigit::kHigh},
        {L.CharEnd(), 0x115, DumpArea::kNone, HexDigit::kNone},
    };
    for (const Case& c : cases) {
        const auto h = view.CellToOffset(c.column, 2);
        EXPECT_EQ(h.offset, c.offset) << c.column;
        EXPECT_EQ(h.area, c.area) << c.column;
        EXPECT_EQ(h.digit, c.digit) << c.column;
    }
    COctileView::Cell cell;
    EXPECT_TRUE(view.OffsetToCell(COctileView::CellMode::kHex, 0x116, cell));
    EXPECT_EQ(cell, (COctileView::Cell{L.HexColumn(1), 2}));
    EXPECT_TRUE(view.OffsetToCell(COctileView::CellMode::kChar, 0x116, cell));
    EXPECT_EQ(cell, (COctileView::Cell{L.CharColumn(1), 2}));
    EXPECT_FALSE(view.OffsetToCell(COctileView::CellMode::kHex, 0x104, cell));
    EXPECT_FALSE(view.OffsetToCell(COctileView::CellMode::kHex, 0x205, cell));
    EXPECT_TRUE(view.OffsetToCell(COctileView::CellMode::kHexAnywhere, 0x104,
                                  cell));  // untested: just above the page
    EXPECT_EQ(cell.row, 0);
    EXPECT_TRUE(view.OffsetToCell(COctileView::CellMode::kHexAnywhere, 0, cell));
    EXPECT_LE(cell.row, 0);
}

TEST_F(ViewTest, CursorKeysStayInTheTextArea) {
    Open(0x200);
    const DumpLayout L = view.Layout();
    view.SetCaretCell({L.HexColumn(0), 1});
    Cmd(ID_CARET_LEFT);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.HexColumn(0), 1}));
    Cmd(ID_CARET_UP);  // row 1 at window 0: nothing moves
    EXPECT_EQ(view.WindowOffset(), 0u);
    EXPECT_EQ(view.CaretCell().row, 1);

    view.SetCaretCell({L.CharColumn(15), 3});
    Cmd(ID_CARET_RIGHT);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.CharColumn(15), 3}));
    EXPECT_EQ(view.CaretOffset(), 0x2Fu);  // collapsed onto the character's byte
    EXPECT_EQ(view.Anchor(), 0x2Fu);

    view.SetCaretCell({L.HexDigitColumn(3, HexDigit::kBlank), 2});
    Cmd(ID_CARET_END);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.CharColumn(15), 16}));
    EXPECT_EQ(view.CaretOffset(), 0x2Fu);  // End moves only the caret cell
    Cmd(ID_CARET_HOME);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.HexColumn(0), 1}));

    // Down on the last row scrolls one line; the caret stays on the last row.
    view.SetCaretCell({L.HexColumn(0), 16});
    Cmd(ID_CARET_DOWN);
    EXPECT_EQ(view.WindowOffset(), 16u);
    EXPECT_EQ(view.CaretCell().row, 16);
    EXPECT_EQ(view.CaretOffset(), 16u + 15 * 16);

    // When data row 1 holds the last line, Down no longer scrolls.
    view.SetWindowOffset(0x1F0);
    Cmd(ID_CARET_DOWN);
    EXPECT_EQ(view.WindowOffset(), 0x1F0u);

    Cmd(ID_WINDOW_TOP);
    EXPECT_EQ(view.WindowOffset(), 0u);
    Cmd(ID_WINDOW_BOTTOM);
    EXPECT_EQ(view.WindowOffset(), 0x1F0u);
}

TEST_F(ViewTest, ShiftKeysExtendAndScrollWhenClipped) {
    Open(0x1000);
    const DumpLayout L = view.Layout();
    view.SetCaretCell({L.HexColumn(0), 1});
    Cmd(ID_CARET_LEFT);  // collapse at 0
    Cmd(ID_SELECT_RIGHT);
    Cmd(ID_SELECT_DOWN);
    uint64_t s, t;
    view.GetSelectionRange(s, t);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(t, 17u);
    EXPECT_EQ(view.SelectionCells().left, L.HexColumn(0));
    EXPECT_EQ(view.SelectionCells().right, L.HexDigitColumn(1, HexDigit::kLow));
    EXPECT_EQ(view.SelectionCells().bottom, 2);

    // With the anchor above the window, each Shift+Left scrolls a line up.
    view.SetWindowOffset(0x200);
    const uint64_t before = view.WindowOffset();
    view.UpdateSelection(SelectionStep::kCaret, 0x250);
    Cmd(ID_SELECT_LEFT);
    EXPECT_EQ(view.WindowOffset(), before - 16);
    Cmd(ID_SELECT_LEFT);
    EXPECT_EQ(view.WindowOffset(), before - 32);
    EXPECT_EQ(view.CaretOffset(), 0x24Eu);

    // Ctrl+Shift+End selects to the last byte and shows the last line.
    Cmd(ID_SELECT_BOTTOM);
    EXPECT_EQ(view.CaretOffset(), 0xFFFu);
    EXPECT_EQ(view.WindowOffset(), 0xFF0u);
    Cmd(ID_SELECT_TOP);
    EXPECT_EQ(view.CaretOffset(), 0u);
    EXPECT_EQ(view.WindowOffset(), 0u);
}

TEST_F(ViewTest, ClickAndDragSelect) {
    Open(0x1000);
    const DumpLayout L = view.Layout();
    view.OnLButtonDown(X(L.HexColumn(2)), Y(2), false);  // byte 2 of row 2
    EXPECT_TRUE(view.IsDragging());
    EXPECT_TRUE(host.captured);
    EXPECT_EQ(host.timers.at(COctileView::kDragTimerId), 50u);
    EXPECT_EQ(view.Anchor(), 0x12u);
    EXPECT_EQ(view.CaretOffset(), 0x12u);

    view.OnMouseMove(X(L.CharColumn(4)), Y(3));  // character cell of byte 4, row 3
    EXPECT_EQ(view.CaretOffset(), 0x24u);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.HexColumn(2), 2}));  // the caret cell stays

    // Below the text the window scrolls a line per tick and the selection
    // reaches the last byte of the window.
    host.cursor = {X(L.HexDigitColumn(3, HexDigit::kBlank)), Y(40)};
    view.OnTimer(COctileView::kDragTimerId);
    EXPECT_EQ(view.WindowOffset(), 16u);
    EXPECT_EQ(view.CaretOffset(), 0u + 256 + 15);
    view.OnTimer(COctileView::kDragTimerId);
    EXPECT_EQ(view.WindowOffset(), 32u);
    // The address column also scrolls downwards (its row is 1 or more).
    view.OnMouseMove(X(2), Y(4));
    EXPECT_EQ(view.WindowOffset(), 48u);
    view.OnTimer(99);  // another timer's tick is not the drag's
    EXPECT_EQ(view.WindowOffset(), 48u);

    // Above the text it scrolls back up, the caret on the window's first byte.
    view.OnMouseMove(X(L.HexDigitColumn(3, HexDigit::kBlank)), -5);
    EXPECT_EQ(view.WindowOffset(), 32u);
    EXPECT_EQ(view.CaretOffset(), 32u);

    view.OnLButtonUp(X(L.HexColumn(1)), Y(1));
    EXPECT_FALSE(view.IsDragging());
    EXPECT_FALSE(host.captured);
    EXPECT_TRUE(host.timers.empty());
    EXPECT_EQ(view.CaretOffset(), 33u);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{L.HexColumn(1), 1}));
    EXPECT_EQ(view.Anchor(), 0x12u);

    // Shift+click extends from the anchor.
    view.OnLButtonDown(X(L.HexColumn(0)), Y(3), true);
    view.OnLButtonUp(X(L.HexColumn(0)), Y(3));
    EXPECT_EQ(view.Anchor(), 0x12u);
    EXPECT_EQ(view.CaretOffset(), 32u + 32);
}

TEST_F(ViewTest, DragStopsAtTheEndOfTheFile) {
    Open(0x120);
    view.OnLButtonDown(X(view.Layout().HexColumn(0)), Y(1), false);
    for (int i = 0; i < 30; ++i) view.OnMouseMove(X(view.Layout().HexColumn(0)), Y(30 + i));
    EXPECT_EQ(view.WindowOffset(), 0x110u);  // data row 1 holds the last line
    EXPECT_EQ(view.CaretOffset(), 0x11Fu);   // clamped to the last byte
}

TEST_F(ViewTest, Wheel) {
    Open(0x1000);
    view.SetWindowOffset(32);
    view.OnMouseWheel(120);  // three lines up from 32
    EXPECT_EQ(view.WindowOffset(), 0u);
    view.OnMouseWheel(-120);
    EXPECT_EQ(view.WindowOffset(), 48u);
    view.OnMouseWheel(-40);  // a third of a notch: one line
    EXPECT_EQ(view.WindowOffset(), 64u);
    host.wheelLines = -1;  // a page per notch
    view.OnMouseWheel(-120);
    EXPECT_EQ(view.WindowOffset(), 64u + 256);
    // A step that reaches the end leaves the window where it is.
    view.SetWindowOffset(0xFE0);
    host.wheelLines = 3;
    view.OnMouseWheel(-120);
    EXPECT_EQ(view.WindowOffset(), 0xFE0u);
}

TEST_F(ViewTest, CaretAndSelectionInversion) {
    Open(0x1000);
    const DumpLayout L = view.Layout();
    view.SetCaretCell({L.HexColumn(0), 1});
    Cmd(ID_CARET_LEFT);
    view.BeginPaint();
    // A one-byte selection and the caret box inside it.
    const PixelRect sel{(L.HexColumn(0)) * kCw, kLh,
                        (L.HexDigitColumn(0, HexDigit::kBlank)) * kCw - 1, 2 * kLh - 1};
    const PixelRect caret{(L.HexColumn(0)) * kCw + 1, kLh + 1,
                          (L.HexDigitColumn(0, HexDigit::kLow)) * kCw - 2, 2 * kLh - 2};
    EXPECT_EQ(view.InvertedSpans(), (std::vector<PixelRect>{sel, caret}));

    // Erasing restores every pixel.
    view.DrawCaret(CaretDraw::kHide);
    EXPECT_TRUE(view.InvertedSpans().empty());

    // In the character column the caret is an underline two pixels high.
    view.SetCaretCell({L.CharColumn(2), 2});
    view.DrawCaret(CaretDraw::kShow);
    const PixelRect under{(L.CharColumn(2)) * kCw + 1, 3 * kLh - 2, (L.CharColumn(3)) * kCw - 2,
                          3 * kLh};
    EXPECT_NE(std::find(view.InvertedSpans().begin(), view.InvertedSpans().end(), under),
              view.InvertedSpans().end());

    // A caret on the bar or blanks before the character column is invisible.
    view.DrawCaret(CaretDraw::kHide);
    view.SetCaretCell({L.SecondBar() + 1, 2});
    Cmd(ID_CARET_RIGHT);
    view.BeginPaint();
    ASSERT_EQ(view.InvertedSpans().size(), 1u);  // only the selection
}

TEST_F(ViewTest, MultiLineSelectionCoversWholeLinesBetween) {
    Open(0x1000);
    const DumpLayout L = view.Layout();
    view.UpdateSelection(SelectionStep::kAnchor, 0x13);
    view.UpdateSelection(SelectionStep::kCaret, 0x45);
    view.BeginPaint();
    const int32_t hexL = (L.HexColumn(0)) * kCw;
    const int32_t hexR = (L.HexEnd()) * kCw;
    std::vector<PixelRect> expected = {
        {(L.HexColumn(3)) * kCw, 2 * kLh, hexR, 3 * kLh},  // from byte 3 of row 2 to the line end
        {hexL, 3 * kLh, hexR, 4 * kLh},
        {hexL, 4 * kLh, hexR, 5 * kLh},
        {hexL, 5 * kLh, (L.HexDigitColumn(5, HexDigit::kBlank)) * kCw - 1,
         6 * kLh - 1},  // to byte 5's low digit
    };
    auto spans = view.InvertedSpans();
    spans.pop_back();  // the caret box
    EXPECT_EQ(spans, expected);
}

TEST_F(ViewTest, SelectionBeyondThePageIsClipped) {
    Open(0x1000);
    view.SetWindowOffset(0x100);
    view.UpdateSelection(SelectionStep::kCaret, 0x150);
    EXPECT_TRUE(view.UpdateSelection(SelectionStep::kAnchor, 0x10));
    EXPECT_EQ(view.SelectionCells().left, view.Layout().HexColumn(0));
    EXPECT_EQ(view.SelectionCells().top, 1);
    EXPECT_TRUE(view.UpdateSelection(SelectionStep::kCaret, 0x300));
    EXPECT_EQ(view.SelectionCells().right, view.Layout().HexEnd());
    EXPECT_EQ(view.SelectionCells().bottom, 16);
    EXPECT_FALSE(
        view.UpdateSelection(SelectionStep::kAnchor, 0x500));  // wholly below: nothing visible
    EXPECT_EQ(view.SelectionCells().left, -1);
    EXPECT_FALSE(view.UpdateSelection(SelectionStep::kCaret, 0x5000));  // clamped to the last byte
    EXPECT_EQ(view.CaretOffset(), 0xFFFu);
}

TEST_F(ViewTest, ReloadKeepsTheCaretOnThePage) {
    Open(0x1000);
    view.SetCaretCell({view.Layout().HexColumn(7), 16});
    view.OnSize(9 * kLh, false);  // eight rows now
    EXPECT_EQ(view.CaretCell().row, 8);
}

TEST_F(ViewTest, SettingsAreReadAndWrittenBack) {
    MemoryProfileStore s;
    s.WriteProfileInt("View", "Viewer", 5);
    s.WriteProfileInt("View", "Upper", 5);
    s.WriteProfileInt("View", "CodeType", CODE_UTF8);
    s.WriteProfileInt("View", "MarkColor3", 0x123456);
    s.WriteProfileInt("Font", "Italic", 0x101);
    s.WriteProfileString("Font", "FaceName", std::string(40, 'F'));
    std::vector<std::pair<int, uint32_t>> panes;
    COctileView v(host, doc, s);
    v.onMarkColour = [&](int i, uint32_t c) { panes.emplace_back(i, c); };
    v.OnCreate();
    EXPECT_TRUE(v.IsPictureDisplay());
    EXPECT_TRUE(v.IsUpper());
    EXPECT_EQ(v.GetCharCode(), CODE_UTF8);
    EXPECT_EQ(v.GetMarkColour(3), 0x123456u);
    EXPECT_EQ(v.Font().italic, 1);
    EXPECT_EQ(v.Font().faceName.size(), 31u);
    EXPECT_EQ(panes.size(), 5u);
    EXPECT_EQ(panes[2], std::make_pair(2, 0x123456u));
    v.OnDestroy();
    EXPECT_EQ(s.GetProfileInt("View", "Viewer", 0), 1);
    EXPECT_EQ(s.GetProfileInt("View", "Upper", 0), 1);
    EXPECT_EQ(s.GetProfileInt("View", "CodeType", 0), CODE_UTF8);
    EXPECT_EQ(s.GetProfileInt("View", "MarkColor", 0), 0x0000FF);
    EXPECT_EQ(s.GetProfileInt("View", "MarkColor5", 0), 0x00FFFF);

    // Defaults on a clean store.
    MemoryProfileStore clean;
    COctileView d(host, doc, clean);
    d.OnCreate();
    EXPECT_EQ(d.TextColour(), 0u);
    EXPECT_EQ(d.BackColour(), 0xFFFFFFu);
    EXPECT_EQ(d.Font().height, -15);
    EXPECT_EQ(d.Font().weight, 400);
    EXPECT_EQ(d.Font().faceName, u"ＭＳ ゴシック");
    EXPECT_EQ(d.GetCharCode(), 0);
    EXPECT_FALSE(d.IsUpper());
}

TEST_F(ViewTest, StoredCodesReadAsTheyAreAndOthersKeepTheDefault) {
    const std::pair<int32_t, int32_t> cases[] = {
        {CODE_SJIS, CODE_SJIS}, {CODE_UNICODE, CODE_UNICODE},
        {CODE_JIS, CODE_JIS},   {CODE_EUC, CODE_EUC},
        {CODE_UTF8, CODE_UTF8}, {5, CODE_SJIS},
        {-1, CODE_SJIS},        {1000, CODE_SJIS},
    };
    for (const auto& [stored, read] : cases) {
        MemoryProfileStore s;
        s.WriteProfileInt("View", "CodeType", stored);
        COctileView v(host, doc, s);
        v.OnCreate();
        EXPECT_EQ(v.GetCharCode(), read) << stored;
    }
}

}  // namespace
}  // namespace octile

namespace octile {
namespace {

class TypingTest : public ViewTest {
  protected:
    void OpenWritable(size_t n, uint8_t fill = 0) {
        // A file held read-write cannot be probed again, so each gets a new name.
        path = dir.Write("t" + std::to_string(files++) + ".bin",
                         std::string(n, static_cast<char>(fill)));
        ASSERT_TRUE(doc.OnOpenDocument(path));
        doc.OnCommand(ID_READ_ONLY);  // read-write
        ASSERT_EQ(doc.IsReadOnly(), 0);
        view.OnInitialUpdate();
    }
    std::string Disk() const { return test::ReadAll(path); }
    void HexCaret(uint64_t offset, int digit = 0) {
        COctileView::Cell c;
        ASSERT_TRUE(view.OffsetToCell(COctileView::CellMode::kHex, offset, c));
        view.SetCaretCell({c.column + digit, c.row});
    }
    void CharCaret(uint64_t offset) {
        COctileView::Cell c;
        ASSERT_TRUE(view.OffsetToCell(COctileView::CellMode::kChar, offset, c));
        view.SetCaretCell(c);
    }
    std::string path;
    int files = 0;
};

TEST_F(TypingTest, HexDigitsOverwriteHalfBytes) {
    OpenWritable(0x200);
    HexCaret(0);
    view.OnText(u"4");
    EXPECT_EQ(Disk()[0], '\x40');
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexDigitColumn(0, HexDigit::kLow),
                                                   1}));  // the low digit
    view.OnText(u"1");
    EXPECT_EQ(Disk()[0], '\x41');  // on disk at once
    EXPECT_EQ(view.CaretCell(),
              (COctileView::Cell{view.Layout().HexColumn(1), 1}));  // next byte's high digit

    view.OnText(u"g");  // not a digit: nothing
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexColumn(1), 1}));
    EXPECT_EQ(Disk()[1], '\0');

    view.OnText(u"F");  // upper case digits count too
    EXPECT_EQ(Disk()[1], '\xF0');

    // On the blank after a byte the digit goes to the next byte's high digit.
    HexCaret(5, 2);
    view.OnText(u"7");
    EXPECT_EQ(Disk()[6], '\x70');
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexColumn(0) + 3 * 6 + 1, 1}));

    // The low digit of the window's last byte scrolls one line.
    HexCaret(0xFF, 1);
    view.OnText(u"9");
    EXPECT_EQ(Disk()[0xFF], '\x09');
    EXPECT_EQ(view.WindowOffset(), 16u);
    EXPECT_EQ(view.CaretCell(), (COctileView::Cell{view.Layout().HexColumn(0), 16}));

    // The blank after the sixteenth byte belongs to no area.
    view.SetCaretCell({view.Layout().LastHexCell(), 2});
    const std::string before = Disk();
    view.OnText(u"5");
    EXPECT_EQ(Disk(), before);
}

TEST_F(TypingTest, CharacterColumnInEveryCode) {
    struct Case {
        int32_t code;
        std::u16string typed;
        std::string bytes;  // written from offset 4
        int cells;          // caret moves this many cells right
    } cases[] = {
        {0, u"A", "A", 1},
        {0, u"あ", "\x82\xA0", 2},
        {1, u"A", std::string("A\0", 2), 2},
        {1, u"あ", "\x42\x30", 2},
        {1, u"\r", std::string("\r\0", 2), 2},
        {3, u"A", "A", 1},
        {3, u"あ", "\xA4\xA2", 2},
        {3, u"ｱ", "\x8E\xB1", 2},
        {2, u"ｱ", "\x8E\xB1", 2},  // JIS types as EUC
        {CODE_UTF8, u"A", "A", 1},
        {CODE_UTF8, u"é", "\xC3\xA9", 2},
        {CODE_UTF8, u"あ", "\xE3\x81\x82", 3},
        {CODE_UTF8, u"\U0001F600", "\xF0\x9F\x98\x80", 4},
        {CODE_UTF8, u"\xD800", "\xEF\xBF\xBD", 3},  // a lone surrogate
    };
    for (const Case& c : cases) {
        OpenWritable(0x40, 0xEE);
        view.SetCharCode(c.code);
        CharCaret(4);
        const COctileView::Cell start = view.CaretCell();
        view.OnText(c.typed);
        const std::string disk = Disk();
        EXPECT_EQ(disk.substr(4, c.bytes.size()), c.bytes) << c.code;
        EXPECT_EQ(disk[4 + c.bytes.size()], '\xEE') << c.code;
        EXPECT_EQ(view.CaretCell().column, start.column + c.cells) << c.code;
        EXPECT_FALSE(view.HasPendingLead());
    }
}

// A UTF-8 character is written whole or not at all: one whose bytes would
// run past the end of the file leaves the file as it was, and the text goes
// on with the next character at the same place.
TEST_F(TypingTest, Utf8CharacterRunningPastTheEndIsRefused) {
    struct Case {
        uint64_t offset;
        std::u16string typed;
        std::string tail;  // the file's last four bytes afterwards
    } cases[] = {
        {0x1D, u"あ", "\xEE\xE3\x81\x82"},
        {0x1E, u"あ", "\xEE\xEE\xEE\xEE"},
        {0x1E, u"é", "\xEE\xEE\xC3\xA9"},
        {0x1F, u"é", "\xEE\xEE\xEE\xEE"},
        {0x1D, u"\U0001F600", "\xEE\xEE\xEE\xEE"},
        {0x1E, u"あA",
         "\xEE\xEE"
         "A\xEE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << " " << Utf16ToUtf8(c.typed));
        OpenWritable(0x20, 0xEE);
        view.SetCharCode(CODE_UTF8);
        CharCaret(c.offset);
        view.OnText(c.typed);
        const std::string disk = Disk();
        ASSERT_EQ(disk.size(), 0x20u);
        EXPECT_EQ(disk.substr(0, 0x1C), std::string(0x1C, '\xEE'));
        EXPECT_EQ(disk.substr(0x1C), c.tail);
    }
}

// A character typed on the window's last byte scrolls on with its bytes; one
// that straddles the window's end is shown whole from the look-ahead.
TEST_F(TypingTest, Utf8CharacterAcrossTheWindowsEnd) {
    OpenWritable(0x300, 'a');
    view.SetCharCode(CODE_UTF8);
    const uint64_t last = view.WindowOffset() + view.ReadSize() - 1;
    auto lastLine = [&] {
        const std::u16string& t = view.DumpText();
        const size_t end = t.rfind(u"\r\n", t.rfind(u"\r\n") - 1);
        const size_t start = t.rfind(u"\r\n", end - 1) + 2;
        return t.substr(start, end - start);
    };
    CharCaret(last - 1);
    view.OnText(u"\U0001F600");
    EXPECT_EQ(Disk().substr(last - 1, 5),
              "\xF0\x9F\x98\x80"
              "a");
    // One line on, the caret after the character.
    EXPECT_EQ(view.WindowOffset(), 16u);
    COctileView::Cell after;
    ASSERT_TRUE(view.OffsetToCell(COctileView::CellMode::kChar, last + 3, after));
    EXPECT_EQ(view.CaretCell(), after);

    view.SetWindowOffset(0);
    EXPECT_EQ(lastLine().substr(view.Layout().CharColumn(0)),
              u"aaaaaaaaaaaaaa\U0001F600  ");  // two cells of glyph, two blanks
}

TEST_F(TypingTest, SecondByteNeverLengthensTheFile) {
    OpenWritable(0x20, 0xEE);
    view.SetCharCode(1);
    CharCaret(0x1F);
    view.OnText(u"A");
    const std::string disk = Disk();
    ASSERT_EQ(disk.size(), 0x20u);
    EXPECT_EQ(disk[0x1F], 'A');
}

TEST_F(TypingTest, SecondByteAtTheWindowsEndScrollsFirst) {
    OpenWritable(0x300, 0xEE);
    view.SetCharCode(1);
    CharCaret(0xFF);
    view.OnText(u"B");
    EXPECT_EQ(view.WindowOffset(), 16u);
    EXPECT_EQ(Disk().substr(0xFF, 3), std::string("B\0\xEE", 3));
}

TEST_F(TypingTest, PendingLeadWhoseWindowMovedOnIsWrittenAtItsOffset) {
    OpenWritable(0x100, 0xEE);
    view.SetCharCode(1);
    view.SetReadSize(16);  // a one-line window
    CharCaret(15);
    const uint8_t lead = 0x82, trail = 0xA0;  // "あ"
    view.OnChar(lead);
    EXPECT_TRUE(view.HasPendingLead());
    EXPECT_EQ(view.WindowOffset(), 16u);  // the caret moved past the window
    view.OnChar(trail);
    const std::string disk = Disk();
    EXPECT_EQ(disk[15], '\x42');
    EXPECT_EQ(disk[16], '\x30');
    EXPECT_EQ(disk.size(), 0x100u);
}

// A lead byte waits for its trail byte only as long as the key that follows
// can complete it in the same opening of the same file.
TEST_F(TypingTest, PendingLeadNeverOutlivesItsFileOrARefusedTrail) {
    const uint8_t lead = 0x82;  // "あ" is 0x82 0xA0
    // In Shift-JIS the lead byte fits on the last byte; the trail byte does
    // not, and lands nowhere else (the caret is pulled back onto the page).
    OpenWritable(0x20, 0xEE);
    CharCaret(0x1F);
    view.OnText(u"あ");
    EXPECT_EQ(Disk(), std::string(0x1F, '\xEE') + "\x82");

    for (const int32_t code : {CODE_UNICODE, CODE_EUC}) {
        SCOPED_TRACE(code);
        // A character typed on the file's last byte: its trail byte is
        // refused at the end of the file, and the lead goes with it.
        OpenWritable(0x20, 0xEE);
        view.SetCharCode(code);
        CharCaret(0x1F);
        view.OnText(u"あ");
        EXPECT_FALSE(view.HasPendingLead());
        CharCaret(4);
        view.OnText(u"A");
        std::string expected(0x20, '\xEE');
        expected.replace(4, code == CODE_UNICODE ? 2 : 1,
                         code == CODE_UNICODE ? std::string("A\0", 2) : std::string("A"));
        EXPECT_EQ(Disk(), expected);

        // A lead typed, then the file changes under it: the next key is a
        // character of its own, and the first file keeps its bytes.
        const std::vector<std::pair<const char*, std::function<void()>>> changes = {
            {"another file", [&] { OpenWritable(0x20, 0xEE); }},
            {"read-only and back",
             [&] {
                 doc.OnCommand(ID_READ_ONLY);
                 doc.OnCommand(ID_READ_ONLY);
                 ASSERT_EQ(doc.IsReadOnly(), 0);
             }},
        };
        for (const auto& [name, change] : changes) {
            SCOPED_TRACE(name);
            OpenWritable(0x20, 0xEE);
            const std::string first = path;
            CharCaret(6);
            view.OnChar(lead);
            ASSERT_TRUE(view.HasPendingLead());
            change();
            CharCaret(8);
            view.OnText(u"A");
            EXPECT_EQ(test::ReadAll(first).substr(6, 1), "\xEE");
            EXPECT_EQ(Disk().substr(6, 3), std::string("\xEE\xEE") + "A");
        }
    }
}

TEST_F(TypingTest, RefusedWhereTypingCannotGo) {
    // Read-only: neither the file nor the caret change.
    path = dir.Write("ro.bin", std::string(0x40, '\0'));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    view.OnInitialUpdate();
    HexCaret(0);
    const auto caret = view.CaretCell();
    view.OnText(u"41");
    EXPECT_EQ(Disk(), std::string(0x40, '\0'));
    EXPECT_EQ(view.CaretCell(), caret);

    // Past the end of the file and in the address column.
    OpenWritable(0x18);
    HexCaret(0x18);
    view.OnText(u"1");
    view.SetCaretCell({2, 1});
    view.OnText(u"1");
    EXPECT_EQ(Disk(), std::string(0x18, '\0'));
}

TEST_F(ViewTest, DisplayCommands) {
    Open(0x100);
    Cmd(ID_CODE_NEXT);
    EXPECT_EQ(view.GetCharCode(), 1);
    Cmd(ID_CODE_NEXT);
    EXPECT_EQ(view.GetCharCode(), 3);
    Cmd(ID_CODE_NEXT);
    EXPECT_EQ(view.GetCharCode(), CODE_UTF8);
    Cmd(ID_CODE_NEXT);
    EXPECT_EQ(view.GetCharCode(), 0);
    view.SetCharCode(2);
    Cmd(ID_CODE_NEXT);
    EXPECT_EQ(view.GetCharCode(), 0);
    // The code items: the chosen one checked, the others not.
    const uint32_t items[] = {ID_CODE_SJIS, ID_CODE_UNICODE, ID_CODE_EUC, ID_CODE_UTF8};
    const int32_t codes[] = {CODE_SJIS, CODE_UNICODE, CODE_EUC, CODE_UTF8};
    for (size_t chosen = 0; chosen < std::size(items); ++chosen) {
        Cmd(items[chosen]);
        EXPECT_EQ(view.GetCharCode(), codes[chosen]);
        for (size_t i = 0; i < std::size(items); ++i) {
            CmdUI ui;
            ASSERT_TRUE(view.OnUpdateCommand(items[i], ui));
            EXPECT_TRUE(ui.enabled);
            EXPECT_EQ(ui.checked, i == chosen) << chosen << " " << i;
        }
    }

    Cmd(ID_VIEW_UPPER);
    view.SetWindowOffset(0xA0);
    EXPECT_EQ(FirstLine().substr(0, 13), u"000000A0|A0 A");
    Cmd(ID_VIEW_UPPER);
    EXPECT_EQ(FirstLine().substr(0, 13), u"000000a0|a0 a");
}

}  // namespace
}  // namespace octile
