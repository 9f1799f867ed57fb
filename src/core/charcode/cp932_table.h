#pragma once
// Code page 932 (Shift-JIS as Windows defines it) as lookup tables, so that a
// dump line decodes without calling a converter. The tables live in
// cp932_table.cpp, generated from glibc iconv's CP932; to regenerate them run
// `python3 tools/gen_cp932.py` from the repository root.
#include <cstdint>

namespace octile::cp932 {

inline constexpr int kLeadCount = 60;    // 0x81-0x9F and 0xE0-0xFC
inline constexpr int kTrailCount = 188;  // 0x40-0x7E and 0x80-0xFC

// Every byte decoded alone: its character, or "." for a byte that does not
// decode on its own (0x80, 0xA0, 0xFD-0xFF, and a lead byte without its trail
// byte), so that it takes one cell like the one byte it is.
extern const char16_t kSingle[256];
// Every lead/trail pair decoded: U+30FB where the pair is undefined.
extern const char16_t kDouble[kLeadCount][kTrailCount];
// Encoding of a BMP unit u: row kEncodePage[u >> 8] (1-based, 0 = nothing in
// that row) of kEncodeRows, entry u & 0xFF; a byte value below 0x100, a
// lead/trail pair as lead * 256 + trail, 0 for "not representable".
extern const uint8_t kEncodePage[256];
extern const uint16_t kEncodeRows[][256];

constexpr bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

inline char16_t DecodeSingle(uint8_t b) { return kSingle[b]; }

// The row of a lead byte and the column of a trail byte in kDouble.
constexpr int LeadRow(uint8_t lead) { return lead < 0xA0 ? lead - 0x81 : lead - 0xC1; }
constexpr int TrailColumn(uint8_t trail) { return trail < 0x80 ? trail - 0x40 : trail - 0x41; }

// lead must be a lead byte and trail a trail byte.
inline char16_t DecodePair(uint8_t lead, uint8_t trail) {
    return kDouble[LeadRow(lead)][TrailColumn(trail)];
}

// The code page 932 bytes of one UTF-16 unit (below 0x100: one byte, else
// lead * 256 + trail), or -1 when the unit has no encoding (surrogates included).
inline int32_t EncodeUnit(char16_t u) {
    if (u == 0) return 0;
    const uint8_t row = kEncodePage[u >> 8];
    if (row == 0) return -1;
    const uint16_t code = kEncodeRows[row - 1][u & 0xFF];
    return code == 0 ? -1 : code;
}

}  // namespace octile::cp932
