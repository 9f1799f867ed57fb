#include "charcode/charcode.h"

#include <cstring>

#include "charcode/conversion_steps.h"
#include "charcode/cp932_table.h"
#include "util/utf.h"

namespace octile {

namespace {

constexpr bool IsHalfWidthKana(uint8_t b) { return b >= 0xA1 && b <= 0xDF; }

}  // namespace

uint16_t JisToShiftJisCode(uint32_t jis) { return steps::JisToShiftJisCode(jis); }

uint16_t ShiftJisToJisCode(uint32_t sjis) {
    const uint8_t lead = static_cast<uint8_t>(sjis >> 8);
    const uint8_t trail = static_cast<uint8_t>(sjis);
    if (!cp932::IsLeadByte(lead) || !cp932::IsTrailByte(trail)) return 0;
    const auto t = static_cast<uint32_t>(cp932::LeadRow(lead));
    uint32_t j1;
    uint32_t j2;
    if (trail < 0x9F) {
        j1 = 2 * t + 0x21;
        j2 = trail < 0x7F ? trail - 0x1Fu : trail - 0x20u;
    } else {
        j1 = 2 * t + 0x22;
        j2 = trail - 0x7Eu;
    }
    const uint32_t code = j1 * 256 + j2;
    if (code < 0x2121 || code > 0x7E7E || j2 < 0x21 || j2 > 0x7E) return 0;
    return static_cast<uint16_t>(code);
}

int ShiftJisToWide(const uint8_t* src, int count, char16_t* dst, int dstBytes, int* overhang) {
    if (overhang != nullptr) *overhang = 0;
    if (count < 0) count = 0;
    const int capacity = dstBytes > 0 ? dstBytes / 2 : 0;
    if (capacity == 0) return 0;
    std::memset(dst, 0, static_cast<size_t>(capacity) * sizeof(char16_t));

    int units = 0;
    const int reached = steps::DecodeShiftJis(src, count, [&](char16_t u) {
        if (units < capacity) dst[units] = u;
        ++units;
    });
    if (overhang != nullptr) *overhang = reached - count;
    if (units == 0 || units > capacity) {
        // Nothing decoded, or no room for the whole text: the decoder yields
        // nothing and the caller gets ".".
        std::memset(dst, 0, static_cast<size_t>(capacity) * sizeof(char16_t));
        dst[0] = u'.';
        return 1;
    }
    return units;
}

int WideToShiftJis(const char16_t* src, int units, uint8_t* dst, int dstBytes) {
    if (dstBytes > 0) std::memset(dst, 0, static_cast<size_t>(dstBytes));
    if (units <= 0 || dstBytes <= 0) return -1;
    int o = 0;
    for (int i = 0; i < units; ++i) {
        const char16_t u = src[i];
        int32_t code = cp932::EncodeUnit(u);
        if (code < 0) {
            // A surrogate pair is one character and gets one default character.
            if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(src[i + 1])) ++i;
            code = '?';
        }
        const int length = code < 0x100 ? 1 : 2;
        if (o + length > dstBytes) {
            std::memset(dst, 0, static_cast<size_t>(dstBytes));
            return -1;
        }
        if (length == 2) dst[o++] = static_cast<uint8_t>(code >> 8);
        dst[o++] = static_cast<uint8_t>(code);
    }
    return o;
}

int EucToShiftJis(const uint8_t* src, int count, uint8_t* dst) {
    return steps::EucToShiftJis(src, count, dst);
}

int ShiftJisToEuc(const uint8_t* src, int count, uint8_t* dst) {
    int i = 0;
    int o = 0;
    while (i < count) {
        const uint8_t b = src[i];
        if (b < 0x7F) {
            dst[o++] = b;
            i += 1;
        } else if (cp932::IsLeadByte(b)) {
            const uint16_t jis = ShiftJisToJisCode(b * 256u + src[i + 1]);
            dst[o++] = static_cast<uint8_t>((jis >> 8) | 0x80);
            dst[o++] = static_cast<uint8_t>(jis | 0x80);
            i += 2;
        } else if (IsHalfWidthKana(b)) {
            dst[o++] = 0x8E;
            dst[o++] = b;
            i += 1;
        } else {
            dst[o++] = b;
            i += 1;
        }
    }
    dst[o] = 0;
    return o;
}

}  // namespace octile
