#include "dump/dump_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "charcode/charcode.h"
#include "charcode/conversion_steps.h"
#include "charcode/cp932_table.h"
#include "dump/dump_layout.h"
#include "resources/resources.h"
#include "util/utf.h"

namespace octile {

namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

// The line's fixed parts, as DumpLayout places them on the cell grid.
constexpr std::string_view kSeparator = DumpLayout::kSeparator;
constexpr int kHexCell = DumpLayout::kHexCellWidth;
constexpr int kHexWidth = DumpLayout::kHexWidth;
constexpr int kLineBytes = DumpLayout::kBytesPerLine;
constexpr std::string_view kClosing =
    "|------------------------------------------------|-------------------\r\n";
constexpr std::string_view kClosingLf =
    "|------------------------------------------------|-------------------\n";

// The Unicode control characters (C0, DEL, C1), which the column shows as ".":
// what iswcntrl reports in a Unicode locale, fixed here so that the text does
// not depend on the process's locale.
constexpr bool IsControlUnit(char16_t u) { return u < 0x20 || (u >= 0x7F && u <= 0x9F); }

// ---------------------------------------------------------------------------
// Output units. A line is written either as UTF-16 units (char16_t) or as
// UTF-8 bytes (char); the same templates write both, so the two texts cannot
// drift apart.

template <typename Char>
Char* PutAscii(Char* o, std::string_view s) {
    for (const char c : s) *o++ = static_cast<Char>(c);
    return o;
}

template <typename Char>
Char* PutSpaces(Char* o, int n) {
    for (int i = 0; i < n; ++i) *o++ = static_cast<Char>(' ');
    return o;
}

// A BMP unit other than a surrogate as UTF-8: the bytes from the low end, the
// byte count in the top byte.
constexpr uint32_t PackUtf8(char16_t u) {
    if (u < 0x80) return 0x01000000u | u;
    if (u < 0x800) return 0x02000000u | (0xC0u | (u >> 6)) | ((0x80u | (u & 0x3Fu)) << 8);
    return 0x03000000u | (0xE0u | (u >> 12)) | ((0x80u | ((u >> 6) & 0x3Fu)) << 8) |
           ((0x80u | (u & 0x3Fu)) << 16);
}

// Writes a packed UTF-8 character; the store is four bytes wide, and
// whatever follows overwrites the byte past the character.
static_assert(std::endian::native == std::endian::little, "packed UTF-8 is stored low byte first");
inline char* PutPacked(char* o, uint32_t packed) {
    std::memcpy(o, &packed, 4);
    return o + (packed >> 24);
}

inline char16_t* PutUnit(char16_t* o, char16_t u) {
    *o = u;
    return o + 1;
}

// u must not be a surrogate.
inline char* PutUnit(char* o, char16_t u) { return PutPacked(o, PackUtf8(u)); }

inline char* PutCodePoint(char* o, char32_t c) {
    o[0] = static_cast<char>(0xF0 | (c >> 18));
    o[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    o[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    o[3] = static_cast<char>(0x80 | (c & 0x3F));
    return o + 4;
}

// A byte as its two digits and a space, padded to four units so that one
// copy writes it (the pad is overwritten by what follows).
template <typename Char>
using HexCell = std::array<Char, 4>;

template <typename Char>
constexpr std::array<HexCell<Char>, 256> MakeHexTable(const char* digits) {
    std::array<HexCell<Char>, 256> table{};
    for (int b = 0; b < 256; ++b) {
        table[b] = {static_cast<Char>(digits[b >> 4]), static_cast<Char>(digits[b & 15]),
                    static_cast<Char>(' '), static_cast<Char>(' ')};
    }
    return table;
}

template <typename Char>
struct HexTables {
    static constexpr auto kUpper = MakeHexTable<Char>(kUpperDigits);
    static constexpr auto kLower = MakeHexTable<Char>(kLowerDigits);
};

// Writes the address text of v, at least width digits, and returns its end.
// Two digits at a time, from the byte cells' table.
template <typename Char>
Char* WriteAddress(Char* o, uint64_t v, int32_t width, bool upper) {
    const auto& hex = upper ? HexTables<Char>::kUpper : HexTables<Char>::kLower;
    const int n = std::max<int>(width, (std::bit_width(v) + 3) / 4);
    int i = n;
    for (; i >= 2; i -= 2) {
        std::memcpy(o + i - 2, hex[v & 0xFF].data(), 2 * sizeof(Char));
        v >>= 8;
    }
    if (i == 1) o[0] = hex[v & 0xFF][1];
    return o + n;
}

// ---------------------------------------------------------------------------
// The Shift-JIS column

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
            t.leadRow[b] = static_cast<uint8_t>(cp932::LeadRow(byte));
        }
        if (cp932::IsTrailByte(byte)) {
            t.isTrail[b] = 1;
            t.trailColumn[b] = static_cast<uint8_t>(cp932::TrailColumn(byte));
        }
    }
    return t;
}

constexpr ByteTables kBytes = MakeByteTables();

// What each byte shows as on its own: code page 932's single-byte unit,
// controls as ".". And the same, and every pair's unit, as packed UTF-8.
struct ShownTables {
    std::array<char16_t, 256> single{};
    std::array<uint32_t, 256> singleUtf8{};
    std::array<std::array<uint32_t, cp932::kTrailCount>, cp932::kLeadCount> pairUtf8{};
    // Indexed by a byte and the next one (b | next << 8, a little-endian
    // load): the pair's unit when b is a lead byte and next a trail byte,
    // else b's own unit. One lookup per byte for the UTF-16 column.
    std::array<char16_t, 65536> unitAt{};
};

const ShownTables& Shown() {
    static const ShownTables tables = [] {
        ShownTables t;
        for (int b = 0; b < 256; ++b) {
            const char16_t u = cp932::DecodeSingle(static_cast<uint8_t>(b));
            t.single[b] = IsControlUnit(u) ? u'.' : u;
            t.singleUtf8[b] = PackUtf8(t.single[b]);
        }
        for (int r = 0; r < cp932::kLeadCount; ++r) {
            for (int c = 0; c < cp932::kTrailCount; ++c) {
                const char16_t u = cp932::kDouble[r][c];
                t.pairUtf8[r][c] = PackUtf8(IsControlUnit(u) ? u'.' : u);
            }
        }
        for (int w = 0; w < 65536; ++w) {
            const int b = w & 0xFF;
            const int next = w >> 8;
            t.unitAt[w] = kBytes.isLead[b] && kBytes.isTrail[next]
                              ? cp932::kDouble[kBytes.leadRow[b]][kBytes.trailColumn[next]]
                              : t.single[b];
        }
        return t;
    }();
    return tables;
}

// What the Shift-JIS column needs to know of 16 bytes.
struct ByteMasks {
    uint32_t pair;   // bit i: p[i] is a lead byte and p[i + 1] a trail byte
    uint32_t ascii;  // bit i: p[i] is below 0x80
};

#ifdef __SSE2__
// x in [lo, hi], bytewise and unsigned.
inline __m128i InRange(__m128i x, uint8_t lo, uint8_t hi) {
    const __m128i shifted = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(lo)));
    const __m128i over = _mm_subs_epu8(shifted, _mm_set1_epi8(static_cast<char>(hi - lo)));
    return _mm_cmpeq_epi8(over, _mm_setzero_si128());
}
#endif

// Reads p[0] to p[16].
inline ByteMasks ClassifyBytes(const uint8_t* p) {
    ByteMasks masks;
#ifdef __SSE2__
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i lead = _mm_or_si128(InRange(here, 0x81, 0x9F), InRange(here, 0xE0, 0xFC));
    const __m128i trail = _mm_or_si128(InRange(next, 0x40, 0x7E), InRange(next, 0x80, 0xFC));
    masks.pair = static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(lead, trail)));
    masks.ascii = static_cast<uint32_t>(~_mm_movemask_epi8(here)) & 0xFFFFu;
#else
    masks.pair = 0;
    masks.ascii = 0;
    for (int i = 0; i < 16; ++i) {
        masks.pair |= static_cast<uint32_t>(kBytes.isLead[p[i]] & kBytes.isTrail[p[i + 1]]) << i;
        masks.ascii |= static_cast<uint32_t>(p[i] < 0x80) << i;
    }
#endif
    return masks;
}

// Writes 16 bytes below 0x80 as themselves, controls as "."; the caller
// keeps the first m.
template <typename Char>
inline void PutAsciiBytes(Char* o, const uint8_t* p) {
#ifdef __SSE2__
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i control = _mm_or_si128(_mm_cmplt_epi8(x, _mm_set1_epi8(0x20)),
                                         _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F)));
    const __m128i shown =
        _mm_or_si128(_mm_andnot_si128(control, x), _mm_and_si128(control, _mm_set1_epi8('.')));
    if constexpr (std::is_same_v<Char, char16_t>) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                         _mm_unpacklo_epi8(shown, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 8),
                         _mm_unpackhi_epi8(shown, _mm_setzero_si128()));
    } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), shown);
    }
#else
    for (int i = 0; i < 16; ++i) {
        const uint8_t b = p[i];
        o[i] = static_cast<Char>(b < 0x20 || b == 0x7F ? '.' : b);
    }
#endif
}

// The column text that ShiftJisToWide gives for the m (0 to 16) bytes at p,
// controls shown as ".". Returns the carry: 1 when the last character took
// p[m]. p[0] to p[m + 15] must be readable (a line and its look-ahead), and o
// must have room for 16 characters of 4 units; bytes after p[m] do not change
// the text.
//
// The split into characters is that of steps::DecodeShiftJis, computed
// without its byte-to-byte dependency, which costs a misprediction at every
// other character on binary data: pair bit i says byte i could begin a pair
// (a lead byte before a trail byte). Within a run of such bytes starting at r,
// characters begin at r, r + 2, ..., so the trail bytes are the run's bytes of
// the other parity, plus the byte after the run when its length is odd.
template <typename Char>
int WriteShiftJisColumn(Char*& o, const uint8_t* p, int m) {
    if (m == 0) {
        *o++ = static_cast<Char>('.');  // nothing decoded
        return 0;
    }
    const uint32_t inColumn = (uint32_t{1} << m) - 1;
    const ByteMasks masks = ClassifyBytes(p);  // m > 0: p[16] is readable
    if ((masks.ascii & inColumn) == inColumn) {
        // Text: every byte is a character of its own.
        PutAsciiBytes(o, p);
        o += m;
        return 0;
    }
    const uint32_t pair = masks.pair & inColumn;
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
    const uint32_t starts = ~trails & inColumn;  // never 0: byte 0 begins a character
    // Every byte's character is written at the next free place, which
    // advances only where a character begins: no branch depends on the data.
    const ShownTables& shown = Shown();
    size_t k = 0;
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) {
        const uint32_t isStart = (starts >> i) & 1;
        if constexpr (std::is_same_v<Char, char16_t>) {
            // A byte at or past m may pair with the look-ahead here, where
            // the mask would not; it is not a start, so its unit is dropped.
            uint16_t w;
            std::memcpy(&w, p + i, 2);
            o[k] = shown.unitAt[w];
            k += isStart;
        } else {
            const uint8_t b = p[i];
            const uint8_t row = kBytes.leadRow[b];
            const uint8_t column = kBytes.trailColumn[p[i + 1]];
            const uint32_t isPair = 0u - ((pair >> i) & 1);  // all ones or zero
            const uint32_t packed =
                (shown.pairUtf8[row][column] & isPair) | (shown.singleUtf8[b] & ~isPair);
            std::memcpy(o + k, &packed, 4);
            k += isStart * (packed >> 24);
        }
    }
    o += k;
    return static_cast<int>((trails >> m) & 1);
}

// ---------------------------------------------------------------------------
// The Unicode column: m / 2 little-endian units, each taking two cells.

inline void PutUnicodeUnit(char16_t*& o, const uint8_t* p, int& i, int /*n*/) {
    *o++ = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
}

// In UTF-8 a high surrogate directly followed by a low one (units above 0xFF
// get no space after them) is one character; any other surrogate is U+FFFD.
inline void PutUnicodeUnit(char*& o, const uint8_t* p, int& i, int n) {
    const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    if (!IsHighSurrogate(u) && !IsLowSurrogate(u)) {
        o = PutUnit(o, u);
        return;
    }
    if (IsHighSurrogate(u) && i + 1 < n) {
        const char16_t low = static_cast<char16_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
        if (IsLowSurrogate(low)) {
            o = PutCodePoint(o, CombineSurrogates(u, low));
            ++i;
            return;
        }
    }
    o = PutUnit(o, u'\uFFFD');
}

constexpr bool IsBidiUnit(char16_t u) {
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// ". " packed: a hidden unit over its two cells.
constexpr uint32_t kDotBlank = 0x02000000u | '.' | (uint32_t{' '} << 8);

// What each unit that is not a surrogate shows as in UTF-8, packed with its
// length: a control as ". ", a unit below 0x100 followed by a blank, any
// other unit alone (it takes two cells).
const std::array<uint32_t, 65536>& UnicodeCells() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<uint32_t, 65536>>();
        for (uint32_t u = 0; u < 65536; ++u) {
            const auto unit = static_cast<char16_t>(u);
            uint32_t packed = PackUtf8(unit);
            if (IsControlUnit(unit)) {
                packed = kDotBlank;
            } else if (u < 0x100) {
                const uint32_t length = packed >> 24;
                packed =
                    (packed & 0xFFFFFFu) | (uint32_t{' '} << (8 * length)) | ((length + 1) << 24);
            }
            (*t)[u] = packed;
        }
        return t;
    }();
    return *table;
}

template <bool hideBidi, typename Char>
void WriteUnicodeColumn(Char*& o, const uint8_t* p, int m) {
    const int n = m / 2;  // an odd last byte shows only in the hexadecimal area
    if constexpr (std::is_same_v<Char, char>) {
        // One lookup a unit; surrogates, which may pair, take the long way.
        const std::array<uint32_t, 65536>& cells = UnicodeCells();
        for (int i = 0; i < n; ++i) {
            const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
            if (IsHighSurrogate(u) || IsLowSurrogate(u)) [[unlikely]] {
                PutUnicodeUnit(o, p, i, n);
                continue;
            }
            uint32_t packed = cells[u];
            if (hideBidi && IsBidiUnit(u)) packed = kDotBlank;
            o = PutPacked(o, packed);
        }
        return;
    }
    for (int i = 0; i < n; ++i) {
        const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        if (IsControlUnit(u) || (hideBidi && IsBidiUnit(u))) {
            *o++ = static_cast<Char>('.');
            *o++ = static_cast<Char>(' ');
        } else if (u < 0x100) {
            o = PutUnit(o, u);
            *o++ = static_cast<Char>(' ');
        } else {
            PutUnicodeUnit(o, p, i, n);
        }
    }
}

// ---------------------------------------------------------------------------
// The EUC column: the bytes rebuilt as Shift-JIS, then shown as Shift-JIS.

// Bit i: p[i] is below 0x7F, a byte that EUC copies as it is. Reads p[0] to
// p[15].
inline uint32_t PlainEucBytes(const uint8_t* p) {
#ifdef __SSE2__
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i notPlain = _mm_or_si128(x, _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F)));
    return static_cast<uint32_t>(~_mm_movemask_epi8(notPlain)) & 0xFFFFu;
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) mask |= static_cast<uint32_t>(p[i] < 0x7F) << i;
    return mask;
#endif
}

template <typename Char>
int WriteEucColumn(Char*& o, const uint8_t* p, int m) {
    const uint32_t inColumn = (uint32_t{1} << m) - 1;
    if (m > 0 && (PlainEucBytes(p) & inColumn) == inColumn) {
        // Text: the steps copy every byte, and no character reaches past it.
        PutAsciiBytes(o, p);
        o += m;
        return 0;
    }
    // Two source bytes at a time at the same index j in source and scratch;
    // the last step (j = m - 1 or m) may read up to p[m + 2], inside the
    // look-ahead, to finish a character that straddles the line's end.
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
    return WriteShiftJisColumn(o, scratch, m);
}

// ---------------------------------------------------------------------------
// The UTF-8 column: every character on the cell of its first byte and one cell
// per byte, so that the cells stay those of the bytes whatever the characters.

// Bit i: p[i] is below 0x80, a character of its own. Reads p[0] to p[15].
inline uint32_t AsciiBytes(const uint8_t* p) {
#ifdef __SSE2__
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<uint32_t>(~_mm_movemask_epi8(x)) & 0xFFFFu;
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) mask |= static_cast<uint32_t>(p[i] < 0x80) << i;
    return mask;
#endif
}

// Characters shown as ".", one per byte: the C1 controls, and the
// bidirectional overrides and isolates, which would reorder the text around
// them wherever the dump is shown or pasted.
constexpr bool IsHiddenCharacter(char32_t c) {
    return (c >= 0x80 && c <= 0x9F) || (c < 0x10000 && IsBidiUnit(static_cast<char16_t>(c)));
}

// The character c, whose n UTF-8 bytes are at p.
inline char16_t* PutCharacter(char16_t* o, const uint8_t* /*p*/, int /*n*/, char32_t c) {
    if (c < 0x10000) {
        *o++ = static_cast<char16_t>(c);
    } else {
        *o++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        *o++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    return o;
}

inline char* PutCharacter(char* o, const uint8_t* p, int n, char32_t /*c*/) {
    std::memcpy(o, p, static_cast<size_t>(n));
    return o + n;
}

// The column of the m (0 to 16) bytes at p: a byte below 0x80 as itself
// (controls as "."), a well-formed sequence as its character followed by
// blanks up to its byte count (a wide character draws in two cells), a hidden
// character as one "." per byte, any other byte as ".". Returns the carry: the
// bytes after p[m - 1] that the last character took, at most 3. p[0] to
// p[m + 15] must be readable; a sequence begun at p[m - 1] reads up to p[m + 2].
template <typename Char>
int WriteUtf8Column(Char*& o, const uint8_t* p, int m) {
    const uint32_t inColumn = (uint32_t{1} << m) - 1;
    if (m > 0 && (AsciiBytes(p) & inColumn) == inColumn) {
        PutAsciiBytes(o, p);
        o += m;
        return 0;
    }
    int i = 0;
    while (i < m) {
        const uint8_t b = p[i];
        if (b < 0x80) {
            *o++ = static_cast<Char>(b < 0x20 || b == 0x7F ? '.' : b);
            ++i;
            continue;
        }
        char32_t c = 0;
        const int n = steps::DecodeUtf8(p + i, &c);
        if (n == 0) {
            *o++ = static_cast<Char>('.');
            ++i;
            continue;
        }
        if (IsHiddenCharacter(c)) {
            for (int k = 0; k < n; ++k) *o++ = static_cast<Char>('.');
        } else {
            o = PutCharacter(o, p + i, n, c);
            o = PutSpaces(o, n - (IsEastAsianWide(c) ? 2 : 1));
        }
        i += n;
    }
    return i - m;
}

// Room for the longest line beyond its address: "|", 48 hex cells, "|   ",
// the carry blanks, a column of 16 characters of up to 3 UTF-8 bytes, 15 fill
// spaces, CR LF, and the pad of the widest copy. (The UTF-8 column, with up
// to three carry blanks and a character running three bytes past the line,
// writes at most 19 UTF-16 units or 33 UTF-8 bytes: a narrow four-byte
// character takes 7 of them.)
constexpr size_t kLineRoom = static_cast<size_t>(1 + kHexWidth + DumpLayout::kSeparatorWidth + 1 +
                                                 3 * kLineBytes + 15 + 2 + 4);

}  // namespace

int CharacterCells(char32_t c, int32_t charCode) {
    if (charCode == CODE_UNICODE) return c < 0x100 ? 1 : 2;
    if (charCode == CODE_UTF8) return IsEastAsianWide(c) ? 2 : 1;
    if (c < 0x80) return 1;
    if (c >= 0xFF61 && c <= 0xFF9F) return 1;  // half-width katakana: one byte in code page 932
    return 2;
}

int32_t AddressWidth(const DumpSettings& s) { return 8 + std::max<int32_t>(0, s.extraDigits); }

std::u16string FormatAddress(const DumpSettings& s, uint64_t value) {
    const int32_t width = AddressWidth(s);
    std::u16string text(static_cast<size_t>(std::max<int32_t>(width, 16)), u'0');
    text.resize(
        static_cast<size_t>(WriteAddress(text.data(), value, width, s.upper) - text.data()));
    return text;
}

int32_t ExtraDigitsForLength(uint64_t fileLength) {
    const std::u16string text = FormatAddress(DumpSettings{}, fileLength - 1);  // 0 wraps
    return text.size() > 8 ? static_cast<int32_t>(text.size() - 8) : 0;
}

DumpFormatter::DumpFormatter(const DumpSettings& s, uint64_t start)
    : width_(AddressWidth(s)),
      upper_(s.upper),
      charCode_(s.charCode),
      lfOnly_(s.lfOnly),
      hideBidi_(s.hideBidi),
      address_(start) {}

void DumpFormatter::Begin(std::u16string& out) const {
    out.append(static_cast<size_t>(width_), u'-');
    out.append(LoadString(IDS_RULER));
    out.append(lfOnly_ ? u"\n" : u"\r\n");
}

void DumpFormatter::Begin(std::string& out) const {
    out.append(static_cast<size_t>(width_), '-');
    out.append(Utf16ToUtf8(LoadString(IDS_RULER)));
    out.append(lfOnly_ ? "\n" : "\r\n");
}

void DumpFormatter::End(std::u16string& out) const {
    out.append(static_cast<size_t>(width_), u'-');
    const std::string_view closing = lfOnly_ ? kClosingLf : kClosing;
    out.append(closing.begin(), closing.end());
}

void DumpFormatter::End(std::string& out) const {
    out.append(static_cast<size_t>(width_), '-');
    out.append(lfOnly_ ? kClosingLf : kClosing);
}

CellRect DumpFormatter::Rect() const {
    const DumpLayout layout(width_);
    CellRect r;
    r.left = layout.TextLeft();
    r.top = DumpLayout::kFirstLineRow;
    r.right = layout.TextRight();
    r.bottom =
        lines_ >= static_cast<uint64_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(lines_ + 1);
    return r;
}

void DumpFormatter::Feed(const uint8_t* buf, uint64_t count, std::u16string& out) {
    FeedText(buf, count, out);
}

void DumpFormatter::Feed(const uint8_t* buf, uint64_t count, std::string& out) {
    FeedText(buf, count, out);
}

char16_t* DumpFormatter::Feed(const uint8_t* buf, uint64_t count, char16_t* out) {
    return FeedAt(buf, count, out);
}

char* DumpFormatter::Feed(const uint8_t* buf, uint64_t count, char* out) {
    return FeedAt(buf, count, out);
}

template <typename Char>
Char* DumpFormatter::FeedAt(const uint8_t* buf, uint64_t count, Char* out) {
    if (partial_) return out;
    for (uint64_t offset = 0; offset < count; offset += 16) {
        const int d = static_cast<int>(std::min<uint64_t>(16, count - offset));
        out = WriteLine(out, buf + offset, d);
        if (d < 16) {
            partial_ = true;
            break;
        }
    }
    return out;
}

void DumpFormatter::Settle(const uint8_t* buf, uint64_t count) {
    std::vector<char> scratch(LineRoom());
    const uint64_t lines = lines_;
    for (uint64_t offset = 0; offset + kLineBytes <= count; offset += kLineBytes) {
        WriteLine(scratch.data(), buf + offset, kLineBytes);
    }
    lines_ = lines;
}

size_t DumpFormatter::LineRoom() const {
    return static_cast<size_t>(std::max<int32_t>(width_, 16)) + kLineRoom;
}

size_t DumpFormatter::Room(uint64_t count) const {
    return static_cast<size_t>((count + 15) / 16) * LineRoom();
}

template <typename Text>
void DumpFormatter::FeedText(const uint8_t* buf, uint64_t count, Text& out) {
    using Char = typename Text::value_type;
    if (count == 0 || partial_) return;
    // Lines are built in a local batch and appended together: no growth of
    // out per character, and no over-allocation for long ranges.
    const size_t lineCapacity = LineRoom();
    constexpr size_t kBatch = 8192;
    Char stackBatch[kBatch];
    std::vector<Char> wide;  // only for address widths beyond any file's
    Char* batch = stackBatch;
    size_t capacity = kBatch;
    if (lineCapacity > kBatch) {
        wide.resize(lineCapacity);
        batch = wide.data();
        capacity = lineCapacity;
    }
    Char* o = batch;
    for (uint64_t offset = 0; offset < count; offset += 16) {
        if (static_cast<size_t>(o - batch) + lineCapacity > capacity) {
            out.append(batch, static_cast<size_t>(o - batch));
            o = batch;
        }
        const int d = static_cast<int>(std::min<uint64_t>(16, count - offset));
        o = WriteLine(o, buf + offset, d);
        if (d < 16) partial_ = true;
    }
    out.append(batch, static_cast<size_t>(o - batch));
}

template <typename Char>
Char* DumpFormatter::WriteLine(Char* o, const uint8_t* line, int d) {
    o = WriteAddress(o, address_, width_, upper_);
    address_ += 16;  // wraps like the file offsets it stands for
    ++lines_;
    *o++ = static_cast<Char>('|');

    const auto& hex = upper_ ? HexTables<Char>::kUpper : HexTables<Char>::kLower;
    if (d == kLineBytes) {  // almost every line: a loop the compiler unrolls
        for (int i = 0; i < kLineBytes; ++i) {
            std::memcpy(o + kHexCell * i, hex[line[i]].data(), sizeof(HexCell<Char>));
        }
        o += kHexWidth;
    } else {
        for (int i = 0; i < d; ++i) {
            std::memcpy(o, hex[line[i]].data(), sizeof(HexCell<Char>));
            o += kHexCell;
        }
        o = PutSpaces(o, kHexCell * (kLineBytes - d));
    }
    o = PutAscii(o, kSeparator);

    // One blank per byte the line before already showed (a range may end
    // within them).
    const int c = std::min(carry_, d);
    o = PutSpaces(o, c);
    const uint8_t* p = line + c;
    const int m = d - c;
    int next = 0;
    switch (charCode_) {
        case CODE_SJIS:
            next = WriteShiftJisColumn(o, p, m);
            break;
        case CODE_UNICODE:
            if (hideBidi_) {
                WriteUnicodeColumn<true>(o, p, m);
            } else {
                WriteUnicodeColumn<false>(o, p, m);
            }
            break;
        case CODE_EUC:
            next = WriteEucColumn(o, p, m);
            break;
        case CODE_UTF8:
            next = WriteUtf8Column(o, p, m);
            break;
        default:  // JIS and unknown codes show no characters
            break;
    }
    carry_ = next;

    o = PutSpaces(o, 16 - d);
    if (!lfOnly_) *o++ = static_cast<Char>('\r');
    *o++ = static_cast<Char>('\n');
    return o;
}

std::u16string FormatDump(const DumpSettings& s, uint64_t start, const uint8_t* buf, uint64_t count,
                          CellRect* rect) {
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
