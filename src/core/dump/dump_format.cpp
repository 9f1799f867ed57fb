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
#if defined(__x86_64__) && defined(__GNUC__)
#include <tmmintrin.h>
#define OCTILE_HEX_SSSE3 1
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

#ifdef __SSE2__
inline __m128i Load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i x) { _mm_storeu_si128(static_cast<__m128i*>(p), x); }
#endif

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

// What comes before the character column of whole lines, made beforehand
// for a batch of lines where the processor can shuffle bytes (SSSE3): the
// table lookups of every digit become a few vector operations. Each line
// takes kHeadUnits: its address as 16 digits, then "|", the 48 cells and the
// separator, padded to 64 units so that each part is copied whole.
constexpr size_t kHeadBatch = 64;
constexpr size_t kHeadDigits = 16;
constexpr size_t kHeadRest = 64;
constexpr size_t kHeadUnits = kHeadDigits + kHeadRest;
using LineHeadsFunction = void (*)(uint64_t address, const uint8_t* bytes, size_t lines, bool upper,
                                   char* out);

#ifdef OCTILE_HEX_SSSE3
// The shuffles that spread the 32 digits of a line's bytes (high digits,
// low digits) over the units after its address: "|", the 48 cells (each
// cell's third unit a blank) and the separator, as four 16-unit parts. Index
// -1 gives 0, where the fixed units are or-ed in.
struct CellShuffles {
    alignas(16) int8_t fromHigh[4][16];
    alignas(16) int8_t fromLow[4][16];
    alignas(16) char fixed[4][16];
};

constexpr CellShuffles MakeCellShuffles() {
    CellShuffles h{};
    for (int r = 0; r < static_cast<int>(kHeadRest); ++r) {
        const int part = r / 16, at = r % 16;
        const int q = r - 1;  // the unit within the cells
        const int cell = q / kHexCell, unit = q % kHexCell;
        const bool inCells = q >= 0 && q < kHexWidth;
        h.fromHigh[part][at] = static_cast<int8_t>(inCells && unit == 0 ? cell : -1);
        h.fromLow[part][at] = static_cast<int8_t>(inCells && unit == 1 ? cell : -1);
        char fixed = 0;
        if (r == 0) fixed = '|';
        if (inCells && unit == 2) fixed = ' ';
        if (q >= kHexWidth && q - kHexWidth < DumpLayout::kSeparatorWidth) {
            fixed = kSeparator[static_cast<size_t>(q - kHexWidth)];
        }
        h.fixed[part][at] = fixed;
    }
    return h;
}

constexpr CellShuffles kCellShuffles = MakeCellShuffles();

// The digits of the high and of the low halves of the bytes of x.
[[gnu::target("ssse3")]] inline __m128i HighDigits(__m128i digits, __m128i x) {
    return _mm_shuffle_epi8(digits, _mm_and_si128(_mm_srli_epi16(x, 4), _mm_set1_epi8(0x0F)));
}

[[gnu::target("ssse3")]] inline __m128i LowDigits(__m128i digits, __m128i x) {
    return _mm_shuffle_epi8(digits, _mm_and_si128(x, _mm_set1_epi8(0x0F)));
}

[[gnu::target("ssse3")]] void LineHeadsSsse3(uint64_t address, const uint8_t* bytes, size_t lines,
                                             bool upper, char* out) {
    const __m128i digits = Load(upper ? kUpperDigits : kLowerDigits);
    const CellShuffles& h = kCellShuffles;
    for (size_t k = 0; k < lines; ++k, address += kLineBytes, bytes += kLineBytes) {
        // The address: its bytes from the most significant, two digits each.
        const __m128i a = _mm_cvtsi64_si128(static_cast<long long>(__builtin_bswap64(address)));
        Store(out, _mm_unpacklo_epi8(HighDigits(digits, a), LowDigits(digits, a)));
        const __m128i x = Load(bytes);
        const __m128i hi = HighDigits(digits, x), lo = LowDigits(digits, x);
#pragma GCC unroll 3
        for (int part = 0; part < 3; ++part) {
            const __m128i units =
                _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(hi, Load(h.fromHigh[part])),
                                          _mm_shuffle_epi8(lo, Load(h.fromLow[part]))),
                             Load(h.fixed[part]));
            Store(out + kHeadDigits + 16 * part, units);
        }
        Store(out + kHeadDigits + 48, Load(h.fixed[3]));  // the last blank and the separator
        out += kHeadUnits;
    }
}
#endif

// The batch writer this processor has, or null: then each line looks its
// digits up.
LineHeadsFunction FastLineHeads() {
#ifdef OCTILE_HEX_SSSE3
    static const LineHeadsFunction chosen = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("ssse3") ? &LineHeadsSsse3 : nullptr;
    }();
    return chosen;
#else
    return nullptr;
#endif
}

// The digits of the address v, at least width of them.
inline int AddressDigits(uint64_t v, int32_t width) {
    return std::max<int>(width, (std::bit_width(v) + 3) / 4);
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

// What each byte shows as, indexed by the byte and the next one (b | next
// << 8, a little-endian load): the pair's unit when b is a lead byte and next
// a trail byte, else code page 932's single-byte unit for b; controls as
// ".". One lookup per byte.
using Table = std::array<uint32_t, 65536>;
struct ShownTables {
    std::array<char16_t, 65536> unitAt{};  // for the UTF-16 column
    Table packedAt{};                      // the same as packed UTF-8
};

// The tables are built once, at their first use, by a builder kept out of
// line, so that the accessors every line calls stay small enough to inline.
[[gnu::noinline]] std::unique_ptr<const ShownTables> MakeShown() {
    auto t = std::make_unique<ShownTables>();
    for (int w = 0; w < 65536; ++w) {
        const int b = w & 0xFF;
        const int next = w >> 8;
        const char16_t u = kBytes.isLead[b] && kBytes.isTrail[next]
                               ? cp932::kDouble[kBytes.leadRow[b]][kBytes.trailColumn[next]]
                               : cp932::DecodeSingle(static_cast<uint8_t>(b));
        t->unitAt[w] = IsControlUnit(u) ? u'.' : u;
        t->packedAt[w] = PackUtf8(t->unitAt[w]);
    }
    return t;
}

inline const ShownTables& Shown() {
    static const std::unique_ptr<const ShownTables> tables = MakeShown();
    return *tables;
}

#ifdef __SSE2__
// x in [lo, hi], bytewise and unsigned.
inline __m128i InRange(__m128i x, uint8_t lo, uint8_t hi) {
    const __m128i shifted = _mm_sub_epi8(x, _mm_set1_epi8(static_cast<char>(lo)));
    const __m128i over = _mm_subs_epu8(shifted, _mm_set1_epi8(static_cast<char>(hi - lo)));
    return _mm_cmpeq_epi8(over, _mm_setzero_si128());
}
#endif

// What the Shift-JIS column needs to know of 16 bytes.
struct ByteMasks {
    uint32_t pair;   // bit i: p[i] is a lead byte and p[i + 1] a trail byte
    uint32_t ascii;  // bit i: p[i] is below 0x80
};

// Writes 16 bytes below 0x80 as themselves, controls as "."; the caller
// keeps the first m.
#ifdef __SSE2__
template <typename Char>
inline void PutAsciiBytes(Char* o, __m128i x) {
    const __m128i control = _mm_or_si128(_mm_cmplt_epi8(x, _mm_set1_epi8(0x20)),
                                         _mm_cmpeq_epi8(x, _mm_set1_epi8(0x7F)));
    const __m128i shown =
        _mm_or_si128(_mm_andnot_si128(control, x), _mm_and_si128(control, _mm_set1_epi8('.')));
    if constexpr (std::is_same_v<Char, char16_t>) {
        Store(o, _mm_unpacklo_epi8(shown, _mm_setzero_si128()));
        Store(o + 8, _mm_unpackhi_epi8(shown, _mm_setzero_si128()));
    } else {
        Store(o, shown);
    }
}

inline ByteMasks ClassifyBytes(__m128i here, __m128i next) {
    const __m128i lead = _mm_or_si128(InRange(here, 0x81, 0x9F), InRange(here, 0xE0, 0xFC));
    const __m128i trail = _mm_or_si128(InRange(next, 0x40, 0x7E), InRange(next, 0x80, 0xFC));
    return {static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(lead, trail))),
            static_cast<uint32_t>(~_mm_movemask_epi8(here)) & 0xFFFFu};
}
#endif

// Reads p[0] to p[15].
template <typename Char>
inline void PutAsciiBytes(Char* o, const uint8_t* p) {
#ifdef __SSE2__
    PutAsciiBytes(o, Load(p));
#else
    for (int i = 0; i < 16; ++i) {
        const uint8_t b = p[i];
        o[i] = static_cast<Char>(b < 0x20 || b == 0x7F ? '.' : b);
    }
#endif
}

// The 17 bytes p[0] to p[16] that the Shift-JIS column of a line reads, in
// memory: each byte and the next are loaded together.
struct MemoryLine {
    const uint8_t* p;

    ByteMasks Classify() const {
#ifdef __SSE2__
        return ClassifyBytes(Load(p), Load(p + 1));
#else
        ByteMasks masks{0, 0};
        for (int i = 0; i < 16; ++i) {
            masks.pair |= static_cast<uint32_t>(kBytes.isLead[p[i]] & kBytes.isTrail[p[i + 1]])
                          << i;
            masks.ascii |= static_cast<uint32_t>(p[i] < 0x80) << i;
        }
        return masks;
#endif
    }
    template <typename Char>
    void PutAscii(Char* o) const {
        PutAsciiBytes(o, p);
    }
    // p[i] | p[i + 1] << 8.
    uint16_t Pair(int i) const {
        uint16_t w;
        std::memcpy(&w, p + i, 2);
        return w;
    }
};

#ifdef __SSE2__
// The same bytes made in a vector (the EUC column rebuilds a line so): held
// as they are, since a store and reloads at other offsets would wait for the
// store to reach the cache.
struct VectorLine {
    VectorLine(__m128i bytes, uint8_t last)
        : here(bytes),
          next(
              _mm_or_si128(_mm_srli_si128(bytes, 1), _mm_slli_si128(_mm_cvtsi32_si128(last), 15))) {
        Store(pairs, _mm_unpacklo_epi8(here, next));
        Store(pairs + 8, _mm_unpackhi_epi8(here, next));
    }
    ByteMasks Classify() const { return ClassifyBytes(here, next); }
    template <typename Char>
    void PutAscii(Char* o) const {
        PutAsciiBytes(o, here);
    }
    uint16_t Pair(int i) const { return pairs[i]; }

    __m128i here;  // bytes 0 to 15
    __m128i next;  // bytes 1 to 16
    alignas(16) uint16_t pairs[16];
};
#endif

// The column text that ShiftJisToWide gives for the first m (1 to 16) of the
// line's bytes, controls shown as ".". Returns the carry: 1 when the last
// character took byte m. o must have room for 16 characters of 4 units;
// bytes after byte m do not change the text.
//
// The split into characters is that of steps::DecodeShiftJis, computed
// without its byte-to-byte dependency, which costs a misprediction at every
// other character on binary data: pair bit i says byte i could begin a pair
// (a lead byte before a trail byte). Within a run of such bytes starting at r,
// characters begin at r, r + 2, ..., so the trail bytes are the run's bytes of
// the other parity, plus the byte after the run when its length is odd.
template <typename Char, typename Line>
int WriteShiftJisLine(Char*& o, const Line& line, int m) {
    const uint32_t inColumn = (uint32_t{1} << m) - 1;
    const ByteMasks masks = line.Classify();
    if ((masks.ascii & inColumn) == inColumn) {
        // Text: every byte is a character of its own.
        line.PutAscii(o);
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
    // (Written through a copy of o: a store of a unit could be a store to o.)
    // A byte at or past m may pair with the look-ahead here, where the mask
    // would not; it is not a start, so its character is dropped.
    const ShownTables& shown = Shown();
    Char* const out = o;
    size_t k = 0;
    if constexpr (std::is_same_v<Char, char16_t>) {
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            out[k] = shown.unitAt[line.Pair(i)];
            k += (starts >> i) & 1;
        }
    } else {
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i) {
            const uint32_t packed = shown.packedAt[line.Pair(i)];
            std::memcpy(out + k, &packed, 4);
            k += ((starts >> i) & 1) * (packed >> 24);
        }
    }
    o = out + k;
    return static_cast<int>((trails >> m) & 1);
}

// The same for the bytes at p; p[0] to p[m + 15] must be readable (a line
// and its look-ahead).
template <typename Char>
int WriteShiftJisColumn(Char*& o, const uint8_t* p, int m) {
    if (m == 0) {
        *o++ = static_cast<Char>('.');  // nothing decoded
        return 0;
    }
    return WriteShiftJisLine(o, MemoryLine{p}, m);  // m > 0: p[16] is readable
}

// ---------------------------------------------------------------------------
// The Unicode column: m / 2 little-endian units, each taking two cells.

inline char16_t* PutUnicodeUnit(char16_t* o, const uint8_t* p, int& i, int /*n*/) {
    *o = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    return o + 1;
}

// In UTF-8 a high surrogate directly followed by a low one (units above 0xFF
// get no space after them) is one character; any other surrogate is U+FFFD.
inline char* PutUnicodeUnit(char* o, const uint8_t* p, int& i, int n) {
    const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    if (!IsHighSurrogate(u) && !IsLowSurrogate(u)) return PutUnit(o, u);
    if (IsHighSurrogate(u) && i + 1 < n) {
        const char16_t low = static_cast<char16_t>(p[2 * i + 2] | (p[2 * i + 3] << 8));
        if (IsLowSurrogate(low)) {
            ++i;
            return PutCodePoint(o, CombineSurrogates(u, low));
        }
    }
    return PutUnit(o, u'\uFFFD');
}

constexpr bool IsBidiUnit(char16_t u) {
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

// ". " packed: a hidden unit over its two cells.
constexpr uint32_t kDotBlank = 0x02000000u | '.' | (uint32_t{' '} << 8);

// What each unit that is not a surrogate shows as in UTF-8, packed with its
// length: a control as ". ", a unit below 0x100 followed by a blank, any
// other unit alone (it takes two cells).
template <bool hideBidi>
[[gnu::noinline]] std::unique_ptr<const Table> MakeUnicodeCells() {
    auto t = std::make_unique<Table>();
    for (uint32_t u = 0; u < 65536; ++u) {
        const auto unit = static_cast<char16_t>(u);
        uint32_t packed = PackUtf8(unit);
        if (IsControlUnit(unit) || (hideBidi && IsBidiUnit(unit))) {
            packed = kDotBlank;
        } else if (u < 0x100) {
            const uint32_t length = packed >> 24;
            packed = (packed & 0xFFFFFFu) | (uint32_t{' '} << (8 * length)) | ((length + 1) << 24);
        }
        (*t)[u] = packed;
    }
    return t;
}

template <bool hideBidi>
inline const Table& UnicodeCells() {
    static const std::unique_ptr<const Table> table = MakeUnicodeCells<hideBidi>();
    return *table;
}

// Whether any of the 8 units at p is a surrogate.
inline bool HasSurrogate(const uint8_t* p) {
#ifdef __SSE2__
    const __m128i high = _mm_and_si128(Load(p), _mm_set1_epi16(static_cast<short>(0xF800)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(high, _mm_set1_epi16(static_cast<short>(0xD800)))) !=
           0;
#else
    for (int i = 0; i < 8; ++i) {
        if ((p[2 * i + 1] & 0xF8) == 0xD8) return true;
    }
    return false;
#endif
}

// Written through a copy of o, whose address is not taken: a store of a
// unit could otherwise be a store to o, to be read back for the next.
template <bool hideBidi, typename Char>
void WriteUnicodeColumn(Char*& o, const uint8_t* p, int m) {
    const int n = m / 2;  // an odd last byte shows only in the hexadecimal area
    Char* out = o;
    if constexpr (std::is_same_v<Char, char>) {
        // One lookup a unit; surrogates, which may pair, take the long way.
        const Table& cells = UnicodeCells<hideBidi>();
        if (n == 8 && !HasSurrogate(p)) {
#pragma GCC unroll 8
            for (int i = 0; i < 8; ++i) {
                uint16_t u;
                std::memcpy(&u, p + 2 * i, 2);
                out = PutPacked(out, cells[u]);
            }
        } else {
            for (int i = 0; i < n; ++i) {
                const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
                if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
                    out = PutUnicodeUnit(out, p, i, n);
                } else {
                    out = PutPacked(out, cells[u]);
                }
            }
        }
    } else {
        for (int i = 0; i < n; ++i) {
            const char16_t u = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
            if (IsControlUnit(u) || (hideBidi && IsBidiUnit(u))) {
                *out++ = static_cast<Char>('.');
                *out++ = static_cast<Char>(' ');
            } else if (u < 0x100) {
                out = PutUnit(out, u);
                *out++ = static_cast<Char>(' ');
            } else {
                out = PutUnicodeUnit(out, p, i, n);
            }
        }
    }
    o = out;
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

// The walk that rebuilds a line as Shift-JIS takes two bytes a step
// (EucToShiftJis of two bytes): a step at j writes the Shift-JIS bytes of
// p[j], p[j + 1] at the same places and moves on by two, except after a plain
// byte followed by the first byte of a pair (0xA0-0xFF or 0x8F), where it
// moves on by one and the next step writes that pair. So every byte is the
// first of a step or the second of the step before, and the steps alone
// decide which.
//
// Bit j of the mask: a step at j would move on by one.
inline uint32_t EucSingleSteps(const uint8_t* p) {
#ifdef __SSE2__
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const __m128i plain = InRange(here, 0x00, 0x7E);
    const __m128i opens =
        _mm_or_si128(InRange(next, 0xA0, 0xFF), _mm_cmpeq_epi8(next, _mm_set1_epi8(-0x71)));
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(plain, opens)));
#else
    uint32_t mask = 0;
    for (int j = 0; j < 16; ++j) {
        const bool opens = p[j + 1] >= 0xA0 || p[j + 1] == 0x8F;
        mask |= static_cast<uint32_t>(p[j] < 0x7F && opens) << j;
    }
    return mask;
#endif
}

// The steps within 8 bytes, from where the first one falls (0 or 1) and
// which of them move on by one: the steps' mask in the low byte and where the
// first step of the next 8 bytes falls in the high byte.
constexpr std::array<std::array<uint16_t, 256>, 2> MakeEucStepTable() {
    std::array<std::array<uint16_t, 256>, 2> table{};
    for (int first = 0; first < 2; ++first) {
        for (int single = 0; single < 256; ++single) {
            int steps = 0, j = first;
            for (; j < 8; j += (single >> j) & 1 ? 1 : 2) steps |= 1 << j;
            table[first][single] = static_cast<uint16_t>(steps | (j - 8) << 8);
        }
    }
    return table;
}

constexpr auto kEucSteps = MakeEucStepTable();

// Bit j (0 to 16): a step begins at p[j]. Reads p[0] to p[16].
inline uint32_t EucStepStarts(const uint8_t* p) {
    const uint32_t single = EucSingleSteps(p);
    const uint16_t low = kEucSteps[0][single & 0xFF];
    const uint16_t high = kEucSteps[low >> 8][(single >> 8) & 0xFF];
    return (low & 0xFFu) | (high & 0xFFu) << 8 | uint32_t{(high >> 8) == 0} << 16;
}

// What a step at p[j] writes, by p[j] | p[j + 1] << 8: its first byte, its
// second (in bits 8-15), and in bits 16-23 0xFF where the second is p[j + 2]
// instead (a plain byte, then 0x8E: the kana byte).
[[gnu::noinline]] std::unique_ptr<const Table> MakeEucStepBytes() {
    auto t = std::make_unique<Table>();
    for (uint32_t w = 0; w < 65536; ++w) {
        const uint8_t src[4] = {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), 0, 0};
        uint8_t dst[5] = {};
        const int written = steps::EucToShiftJis(src, 2, dst);
        uint32_t first = dst[0], second = dst[1], fromNext = 0;
        if (written == 1) second = 0x20;
        if (src[0] < 0x7F && src[1] == 0x8E) {
            second = 0;
            fromNext = 0xFF;
        }
        (*t)[w] = first | second << 8 | fromNext << 16;
    }
    return t;
}

inline const Table& EucStepBytes() {
    static const std::unique_ptr<const Table> table = MakeEucStepBytes();
    return *table;
}

#ifdef __SSE2__
inline __m128i Select(__m128i mask, __m128i a, __m128i b) {
    return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
}

inline __m128i Bytes(int b) { return _mm_set1_epi8(static_cast<char>(b)); }

// What a step at p[j] writes, for j = 0 to 15, as EucStepBytes has it:
// first holds the first bytes, second the second ones (at the step's own
// place). Reads p[0] to p[17].
inline void EucStepVectors(const uint8_t* p, __m128i& first, __m128i& second) {
    const __m128i b0 = Load(p);
    const __m128i b1 = Load(p + 1);
    const __m128i b2 = Load(p + 2);
    const __m128i plain = InRange(b0, 0x00, 0x7E);
    const __m128i kana = _mm_cmpeq_epi8(b0, Bytes(0x8E));
    const __m128i x0212 = _mm_cmpeq_epi8(b0, Bytes(0x8F));
    // A JIS X 0208 pair: its Shift-JIS bytes, both 0 when the code is invalid.
    const __m128i j1 = _mm_and_si128(b0, Bytes(0x7F));
    const __m128i j2 = _mm_and_si128(b1, Bytes(0x7F));
    // (0xA0-0xFF with a valid first JIS byte: 0xA1-0xFE.)
    const __m128i pair = _mm_and_si128(InRange(b0, 0xA1, 0xFE), InRange(j2, 0x21, 0x7E));
    const __m128i row = _mm_sub_epi8(j1, Bytes(0x21));  // 0 to 93 in a pair
    const __m128i lead =
        _mm_add_epi8(_mm_add_epi8(_mm_and_si128(_mm_srli_epi16(row, 1), Bytes(0x7F)), Bytes(0x81)),
                     _mm_and_si128(_mm_cmpgt_epi8(row, Bytes(61)), Bytes(0x40)));
    const __m128i oddRowTrail =
        _mm_add_epi8(j2, Select(InRange(j2, 0x00, 0x5F), Bytes(0x1F), Bytes(0x20)));
    const __m128i trail = Select(_mm_cmpeq_epi8(_mm_and_si128(j1, Bytes(1)), _mm_setzero_si128()),
                                 _mm_add_epi8(j2, Bytes(0x7E)), oddRowTrail);
    first = _mm_or_si128(_mm_or_si128(_mm_and_si128(plain, b0), _mm_and_si128(pair, lead)),
                         _mm_or_si128(_mm_and_si128(kana, b1), _mm_and_si128(x0212, Bytes(0x81))));
    // After a plain byte: a plain byte, the kana byte after 0x8E, or a blank
    // where the walk stops.
    const __m128i afterPlain = Select(InRange(b1, 0x00, 0x7E), b1,
                                      Select(_mm_cmpeq_epi8(b1, Bytes(0x8E)), b2, Bytes(' ')));
    second = _mm_or_si128(
        _mm_or_si128(_mm_and_si128(plain, afterPlain), _mm_and_si128(pair, trail)),
        _mm_or_si128(_mm_and_si128(kana, Bytes(' ')), _mm_and_si128(x0212, Bytes(0x40))));
}

// Byte i all ones where bit i of mask is set.
inline __m128i ExpandMask(uint32_t mask) {
    const __m128i bits = _mm_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
    const __m128i spread = _mm_unpacklo_epi64(_mm_set1_epi8(static_cast<char>(mask & 0xFF)),
                                              _mm_set1_epi8(static_cast<char>((mask >> 8) & 0xFF)));
    return _mm_cmpeq_epi8(_mm_and_si128(spread, bits), bits);
}
#endif

template <typename Char>
[[gnu::always_inline]] inline int WriteEucColumn(Char*& o, const uint8_t* p, int m) {
    const uint32_t inColumn = (uint32_t{1} << m) - 1;
    if (m > 0 && (PlainEucBytes(p) & inColumn) == inColumn) {
        // Text: the steps copy every byte, and no character reaches past it.
        PutAsciiBytes(o, p);
        o += m;
        return 0;
    }
    if (m == 0) return WriteShiftJisColumn(o, p, 0);
    // The line rebuilt as Shift-JIS up to byte m, which a character at the
    // end may take (past it, the column's text does not depend on the bytes).
    // A step at m - 1 or m may read up to p[m + 2], inside the look-ahead.
    const uint32_t starts = EucStepStarts(p);  // m > 0: p[16] is readable
    const Table& stepBytes = EucStepBytes();
    // What the step at i - 1 writes, if there is one.
    const auto afterStep = [&](int i) {
        uint16_t w;
        std::memcpy(&w, p + i - 1, 2);
        const uint32_t before = stepBytes[w];
        return static_cast<uint8_t>(((before >> 8) & 0xFFu) | (p[i + 1] & (before >> 16)));
    };
#ifdef __SSE2__
    if (m >= 2) {  // p[17] is readable
        __m128i first, second;
        EucStepVectors(p, first, second);
        // Byte i is the first of its step or the second of the step at i - 1.
        const __m128i bytes = Select(ExpandMask(starts), first, _mm_slli_si128(second, 1));
        // Byte 16, which matters only to a full line (past byte m the text
        // does not depend on the bytes), made for every line and chosen
        // without a branch: binary data gives lines with and without a carry,
        // and steps that begin there or not, in no order.
        uint16_t w;
        std::memcpy(&w, p + kLineBytes, 2);
        const uint32_t begins = stepBytes[w];
        const uint32_t follows = afterStep(kLineBytes);
        const uint32_t isStart = 0u - ((starts >> kLineBytes) & 1);
        const auto last = static_cast<uint8_t>((begins & isStart) | (follows & ~isStart));
        return WriteShiftJisLine(o, VectorLine(bytes, last), m);
    }
#endif
    uint8_t scratch[2 * kLineBytes + 1] = {};
    for (int i = 0; i <= m; ++i) {
        uint16_t w;
        std::memcpy(&w, p + i, 2);
        scratch[i] = (starts >> i) & 1 ? static_cast<uint8_t>(stepBytes[w]) : afterStep(i);
    }
    return WriteShiftJisColumn(o, scratch, m);
}

// ---------------------------------------------------------------------------
// The UTF-8 column: every character on the cell of its first byte and one cell
// per byte, so that the cells stay those of the bytes whatever the characters.

// Bit i: p[i] may begin a sequence of two bytes or more, a lead byte
// (0xC2-0xF4) followed by a continuation byte. Where none does, every byte is
// a character of its own: itself below 0x80, else ".". Reads p[0] to p[16].
inline uint32_t SequenceStarts(const uint8_t* p) {
#ifdef __SSE2__
    const __m128i lead = InRange(Load(p), 0xC2, 0xF4);
    const __m128i continuation = InRange(Load(p + 1), 0x80, 0xBF);
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_and_si128(lead, continuation)));
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) {
        const bool lead = p[i] >= 0xC2 && p[i] <= 0xF4;
        mask |= static_cast<uint32_t>(lead && p[i + 1] >= 0x80 && p[i + 1] <= 0xBF) << i;
    }
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
    if (m == 0) return 0;
    // Between the bytes that may begin a longer sequence, every byte is a
    // character of its own (a control or a byte above 0x7F shows as "."):
    // those runs are written 16 bytes at a time, and only the sequences
    // decoded one by one. (Written through a copy of o: a store of a unit
    // could be a store to o.)
    Char* out = o;
    uint32_t starts = SequenceStarts(p) & ((uint32_t{1} << m) - 1);  // m > 0: p[16] is readable
    int i = 0;
    for (;;) {
        const int next = starts != 0 ? std::countr_zero(starts) : m;
        if (next > i) {
            PutAsciiBytes(out, p + i);  // p[i + 15] is within the look-ahead
            out += next - i;
            i = next;
        }
        if (i >= m) break;
        char32_t c = 0;
        const int n = steps::DecodeUtf8(p + i, &c);
        if (n == 0) {
            *out++ = static_cast<Char>('.');
            ++i;
        } else {
            if (IsHiddenCharacter(c)) {
                for (int k = 0; k < n; ++k) *out++ = static_cast<Char>('.');
            } else {
                out = PutCharacter(out, p + i, n, c);
                out = PutSpaces(out, n - (IsEastAsianWide(c) ? 2 : 1));
            }
            i += n;
        }
        starts &= i >= 32 ? 0 : ~((uint32_t{1} << i) - 1);  // the starts the character took
    }
    o = out;
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

// Inlined into the loops over lines, with the column writers.
template <typename Char>
[[gnu::always_inline]] inline Char* DumpFormatter::WriteLine(Char* o, const uint8_t* line, int d,
                                                             const char* head, int digits) {
    ++lines_;
    if (std::is_same_v<Char, char> && head != nullptr) {
        // Fixed-size copies: the room holds 16 units for the address and the
        // pad after the separator, and what follows overwrites the excess.
        std::memcpy(o, head + kHeadDigits - digits, kHeadDigits);
        o += digits;
        std::memcpy(o, head + kHeadDigits, kHeadRest);
        o += 1 + kHexWidth + DumpLayout::kSeparatorWidth;
        address_ += 16;
    } else {
        o = WriteAddress(o, address_, width_, upper_);
        address_ += 16;  // wraps like the file offsets it stands for
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
    }

    // One blank per byte the line before already showed (a range may end
    // within them). There are at most 3, written at once: whether a line
    // has them follows the data, where a branch would guess wrong.
    const int c = std::min(carry_, d);
    constexpr Char kBlanks[4] = {' ', ' ', ' ', ' '};
    std::memcpy(o, kBlanks, sizeof(kBlanks));
    o += c;
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
    uint64_t offset = 0;
    if constexpr (std::is_same_v<Char, char>) {
        const LineHeadsFunction lineHeads = FastLineHeads();
        if (lineHeads != nullptr && width_ <= static_cast<int32_t>(kHeadDigits)) {
            alignas(16) char heads[kHeadBatch * kHeadUnits];
            while (count - offset >= kLineBytes) {
                const uint64_t lines =
                    std::min<uint64_t>(kHeadBatch, (count - offset) / kLineBytes);
                // The batch's addresses all have as many digits (almost always).
                const uint64_t last = address_ + (lines - 1) * kLineBytes;
                const int digits = AddressDigits(address_, width_);
                const bool same = last >= address_ && AddressDigits(last, width_) == digits;
                if (same)
                    lineHeads(address_, buf + offset, static_cast<size_t>(lines), upper_, heads);
                for (uint64_t k = 0; k < lines; ++k, offset += kLineBytes) {
                    out = WriteLine(out, buf + offset, kLineBytes,
                                    same ? heads + k * kHeadUnits : nullptr, digits);
                }
            }
        }
    }
    for (; offset < count; offset += kLineBytes) {
        const int d = static_cast<int>(std::min<uint64_t>(kLineBytes, count - offset));
        out = WriteLine(out, buf + offset, d, nullptr, 0);
        if (d < kLineBytes) {
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
        WriteLine(scratch.data(), buf + offset, kLineBytes, nullptr, 0);
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
    const uint64_t step = capacity / lineCapacity * kLineBytes;
    for (uint64_t offset = 0; offset < count && !partial_; offset += step) {
        const Char* end = FeedAt(buf + offset, std::min(step, count - offset), batch);
        out.append(batch, static_cast<size_t>(end - batch));
    }
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
