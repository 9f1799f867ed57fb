#include "dump/dump_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "dump/dump_format.h"

namespace octile {
namespace {

// Two lines of printable bytes, one cell each: "A".."P" and "a".."p".
std::vector<uint8_t> TwoLines() {
    std::vector<uint8_t> data(32 + 16, 0);
    for (int i = 0; i < 16; ++i) {
        data[i] = static_cast<uint8_t>('A' + i);
        data[16 + i] = static_cast<uint8_t>('a' + i);
    }
    return data;
}

// The lines of a dump text, without their line ends.
std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    for (size_t from = 0; from < text.size();) {
        const size_t end = text.find(u"\r\n", from);
        if (end == std::u16string::npos) break;
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

char16_t Digit(int value) { return static_cast<char16_t>("0123456789ABCDEF"[value & 0xF]); }

struct Width {
    int32_t extraDigits;
    int32_t cells;
};
constexpr Width kWidths[] = {{0, 8}, {1, 9}, {8, 16}};

DumpSettings Settings(const Width& w) {
    DumpSettings s;
    s.extraDigits = w.extraDigits;
    s.upper = true;
    s.charCode = CODE_SJIS;
    return s;
}

// Every column DumpLayout names holds, in FormatDump's own text, the
// character that belongs there.
TEST(DumpLayout, ColumnsMatchTheDumpText) {
    const std::vector<uint8_t> data = TwoLines();
    for (const Width& w : kWidths) {
        SCOPED_TRACE(testing::Message() << "address width " << w.cells);
        const DumpSettings s = Settings(w);
        const DumpLayout layout = DumpLayout::For(s);
        ASSERT_EQ(layout.AddressWidth(), w.cells);
        CellRect rect;
        const std::vector<std::u16string> lines =
            Lines(FormatDump(s, 0x1230, data.data(), 32, &rect));
        ASSERT_EQ(lines.size(), 4u);  // ruler, two lines, closing rule
        const std::u16string& ruler = lines[0];
        EXPECT_EQ(rect.left, layout.TextLeft());
        EXPECT_EQ(rect.right, layout.TextRight());
        EXPECT_EQ(rect.top, DumpLayout::kFirstLineRow);

        for (int row = 1; row <= 2; ++row) {
            const std::u16string& line = lines[static_cast<size_t>(row)];
            const uint8_t* bytes = data.data() + 16 * (row - 1);
            ASSERT_EQ(line.size(), static_cast<size_t>(layout.CharEnd()));
            EXPECT_EQ(line.substr(static_cast<size_t>(layout.AddressColumn()),
                                  static_cast<size_t>(layout.AddressWidth())),
                      FormatAddress(s, 0x1230 + 16 * static_cast<uint64_t>(row - 1)));
            EXPECT_EQ(line[static_cast<size_t>(layout.FirstBar())], u'|');
            EXPECT_EQ(line[static_cast<size_t>(layout.SecondBar())], u'|');
            EXPECT_EQ(ruler[static_cast<size_t>(layout.FirstBar())], u'|');
            EXPECT_EQ(ruler[static_cast<size_t>(layout.SecondBar())], u'|');
            for (int32_t c = layout.SecondBar() + 1; c < layout.CharColumn(0); ++c) {
                EXPECT_EQ(line[static_cast<size_t>(c)], u' ') << c;
            }
            for (int i = 0; i < DumpLayout::kBytesPerLine; ++i) {
                auto at = [&](int32_t column) { return line[static_cast<size_t>(column)]; };
                EXPECT_EQ(at(layout.HexColumn(i)), Digit(bytes[i] >> 4)) << i;
                EXPECT_EQ(at(layout.HexDigitColumn(i, HexDigit::kHigh)), Digit(bytes[i] >> 4)) << i;
                EXPECT_EQ(at(layout.HexDigitColumn(i, HexDigit::kLow)), Digit(bytes[i])) << i;
                EXPECT_EQ(at(layout.HexDigitColumn(i, HexDigit::kBlank)), u' ') << i;
                EXPECT_EQ(at(layout.CharColumn(i)), char16_t{bytes[i]}) << i;
                // The ruler numbers both the hexadecimal and the character cells.
                EXPECT_EQ(ruler[static_cast<size_t>(layout.HexDigitColumn(i, HexDigit::kLow))],
                          Digit(i));
                EXPECT_EQ(ruler[static_cast<size_t>(layout.CharColumn(i))], Digit(i));
            }
            EXPECT_EQ(layout.HexEnd(), layout.HexColumn(DumpLayout::kBytesPerLine));
            EXPECT_EQ(layout.LastHexCell(),
                      layout.HexDigitColumn(DumpLayout::kBytesPerLine - 1, HexDigit::kBlank));
        }
    }
}

// The hit test read against the text: each column of a line either shows a
// digit or the character of the byte it names, or lies outside both areas.
TEST(DumpLayout, HitTestAgreesWithTheDumpText) {
    const std::vector<uint8_t> data = TwoLines();
    for (const Width& w : kWidths) {
        SCOPED_TRACE(testing::Message() << "address width " << w.cells);
        const DumpSettings s = Settings(w);
        const DumpLayout layout = DumpLayout::For(s);
        const std::vector<std::u16string> lines = Lines(FormatDump(s, 0, data.data(), 32, nullptr));
        const std::u16string& line = lines[2];  // the second line: "a".."p"
        const uint8_t* bytes = data.data() + 16;
        std::vector<int> hexHigh(16), hexLow(16), chars(16);
        int none = 0;
        for (int32_t column = -2; column < layout.CharEnd() + 3; ++column) {
            const DumpHit h = layout.HitTest(column, 2);
            EXPECT_EQ(h.line, 1) << column;
            const char16_t shown = column >= 0 && column < static_cast<int32_t>(line.size())
                                       ? line[static_cast<size_t>(column)]
                                       : u' ';
            ASSERT_GE(h.byte, 0) << column;
            ASSERT_LT(h.byte, 16) << column;
            const uint8_t b = bytes[h.byte];
            switch (h.area) {
                case DumpArea::kHex:
                    switch (h.digit) {
                        case HexDigit::kHigh:
                            EXPECT_EQ(shown, Digit(b >> 4)) << column;
                            ++hexHigh[static_cast<size_t>(h.byte)];
                            break;
                        case HexDigit::kLow:
                            EXPECT_EQ(shown, Digit(b)) << column;
                            ++hexLow[static_cast<size_t>(h.byte)];
                            break;
                        case HexDigit::kBlank:
                            EXPECT_EQ(shown, u' ') << column;
                            break;
                        case HexDigit::kNone:  // the first bar counts as byte 0's
                            EXPECT_EQ(shown, u'|') << column;
                            EXPECT_EQ(h.byte, 0);
                            break;
                    }
                    break;
                case DumpArea::kChar:
                    EXPECT_EQ(h.digit, HexDigit::kHigh) << column;
                    EXPECT_EQ(shown, char16_t{b}) << column;
                    ++chars[static_cast<size_t>(h.byte)];
                    break;
                case DumpArea::kNone:
                    EXPECT_EQ(h.digit, HexDigit::kNone) << column;
                    EXPECT_EQ(h.byte, 0) << column;
                    ++none;
                    break;
            }
        }
        // Each byte is hit once per digit and once in the character column.
        EXPECT_EQ(hexHigh, std::vector<int>(16, 1));
        EXPECT_EQ(hexLow, std::vector<int>(16, 1));
        EXPECT_EQ(chars, std::vector<int>(16, 1));
        // Outside: two columns before the line, the address, the last blank,
        // the separator, three columns past the line.
        EXPECT_EQ(none, 2 + w.cells + 1 + DumpLayout::kSeparatorWidth + 3);
        EXPECT_EQ(layout.HitTest(layout.LastHexCell(), 1).area, DumpArea::kNone);
    }
}

TEST(DumpLayout, RowsAndCellsOfOffsets) {
    const DumpLayout layout(9);
    struct Case {
        int32_t row;
        int64_t line;
    } rows[] = {{1, 0}, {2, 1}, {0, -1}, {-3, -4}, {INT32_MIN, int64_t{INT32_MIN} - 1}};
    for (const Case& c : rows)
        EXPECT_EQ(layout.HitTest(layout.HexColumn(0), c.row).line, c.line) << c.row;

    struct CellCase {
        uint64_t rel;
        DumpArea area;
        DumpCell cell;
    } cells[] = {
        {0, DumpArea::kHex, {layout.HexColumn(0), 1}},
        {15, DumpArea::kHex, {layout.HexColumn(15), 1}},
        {16, DumpArea::kHex, {layout.HexColumn(0), 2}},
        {0x25, DumpArea::kChar, {layout.CharColumn(5), 3}},
        // Before the first line: rows above it, not wrapped onto the page.
        {static_cast<uint64_t>(-1), DumpArea::kHex, {layout.HexColumn(15), 0}},
        {static_cast<uint64_t>(-16), DumpArea::kHex, {layout.HexColumn(0), 0}},
        {static_cast<uint64_t>(-17), DumpArea::kChar, {layout.CharColumn(15), -1}},
        // Far away both ways the row stops at the int32 bounds.
        {uint64_t{1} << 40, DumpArea::kHex, {layout.HexColumn(0), INT32_MAX}},
        {static_cast<uint64_t>(-(int64_t{1} << 40)),
         DumpArea::kHex,
         {layout.HexColumn(0), INT32_MIN}},
    };
    for (const CellCase& c : cells) {
        EXPECT_EQ(layout.CellOf(c.rel, c.area), c.cell) << c.rel;
        if (c.cell.row >= 1 && c.cell.row < 100) {
            // And back: the cell names the same byte.
            const DumpHit h = layout.HitTest(c.cell.column, c.cell.row);
            EXPECT_EQ(h.line * 16 + h.byte, static_cast<int64_t>(c.rel));
            EXPECT_EQ(h.area, c.area);
        }
    }
}

}  // namespace
}  // namespace octile
