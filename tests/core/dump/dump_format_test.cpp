#include "dump/dump_format.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "charcode/cp932_table.h"
#include "dump/dump_layout.h"
#include "dump/parallel_dump.h"
#include "util/utf.h"

namespace octile {
namespace {

using Bytes = std::vector<uint8_t>;

const std::u16string kRuler8 =
    u"--------|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF\r\n";
const std::u16string kClosing8 =
    u"--------|------------------------------------------------|-------------------\r\n";

DumpSettings Settings(int32_t code, bool upper = true, int32_t extra = 0) {
    DumpSettings s;
    s.extraDigits = extra;
    s.upper = upper;
    s.charCode = code;
    return s;
}

// FormatDump of the first count bytes; the rest of data (padded with zeros to
// 16 bytes) is the look-ahead.
std::u16string Dump(const DumpSettings& s, uint64_t start, Bytes data, size_t count,
                    CellRect* rect = nullptr) {
    data.resize(std::max(data.size(), count + 16), 0);
    return FormatDump(s, start, data.data(), count, rect);
}

std::vector<std::u16string> Lines(const std::u16string& text) {
    std::vector<std::u16string> lines;
    size_t from = 0;
    while (from < text.size()) {
        const size_t end = text.find(u"\r\n", from);
        if (end == std::u16string::npos) {
            lines.push_back(text.substr(from) + u"<no line end>");
            break;
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

// The character area of each dump line (carry space and fill included).
std::vector<std::u16string> Columns(const std::u16string& text, int32_t width) {
    std::vector<std::u16string> lines = Lines(text);
    std::vector<std::u16string> columns;
    for (size_t i = 1; i + 1 < lines.size(); ++i) columns.push_back(lines[i].substr(width + 53));
    return columns;
}

std::u16string Repeat(std::u16string_view s, int n) {
    std::u16string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// ---------------------------------------------------------------------------
// Layout

TEST(FormatDumpTest, EmptyRangeIsRulerAndClosingRule) {
    CellRect rect;
    EXPECT_EQ(Dump(Settings(CODE_SJIS), 0, {}, 0, &rect), kRuler8 + kClosing8);
    EXPECT_EQ(rect.left, 9);
    EXPECT_EQ(rect.top, 1);
    EXPECT_EQ(rect.right, 77);
    EXPECT_EQ(rect.bottom, 1);
}

TEST(FormatDumpTest, ShortLastLineIsFilled) {
    Bytes data;
    for (int i = 0; i < 20; ++i) data.push_back(static_cast<uint8_t>(0x41 + i));
    CellRect rect;
    const std::u16string text = Dump(Settings(CODE_SJIS), 0, data, 20, &rect);
    const std::u16string expected =
        kRuler8 +
        u"00000000|41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 |   ABCDEFGHIJKLMNOP\r\n"
        u"00000010|51 52 53 54 " +
        Repeat(u"   ", 12) + u"|   QRST" + Repeat(u" ", 12) + u"\r\n" + kClosing8;
    EXPECT_EQ(text, expected);
    EXPECT_EQ(rect.left, 9);
    EXPECT_EQ(rect.right, 77);
    EXPECT_EQ(rect.bottom, 3);
}

TEST(FormatDumpTest, LowerCaseBytesAndAddressesUpperCaseRuler) {
    Bytes data(16, 0xAB);
    const std::u16string text = Dump(Settings(CODE_JIS, false), 0x1F0, data, 16);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0] + u"\r\n", kRuler8);
    EXPECT_EQ(lines[1], u"000001f0|" + Repeat(u"ab ", 16) + u"|   ");
    EXPECT_EQ(Lines(Dump(Settings(CODE_JIS, true), 0x1F0, data, 16))[1],
              u"000001F0|" + Repeat(u"AB ", 16) + u"|   ");
}

TEST(FormatDumpTest, WiderAddressesWidenRulerAndRect) {
    CellRect rect;
    const std::u16string text =
        Dump(Settings(CODE_JIS, true, 1), 0x100000000, Bytes(3, 0), 3, &rect);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], u"-" + kRuler8.substr(0, kRuler8.size() - 2));
    EXPECT_EQ(lines[1], u"100000000|00 00 00 " + Repeat(u"   ", 13) + u"|   " + Repeat(u" ", 13));
    EXPECT_EQ(lines[2], u"-" + kClosing8.substr(0, kClosing8.size() - 2));
    EXPECT_EQ(rect.left, 10);
    EXPECT_EQ(rect.right, 78);
    EXPECT_EQ(rect.bottom, 2);
}

TEST(FormatDumpTest, AddressesCountFromStart) {
    const auto lines = Lines(Dump(Settings(CODE_JIS), 0xFFFFFFF8, Bytes(40, 0), 40));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].substr(0, 9), u"FFFFFFF8|");
    EXPECT_EQ(lines[2].substr(0, 10), u"100000008|");  // wider than W keeps every digit
    EXPECT_EQ(lines[3].substr(0, 10), u"100000018|");
}

// ---------------------------------------------------------------------------
// The character column

struct ColumnCase {
    const char* name;
    int32_t code;
    Bytes data;  // shown bytes, then look-ahead
    size_t count;
    std::vector<std::u16string> columns;
};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

TEST(FormatDumpTest, CharacterColumns) {
    const ColumnCase cases[] = {
        {"sjis: pair straddling two lines",
         CODE_SJIS,
         Concat({Text("AAAAAAAAAAAAAAA"), {0x82, 0xA0}, Text("bbbbbbbbbbbbbbb")}),
         32,
         {u"AAAAAAAAAAAAAAAあ", u" bbbbbbbbbbbbbbb"}},
        {"sjis: lead byte last, trail in the look-ahead",
         CODE_SJIS,
         Concat({Text("AAAAAAAAAAAAAAA"), {0x88, 0x9F}}),
         16,
         {u"AAAAAAAAAAAAAAA亜"}},
        {"sjis: lead byte last, no trail in the look-ahead",
         CODE_SJIS,
         Concat({Text("AAAAAAAAAAAAAAA"), {0x88, 0x20}}),
         16,
         {u"AAAAAAAAAAAAAAA."}},
        {"sjis: the trail byte is the whole last line",
         CODE_SJIS,
         Concat({Text("AAAAAAAAAAAAAAA"), {0x82, 0xA0}}),
         17,
         {u"AAAAAAAAAAAAAAAあ", u" ." + Repeat(u" ", 15)}},
        {"sjis: control bytes show as dots",
         CODE_SJIS,
         {0x00, 0x09, 0x0A, 0x1F, 0x7F, 0x41, 0x20, 0x80, 0xA0, 0xFF, 0xB1},
         11,
         {u".....A ...ｱ" + Repeat(u" ", 5)}},
        {"sjis: undefined pair", CODE_SJIS, {0x85, 0x40}, 2, {u"・" + Repeat(u" ", 14)}},
        {"unicode: narrow, wide and control units",
         CODE_UNICODE,
         {0x41, 0x00, 0x42, 0x30, 0x0A, 0x00, 0xE9, 0x00, 0x85, 0x00},
         10,
         {u"A あ. é . " + Repeat(u" ", 6)}},
        {"unicode: an odd last byte is not shown",
         CODE_UNICODE,
         {0x41, 0x00, 0x42},
         3,
         {u"A " + Repeat(u" ", 13)}},
        {"unicode: no carry between lines",
         CODE_UNICODE,
         {0x41, 0, 0x42, 0, 0x43, 0, 0x44, 0, 0x45, 0, 0x46, 0, 0x47, 0, 0x48, 0, 0x49, 0},
         18,
         {u"A B C D E F G H ", u"I " + Repeat(u" ", 14)}},
        {"euc: pair", CODE_EUC, {0xA4, 0xA2, 0x41}, 3, {u"あA" + Repeat(u" ", 13)}},
        {"euc: 0x80 at the start of a step",
         CODE_EUC,
         {0x80, 0x41, 0x42},
         3,
         {u"..B" + Repeat(u" ", 13)}},
        {"euc: kana and a stop byte",
         CODE_EUC,
         {0x8E, 0xB1, 0x41, 0x90},
         4,
         {u"ｱ A " + Repeat(u" ", 12)}},
        {"euc: pair straddling two lines",
         CODE_EUC,
         Concat({Text("aaaaaaaaaaaaaaa"), {0xB0, 0xA1}, Text("bbbbbbbbbbbbbbb")}),
         32,
         {u"aaaaaaaaaaaaaaa亜", u" bbbbbbbbbbbbbbb"}},
        {"euc: pair completed from the look-ahead",
         CODE_EUC,
         Concat({Text("aaaaaaaaaaaaaaa"), {0xA4, 0xA2}}),
         16,
         {u"aaaaaaaaaaaaaaaあ"}},
        {"jis: no characters", CODE_JIS, Text("ABC"), 3, {Repeat(u" ", 13)}},
        {"unknown code: no characters", 7, Text("ABC"), 3, {Repeat(u" ", 13)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Columns(Dump(Settings(c.code), 0, c.data, c.count), 8), c.columns);
    }
}

// The character columns as the conversions define them, built step by step
// from the public conversion functions.
std::vector<std::u16string> ReferenceColumns(int32_t code, const Bytes& data, size_t count) {
    std::vector<std::u16string> columns;
    int carry = 0;
    for (size_t line = 0; line * 16 < count; ++line) {
        const int d = static_cast<int>(std::min<size_t>(16, count - line * 16));
        const int c = carry;
        const uint8_t* p = data.data() + line * 16 + c;
        const int m = d - c;
        std::u16string column(c > 0 ? 1 : 0, u' ');
        char16_t units[41];
        int n = 0;
        carry = 0;
        if (code == CODE_SJIS) {
            n = ShiftJisToWide(p, m, units, sizeof(units), &carry);
        } else if (code == CODE_EUC) {
            uint8_t scratch[21] = {};
            for (int j = 0; j <= m;) {
                const int w = EucToShiftJis(p + j, 2, scratch + j);
                if (w == 0) scratch[j] = scratch[j + 1] = 0;
                if (w == 1) scratch[j + 1] = 0x20;
                j += w >= 3 ? 1 : 2;
            }
            n = ShiftJisToWide(scratch, m, units, sizeof(units), &carry);
        } else if (code == CODE_UNICODE) {
            for (int i = 0; i + 1 < m; i += 2) {
                const char16_t u = static_cast<char16_t>(p[i] | (p[i + 1] << 8));
                const bool control = u < 0x20 || (u >= 0x7F && u <= 0x9F);
                if (control) {
                    units[n++] = u'.';
                    units[n++] = u' ';
                } else {
                    units[n++] = u;
                    if (u < 0x100) units[n++] = u' ';
                }
            }
        }
        for (int i = 0; i < n; ++i) {
            const char16_t u = units[i];
            column.push_back(u < 0x20 || (u >= 0x7F && u <= 0x9F) ? u'.' : u);
        }
        column.append(static_cast<size_t>(16 - d), u' ');
        columns.push_back(column);
    }
    return columns;
}

TEST(FormatDumpTest, ColumnsFollowTheConversions) {
    std::mt19937_64 rng(42);
    // Runs of lead and trail bytes, EUC pairs and kana, controls, ASCII.
    const uint8_t pool[] = {0x81, 0x82, 0x9F, 0xE0, 0xFC, 0x40, 0x7E, 0x80, 0xA0, 0xA4, 0xA2,
                            0x8E, 0x8F, 0xB1, 0xDF, 0xFD, 0x00, 0x0A, 0x7F, 0x41, 0x20, 0x90};
    for (int round = 0; round < 300; ++round) {
        const size_t count = rng() % 400;
        Bytes data(count + 16);
        const int flavour = round % 3;  // mostly pool bytes, mostly random, or ASCII lines
        for (auto& b : data) {
            if (flavour == 0) b = pool[rng() % sizeof(pool)];
            if (flavour == 1) b = static_cast<uint8_t>(rng());
            if (flavour == 2) b = rng() % 8 == 0 ? pool[rng() % sizeof(pool)] : 0x20 + rng() % 0x60;
        }
        for (const int32_t code : {CODE_SJIS, CODE_EUC, CODE_UNICODE}) {
            SCOPED_TRACE(testing::Message() << "round " << round << " code " << code);
            ASSERT_EQ(Columns(FormatDump(Settings(code), 0, data.data(), count, nullptr), 8),
                      ReferenceColumns(code, data, count));
        }
    }
}

// What the view needs: every full line ends at DumpLayout's CharEnd(), one cell later when a
// double-byte character straddles its end; a double-byte character takes as
// many cells as it has bytes in code page 932.
int Cells(const std::u16string& line) {
    int cells = 0;
    for (const char16_t u : line) {
        uint8_t bytes[2];
        const int n = WideToShiftJis(&u, 1, bytes, 2);
        cells += n == 2 ? 2 : 1;
    }
    return cells;
}

TEST(FormatDumpTest, FullLinesKeepTheirWidth) {
    std::mt19937 rng(7);
    for (const int32_t code : {CODE_SJIS, CODE_EUC}) {
        SCOPED_TRACE(code);
        // A stream of whole characters, remembering where two-byte ones begin.
        Bytes data;
        std::vector<bool> pairStart;
        bool afterAscii = false;
        while (data.size() < 4096) {
            const uint32_t kind = rng() % 3;
            // EUC steps take two bytes: an ASCII byte right before 0x8E makes
            // the kana's second byte begin a step of its own, and a kana split
            // between lines does the same. Leave both out here.
            const bool kanaFits = code != CODE_EUC || ((!afterAscii || data.size() % 16 == 0) &&
                                                       data.size() % 16 != 15);
            afterAscii = kind == 0;
            if (kind == 0) {
                data.push_back(static_cast<uint8_t>(0x20 + rng() % 0x5F));
                pairStart.push_back(false);
            } else if (kind == 1 && kanaFits) {  // half-width katakana
                const uint8_t kana = static_cast<uint8_t>(0xA1 + rng() % 0x3F);
                if (code == CODE_EUC) {
                    data.insert(data.end(), {0x8E, kana});
                    pairStart.insert(pairStart.end(), {false, false});  // kana + space
                } else {
                    data.push_back(kana);
                    pairStart.push_back(false);
                }
            } else {
                const uint16_t jis =
                    static_cast<uint16_t>((0x21 + rng() % 94) * 256 + 0x21 + rng() % 94);
                const uint16_t sjis = JisToShiftJisCode(jis);
                if (code == CODE_EUC) {
                    data.insert(data.end(), {static_cast<uint8_t>((jis >> 8) | 0x80),
                                             static_cast<uint8_t>(jis | 0x80)});
                } else {
                    data.insert(data.end(),
                                {static_cast<uint8_t>(sjis >> 8), static_cast<uint8_t>(sjis)});
                }
                pairStart.insert(pairStart.end(), {true, false});
            }
        }
        const size_t count = 4096;
        const auto lines = Lines(Dump(Settings(code), 0, data, count));
        ASSERT_EQ(lines.size(), count / 16 + 2);
        int straddles = 0;
        for (size_t k = 0; k < count / 16; ++k) {
            const bool straddle = pairStart[16 * k + 15];
            straddles += straddle;
            ASSERT_EQ(Cells(lines[k + 1]), DumpLayout(8).CharEnd() + (straddle ? 1 : 0))
                << "line " << k;
        }
        EXPECT_GT(straddles, 10);
        EXPECT_EQ(Cells(lines.front()), DumpLayout(8).CharEnd());
        EXPECT_EQ(Cells(lines.back()), DumpLayout(8).CharEnd());
    }
}

// Random bytes hold every byte class: lone lead bytes, bytes that decode to
// nothing, controls, undefined pairs. Each takes as many cells as it has
// bytes, so every line keeps the width of the ruler, one cell more only when
// a pair runs into the next line.
TEST(FormatDumpTest, RandomShiftJisLinesKeepTheirWidth) {
    std::mt19937 rng(15);
    const size_t count = 250 * 16;
    Bytes data(count + 16);
    for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
    const auto lines = Lines(Dump(Settings(CODE_SJIS), 0, data, count));
    ASSERT_EQ(lines.size(), count / 16 + 2);
    size_t i = 0;  // the walk over the bytes as code page 932 splits them
    int straddles = 0;
    for (size_t k = 0; k < count / 16; ++k) {
        while (i < 16 * k + 16) {
            i += cp932::IsLeadByte(data[i]) && cp932::IsTrailByte(data[i + 1]) ? 2 : 1;
        }
        const bool straddle = i == 16 * k + 17;
        straddles += straddle;
        ASSERT_EQ(Cells(lines[k + 1]), DumpLayout(8).CharEnd() + (straddle ? 1 : 0))
            << "line " << k;
    }
    EXPECT_GT(straddles, 10);
}

// ---------------------------------------------------------------------------
// The UTF-8 column

TEST(FormatDumpTest, Utf8Column) {
    const Bytes a14 = Text("aaaaaaaaaaaaaa");
    const Bytes a15 = Text("aaaaaaaaaaaaaaa");
    const ColumnCase cases[] = {
        {"ASCII and controls",
         CODE_UTF8,
         {'A', 0x00, 0x09, 0x1F, 0x7F, ' ', '~'},
         7,
         {u"A.... ~" + Repeat(u" ", 9)}},
        {"two bytes: one cell of glyph, one blank; a C1 control one dot a byte",
         CODE_UTF8,
         {0xC3, 0xA9, 0xC2, 0x85, 'x'},
         5,
         {u"é ..x" + Repeat(u" ", 11)}},
        {"three bytes: a wide glyph and one blank, a narrow one and two",
         CODE_UTF8,
         {0xE3, 0x81, 0x82, 0xE2, 0x82, 0xAC},
         6,
         {u"あ €  " + Repeat(u" ", 10)}},
        {"four bytes: a wide glyph and two blanks, a narrow one and three",
         CODE_UTF8,
         {0xF0, 0x9F, 0x98, 0x80, 0xF0, 0x90, 0x80, 0x80},
         8,
         {u"\U0001F600  \U00010000   " + Repeat(u" ", 8)}},
        {"bidirectional overrides and isolates are dots, other marks are not",
         CODE_UTF8,
         {0xE2, 0x80, 0xAE, 0xE2, 0x81, 0xA6, 0xE2, 0x80, 0x8F},
         9,
         {u"......\u200F  " + Repeat(u" ", 7)}},
        {"bytes that begin no sequence",
         CODE_UTF8,
         Concat({{0x80, 0xBF, 0xC0, 0xAF, 0xC1, 0xBF},  // stray, overlong two-byte
                 {0xE0, 0x80, 0x80},                    // overlong three-byte
                 {0xED, 0xA0, 0x80},                    // a surrogate
                 {0xF4, 0x90, 0x80, 0x80},              // above U+10FFFF
                 {0xF5, 0x80, 0xFF, 0xE3, 0x81, 0x41}}),
         22,
         {Repeat(u".", 16), u".....A" + Repeat(u" ", 10)}},
        {"three bytes across two lines",
         CODE_UTF8,
         Concat({a14, {0xE3, 0x81, 0x82}, Text("bbbbbbbbbbbbbbb")}),
         32,
         {u"aaaaaaaaaaaaaaあ ", u" bbbbbbbbbbbbbbb"}},
        {"four bytes from the last byte on",
         CODE_UTF8,
         Concat({a15, {0xF0, 0x9F, 0x98, 0x80}, Text("bbbbbbbbbbbbb")}),
         32,
         {u"aaaaaaaaaaaaaaa\U0001F600  ", u"   bbbbbbbbbbbbb"}},
        {"completed from the look-ahead",
         CODE_UTF8,
         Concat({a15, {0xE3, 0x81, 0x82}}),
         16,
         {u"aaaaaaaaaaaaaaaあ "}},
        {"cut by the end of the file",
         CODE_UTF8,
         Concat({a14, {0xE3, 0x81}}),
         16,
         {u"aaaaaaaaaaaaaa.."}},
        {"the range ends within the bytes carried over",
         CODE_UTF8,
         Concat({a15, {0xF0, 0x9F, 0x98, 0x80}}),
         17,
         {u"aaaaaaaaaaaaaaa\U0001F600  ", Repeat(u" ", 16)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Columns(Dump(Settings(c.code), 0, c.data, c.count), 8), c.columns);
    }
}

// A UTF-8 decoder of the test's own, from the table of well-formed byte
// sequences: the first byte's row gives the length and the second byte's
// range; every later byte is 0x80-0xBF.
struct WellFormedRow {
    uint8_t firstLow, firstHigh, secondLow, secondHigh;
    int length;
};
constexpr WellFormedRow kWellFormed[] = {
    {0x00, 0x7F, 0x00, 0xFF, 1}, {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
    {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
    {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
};

// The character that begins at p: its length and code point, or 0.
int ReferenceUtf8(const uint8_t* p, char32_t& c) {
    for (const WellFormedRow& row : kWellFormed) {
        if (p[0] < row.firstLow || p[0] > row.firstHigh) continue;
        if (row.length == 1) {
            c = p[0];
            return 1;
        }
        if (p[1] < row.secondLow || p[1] > row.secondHigh) return 0;
        for (int k = 2; k < row.length; ++k) {
            if (p[k] < 0x80 || p[k] > 0xBF) return 0;
        }
        c = p[0] & (0x7F >> row.length);
        for (int k = 1; k < row.length; ++k) c = (c << 6) | (p[k] & 0x3F);
        return row.length;
    }
    return 0;
}

// One character of the column as the test sees it: its bytes, and the glyphs
// drawn for it, each with its cell from the character's first.
struct Utf8Shown {
    int length = 1;
    std::vector<std::pair<int, std::u16string>> glyphs;
};

Utf8Shown ReferenceShown(const uint8_t* p) {
    char32_t c = 0;
    const int n = ReferenceUtf8(p, c);
    Utf8Shown shown;
    shown.length = std::max(n, 1);
    const bool hidden = c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) ||
                        (c >= 0x2066 && c <= 0x2069);
    if (n == 0 || hidden) {
        for (int k = 0; k < shown.length; ++k) shown.glyphs.push_back({k, u"."});
    } else if (c < 0x10000) {
        shown.glyphs.push_back({0, std::u16string(1, static_cast<char16_t>(c))});
    } else {
        shown.glyphs.push_back({0,
                                {static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)),
                                 static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF))}});
    }
    return shown;
}

// The glyphs of each line's column, cell by cell from its first (a blank
// stands for each cell that shows none), the fill of a short line included.
std::vector<std::vector<std::u16string>> ReferenceUtf8Cells(const Bytes& data, size_t count) {
    std::vector<std::vector<std::u16string>> lines;
    size_t i = 0;  // the first byte of the next character
    for (size_t start = 0; start < count; start += 16) {
        const size_t end = std::min(start + 16, count);
        // A blank for each byte the line before already showed.
        std::vector<std::u16string> cells(std::min(i, end) - start, u" ");
        while (i < end) {
            const Utf8Shown shown = ReferenceShown(data.data() + i);
            const size_t first = cells.size();
            cells.resize(first + static_cast<size_t>(shown.length), u" ");
            for (const auto& [cell, text] : shown.glyphs) cells[first + cell] = text;
            i += static_cast<size_t>(shown.length);
        }
        cells.resize(cells.size() + (start + 16 - end), u" ");
        lines.push_back(cells);
    }
    return lines;
}

// The column text of the reference: each glyph, then blanks for the rest of
// its cells (a wide glyph covers two).
std::u16string ColumnText(const std::vector<std::u16string>& cells) {
    std::u16string text;
    for (size_t k = 0; k < cells.size();) {
        text += cells[k];
        const char32_t c =
            cells[k].size() == 2 ? CombineSurrogates(cells[k][0], cells[k][1]) : cells[k][0];
        k += static_cast<size_t>(CharacterCells(c, CODE_UTF8));
    }
    return text;
}

// UTF-8 text rich in every byte class: characters of one to four bytes,
// narrow and wide, controls, C1, bidirectional controls, stray continuation
// bytes, overlong forms, surrogates, values above U+10FFFF, cut sequences.
Bytes Utf8Soup(std::mt19937_64& rng, size_t size) {
    static const std::vector<Bytes> kPieces = {
        {'A'},
        {' '},
        {0x00},
        {0x0A},
        {0x7F},
        {0xC3, 0xA9},
        {0xCE, 0xB1},
        {0xC2, 0x85},
        {0xC2, 0xA0},
        {0xE3, 0x81, 0x82},
        {0xE4, 0xBA, 0x9C},
        {0xE2, 0x82, 0xAC},
        {0xEF, 0xBD, 0xB1},
        {0xE2, 0x80, 0xAE},
        {0xE2, 0x81, 0xA8},
        {0xEF, 0xBB, 0xBF},
        {0xF0, 0x9F, 0x98, 0x80},
        {0xF0, 0x90, 0x80, 0x80},
        {0xF4, 0x8F, 0xBF, 0xBF},
        {0x80},
        {0xBF},
        {0xC0, 0x80},
        {0xE0, 0x9F, 0xBF},
        {0xED, 0xB2, 0x80},
        {0xF4, 0x90, 0x80, 0x80},
        {0xF8, 0x88},
        {0xFF},
        {0xE3, 0x81},
        {0xF0, 0x9F, 0x98},
        {0xC3},
    };
    Bytes data;
    while (data.size() < size) {
        if (rng() % 8 == 0) {
            data.push_back(static_cast<uint8_t>(rng()));
            continue;
        }
        const Bytes& piece = kPieces[rng() % kPieces.size()];
        data.insert(data.end(), piece.begin(), piece.end());
    }
    data.resize(size);
    return data;
}

TEST(FormatDumpTest, Utf8ColumnFollowsAReferenceDecoder) {
    std::mt19937_64 rng(8);
    for (int round = 0; round < 300; ++round) {
        const size_t count = rng() % 300;
        const Bytes data = Utf8Soup(rng, count + 16);
        SCOPED_TRACE(testing::Message() << "round " << round);
        const std::u16string text = FormatDump(Settings(CODE_UTF8), 0, data.data(), count, nullptr);
        std::vector<std::u16string> expected;
        for (const auto& cells : ReferenceUtf8Cells(data, count))
            expected.push_back(ColumnText(cells));
        ASSERT_EQ(Columns(text, 8), expected);

        // Block by block, as the hexadecimal listing and octile-cli read a
        // range: the same text, and as UTF-8 the same text converted.
        DumpFormatter wide(Settings(CODE_UTF8), 0);
        DumpFormatter narrow(Settings(CODE_UTF8), 0);
        std::u16string fed;
        std::string utf8;
        wide.Begin(fed);
        narrow.Begin(utf8);
        for (size_t pos = 0; pos < count;) {
            const size_t block = std::min<size_t>(count - pos, 16 * (1 + rng() % 4));
            Bytes piece(data.begin() + static_cast<std::ptrdiff_t>(pos),
                        data.begin() + static_cast<std::ptrdiff_t>(pos + block + 16));
            wide.Feed(piece.data(), block, fed);
            narrow.Feed(piece.data(), block, utf8);
            pos += block;
        }
        wide.End(fed);
        narrow.End(utf8);
        ASSERT_EQ(fed, text);
        ASSERT_EQ(utf8, Utf16ToUtf8(text));
    }
}

// Every line, cut and carried characters included, is as many cells wide as
// the ruler, plus the cells a character running into the next line takes
// there; the window draws each character on the cell of its first byte.
TEST(FormatDumpTest, Utf8LinesKeepTheirWidth) {
    std::mt19937_64 rng(16);
    const size_t count = 400 * 16;
    const Bytes data = Utf8Soup(rng, count + 16);
    const auto lines = Lines(Dump(Settings(CODE_UTF8), 0, data, count));
    const auto reference = ReferenceUtf8Cells(data, count);
    ASSERT_EQ(lines.size(), reference.size() + 2);
    const DumpLayout layout(8);
    int straddles = 0;
    for (size_t k = 0; k < reference.size(); ++k) {
        SCOPED_TRACE(testing::Message() << "line " << k);
        std::vector<std::pair<int, std::u16string>> drawn;
        int cells = 0;
        LayOutDumpLine(lines[k + 1], CODE_UTF8, [&](int column, size_t at, size_t units) {
            if (column >= layout.CharColumn(0))
                drawn.push_back({column, lines[k + 1].substr(at, units)});
            return true;
        });
        for (size_t at = 0; at < lines[k + 1].size(); ++at) {
            char32_t c = lines[k + 1][at];
            if (IsHighSurrogate(c)) c = CombineSurrogates(c, lines[k + 1][++at]);
            cells += CharacterCells(c, CODE_UTF8);
        }
        std::vector<std::pair<int, std::u16string>> expected;
        for (size_t cell = 0; cell < reference[k].size(); ++cell) {
            if (reference[k][cell] != u" ") {
                expected.push_back(
                    {layout.CharColumn(static_cast<int32_t>(cell)), reference[k][cell]});
            }
        }
        ASSERT_EQ(drawn, expected);
        const int overhang = static_cast<int>(reference[k].size()) - 16;
        straddles += overhang > 0;
        ASSERT_EQ(cells, layout.CharEnd() + overhang);
    }
    EXPECT_GT(straddles, 40);
}

TEST(FormatDumpTest, Utf8ReadsNothingPastTheLookAhead) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* mem = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* base = static_cast<uint8_t*>(mem);
    ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    const Bytes patterns[] = {{0xF0, 0x9F, 0x98, 0x80}, {0xE3, 0x81, 0x82}, {0xC3, 0xA9}, {0xF0}};
    for (const Bytes& pattern : patterns) {
        for (size_t count = 0; count <= 40; ++count) {
            uint8_t* data = base + page - count - 16;
            for (size_t i = 0; i < count + 16; ++i) data[i] = pattern[i % pattern.size()];
            const std::u16string text = FormatDump(Settings(CODE_UTF8), 0, data, count, nullptr);
            EXPECT_EQ(Lines(text).size(), (count + 15) / 16 + 2);
        }
    }
    munmap(mem, 2 * page);
}

// ---------------------------------------------------------------------------
// Streaming

TEST(DumpFormatterTest, BlocksGiveTheTextOfOneCall) {
    std::mt19937_64 rng(1234);
    // Bytes rich in lead bytes, EUC pairs, kana and controls.
    const uint8_t pool[] = {0x41, 0x0A, 0x00, 0x82, 0xA0, 0x88, 0x9F, 0xA4, 0xA2, 0x8E,
                            0xB1, 0x8F, 0x80, 0xFF, 0x30, 0x42, 0xE0, 0x40, 0xFC, 0x7F,
                            0xD8, 0xDC, 0xDB, 0xDF, 0x3D, 0x85, 0xE9, 0x07};
    for (int round = 0; round < 200; ++round) {
        const size_t count = rng() % 3000;
        Bytes data(count + 16);
        for (auto& b : data)
            b = rng() % 3 == 0 ? static_cast<uint8_t>(rng()) : pool[rng() % sizeof(pool)];
        const DumpSettings s = Settings(static_cast<int32_t>(rng() % 5), rng() % 2 == 0,
                                        static_cast<int32_t>(rng() % 3));
        // Addresses that may wrap past 2^64, that may gain a digit past
        // 2^32, or neither.
        const uint64_t ends[] = {0, uint64_t{1} << 32};
        const uint64_t start = round % 3 < 2 ? ends[round % 3] - 1 - rng() % 4096 : rng() % 100000;
        SCOPED_TRACE(testing::Message() << "round " << round << " code " << s.charCode);

        CellRect whole;
        const std::u16string expected = FormatDump(s, start, data.data(), count, &whole);

        DumpFormatter f(s, start);
        DumpFormatter f8(s, start);
        std::u16string text;
        std::string utf8;
        f.Begin(text);
        f8.Begin(utf8);
        size_t pos = 0;
        while (pos < count) {
            const size_t block = std::min<size_t>(count - pos, 16 * (1 + rng() % 20));
            f.Feed(data.data() + pos, block, text);
            f8.Feed(data.data() + pos, block, utf8);
            pos += block;
        }
        f.End(text);
        f8.End(utf8);
        ASSERT_EQ(text, expected);
        // The UTF-8 text is what the converter makes of the UTF-16 one.
        ASSERT_EQ(utf8, Utf16ToUtf8(expected));
        const CellRect r = f.Rect();
        EXPECT_EQ(r.left, whole.left);
        EXPECT_EQ(r.right, whole.right);
        EXPECT_EQ(r.bottom, whole.bottom);
        EXPECT_EQ(f.LineCount(), (count + 15) / 16);
    }
}

TEST(DumpFormatterTest, TerminalTextEndsLinesInLfAndHidesBidiControls) {
    // U+202E (right-to-left override) and U+2067 (right-to-left isolate) in
    // the Unicode column, between "A" and "B".
    const Bytes data = {'A', 0, 0x2E, 0x20, 0x67, 0x20, 'B', 0, 0x30, 0x20};
    DumpSettings s = Settings(CODE_UNICODE);
    const std::string plain = Utf16ToUtf8(Dump(s, 0, data, data.size()));
    s.lfOnly = true;
    s.hideBidi = true;
    DumpFormatter f(s, 0);
    std::string text;
    Bytes padded = data;
    padded.resize(data.size() + 16, 0);
    f.Begin(text);
    f.Feed(padded.data(), data.size(), text);
    f.End(text);
    // Every CR LF becomes LF; the two controls become ". " over their cells,
    // and U+2030 (per mille) stays.
    std::string expected;
    for (char c : plain)
        if (c != '\r') expected += c;
    const std::string rlo = "\xE2\x80\xAE", rli = "\xE2\x81\xA7";
    ASSERT_NE(expected.find(rlo), std::string::npos);
    expected.replace(expected.find(rlo), rlo.size(), ". ");
    expected.replace(expected.find(rli), rli.size(), ". ");
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.find("A . . B \xE2\x80\xB0"), std::string::npos) << text;
}

TEST(ParallelDumpFormatterTest, PiecesGiveTheTextOfOneFormatter) {
    std::mt19937_64 rng(99);
    struct Kind {
        const char* name;
        std::function<uint8_t()> byte;
        int32_t refits;  // the code whose carries a few lines cannot settle, or -1
    };
    const Kind kinds[] = {
        {"random", [&] { return static_cast<uint8_t>(rng()); }, -1},
        {"text and pairs",
         [&] {
             const uint8_t pool[] = {0x41, 0x0D, 0x0A, 0x82, 0xA0, 0x88, 0x9F, 0xA4, 0xA2, 0x8E,
                                     0xB1, 0x8F, 0xE0, 0x40, 0xFC, 0xE3, 0x81, 0x82, 0xC3, 0xA9};
             return pool[rng() % sizeof(pool)];
         },
         -1},
        // Lead bytes that are trail bytes too, and EUC pair bytes, for
        // kilobytes: only the piece before knows where the characters split.
        {"runs of lead bytes", [&] { return rng() % 4096 == 0 ? uint8_t{0x20} : uint8_t{0x81}; },
         CODE_SJIS},
        {"runs of EUC bytes", [&] { return rng() % 4096 == 0 ? uint8_t{0x20} : uint8_t{0xA4}; },
         CODE_EUC},
    };
    for (const Kind& kind : kinds) {
        for (int32_t code : {CODE_SJIS, CODE_UNICODE, CODE_EUC, CODE_UTF8, CODE_JIS}) {
            SCOPED_TRACE(testing::Message() << kind.name << ", code " << code);
            const size_t count = 600 * 1024 + rng() % 4096;
            Bytes data(count + 16);
            for (auto& b : data) b = kind.byte();
            DumpSettings s = Settings(code, rng() % 2 == 0);
            s.lfOnly = rng() % 2 == 0;
            s.hideBidi = true;
            const uint64_t start = rng() % 100000;

            DumpFormatter one(s, start);
            std::string expected;
            one.Begin(expected);
            one.Feed(data.data(), count, expected);
            one.End(expected);

            for (unsigned threads : {2u, 3u, 4u}) {
                ParallelDumpFormatter f(s, start, threads);
                std::string text;
                f.Begin(text);
                // Blocks of whole lines, the last one short.
                size_t pos = 0;
                while (pos < count) {
                    const size_t block = std::min<size_t>(count - pos, 16 * (8192 + rng() % 16384));
                    f.Feed(data.data() + pos, block, text);
                    pos += block;
                }
                f.End(text);
                ASSERT_EQ(text, expected) << threads << " threads";
                if (kind.refits == code) {
                    EXPECT_GT(f.Refits(), 0u) << threads << " threads";
                } else if (kind.refits < 0) {
                    EXPECT_EQ(f.Refits(), 0u) << threads << " threads";
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Reads stay within the shown bytes and their 16 look-ahead bytes.

TEST(FormatDumpTest, ReadsNothingPastTheLookAhead) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* mem = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    auto* base = static_cast<uint8_t*>(mem);
    ASSERT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    for (const uint8_t fill : {0x82, 0xA4, 0x8E, 0x8F, 0x41}) {
        for (const size_t count : {0, 1, 15, 16, 17, 32}) {
            uint8_t* data = base + page - count - 16;
            std::memset(data, fill, count + 16);
            // And a character carried into a last line of one byte.
            if (count == 17) data[0] = 0x41;
            for (int32_t code = 0; code < 4; ++code) {
                const std::u16string text = FormatDump(Settings(code), 0, data, count, nullptr);
                EXPECT_EQ(Lines(text).size(), (count + 15) / 16 + 2);
            }
        }
    }
    munmap(mem, 2 * page);
}

// ---------------------------------------------------------------------------
// Addresses

TEST(FormatAddressTest, Cases) {
    struct Case {
        int32_t extra;
        bool upper;
        uint64_t value;
        std::u16string text;
    };
    const Case cases[] = {
        {0, true, 0, u"00000000"},
        {0, false, 0x1F0, u"000001f0"},
        {0, true, 0x1F0, u"000001F0"},
        {0, true, ~uint64_t{0}, u"FFFFFFFFFFFFFFFF"},
        {0, false, ~uint64_t{0}, u"ffffffffffffffff"},
        {8, true, ~uint64_t{0}, u"FFFFFFFFFFFFFFFF"},
        {1, true, 0xABC, u"000000ABC"},
        {0, true, 0x123456789, u"123456789"},
        {10, true, 1, u"000000000000000001"},
        {-3, true, 1, u"00000001"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatAddress(Settings(CODE_SJIS, c.upper, c.extra), c.value), c.text)
            << c.extra << " " << c.value;
    }
}

TEST(ParseHexTest, WrapsAndStops) {
    struct Case {
        std::u16string text;
        uint64_t value;
    };
    const Case cases[] = {
        {u"1f", 31},
        {u"1F", 31},
        {u"", 0},
        {u"ffffffffffffffff", ~uint64_t{0}},
        {u"10000000000000001", 1},  // only the last 16 digits count
        {u"123456789abcdef012", 0x3456789ABCDEF012},
        {u"12 34", 0x12},  // stops at the blank
        {u"-1", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseHex(c.text), c.value);
}

TEST(ParseHexTest, StrictRefusesWhatIsNotHex) {
    struct Case {
        std::u16string text;
        bool ok;
        uint64_t value;
    };
    const Case cases[] = {
        {u"", true, 0},
        {u"0", true, 0},
        {u"1f", true, 31},
        {u"FFFFFFFFFFFFFFFF", true, ~uint64_t{0}},
        {u"0000000000000001", true, 1},
        {u"00000000000000001", false, 0},  // 17 digits
        {u" 1", false, 0},
        {u"1 ", false, 0},
        {u"-1", false, 0},
        {u"+1", false, 0},
        {u"0x1", false, 0},
        {u"１", false, 0},  // full-width digit
        {u"g", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t value = 0xDEADBEEF;
        EXPECT_EQ(ParseHexStrict(c.text, value), c.ok);
        if (c.ok)
            EXPECT_EQ(value, c.value);
        else
            EXPECT_EQ(value, 0xDEADBEEFu);  // untouched
    }
}

TEST(AddressWidthTest, FollowsTheFileLength) {
    struct Case {
        uint64_t length;
        int32_t extra;
    };
    const Case cases[] = {
        {0, 8},  // 2^64 - 1 needs 16 digits
        {1, 0},
        {uint64_t{1} << 32, 0},
        {(uint64_t{1} << 32) + 1, 1},
        {uint64_t{1} << 36, 1},
        {(uint64_t{1} << 36) + 1, 2},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtraDigitsForLength(c.length), c.extra) << c.length;
        EXPECT_EQ(AddressWidth(Settings(CODE_SJIS, true, c.extra)), 8 + c.extra);
    }
}

}  // namespace
}  // namespace octile

namespace octile {
namespace {

// The window's cell count agrees with the byte count of code page 932 for
// every character the decoder can give.
TEST(CharacterCellsTest, CellsAreTheCodePageBytes) {
    for (char32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        const char16_t u = static_cast<char16_t>(c);
        uint8_t bytes[3] = {};
        const int n = WideToShiftJis(&u, 1, bytes, 2);
        char16_t back[4] = {};
        if (n < 1 || ShiftJisToWide(bytes, n, back, sizeof back, nullptr) != 1 || back[0] != u) {
            continue;  // not a character of the code page
        }
        ASSERT_EQ(CharacterCells(c, CODE_SJIS), n) << std::hex << uint32_t(c);
    }
    EXPECT_EQ(CharacterCells(U'A', CODE_UNICODE), 1);
    EXPECT_EQ(CharacterCells(0xE9, CODE_UNICODE), 1);
    EXPECT_EQ(CharacterCells(0x3042, CODE_UNICODE), 2);
    EXPECT_EQ(CharacterCells(0x1F600, CODE_UNICODE), 2);
}

// Where the window draws each character of a dump line.
TEST(LayOutDumpLineTest, CharactersTakeTheirCells) {
    struct Glyph {
        int column;
        std::u16string text;
        bool operator==(const Glyph&) const = default;
    };
    const auto layOut = [](std::u16string_view line, int32_t code, int stopAt = 1000) {
        std::vector<Glyph> glyphs;
        LayOutDumpLine(line, code, [&](int column, size_t k, size_t units) {
            if (column >= stopAt) return false;
            glyphs.push_back({column, std::u16string(line.substr(k, units))});
            return true;
        });
        return glyphs;
    };
    const std::u16string line = u"a \u3042b\uFF71\U0001F600x\rzz";
    EXPECT_EQ(
        layOut(line, CODE_SJIS),
        (std::vector<Glyph>{
            {0, u"a"}, {2, u"\u3042"}, {4, u"b"}, {5, u"\uFF71"}, {6, u"\U0001F600"}, {8, u"x"}}));
    // In the Unicode column every unit above 0xFF takes two cells.
    EXPECT_EQ(
        layOut(line, CODE_UNICODE),
        (std::vector<Glyph>{
            {0, u"a"}, {2, u"\u3042"}, {4, u"b"}, {5, u"\uFF71"}, {7, u"\U0001F600"}, {9, u"x"}}));
    EXPECT_EQ(layOut(line, CODE_SJIS, 4), (std::vector<Glyph>{{0, u"a"}, {2, u"\u3042"}}));

    // On a real dump line each character lands on the cell of its first byte.
    std::vector<uint8_t> bytes = {0x82, 0xA0, 'A', 0xB1, 'B', 0x88, 0x9F, 'C'};
    bytes.resize(16 + 16, '.');
    const std::u16string text =
        FormatDump(DumpSettings{0, false, CODE_SJIS}, 0, bytes.data(), 16, nullptr);
    const size_t start = text.find(u'\n') + 1;
    const std::u16string_view dumpLine(text.data() + start, text.find(u'\n', start) - start);
    const int column = 8 + 1 + 48 + 4;  // address, "|", hex cells, "|   "
    std::vector<Glyph> characters;
    for (const Glyph& g : layOut(dumpLine, CODE_SJIS)) {
        if (g.column >= column) characters.push_back(g);
    }
    ASSERT_GE(characters.size(), 6u);
    EXPECT_EQ(std::vector<Glyph>(characters.begin(), characters.begin() + 6),
              (std::vector<Glyph>{{column, u"\u3042"},
                                  {column + 2, u"A"},
                                  {column + 3, u"\uFF71"},
                                  {column + 4, u"B"},
                                  {column + 5, u"\u4E9C"},
                                  {column + 7, u"C"}}));
}

}  // namespace
}  // namespace octile
