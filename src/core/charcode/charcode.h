#pragma once
// The character codes of the character column and the conversions between
// Shift-JIS (code page 932), EUC-JP, JIS X 0208 codes and UTF-16; the
// UTF-8 sequences of the UTF-8 column and the East Asian width of a
// character. All conversions work on caller buffers and keep no state.
#include <cstdint>

namespace octile {

// The stored character code setting. Any other value behaves like CODE_JIS.
enum CharCodeValue : int32_t {
    CODE_SJIS = 0,
    CODE_UNICODE = 1,
    CODE_JIS = 2,
    CODE_EUC = 3,
    CODE_UTF8 = 4,
};

// JIS X 0208 code (first byte in the high half; only the low 16 bits count)
// to the Shift-JIS code (lead byte in the high half), or 0 when either byte
// lies outside 0x21-0x7E.
uint16_t JisToShiftJisCode(uint32_t jis);

// Shift-JIS code (lead byte in bits 8-15, trail byte in bits 0-7) to its JIS
// X 0208 code, or 0 when it is no lead/trail pair or falls outside
// 0x2121-0x7E7E (lead bytes 0xF0-0xFC).
uint16_t ShiftJisToJisCode(uint32_t sjis);

// Decodes count bytes of Shift-JIS into UTF-16 and returns the number of
// units written. The bytes are split into characters first: a control byte
// (0x00-0x1F, 0x7F) stands alone, a lead byte followed by a trail byte is a
// pair, anything else stands alone. A lead byte at src[count - 1] takes its
// trail byte from src[count], so src must hold count + 1 readable bytes; no
// byte after that is read. *overhang (may be null) receives 1 when the last
// pair took src[count], else 0.
// Undefined pairs decode to U+30FB "・"; single bytes that do not decode
// (0x80, 0xA0, 0xFD-0xFF, a lead byte without a trail byte) to ".".
// The whole destination is zero-filled first. When nothing decodes (count 0)
// or the characters do not all fit in dstBytes / 2 units, the result is the
// single unit "." and 1. Worst case: max(count, 1) units, i.e. dstBytes =
// 2 * max(count, 1). With dstBytes below 2 nothing is written and 0 returned.
int ShiftJisToWide(const uint8_t* src, int count, char16_t* dst, int dstBytes, int* overhang);

// Encodes units UTF-16 units as code page 932 into dst and returns the number
// of bytes, adding no terminator beyond the zero fill of the whole
// destination. A character code page 932 lacks becomes "?" (0x3F); a
// surrogate pair counts as one such character, a lone surrogate too.
// When units is 0 or the bytes do not all fit in dstBytes, dst is left
// zero-filled and the result is -1. Worst case: 2 * units bytes.
int WideToShiftJis(const char16_t* src, int units, uint8_t* dst, int dstBytes);

// Rebuilds count bytes of EUC-JP as Shift-JIS and returns the number of
// Shift-JIS bytes, followed in dst by one zero byte. Bytes below 0x7F are
// copied, 0xA0-0xFF pairs go through their JIS code (two zero bytes when it
// is invalid), 0x8E + kana becomes the kana byte, 0x8F + two bytes (JIS X 0212)
// becomes the full-width space 0x81 0x40. Stops before the first 0x7F-0x8D or
// 0x90-0x9F. The count is tested only before each sequence, so the second byte
// of a pair or of 0x8E may be src[count] (src must hold count + 1 readable
// bytes); the two bytes after 0x8F are skipped without being read.
// Worst case: count + 2 bytes of dst, the zero byte included.
int EucToShiftJis(const uint8_t* src, int count, uint8_t* dst);

// Rebuilds count bytes of Shift-JIS as EUC-JP and returns the number of EUC
// bytes, followed in dst by one zero byte. Bytes below 0x7F are copied, a
// lead byte and the byte after it become the pair's JIS code with the high
// bits set (0x80 0x80 when the pair is invalid), half-width kana get 0x8E in
// front. Bytes of no class (0x7F, 0x80, 0xA0, 0xFD-0xFF) are copied
// unchanged, so no typed byte is lost. A lead byte at src[count - 1] takes
// src[count] (src must hold count + 1 readable bytes).
// Worst case: 2 * count + 1 bytes of dst, the zero byte included.
int ShiftJisToEuc(const uint8_t* src, int count, uint8_t* dst);

// The well-formed UTF-8 sequence that begins at src: its length (1 to 4),
// with its code point in *c, or 0 when src[0] begins none: a continuation
// byte, 0xC0, 0xC1, 0xF5-0xFF, an overlong form, a surrogate, a value above
// U+10FFFF, or a sequence cut short by a byte that does not continue it.
// Reads src[0] and the bytes after it up to the first that does not fit, at
// most three.
int DecodeUtf8(const uint8_t* src, char32_t* c);

// Whether c is East Asian Wide or Fullwidth (Unicode 14.0, with the
// unassigned code points that default to Wide): a fixed-pitch font draws it
// in two cells, as it does the double-byte characters of code page 932.
bool IsEastAsianWide(char32_t c);

}  // namespace octile
