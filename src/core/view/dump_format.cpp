#include "view/dump_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "charcode/charcode.h"
#include "charcode/conversion_steps.h"
#include "charcode/cp932_table.h"
#include "resources/resources.h"

namespace octile {

namespace {

constexpr char16_t kUpperDigits[] = u"0123456789ABCDEF";
constexpr char16_t kLowerDigits[] = u"0123456789abcdef";

// A byte as its two digits and a space, padded to four units so that one
// 8-byte copy writes it (the pad is overwritten by what follows).
using HexCell = std::array<char16_t, 4>;

constexpr std::array<HexCell, 256> MakeHexTable(const char16_t* digits) {
    std::array<HexCell, 256> table{};
    for (int b = 0; b < 256; ++b) table[b] = {digits[b >> 4], digits[b & 15], u' ', u' '};
    return table;
}

constexpr auto kUpperHex = MakeHexTable(kUpperDigits);
constexpr auto kLowerHex = MakeHexTable(kLowerDigits);

// The Unicode control characters (C0, DEL, C1): what iswcntrl reports in every
// locale, and what the column shows as ".".
constexpr bool IsControlUnit(char16_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }

constexpr std::u16string_view kLineEnd = u"\r\n";
constexpr std::u16string_view kSeparator = u"|   ";
constexpr std::u16string_view kClosing =
    u"|------------------------------------------------|-------------------\r\n";

// Longest dump line: a 16-digit address, "|", 48 hex cells, "|   ", the carry
// space, 16 column units, 15 fill spaces, CR LF, and the pad of a hex copy.
constexpr int kMaxFixedLine = 1 + 48 + 4 + 1 + 16 + 15 + 2 + 4;

int HexDigitValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

int HexDigitCount(uint64_t v) {
    int n = 0;
    while (v != 0) {
        ++n;
        v >>= 4;
    }
    return n;
}

// Writes the address text of v, at least width digits, and returns its end.
char16_t* WriteAddress(char16_t* o, uint64_t v, int32_t width, bool upper) {
    const char16_t* digits = upper ? kUpperDigits : kLowerDigits;
    const int n = std::max<int>(width, HexDigitCount(v));
    for (int i = n - 1; i >= 0; --i) {
        o[i] = digits[v & 15];
        v >>= 4;
    }
    return o + n;
}

char16_t* WriteUnits(char16_t* o, std::u16string_view s) {
    std::memcpy(o, s.data(), s.size() * sizeof(char16_t));
    return o + s.size();
}

// Where each byte falls in the code page 932 tables: its row as a lead byte
// and its column as a trail byte (0 when it is not one), and whether it is.
struct ByteTables {
    std::array<uint8_t, 256> leadRow{};
    std::array<uint8_t, 256> trailColumn{};
    std::array<uint8_t, 256> isLead{};
    std::array<uint8_t, 256> isTrail{};
};

constexpr ByteTables MakeByteTables() {
    ByteTables t;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        if (cp932::IsLeadByte(byte)) {
            t.isLead[b] = 1;
            t.leadRow[b] = static_cast<uint8_t>(b < 0xA0 ? b - 0x81 : b - 0xC1);
        }
        if (cp932::IsTrailByte(byte)) {
            t.isTrail[b] = 1;
            t.trailColumn[b] = static_cast<uint8_t>(b < 0x80 ? b - 0x40 : b - 0x41);
        }
    }
    return t;
}

constexpr ByteTables kBytes = MakeByteTables();

// The column text that ShiftJisToWide gives for the m (0 to 16) bytes at p,
// controls shown as ".". Reads p[0] to p[m]. Returns the carry: 1 when the
// last character took p[m].
//
// The same split into characters as steps::DecodeShiftJis, without its
// byte-by-byte dependency: pair[i] says byte i could begin a pair (a lead
// byte before a trail byte). Within a run of such bytes starting at r,
// characters begin at r, r + 2, ..., so the trail bytes are the run's bytes of
// the other parity, plus the byte after the run when its length is odd.
int WriteShiftJisColumn(char16_t*& o, const uint8_t* p, int m) {
    uint32_t pair = 0;
    for (int i = 0; i < m; ++i) {
        pair |= static_cast<uint32_t>(kBytes.isLead[p[i]] & kBytes.isTrail[p[i + 1]]) << i;
    }
    constexpr uint32_t kEven = 0x55555555u;
    constexpr uint32_t kOdd = 0xAAAAAAAAu;
    const uint32_t runStarts = pair & ~(pair << 1);
    // Adding a run's first bit clears the run and sets the bit after it.
    const uint32_t evenSum = pair + (runStarts & kEven);
    const uint32_t oddSum = pair + (runStarts & kOdd);
    const uint32_t evenRuns = pair & ~evenSum;
    const uint32_t oddRuns = pair & ~oddSum;
    const uint32_t evenAfter = evenSum & ~pair;
    const uint32_t oddAfter = oddSum & ~pair;
    const uint32_t trails = ((evenRuns | evenAfter) & kOdd) | ((oddRuns | oddAfter) & kEven);

    uint32_t starts = ~trails & ((uint32_t{1} << m) - 1);
    if (starts == 0) {
        *o++ = u'.';  // nothing decoded
        return 0;
    }
    while (starts != 0) {
        const int i = std::countr_zero(starts);
        starts &= starts - 1;
        const uint8_t b = p[i];
        const uint8_t next = p[i + 1];
        const char16_t single = cp932::kSingle[b];
        const char16_t twoBytes = cp932::kDouble[kBytes.leadRow[b]][kBytes.trailColumn[next]];
        const char16_t u = (pair >> i) & 1 ? twoBytes : single;
        *o++ = IsControlUnit(u) ? u'.' : u;
    }
    return static_cast<int>((trails >> m) & 1);
}

}  // namespace

int32_t AddressWidth(const DumpSettings& s) { return 8 + std::max<int32_t>(0, s.extraDigits); }

std::u16string FormatAddress(const DumpSettings& s, uint64_t value) {
    const int32_t width = AddressWidth(s);
    std::u16string text(static_cast<size_t>(std::max<int32_t>(width, 16)), u'0');
    text.resize(static_cast<size_t>(WriteAddress(text.data(), value, width, s.upper) - text.data()));
    return text;
}

uint64_t ParseHex(std::u16string_view text) {
    uint64_t value = 0;
    for (const char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) break;
        value = (value << 4) | static_cast<uint64_t>(digit);  // wraps modulo 2^64
    }
    return value;
}

bool ParseHexStrict(std::u16string_view text, uint64_t& value) {
    if (text.size() > 16) return false;
    uint64_t v = 0;
    for (const char16_t c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return false;
        v = (v << 4) | static_cast<uint64_t>(digit);
    }
    value = v;
    return true;
}

int32_t ExtraDigitsForLength(uint64_t fileLength) {
    const std::u16string text = FormatAddress(DumpSettings{}, fileLength - 1);  // 0 wraps
    return text.size() > 8 ? static_cast<int32_t>(text.size() - 8) : 0;
}

DumpFormatter::DumpFormatter(const DumpSettings& s, uint64_t start)
    : width_(AddressWidth(s)), upper_(s.upper), charCode_(s.charCode), address_(start) {}

void DumpFormatter::Begin(std::u16string& out) const {
    out.append(static_cast<size_t>(width_), u'-');
    out.append(LoadString(IDS_RULER));
    out.append(kLineEnd);
}

void DumpFormatter::End(std::u16string& out) const {
    out.append(static_cast<size_t>(width_), u'-');
    out.append(kClosing);
}

CellRect DumpFormatter::Rect() const {
    CellRect r;
    r.left = width_ + 1;
    r.top = 1;
    r.right = width_ + 69;
    r.bottom = lines_ >= static_cast<uint64_t>(INT32_MAX) ? INT32_MAX
                                                           : static_cast<int32_t>(lines_ + 1);
    return r;
}

void DumpFormatter::Feed(const uint8_t* buf, uint64_t count, std::u16string& out) {
    if (count == 0 || partial_) return;
    // One line is built in a local buffer and appended: no per-character
    // growth of out, and no over-allocation for long ranges.
    const size_t lineCapacity = static_cast<size_t>(std::max<int32_t>(width_, 16)) + kMaxFixedLine;
    constexpr size_t kStackLine = 128;
    std::u16string wide;  // only for address widths beyond any file's
    char16_t stackLine[kStackLine];
    char16_t* line = stackLine;
    if (lineCapacity > kStackLine) {
        wide.resize(lineCapacity);
        line = wide.data();
    }
    for (uint64_t offset = 0; offset < count; offset += 16) {
        const int d = static_cast<int>(std::min<uint64_t>(16, count - offset));
        char16_t* end = WriteLine(line, buf + offset, d);
        out.append(line, static_cast<size_t>(end - line));
        if (d < 16) partial_ = true;
    }
}

char16_t* DumpFormatter::WriteLine(char16_t* o, const uint8_t* line, int d) {
    o = WriteAddress(o, address_, width_, upper_);
    address_ += 16;  // wraps like the file offsets it stands for
    ++lines_;
    *o++ = u'|';

    const auto& hex = upper_ ? kUpperHex : kLowerHex;
    for (int i = 0; i < d; ++i) {
        std::memcpy(o, hex[line[i]].data(), sizeof(HexCell));
        o += 3;
    }
    for (int i = d; i < 16; ++i) o = WriteUnits(o, u"   ");
    o = WriteUnits(o, kSeparator);

    const int c = carry_;
    if (c > 0) *o++ = u' ';
    const uint8_t* p = line + c;
    const int m = d - c;
    int next = 0;
    switch (charCode_) {
        case CODE_SJIS:
            next = WriteShiftJisColumn(o, p, m);
            break;
        case CODE_UNICODE:
            for (int i = 0; i + 1 < m; i += 2) {
                const char16_t u = static_cast<char16_t>(p[i] | (p[i + 1] << 8));
                if (IsControlUnit(u)) {
                    *o++ = u'.';
                    *o++ = u' ';
                } else {
                    *o++ = u;
                    if (u < 0x100) *o++ = u' ';
                }
            }
            break;
        case CODE_EUC: {
            // Rebuilt as Shift-JIS two source bytes at a time at the same
            // index; the last step (j = m - 1 or m) may read up to p[m + 2],
            // inside the look-ahead, to finish a character that straddles
            // the line's end.
            uint8_t scratch[21] = {};
            int j = 0;
            while (j <= m) {
                const int written = steps::EucToShiftJis(p + j, 2, scratch + j);
                if (written == 0) {
                    scratch[j] = 0;
                    scratch[j + 1] = 0;
                } else if (written == 1) {
                    scratch[j + 1] = 0x20;
                }
                j += written >= 3 ? 1 : 2;
            }
            next = WriteShiftJisColumn(o, scratch, m);
            break;
        }
        default:  // JIS and unknown codes show no characters
            break;
    }
    carry_ = next;

    for (int i = d; i < 16; ++i) *o++ = u' ';
    return WriteUnits(o, kLineEnd);
}

std::u16string FormatDump(const DumpSettings& s, uint64_t start, const uint8_t* buf,
                          uint64_t count, CellRect* rect) {
    DumpFormatter formatter(s, start);
    std::u16string text;
    const uint64_t lines = (count + 15) / 16;
    text.reserve(static_cast<size_t>((lines + 2) * static_cast<uint64_t>(AddressWidth(s) + 80)));
    formatter.Begin(text);
    formatter.Feed(buf, count, text);
    formatter.End(text);
    if (rect != nullptr) *rect = formatter.Rect();
    return text;
}

}  // namespace octile
