#include "search/search_pattern.h"

#include <gtest/gtest.h>

#include "charcode/charcode.h"
#include "util/utf.h"

namespace octile {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BuildSearchPattern, HexAndEveryCharacterCode) {
    struct Case {
        std::u16string text;
        int32_t hex;
        int32_t code;
        Bytes bytes;
    };
    const Case cases[] = {
        {u"4A4b", 1, CODE_SJIS, {0x4A, 0x4B}},
        {u"4A4", 1, CODE_SJIS, {0x34, 0x41, 0x34}},  // odd length: encoded as text
        {u"4 4b", 1, CODE_SJIS, {0x40, 0x4B}},       // a blank counts as 0
        {u"zz", 1, CODE_SJIS, {0x33}},               // no check, only the arithmetic
        {u"ＦＦ", 1, CODE_SJIS, {0x66}},             // only the low 8 bits count
        {u"00ff", 1, CODE_UNICODE, {0x00, 0xFF}},
        {u"aあ", 0, CODE_SJIS, {0x61, 0x82, 0xA0}},
        {u"aあ", 0, CODE_UNICODE, {0x61, 0x00, 0x42, 0x30}},
        {u"aあｱ", 0, CODE_EUC, {0x61, 0xA4, 0xA2, 0x8E, 0xB1}},
        {u"aあｱ", 0, CODE_JIS, {0x61, 0xA4, 0xA2, 0x8E, 0xB1}},
        {u"aあｱ", 0, 9, {0x61, 0xA4, 0xA2, 0x8E, 0xB1}},
        {u"\U0001F600", 0, CODE_SJIS, {0x3F}},  // no Shift-JIS form
        {u"\U0001F600", 0, CODE_UNICODE, {0x3D, 0xD8, 0x00, 0xDE}},
        {u"aé\U0001F600", 0, CODE_UTF8, {0x61, 0xC3, 0xA9, 0xF0, 0x9F, 0x98, 0x80}},
        {u"あｱ", 0, CODE_UTF8, {0xE3, 0x81, 0x82, 0xEF, 0xBD, 0xB1}},
        {u"a\xD800", 0, CODE_UTF8, {0x61, 0xEF, 0xBF, 0xBD}},  // a lone surrogate
        {u"00ff", 1, CODE_UTF8, {0x00, 0xFF}},
    };
    for (const Case& c : cases) {
        const SearchPattern p = BuildSearchPattern(c.text, c.hex, c.code, 256);
        EXPECT_EQ(p.status, SearchPattern::Ok) << Utf16ToUtf8(c.text);
        EXPECT_EQ(p.bytes, c.bytes) << Utf16ToUtf8(c.text) << " code " << c.code;
    }
}

TEST(BuildSearchPattern, EmptyAndTooLong) {
    struct Case {
        std::u16string text;
        int32_t hex;
        int32_t code;
        uint64_t readSize;
        SearchPattern::Status status;
    };
    const Case cases[] = {
        {u"", 0, CODE_SJIS, 256, SearchPattern::Empty},
        {u"", 1, CODE_SJIS, 256, SearchPattern::Empty},
        {u"abc", 0, CODE_SJIS, 3, SearchPattern::Ok},
        {u"abc", 0, CODE_SJIS, 2, SearchPattern::TooLong},
        {u"ab", 0, CODE_UNICODE, 3, SearchPattern::TooLong},
        {u"ｱｱ", 0, CODE_SJIS, 3, SearchPattern::Ok},
        {u"ｱｱ", 0, CODE_EUC, 3, SearchPattern::TooLong},  // 8E B1 8E B1
        {u"414243", 1, CODE_SJIS, 3, SearchPattern::Ok},
        {u"41424344", 1, CODE_SJIS, 3, SearchPattern::TooLong},
        {u"a", 0, CODE_SJIS, 0, SearchPattern::TooLong},
        {std::u16string(1000, u'a'), 0, CODE_SJIS, 16, SearchPattern::TooLong},
        {u"ああ", 0, CODE_UTF8, 6, SearchPattern::Ok},
        {u"ああ", 0, CODE_UTF8, 5, SearchPattern::TooLong},
    };
    for (const Case& c : cases) {
        const SearchPattern p = BuildSearchPattern(c.text, c.hex, c.code, c.readSize);
        EXPECT_EQ(p.status, c.status) << Utf16ToUtf8(c.text) << " read size " << c.readSize;
        EXPECT_EQ(p.bytes.empty(), c.status != SearchPattern::Ok);
    }
}

TEST(SearchProposal, FromSelectedBytes) {
    struct Case {
        Bytes bytes;  // the selection, then the look-ahead
        uint64_t count;
        int32_t hex;
        int32_t code;
        uint64_t readSize;
        std::u16string text;
    };
    const Case cases[] = {
        {{0x0A, 0xFF, 0x41}, 2, 1, CODE_SJIS, 256, u"0aff"},
        {{0x41, 0x82, 0xA0}, 3, 0, CODE_SJIS, 256, u"Aあ"},
        {{0x41, 0x82, 0xA0}, 2, 0, CODE_SJIS, 256, u"Aあ"},  // completed from the look-ahead
        {{0x41, 0x00, 0x42}, 3, 0, CODE_SJIS, 256, u"A"},    // up to a null character
        {{0x41, 0x42, 0x43, 0x44, 0x45}, 5, 0, CODE_SJIS, 4, u"."},  // over read size / 2 units
        {{0x41, 0x00, 0x42, 0x30}, 4, 0, CODE_UNICODE, 256, u"Aあ"},
        {{0x41, 0x00, 0x42, 0x30}, 3, 0, CODE_UNICODE, 256, u"AB"},  // odd: high byte 0
        {{0x41, 0x00, 0x00, 0x00, 0x42, 0x00}, 6, 0, CODE_UNICODE, 256, u"A"},
        {{0xA4, 0xA2, 0x8E, 0xB1}, 4, 0, CODE_EUC, 256, u"あｱ"},
        {{0xA4, 0xA2, 0x8E, 0xB1}, 4, 0, CODE_JIS, 256, u"あｱ"},
        {{0x90, 0x41}, 2, 0, CODE_EUC, 256, u""},  // EUC gives nothing
        {{0x41, 0xE3, 0x81, 0x82, 0xF0, 0x9F, 0x98, 0x80}, 8, 0, CODE_UTF8, 256, u"Aあ\U0001F600"},
        {{0x41, 0xE3, 0x81, 0x82}, 2, 0, CODE_UTF8, 256, u"Aあ"},  // completed from the look-ahead
        {{0x41, 0xE3, 0x81}, 3, 0, CODE_UTF8, 256, u"A.."},        // cut by the end of the file
        {{0x80, 0xC0, 0xAF, 0xED, 0xA0, 0x80, 0x0A}, 7, 0, CODE_UTF8, 256, u"......\n"},
        {{0x41, 0x00, 0x42}, 3, 0, CODE_UTF8, 256, u"A"},  // up to a null character
    };
    for (const Case& c : cases) {
        Bytes buffer = c.bytes;
        buffer.resize(c.bytes.size() + 16, 0);
        EXPECT_EQ(SearchProposal(buffer.data(), c.count, c.hex, c.code, c.readSize), c.text)
            << Utf16ToUtf8(c.text);
    }
}

}  // namespace
}  // namespace octile
