#include "charcode/charcode.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace octile {
namespace {

using Bytes = std::vector<uint8_t>;

bool IsLead(int b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrail(int b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }
bool IsControl(int b) { return b < 0x20 || b == 0x7F; }

// Decodes bytes with ShiftJisToWide into a string, with room to spare.
std::u16string Decode(const Bytes& withFollowing, int count, int* overhang = nullptr) {
    char16_t out[64];
    int over = -1;
    const int n = ShiftJisToWide(withFollowing.data(), count, out, sizeof(out), &over);
    if (overhang != nullptr) *overhang = over;
    return std::u16string(out, static_cast<size_t>(n));
}

// ---------------------------------------------------------------------------
// JIS code arithmetic

struct CodeCase {
    uint32_t in;
    uint16_t out;
};

TEST(JisCodeTest, JisToShiftJisCases) {
    const CodeCase cases[] = {
        {0x2422, 0x82A0}, {0x2121, 0x8140}, {0x5F21, 0xE040},  {0x2020, 0}, {0x217F, 0},
        {0x7E7E, 0xEFFC}, {0x3021, 0x889F}, {0x12422, 0x82A0},  // high bits ignored
        {0x2421, 0x829F}, {0x2360, 0x8280}, {0x235F, 0x827E},
    };
    for (const auto& c : cases) EXPECT_EQ(JisToShiftJisCode(c.in), c.out) << std::hex << c.in;
}

TEST(JisCodeTest, ShiftJisToJisCases) {
    const CodeCase cases[] = {
        {0x82A0, 0x2422}, {0x889F, 0x3021}, {0x8340, 0x2521}, {0xF040, 0}, {0x8120, 0}, {0x817F, 0},
        {0xEFFC, 0x7E7E}, {0x8280, 0x2360}, {0x827E, 0x235F}, {0xA040, 0}, {0x81FD, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ShiftJisToJisCode(c.in), c.out) << std::hex << c.in;
}

TEST(JisCodeTest, EveryCodeMapsBothWays) {
    int valid = 0;
    for (uint32_t j = 0; j < 0x10000; ++j) {
        const uint16_t s = JisToShiftJisCode(j);
        const bool inGrid =
            (j >> 8) >= 0x21 && (j >> 8) <= 0x7E && (j & 0xFF) >= 0x21 && (j & 0xFF) <= 0x7E;
        ASSERT_EQ(s != 0, inGrid) << std::hex << j;
        if (s == 0) continue;
        ++valid;
        ASSERT_TRUE(IsLead(s >> 8) && IsTrail(s & 0xFF)) << std::hex << j;
        ASSERT_EQ(ShiftJisToJisCode(s), j) << std::hex << j;
    }
    EXPECT_EQ(valid, 94 * 94);
    // And back: every Shift-JIS code with a JIS code is the image of that code.
    for (uint32_t s = 0; s < 0x10000; ++s) {
        const uint16_t j = ShiftJisToJisCode(s);
        if (j != 0) {
            ASSERT_EQ(JisToShiftJisCode(j), s) << std::hex << s;
        }
    }
}

// ---------------------------------------------------------------------------
// ShiftJisToWide and WideToShiftJis

struct DecodeCase {
    const char* name;
    Bytes bytes;  // count bytes, then what follows them
    int count;
    std::u16string units;
    int overhang;
};

TEST(ShiftJisToWideTest, Cases) {
    const DecodeCase cases[] = {
        {"pair completed past the count", {0x41, 0x82, 0xA0}, 2, u"Aあ", 1},
        {"lead byte without trail", {0x41, 0x82, 0x20}, 2, u"A.", 0},
        {"lead byte before a space", {0x41, 0x82, 0x20, 0x00}, 3, u"A. ", 0},
        {"empty", {0x00}, 0, u".", 0},
        {"negative count", {0x41}, -3, u".", 0},
        {"controls stay as they are",
         {0x00, 0x0A, 0x1F, 0x7F, 0x41},
         5,
         std::u16string(u"\0\n\x1F\x7F"
                        u"A",
                        5),
         0},
        {"bytes that do not decode", {0x80, 0xA0, 0xFD, 0xFE, 0xFF, 0x00}, 5, u".....", 0},
        {"half-width katakana", {0xA1, 0xB1, 0xDF, 0x00}, 3, u"｡ｱﾟ", 0},
        {"undefined pair", {0x85, 0x40, 0x00}, 2, u"・", 0},
        {"lead before a non-trail byte", {0x81, 0x7F, 0x00}, 2, u".\x7F", 0},
        {"lead before a control byte", {0x88, 0x0A, 0x00}, 2, u".\n", 0},
        {"kanji", {0x88, 0x9F, 0x8A, 0xBF, 0x00}, 4, u"亜漢", 0},
        {"user-defined area", {0xF0, 0x40, 0x00}, 2, u"\uE000", 0},
        {"a pair inside the count takes no byte after it", {0x82, 0xA0, 0x82}, 2, u"あ", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int over = -1;
        EXPECT_EQ(Decode(c.bytes, c.count, &over), c.units);
        EXPECT_EQ(over, c.overhang);
    }
}

TEST(ShiftJisToWideTest, ZeroFillsAndFailsWhenTooSmall) {
    const Bytes text = {0x41, 0x42, 0x43, 0x00};
    char16_t out[5];
    std::fill(std::begin(out), std::end(out), u'#');
    int over = -1;
    EXPECT_EQ(ShiftJisToWide(text.data(), 2, out, 8, &over), 2);  // 4 units of room
    EXPECT_EQ(std::u16string(out, 5), std::u16string(u"AB\0\0#", 5));

    // Three characters do not fit in two units: the decoder yields "." alone.
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(ShiftJisToWide(text.data(), 3, out, 4, &over), 1);
    EXPECT_EQ(std::u16string(out, 3), std::u16string(u".\0#", 3));
    EXPECT_EQ(over, 0);

    // No room even for ".".
    std::fill(std::begin(out), std::end(out), u'#');
    EXPECT_EQ(ShiftJisToWide(text.data(), 1, out, 1, nullptr), 0);
    EXPECT_EQ(out[0], u'#');
}

struct EncodeCase {
    const char* name;
    std::u16string text;
    int dstBytes;
    int result;
    Bytes bytes;  // the whole destination afterwards
};

TEST(WideToShiftJisTest, Cases) {
    const EncodeCase cases[] = {
        {"ascii and hiragana", u"Aあ", 5, 3, {0x41, 0x82, 0xA0, 0x00, 0x00}},
        {"exact fit, no terminator", u"Aあ", 3, 3, {0x41, 0x82, 0xA0}},
        {"too small", u"Aあ", 2, -1, {0x00, 0x00}},
        {"empty text", u"", 2, -1, {0x00, 0x00}},
        {"half-width katakana", u"ｱ", 2, 1, {0xB1, 0x00}},
        {"not in code page 932", u"\u00A6\u0100", 3, 2, {0x3F, 0x3F, 0x00}},
        {"surrogate pair is one character", u"\U0001F600A", 3, 2, {0x3F, 0x41, 0x00}},
        {"lone surrogates",
         std::u16string(u"\xD800"
                        u"A"
                        u"\xDC00",
                        3),
         4,
         3,
         {0x3F, 0x41, 0x3F, 0x00}},
        {"null character", std::u16string(1, u'\0'), 2, 1, {0x00, 0x00}},
        {"kanji", u"漢字", 4, 4, {0x8A, 0xBF, 0x8E, 0x9A}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(static_cast<size_t>(c.dstBytes), 0xEE);
        EXPECT_EQ(
            WideToShiftJis(c.text.data(), static_cast<int>(c.text.size()), out.data(), c.dstBytes),
            c.result);
        EXPECT_EQ(out, c.bytes);
    }
}

// Every defined character of the table survives WideToShiftJis and
// ShiftJisToWide; codes that share a character come back as one of them.
TEST(Cp932RoundTripTest, EveryDefinedCharacter) {
    std::map<char16_t, std::vector<uint16_t>> codesOf;
    std::vector<std::pair<uint16_t, char16_t>> defined;
    for (int lead = 0; lead < 256; ++lead) {
        if (!IsLead(lead)) {  // a single byte
            const std::u16string u = Decode({static_cast<uint8_t>(lead), 0x00}, 1);
            ASSERT_EQ(u.size(), 1u);
            if (u[0] == u'.' && lead != '.') continue;  // does not decode
            defined.emplace_back(lead, u[0]);
            codesOf[u[0]].push_back(static_cast<uint16_t>(lead));
            continue;
        }
        for (int trail = 0; trail < 256; ++trail) {
            if (!IsTrail(trail)) continue;
            const std::u16string u =
                Decode({static_cast<uint8_t>(lead), static_cast<uint8_t>(trail), 0x00}, 2);
            ASSERT_EQ(u.size(), 1u);
            if (u[0] == u'・' && !(lead == 0x81 && trail == 0x45)) continue;  // undefined
            defined.emplace_back(lead * 256 + trail, u[0]);
            codesOf[u[0]].push_back(static_cast<uint16_t>(lead * 256 + trail));
        }
    }
    // At least JIS X 0208's 6879 characters and the 1880 of the user-defined area.
    EXPECT_GT(defined.size(), 6879u + 1880u);

    int shared = 0;
    for (const auto& [code, unit] : defined) {
        uint8_t bytes[3] = {};
        const int n = WideToShiftJis(&unit, 1, bytes, 2);
        ASSERT_EQ(n, code < 0x100 ? 1 : 2) << std::hex << code;
        const uint16_t back = n == 1 ? bytes[0] : static_cast<uint16_t>(bytes[0] * 256 + bytes[1]);
        const auto& codes = codesOf[unit];
        if (codes.size() == 1) {
            ASSERT_EQ(back, code) << std::hex << code;
        } else {
            ++shared;
            ASSERT_NE(std::find(codes.begin(), codes.end(), back), codes.end()) << std::hex << code;
        }
        ASSERT_EQ(Decode({bytes[0], bytes[1], 0x00}, n), std::u16string(1, unit))
            << std::hex << code;
    }
    // The NEC-selected IBM extensions and the IBM extensions repeat each other.
    EXPECT_GT(shared, 0);
}

// ---------------------------------------------------------------------------
// The tables against glibc's converter

class Iconv {
  public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Iconv() {
        if (ok()) iconv_close(cd_);
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted, or nothing.
    std::optional<std::string> Convert(const void* data, size_t size) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string in(static_cast<const char*>(data), size);
        char out[16];
        char* inp = in.data();
        size_t inLeft = size;
        char* outp = out;
        size_t outLeft = sizeof(out);
        if (iconv(cd_, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
            return std::nullopt;
        if (iconv(cd_, nullptr, nullptr, &outp, &outLeft) == static_cast<size_t>(-1))
            return std::nullopt;
        return std::string(out, sizeof(out) - outLeft);
    }

  private:
    iconv_t cd_;
};

// One character as the system decodes it, with the table's replacements: an
// undefined pair is "・", a single byte that does not decode (a lead byte
// alone among them) is ".", one cell like the byte it stands for.
char16_t ReferenceDecode(Iconv& dec, const uint8_t* bytes, size_t size) {
    const auto out = dec.Convert(bytes, size);
    if (out && out->size() == 2)
        return static_cast<char16_t>(static_cast<uint8_t>((*out)[0]) |
                                     (static_cast<uint8_t>((*out)[1]) << 8));
    return size == 2 ? u'・' : u'.';
}

TEST(Cp932TableTest, AgreesWithIconvForEverySingleByteAndPair) {
    Iconv dec("UTF-16LE", "CP932");
    ASSERT_TRUE(dec.ok());
    for (int b = 0; b < 256; ++b) {
        const uint8_t byte = static_cast<uint8_t>(b);
        const Bytes in = {byte, 0x00};
        ASSERT_EQ(Decode(in, 1), std::u16string(1, ReferenceDecode(dec, &byte, 1))) << b;
    }
    for (int b1 = 0; b1 < 256; ++b1) {
        for (int b2 = 0; b2 < 256; ++b2) {
            const uint8_t in[3] = {static_cast<uint8_t>(b1), static_cast<uint8_t>(b2), 0x00};
            std::u16string expected;
            if (!IsControl(b1) && IsLead(b1) && IsTrail(b2)) {
                expected.push_back(ReferenceDecode(dec, in, 2));
            } else {
                expected.push_back(ReferenceDecode(dec, in, 1));
                expected.push_back(ReferenceDecode(dec, in + 1, 1));
            }
            ASSERT_EQ(Decode(Bytes(in, in + 3), 2), expected) << std::hex << b1 << " " << b2;
        }
    }
}

TEST(Cp932TableTest, AgreesWithIconvForEveryUnit) {
    Iconv enc("CP932", "UTF-16LE");
    ASSERT_TRUE(enc.ok());
    for (uint32_t u = 0; u < 0x10000; ++u) {
        const char16_t unit = static_cast<char16_t>(u);
        const uint8_t le[2] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8)};
        std::optional<std::string> expected;
        if (u < 0xD800 || u > 0xDFFF) expected = enc.Convert(le, 2);
        if (!expected) expected = "?";
        uint8_t out[2] = {};
        const int n = WideToShiftJis(&unit, 1, out, 2);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(std::max(n, 0))),
                  *expected)
            << std::hex << u;
    }
}

// The dump shows the unit of a pair as it is, without the control check that
// single bytes get.
TEST(Cp932TableTest, NoPairDecodesToAControl) {
    for (int lead = 0; lead < 256; ++lead) {
        if (!IsLead(lead)) continue;
        for (int trail = 0; trail < 256; ++trail) {
            if (!IsTrail(trail)) continue;
            const char16_t u =
                Decode({static_cast<uint8_t>(lead), static_cast<uint8_t>(trail), 0x00}, 2)[0];
            ASSERT_FALSE(u < 0x20 || (u >= 0x7F && u <= 0x9F)) << std::hex << lead << trail;
        }
    }
}

// ---------------------------------------------------------------------------
// EUC

struct EucCase {
    const char* name;
    Bytes in;  // count bytes, then what follows them
    int count;
    Bytes out;  // without the zero byte written after them
};

TEST(EucToShiftJisTest, Cases) {
    const EucCase cases[] = {
        {"pair, kana, ascii", {0xA4, 0xA2, 0x8E, 0xB1, 0x41}, 5, {0x82, 0xA0, 0xB1, 0x41}},
        {"JIS X 0212 becomes a full-width space", {0x8F, 0xA1, 0xA1, 0x41}, 4, {0x81, 0x40, 0x41}},
        {"stops at 0x90", {0x41, 0x90, 0x42}, 3, {0x41}},
        {"stops at 0x7F", {0x41, 0x7F, 0x42}, 3, {0x41}},
        {"stops at 0x80", {0x80, 0x41}, 2, {}},
        {"second byte's high bit ignored", {0xB0, 0x21}, 2, {0x88, 0x9F}},
        {"invalid pair becomes zeros", {0xA1, 0xA0, 0x41}, 3, {0x00, 0x00, 0x41}},
        {"pair completed past the count", {0x41, 0xA4, 0xA2}, 2, {0x41, 0x82, 0xA0}},
        {"kana completed past the count", {0x41, 0x8E, 0xB1}, 2, {0x41, 0xB1}},
        {"0x8F at the end", {0x41, 0x8F, 0xA1, 0xA1}, 2, {0x41, 0x81, 0x40}},
        {"empty", {0x41}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(static_cast<size_t>(c.count) + 2, 0xEE);
        const int n = EucToShiftJis(c.in.data(), c.count, out.data());
        ASSERT_EQ(n, static_cast<int>(c.out.size()));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.out);
        EXPECT_EQ(out[static_cast<size_t>(n)], 0);
    }
}

TEST(ShiftJisToEucTest, Cases) {
    const EucCase cases[] = {
        {"pair, kana, ascii", {0x82, 0xA0, 0xB1, 0x41}, 4, {0xA4, 0xA2, 0x8E, 0xB1, 0x41}},
        {"kanji", {0x88, 0x9F}, 2, {0xB0, 0xA1}},
        {"two kana", {0xB1, 0xB2}, 2, {0x8E, 0xB1, 0x8E, 0xB2}},
        {"invalid pair", {0x85, 0x20}, 2, {0x80, 0x80}},
        {"user-defined area has no JIS code", {0xF0, 0x40}, 2, {0x80, 0x80}},
        {"pair completed past the count", {0x41, 0x82, 0xA0}, 2, {0x41, 0xA4, 0xA2}},
        {"bytes of no class are copied",
         {0x7F, 0x80, 0xA0, 0xFD, 0xFE, 0xFF},
         6,
         {0x7F, 0x80, 0xA0, 0xFD, 0xFE, 0xFF}},
        {"empty", {0x41}, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out(2 * static_cast<size_t>(c.count) + 1, 0xEE);
        const int n = ShiftJisToEuc(c.in.data(), c.count, out.data());
        ASSERT_EQ(n, static_cast<int>(c.out.size()));
        EXPECT_EQ(Bytes(out.begin(), out.begin() + n), c.out);
        EXPECT_EQ(out[static_cast<size_t>(n)], 0);
    }
}

TEST(EucRoundTripTest, EveryJisX0208CodeAndKana) {
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const uint16_t sjis = JisToShiftJisCode(static_cast<uint32_t>(j1 * 256 + j2));
            const uint8_t s[3] = {static_cast<uint8_t>(sjis >> 8), static_cast<uint8_t>(sjis), 0};
            uint8_t euc[5] = {};
            ASSERT_EQ(ShiftJisToEuc(s, 2, euc), 2);
            ASSERT_EQ(euc[0], j1 | 0x80);
            ASSERT_EQ(euc[1], j2 | 0x80);
            uint8_t back[4] = {};
            ASSERT_EQ(EucToShiftJis(euc, 2, back), 2);
            ASSERT_EQ(back[0], s[0]);
            ASSERT_EQ(back[1], s[1]);
        }
    }
    for (int k = 0xA1; k <= 0xDF; ++k) {
        const uint8_t s[2] = {static_cast<uint8_t>(k), 0};
        uint8_t euc[3] = {};
        ASSERT_EQ(ShiftJisToEuc(s, 1, euc), 2);
        uint8_t back[3] = {};
        ASSERT_EQ(EucToShiftJis(euc, 2, back), 1);
        ASSERT_EQ(back[0], k);
    }
}

// ---------------------------------------------------------------------------
// No conversion reads past the one byte after its count.

// The given bytes placed at the very end of a readable page, before an
// unreadable one: any read past them faults.
class GuardedBytes {
  public:
    explicit GuardedBytes(const Bytes& bytesAndNext) {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* p =
            mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return;
        base_ = static_cast<uint8_t*>(p);
        mprotect(base_ + page_, page_, PROT_NONE);
        data_ = base_ + page_ - bytesAndNext.size();
        std::memcpy(data_, bytesAndNext.data(), bytesAndNext.size());
    }
    ~GuardedBytes() {
        if (base_ != nullptr) munmap(base_, 2 * page_);
    }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    const uint8_t* data() const { return data_; }

  private:
    size_t page_ = 0;
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
};

TEST(ConversionBoundsTest, ReadsAtMostOneBytePastTheCount) {
    {
        GuardedBytes g({0x41, 0x82, 0xA0});  // lead byte last: the trail is read
        ASSERT_NE(g.data(), nullptr);
        int over = 0;
        char16_t out[4];
        EXPECT_EQ(ShiftJisToWide(g.data(), 2, out, sizeof(out), &over), 2);
        EXPECT_EQ(over, 1);
        uint8_t euc[5];
        EXPECT_EQ(ShiftJisToEuc(g.data(), 2, euc), 3);
    }
    {
        GuardedBytes g({0x41, 0xA4, 0xA2});  // EUC pair begun at the last byte
        uint8_t sjis[4];
        EXPECT_EQ(EucToShiftJis(g.data(), 2, sjis), 3);
    }
    {
        GuardedBytes g({0x41, 0x8E, 0xB1});
        uint8_t sjis[4];
        EXPECT_EQ(EucToShiftJis(g.data(), 2, sjis), 2);
    }
    {
        GuardedBytes g({0x41, 0x8F});  // the two bytes after 0x8F are not read
        uint8_t sjis[4];
        EXPECT_EQ(EucToShiftJis(g.data(), 2, sjis), 3);
    }
}

// ---------------------------------------------------------------------------
// UTF-8

// The one character the system decodes a whole sequence to, if any.
std::optional<char32_t> IconvCharacter(Iconv& dec, const uint8_t* bytes, size_t size) {
    const auto out = dec.Convert(bytes, size);
    if (!out || out->size() != 4) return std::nullopt;
    char32_t c = 0;
    for (int i = 3; i >= 0; --i)
        c = (c << 8) | static_cast<uint8_t>((*out)[static_cast<size_t>(i)]);
    return c;
}

// Every first and second byte, followed by bytes that continue a sequence
// and by bytes that do not: the sequence DecodeUtf8 finds is the shortest
// prefix the system decodes to one character, or none.
TEST(DecodeUtf8Test, AgreesWithIconvForEveryLeadingPair) {
    Iconv dec("UTF-32LE", "UTF-8");
    ASSERT_TRUE(dec.ok());
    for (const uint8_t tail : {0x80, 0xBF, 0x41, 0xC0}) {
        for (int b0 = 0; b0 < 256; ++b0) {
            for (int b1 = 0; b1 < 256; ++b1) {
                const uint8_t in[4] = {static_cast<uint8_t>(b0), static_cast<uint8_t>(b1), tail,
                                       tail};
                int expectedLength = 0;
                char32_t expected = 0;
                for (int n = 1; n <= 4 && expectedLength == 0; ++n) {
                    if (const auto c = IconvCharacter(dec, in, static_cast<size_t>(n))) {
                        expectedLength = n;
                        expected = *c;
                    }
                }
                char32_t c = 0xFFFFFFFF;
                const int n = DecodeUtf8(in, &c);
                ASSERT_EQ(n, expectedLength) << std::hex << b0 << " " << b1 << " " << int(tail);
                if (n > 0) {
                    ASSERT_EQ(c, expected) << std::hex << b0 << " " << b1;
                }
            }
        }
    }
}

TEST(DecodeUtf8Test, EveryScalarValueDecodesFromItsBytes) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        uint8_t in[4] = {};
        int n = 0;
        if (c < 0x80) {
            in[n++] = static_cast<uint8_t>(c);
        } else if (c < 0x800) {
            in[n++] = static_cast<uint8_t>(0xC0 | (c >> 6));
            in[n++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            in[n++] = static_cast<uint8_t>(0xE0 | (c >> 12));
            in[n++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            in[n++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        } else {
            in[n++] = static_cast<uint8_t>(0xF0 | (c >> 18));
            in[n++] = static_cast<uint8_t>(0x80 | ((c >> 12) & 0x3F));
            in[n++] = static_cast<uint8_t>(0x80 | ((c >> 6) & 0x3F));
            in[n++] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        }
        char32_t out = 0;
        ASSERT_EQ(DecodeUtf8(in, &out), n) << std::hex << uint32_t(c);
        ASSERT_EQ(out, c);
    }
}

// A guard page right after the last byte: a sequence that stops fitting is
// left there, and a complete one reads no further than its end.
TEST(DecodeUtf8Test, ReadsNoBytePastTheFirstThatDoesNotFit) {
    struct Case {
        Bytes bytes;  // the last one is the last readable byte
        int length;
    } cases[] = {
        {{0x41}, 1},
        {{0x80}, 0},                    // a continuation byte first
        {{0xC0}, 0},                    // never a first byte
        {{0xF5}, 0},                    //
        {{0xE3, 0x41}, 0},              // the second byte does not continue
        {{0xF0, 0x8F}, 0},              // overlong
        {{0xED, 0xA0}, 0},              // a surrogate
        {{0xF4, 0x90}, 0},              // above U+10FFFF
        {{0xE3, 0x81, 0x20}, 0},        // the third byte does not continue
        {{0xC3, 0xA9}, 2},              //
        {{0xE3, 0x81, 0x82}, 3},        //
        {{0xF0, 0x9F, 0x98, 0x80}, 4},  //
    };
    for (const Case& c : cases) {
        GuardedBytes g(c.bytes);
        ASSERT_NE(g.data(), nullptr);
        char32_t out = 0;
        EXPECT_EQ(DecodeUtf8(g.data(), &out), c.length) << std::hex << int(c.bytes[0]);
    }
}

TEST(IsEastAsianWideTest, WideAndFullwidthCharactersOnly) {
    const char32_t wide[] = {
        0x1100,  0x115F,  0x231A,  0x2E80,  0x3000,  0x3042,  0x30FF,  0x3400,  0x4E00,  0x9FFF,
        0xAC00,  0xD7A3,  0xF900,  0xFE30,  0xFF01,  0xFF60,  0xFFE0,  0xFFE6,  0x1F004, 0x1F300,
        0x1F600, 0x1F64F, 0x1F680, 0x1F9FF, 0x1FAF6, 0x20000, 0x2A6DF, 0x2FFFD, 0x30000, 0x3FFFD,
    };
    // Ambiguous characters (Greek, Cyrillic, "…", "○") draw in one cell here.
    const char32_t narrow[] = {
        0x00,   0x41,   0x7F,    0xA9,    0xE9,    0x3B1,   0x416,   0x10FF,  0x1160,
        0x2026, 0x20AC, 0x2328,  0x25CB,  0x303F,  0xD7A4,  0xFB00,  0xFF61,  0xFF9F,
        0xFFE8, 0xFFFD, 0x10000, 0x1D400, 0x1F1E6, 0x2FFFE, 0x40000, 0xE0001, 0x10FFFF,
    };
    for (const char32_t c : wide) EXPECT_TRUE(IsEastAsianWide(c)) << std::hex << uint32_t(c);
    for (const char32_t c : narrow) EXPECT_FALSE(IsEastAsianWide(c)) << std::hex << uint32_t(c);
}

}  // namespace
}  // namespace octile
