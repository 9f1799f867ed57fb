#pragma once
// The inner loops of the Shift-JIS, EUC and UTF-8 conversions, inline so that
// the dump, which converts a few bytes per line, runs them without calls or
// intermediate buffers. charcode.cpp builds the public conversions on them.
#include <cstdint>

#include "charcode/charcode.h"
#include "charcode/cp932_table.h"

namespace octile::steps {

// JisToShiftJisCode: see charcode.h.
inline uint16_t JisToShiftJisCode(uint32_t jis) {
    const uint32_t j1 = (jis >> 8) & 0xFF;
    const uint32_t j2 = jis & 0xFF;
    if (j1 < 0x21 || j1 > 0x7E || j2 < 0x21 || j2 > 0x7E) return 0;
    uint32_t s1 = (j1 - 0x21) / 2 + 0x81;
    if (j1 - 0x21 >= 62) s1 += 0x40;
    uint32_t s2;
    if (j1 % 2 == 0) {
        s2 = j2 + 0x7E;
    } else {
        s2 = j2 < 0x60 ? j2 + 0x1F : j2 + 0x20;
    }
    return static_cast<uint16_t>(s1 * 256 + s2);
}

// Splits count bytes of Shift-JIS into characters and passes each decoded
// unit to emit. A lead byte followed by a trail byte is one character, even
// when the trail byte is src[count]; any other byte (control bytes included:
// none is a lead byte) stands alone. Returns the index reached: count, or
// count + 1 when the last pair took src[count].
template <typename Emit>
inline int DecodeShiftJis(const uint8_t* src, int count, Emit&& emit) {
    int i = 0;
    while (i < count) {
        const uint8_t b = src[i];
        if (cp932::IsLeadByte(b) && cp932::IsTrailByte(src[i + 1])) {
            emit(cp932::DecodePair(b, src[i + 1]));
            i += 2;
        } else {
            emit(cp932::DecodeSingle(b));
            i += 1;
        }
    }
    return i;
}

// EucToShiftJis: see charcode.h.
inline int EucToShiftJis(const uint8_t* src, int count, uint8_t* dst) {
    int i = 0;
    int o = 0;
    while (i < count) {
        const uint8_t b = src[i];
        if (b < 0x7F) {
            dst[o++] = b;
            i += 1;
        } else if (b >= 0xA0) {
            const uint16_t code = JisToShiftJisCode((b & 0x7Fu) * 256 + (src[i + 1] & 0x7Fu));
            dst[o++] = static_cast<uint8_t>(code >> 8);
            dst[o++] = static_cast<uint8_t>(code);
            i += 2;
        } else if (b == 0x8E) {
            dst[o++] = src[i + 1];
            i += 2;
        } else if (b == 0x8F) {
            // JIS X 0212 has no Shift-JIS form: a full-width space stands in.
            dst[o++] = 0x81;
            dst[o++] = 0x40;
            i += 3;
        } else {
            break;
        }
    }
    dst[o] = 0;
    return o;
}

// DecodeUtf8: see charcode.h. The second byte's range depends on the first
// (no overlong form, no surrogate, nothing above U+10FFFF); every later byte
// is 0x80-0xBF.
inline int DecodeUtf8(const uint8_t* src, char32_t* c) {
    const uint8_t b = src[0];
    if (b < 0x80) {
        *c = b;
        return 1;
    }
    int length;
    uint8_t low = 0x80;
    uint8_t high = 0xBF;
    char32_t value;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
        value = b & 0x1Fu;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        value = b & 0x0Fu;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        value = b & 0x07u;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        const uint8_t next = src[i];
        if (next < low || next > high) return 0;
        value = (value << 6) | (next & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    *c = value;
    return length;
}

}  // namespace octile::steps
