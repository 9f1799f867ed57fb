// The data inspector's rows for a table of byte patterns, and values typed
// into it turned back into exactly their bytes.
#include "dump/data_inspector.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "charcode/charcode.h"
#include "util/utf.h"

namespace octile {
namespace {

const InspectorRow& Row(std::u16string_view label) {
    for (const InspectorRow& r : InspectorRows()) {
        if (label == r.label) return r;
    }
    ADD_FAILURE() << "no row " << Utf16ToUtf8(label);
    return InspectorRows().front();
}

std::string Show(std::u16string_view label, std::vector<uint8_t> bytes) {
    return Utf16ToUtf8(InspectValue(Row(label), bytes.data(), bytes.size()));
}

// Local time in these tests is Tokyo's (UTC+9, no daylight saving).
class DataInspector : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* tz = ::getenv("TZ");
        saved_ = tz ? tz : "";
        hadTz_ = tz != nullptr;
        ::setenv("TZ", "Asia/Tokyo", 1);
        ::tzset();
    }
    void TearDown() override {
        if (hadTz_) {
            ::setenv("TZ", saved_.c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    std::string saved_;
    bool hadTz_ = false;
};

TEST_F(DataInspector, ValuesOfBytePatterns) {
    struct Case {
        const char16_t* row;
        std::vector<uint8_t> bytes;
        const char* shown;
    };
    const Case cases[] = {
        {u"2進数", {0xA5}, "10100101"},
        {u"int8", {0xFF}, "-1"},
        {u"uint8", {0xFF}, "255"},
        {u"int16 LE", {0x00, 0x80}, "-32768"},
        {u"int16 BE", {0x00, 0x80}, "128"},
        {u"uint16 LE", {0x34, 0x12}, "4660"},
        {u"uint16 BE", {0x12, 0x34}, "4660"},
        {u"int32 LE", {0xFE, 0xFF, 0xFF, 0xFF}, "-2"},
        {u"uint32 BE", {0xDE, 0xAD, 0xBE, 0xEF}, "3735928559"},
        {u"int64 LE", {0, 0, 0, 0, 0, 0, 0, 0x80}, "-9223372036854775808"},
        {u"uint64 BE", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "18446744073709551615"},
        {u"float32 LE", {0x00, 0x00, 0xC0, 0xBF}, "-1.5"},
        {u"float32 BE", {0x7F, 0xC0, 0x00, 0x00}, "NaN"},
        {u"float32 LE", {0x00, 0x00, 0x80, 0xFF}, "-Infinity"},
        {u"float64 BE", {0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}, "3.141592653589793"},
        {u"float64 LE", {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}, "Infinity"},
        {u"time32 LE (UTC)", {0, 0, 0, 0}, "1970-01-01 00:00:00"},
        {u"time32 LE (UTC)", {0xFF, 0xFF, 0xFF, 0xFF}, "1969-12-31 23:59:59"},
        {u"time32 BE (ﾛｰｶﾙ)", {0, 0, 0, 0}, "1970-01-01 09:00:00"},
        {u"time32 LE (UTC)", {0x00, 0x00, 0x00, 0x80}, "1901-12-13 20:45:52"},
        {u"time64 LE (UTC)", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, "-"},
        {u"ｼﾌﾄJIS", {0x82, 0xA0}, "あ (U+3042)"},
        {u"ｼﾌﾄJIS", {0x41}, "A (U+0041)"},
        {u"ｼﾌﾄJIS", {0x82}, "."},  // a lead byte at the end of the file
        {u"ｼﾌﾄJIS", {0x0A}, ". (U+000A)"},
        {u"Unicode", {0x42, 0x30}, "あ (U+3042)"},
        {u"Unicode", {0x3D, 0xD8, 0x00, 0xDE}, "😀 (U+1F600)"},
        {u"Unicode", {0x2E, 0x20}, ". (U+202E)"},  // a bidirectional override
        {u"EUC", {0xA4, 0xA2}, "あ (U+3042)"},
        {u"UTF-8", {0xE3, 0x81, 0x82}, "あ (U+3042)"},
        {u"UTF-8", {0xE3, 0x81}, "."},  // cut by the end of the file
        {u"UTF-8", {0xC0, 0x80}, "."},  // overlong
        // Bytes that do not reach far enough show nothing.
        {u"int32 LE", {1, 2, 3}, ""},
        {u"uint8", {}, ""},
        {u"UTF-8", {}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Show(c.row, c.bytes), c.shown) << Utf16ToUtf8(c.row);
    }
}

TEST_F(DataInspector, TypedValuesBecomeExactlyTheirBytes) {
    struct Case {
        const char16_t* row;
        const char16_t* typed;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {u"2進数", u"101", {0x05}},
        {u"int8", u"-128", {0x80}},
        {u"uint8", u"0xff", {0xFF}},
        {u"int16 BE", u"-2", {0xFF, 0xFE}},
        {u"uint16 LE", u" 4660 ", {0x34, 0x12}},
        {u"int32 LE", u"0xFFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}},  // the bit pattern of -1
        {u"uint64 BE", u"1", {0, 0, 0, 0, 0, 0, 0, 1}},
        {u"int64 LE", u"-9223372036854775808", {0, 0, 0, 0, 0, 0, 0, 0x80}},
        {u"float32 BE", u"-1.5", {0xBF, 0xC0, 0x00, 0x00}},
        {u"float64 LE", u"-Infinity", {0, 0, 0, 0, 0, 0, 0xF0, 0xFF}},
        {u"time32 LE (UTC)", u"1969-12-31 23:59:59", {0xFF, 0xFF, 0xFF, 0xFF}},
        {u"time32 BE (ﾛｰｶﾙ)", u"1970-01-01 09:00:01", {0, 0, 0, 1}},
        {u"ｼﾌﾄJIS", u"あ", {0x82, 0xA0}},
        {u"Unicode", u"😀", {0x3D, 0xD8, 0x00, 0xDE}},
        {u"EUC", u"あ", {0xA4, 0xA2}},
        {u"UTF-8", u"é", {0xC3, 0xA9}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(EncodeValue(Row(c.row), c.typed, bytes))
            << Utf16ToUtf8(c.row) << " " << Utf16ToUtf8(c.typed);
        EXPECT_EQ(bytes, c.bytes) << Utf16ToUtf8(c.row) << " " << Utf16ToUtf8(c.typed);
    }
    // Every value shown is typed back to the same bytes.
    const std::vector<uint8_t> sample = {0x9C, 0x00, 0x7F, 0x81, 0x40, 0x01, 0xFE, 0x3F};
    for (const InspectorRow& row : InspectorRows()) {
        if (row.kind == InspectorKind::Character || row.kind == InspectorKind::Float) continue;
        const std::u16string shown = InspectValue(row, sample.data(), sample.size());
        if (shown == u"-") continue;  // a time beyond the calendar's years
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(EncodeValue(row, shown, bytes)) << Utf16ToUtf8(row.label);
        EXPECT_EQ(bytes, std::vector<uint8_t>(sample.begin(), sample.begin() + row.bytes))
            << Utf16ToUtf8(row.label);
    }
}

TEST_F(DataInspector, ValuesOutsideTheirRowAreRefused) {
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"int8", u"128"},
        {u"uint8", u"256"},
        {u"uint16 LE", u"-1"},
        {u"int32 LE", u"1.5"},
        {u"uint64 LE", u"18446744073709551616"},
        {u"2進数", u"102"},
        {u"2進数", u"111111111"},
        {u"float32 LE", u"1e39"},
        {u"float64 BE", u"abc"},
        {u"time32 LE (UTC)", u"2100-01-01 00:00:00"},
        {u"time64 LE (UTC)", u"2024-02-30 00:00:00"},
        {u"time64 LE (UTC)", u"yesterday"},
        {u"ｼﾌﾄJIS", u"😀"},
        {u"UTF-8", u"ab"},
        {u"int16 LE", u""},
        {u"int16 LE", u"１２"},
    };
    for (const auto& [row, typed] : cases) {
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(EncodeValue(Row(row), typed, bytes))
            << Utf16ToUtf8(row) << " " << Utf16ToUtf8(typed);
    }
}

TEST(DataInspectorLength, HexadecimalAndDecimal) {
    EXPECT_EQ(FormatLength(0), u"0x0 (0)");
    EXPECT_EQ(FormatLength(0x1A2B), u"0x1A2B (6699)");
    EXPECT_EQ(FormatLength(0x100000000ULL), u"0x100000000 (4294967296)");
}

}  // namespace
}  // namespace octile
